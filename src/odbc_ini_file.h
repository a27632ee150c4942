// An odbc.ini file as unixODBC's reader sees it, and the one edit this
// program makes to it.
#ifndef TOLVANE_ODBC_INI_FILE_H_
#define TOLVANE_ODBC_INI_FILE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "large_allocator.h"

namespace tolvane {

// unixODBC reads odbc.ini with fgets() into a 1000-byte buffer, so it takes
// at most 999 bytes of a line at a time; the rest of a longer line comes
// back as a line of its own.
constexpr std::size_t kReaderChunk = 999;

// Parses odbc.ini contents by the rules of unixODBC's reader (iniOpen):
//  - the file is read in chunks of at most kReaderChunk bytes, each ending
//    at a line feed or where the buffer is full; a NUL ends a chunk's text;
//  - before the first section, only blank lines and lines starting with '#'
//    or ';' may appear, and the first header must start in column 0;
//    otherwise the reader ignores the whole file;
//  - after it, leading white space is skipped; a line starting with '[' is
//    a section header whose name runs to the first ']' (or the end), '#'
//    and ';' start comments, anything else is an entry: name up to the
//    first '=', value after it, both trimmed of white space;
//  - sections and keywords are matched case-insensitively (ASCII), and the
//    first section of a name, and the first entry of a name in it, win.
// The contents are not copied: they must outlive the object.
class OdbcIniFile {
 public:
  // Positions are byte offsets into the contents; a file is at most 4 GiB.
  struct Entry {
    std::uint32_t name_begin;
    std::uint32_t name_length;
    std::uint32_t value_begin;  // where the trimmed value starts (or would go)
    std::uint32_t value_end;    // just past the trimmed value
    std::uint32_t line_begin;   // the physical line holding the entry
    std::uint32_t line_end;     // just past its line feed, or the end of the file
    bool has_equals;            // false for a line that is a bare name
  };
  struct Section {
    std::uint32_t name_begin;
    std::uint32_t name_length;
    std::uint32_t header_line_end;  // just past the header's physical line
    std::uint32_t first_entry;      // its entries, in entries()
    std::uint32_t entry_count;
  };

  explicit OdbcIniFile(std::string_view contents);

  std::string_view contents() const { return contents_; }

  // Empty when the reader accepts the file; otherwise why it ignores it.
  const std::string& problem() const { return problem_; }
  bool readable() const { return problem_.empty(); }

  const LargeVector<Section>& sections() const { return sections_; }
  std::span<const Entry> entries(const Section& section) const {
    return {entries_.data() + section.first_entry, section.entry_count};
  }
  std::string_view name(const Section& section) const {
    return contents_.substr(section.name_begin, section.name_length);
  }
  std::string_view name(const Entry& entry) const {
    return contents_.substr(entry.name_begin, entry.name_length);
  }
  std::string_view value(const Entry& entry) const {
    return contents_.substr(entry.value_begin, entry.value_end - entry.value_begin);
  }
  const Section* find_section(std::string_view name) const;
  const Entry* find_entry(const Section& section, std::string_view keyword) const;
  std::optional<std::string_view> value(std::string_view section, std::string_view keyword) const;

 private:
  std::string_view contents_;
  LargeVector<Section> sections_;
  LargeVector<Entry> entries_;  // of all sections, in file order
  std::string problem_;
};

struct IniEdit {
  enum class Outcome { kChanged, kUnchanged, kRefused };
  Outcome outcome;
  LargeString contents;  // the whole new file, when kChanged
  std::string reason;    // when kRefused
};

// Sets `keyword` of `section` to `value`, changing nothing else: an existing
// entry keeps its spelling and spacing; a new one is written as
// keyword=value after the last entry of its section; a new section goes at
// the end of the file after a blank line. Lines keep their endings (a new
// line ends like the file's first line). The result is parsed again and
// refused unless the reader sees exactly the intended change.
IniEdit set_keyword(const OdbcIniFile& file, std::string_view section, std::string_view keyword,
                    std::string_view value, std::size_t max_line_length = kReaderChunk);
IniEdit set_keyword(std::string_view contents, std::string_view section, std::string_view keyword,
                    std::string_view value, std::size_t max_line_length = kReaderChunk);

}  // namespace tolvane

#endif  // TOLVANE_ODBC_INI_FILE_H_
