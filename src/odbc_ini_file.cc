#include "odbc_ini_file.h"

#include <algorithm>

namespace tolvane {
namespace {

// isspace() in the C locale.
bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_comment(char c) { return c == '#' || c == ';'; }

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// strcasecmp() in the C locale.
bool same_name(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return ascii_lower(x) == ascii_lower(y);
         });
}

std::size_t skip_space(std::string_view text, std::size_t i) {
  while (i < text.size() && is_space(text[i])) ++i;
  return i;
}

std::size_t trim_end(std::string_view text, std::size_t begin, std::size_t end) {
  while (end > begin && is_space(text[end - 1])) --end;
  return end;
}

std::size_t line_number(std::string_view contents, std::size_t offset) {
  return 1 +
         static_cast<std::size_t>(std::count(contents.begin(), contents.begin() + offset, '\n'));
}

std::string_view line_ending(std::string_view contents) {
  const std::size_t feed = contents.find('\n');
  return feed != std::string_view::npos && feed > 0 && contents[feed - 1] == '\r' ? "\r\n" : "\n";
}

// Length of a physical line without its line ending.
std::size_t content_length(std::string_view contents, std::size_t begin, std::size_t end) {
  if (end > begin && contents[end - 1] == '\n') --end;
  if (end > begin && contents[end - 1] == '\r') --end;
  return end - begin;
}

bool ends_with_blank_line(std::string_view contents) {
  if (contents.empty() || contents.back() != '\n') return false;
  contents.remove_suffix(1);
  const std::size_t feed = contents.rfind('\n');
  const std::string_view last =
      feed == std::string_view::npos ? contents : contents.substr(feed + 1);
  return std::all_of(last.begin(), last.end(), is_space);
}

// True when `after` reads exactly like `before` with keyword=value set in
// the section at `section_index` (sections().size() for a new section),
// at the entry `entry_index` (the section's entry count for a new entry).
bool reads_as_intended(const OdbcIniFile& before, const OdbcIniFile& after,
                       std::size_t section_index, std::size_t entry_index, std::string_view section,
                       std::string_view keyword, std::string_view value) {
  if (!after.readable()) return false;
  const auto& old_sections = before.sections();
  const auto& new_sections = after.sections();
  const bool new_section = section_index == old_sections.size();
  if (new_sections.size() != old_sections.size() + (new_section ? 1 : 0)) return false;
  for (std::size_t s = 0; s < old_sections.size(); ++s) {
    const auto& old_section = old_sections[s];
    const auto& new_section_read = new_sections[s];
    if (before.name(old_section) != after.name(new_section_read)) return false;
    const auto old_entries = before.entries(old_section);
    const auto new_entries = after.entries(new_section_read);
    auto same_entries = [&](const OdbcIniFile::Entry& a, const OdbcIniFile::Entry& b) {
      return before.name(a) == after.name(b) && before.value(a) == after.value(b);
    };
    if (s != section_index) {
      if (!std::equal(old_entries.begin(), old_entries.end(), new_entries.begin(),
                      new_entries.end(), same_entries))
        return false;
      continue;
    }
    const bool new_entry = entry_index == old_entries.size();
    if (new_entries.size() != old_entries.size() + (new_entry ? 1 : 0)) return false;
    for (std::size_t e = 0; e < new_entries.size(); ++e) {
      if (e == entry_index) {
        if (after.name(new_entries[e]) != (new_entry ? keyword : before.name(old_entries[e])) ||
            after.value(new_entries[e]) != value)
          return false;
      } else if (!same_entries(old_entries[e], new_entries[e])) {
        return false;
      }
    }
  }
  if (new_section) {
    const auto& added = new_sections.back();
    const auto added_entries = after.entries(added);
    if (after.name(added) != section || added_entries.size() != 1 ||
        after.name(added_entries[0]) != keyword || after.value(added_entries[0]) != value)
      return false;
  }
  return true;
}

std::uint32_t offset(std::size_t position) { return static_cast<std::uint32_t>(position); }

IniEdit refused(std::string reason) { return {IniEdit::Outcome::kRefused, {}, std::move(reason)}; }

}  // namespace

