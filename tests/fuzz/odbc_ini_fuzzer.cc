// libFuzzer target for the odbc.ini edit. An input is
//   data source NUL keyword NUL value NUL file contents
// Arguments the command would refuse are skipped. For the rest, the edit
// must not crash, and a changed file must read back with the new value for
// (data source, keyword), the old value for every other pair, and differ
// from the input within one line of it only.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "arguments.h"
#include "odbc_ini_file.h"

namespace {

using tolvane::IniEdit;
using tolvane::OdbcIniFile;

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

void require(bool condition, const char* property) {
  if (condition) return;
  std::fprintf(stderr, "property violated: %s\n", property);
  std::abort();
}

bool next_field(std::string_view& data, std::string_view& field) {
  const std::size_t end = data.find('\0');
  if (end == std::string_view::npos) return false;
  field = data.substr(0, end);
  data.remove_prefix(end + 1);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  std::string_view data(reinterpret_cast<const char*>(bytes), size);
  std::string_view section, keyword, value;
  if (!next_field(data, section) || !next_field(data, keyword) || !next_field(data, value))
    return 0;
  if (tolvane::argument_problem(section, keyword, value, {true, tolvane::kReaderChunk})) return 0;
  const std::string_view contents = data;

  const IniEdit edit = tolvane::set_keyword(contents, section, keyword, value);
  const OdbcIniFile before(contents);
  if (edit.outcome == IniEdit::Outcome::kRefused) return 0;
  require(before.readable(), "only a readable file is edited");
  if (edit.outcome == IniEdit::Outcome::kUnchanged) {
    require(before.value(section, keyword) == value, "unchanged means the value is there");
    return 0;
  }

  const OdbcIniFile after(edit.contents);
  require(after.readable(), "the result is readable");
  require(after.value(section, keyword) == value, "the new value reads back");
  for (const auto& old_section : before.sections()) {
    const std::string_view name = before.name(old_section);
    for (const auto& entry : before.entries(old_section)) {
      const std::string_view entry_name = before.name(entry);
      if (same_name(name, section) && same_name(entry_name, keyword)) continue;
      require(after.value(name, entry_name) == before.value(name, entry_name),
              "every other pair reads as before");
    }
  }
  require(after.sections().size() == before.sections().size() ||
              (after.sections().size() == before.sections().size() + 1 &&
               before.find_section(section) == nullptr),
          "a section is added only for a new data source");

  // The bytes that differ lie within one line of the input.
  const std::string_view result = edit.contents;
  std::size_t prefix = 0;
  while (prefix < contents.size() && prefix < result.size() && contents[prefix] == result[prefix])
    ++prefix;
  std::size_t suffix = 0;
  while (suffix < contents.size() - prefix && suffix < result.size() - prefix &&
         contents[contents.size() - 1 - suffix] == result[result.size() - 1 - suffix])
    ++suffix;
  const std::string_view changed = contents.substr(prefix, contents.size() - prefix - suffix);
  require(changed.find('\n') == std::string_view::npos, "only one line of the input changes");
  return 0;
}