OdbcIniFile::OdbcIniFile(std::string_view contents) : contents_(contents) {
  if (contents.size() > UINT32_MAX) {
    problem_ = "the file is larger than 4 GiB";
    return;
  }
  // Every section and entry takes a line: reserving for them all at once
  // saves copying the arrays as they grow.
  const auto lines = static_cast<std::size_t>(std::count(contents.begin(), contents.end(), '\n'));
  sections_.reserve(lines / 4 + 1);
  entries_.reserve(lines + 1);
  bool before_first_section = true;
  std::size_t line_begin = 0;
  std::size_t line_end = 0;  // just past the physical line holding the chunk
  for (std::size_t chunk = 0; chunk < contents.size();) {
    if (chunk >= line_end) {
      line_begin = chunk;
      const std::size_t feed = contents.find('\n', chunk);
      line_end = feed == std::string_view::npos ? contents.size() : feed + 1;
    }
    const std::size_t chunk_end = std::min({line_end, chunk + kReaderChunk, contents.size()});
    std::string_view text = contents.substr(chunk, chunk_end - chunk);
    text = text.substr(0, std::min(text.size(), text.find('\0')));
    const std::size_t text_begin = chunk;
    chunk = chunk_end;

    std::size_t i = skip_space(text, 0);
    if (before_first_section) {
      if (!text.empty() && text[0] == '[') {
        before_first_section = false;
      } else if (i == text.size() || is_comment(text[i])) {
        continue;
      } else {
        problem_ = "line " + std::to_string(line_number(contents, text_begin)) +
                   (text[i] == '[' ? " is an indented first section header"
                                   : " is an entry before the first section header") +
                   ", so unixODBC ignores the whole file";
        sections_.clear();
        entries_.clear();
        return;
      }
    }
    if (i == text.size() || is_comment(text[i])) continue;
    if (text[i] == '[') {
      const std::size_t name_begin = i + 1;
      std::size_t name_end = text.find(']', name_begin);
      if (name_end == std::string_view::npos) name_end = text.size();
      const std::size_t trimmed_begin = std::min(skip_space(text, name_begin), name_end);
      const std::size_t trimmed_end = trim_end(text, trimmed_begin, name_end);
      sections_.push_back({offset(text_begin + trimmed_begin), offset(trimmed_end - trimmed_begin),
                           offset(line_end), offset(entries_.size()), 0});
      continue;
    }
    Entry entry{};
    const std::size_t equals = text.find('=', i);
    entry.has_equals = equals != std::string_view::npos;
    const std::size_t name_end = trim_end(text, i, entry.has_equals ? equals : text.size());
    entry.name_begin = offset(text_begin + i);
    entry.name_length = offset(name_end - i);
    std::size_t value_begin = name_end;
    std::size_t value_end = name_end;
    if (entry.has_equals) {
      value_begin = skip_space(text, equals + 1);
      value_end = trim_end(text, value_begin, text.size());
      if (value_begin == text.size()) {
        // An empty value: a new one goes after the blanks that follow the
        // '=', before the line ending.
        value_begin = equals + 1;
        while (value_begin < text.size() && (text[value_begin] == ' ' || text[value_begin] == '\t'))
          ++value_begin;
        value_end = value_begin;
      }
    }
    entry.line_begin = offset(line_begin);
    entry.line_end = offset(line_end);
    entry.value_begin = offset(text_begin + value_begin);
    entry.value_end = offset(text_begin + value_end);
    // Entries before any section cannot occur: the file would be unreadable.
    entries_.push_back(entry);
    ++sections_.back().entry_count;
  }
}

const OdbcIniFile::Section* OdbcIniFile::find_section(std::string_view name) const {
  for (const Section& section : sections_)
    if (same_name(this->name(section), name)) return &section;
  return nullptr;
}

const OdbcIniFile::Entry* OdbcIniFile::find_entry(const Section& section,
                                                  std::string_view keyword) const {
  for (const Entry& entry : entries(section))
    if (same_name(name(entry), keyword)) return &entry;
  return nullptr;
}

std::optional<std::string_view> OdbcIniFile::value(std::string_view section,
                                                   std::string_view keyword) const {
  const Section* found = find_section(section);
  const Entry* entry = found == nullptr ? nullptr : find_entry(*found, keyword);
  if (entry == nullptr) return std::nullopt;
  return value(*entry);
}

IniEdit set_keyword(std::string_view contents, std::string_view section, std::string_view keyword,
                    std::string_view value, std::size_t max_line_length) {
  return set_keyword(OdbcIniFile(contents), section, keyword, value, max_line_length);
}

IniEdit set_keyword(const OdbcIniFile& before, std::string_view section, std::string_view keyword,
                    std::string_view value, std::size_t max_line_length) {
  const std::string_view contents = before.contents();
  if (!before.readable()) return refused("the file is not valid odbc.ini: " + before.problem());

  const std::string_view eol = line_ending(contents);
  const auto& sections = before.sections();
  const OdbcIniFile::Section* found = before.find_section(section);
  const std::size_t section_index =
      found == nullptr ? sections.size() : static_cast<std::size_t>(found - sections.data());
  std::size_t entry_index = 0;
  LargeString result;

  if (found == nullptr) {
    result.reserve(contents.size() + section.size() + keyword.size() + value.size() + 8);
    result.append(contents);
    if (!result.empty() && result.back() != '\n') result.append(eol);
    if (!result.empty() && !ends_with_blank_line(result)) result.append(eol);
    result.append("[").append(section).append("]").append(eol);
    result.append(keyword).append("=").append(value).append(eol);
  } else {
    const auto entries = before.entries(*found);
    const OdbcIniFile::Entry* entry = before.find_entry(*found, keyword);
    entry_index =
        entry == nullptr ? entries.size() : static_cast<std::size_t>(entry - entries.data());
    if (entry != nullptr) {
      if (before.value(*entry) == value) return {IniEdit::Outcome::kUnchanged, {}, {}};
      const std::string_view separator = entry->has_equals ? "" : "=";
      const std::size_t length = content_length(contents, entry->line_begin, entry->line_end) -
                                 (entry->value_end - entry->value_begin) + separator.size() +
                                 value.size();
      if (length > max_line_length)
        return refused("the existing entry, kept with its spacing, would become a line of " +
                       std::to_string(length) + " bytes; the reader takes at most " +
                       std::to_string(max_line_length));
      result.reserve(contents.size() + value.size() + 1);
      result.append(contents.substr(0, entry->value_begin));
      result.append(separator).append(value);
      result.append(contents.substr(entry->value_end));
    } else {
      const std::size_t at = entries.empty() ? found->header_line_end : entries.back().line_end;
      result.reserve(contents.size() + keyword.size() + value.size() + 4);
      result.append(contents.substr(0, at));
      if (!result.empty() && result.back() != '\n') result.append(eol);
      result.append(keyword).append("=").append(value).append(eol);
      result.append(contents.substr(at));
    }
  }

  const OdbcIniFile after(result);
  if (!reads_as_intended(before, after, section_index, entry_index, section, keyword, value))
    return refused(
        "the change would not read back as intended (the file has lines longer than the "
        "reader's " +
        std::to_string(kReaderChunk) + "-byte limit near the entry)");
  return {IniEdit::Outcome::kChanged, std::move(result), {}};
}

}  // namespace tolvane
