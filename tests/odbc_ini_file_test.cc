// The odbc.ini parser and editor, held to unixODBC's own reader.
#include "odbc_ini_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace {

using tolvane::IniEdit;
using tolvane::OdbcIniFile;

// The parser's view in the reader's dump format: every section and entry in
// file order, each value looked up by name as the reader looks it up.
std::vector<std::string> parser_view(const std::string& contents) {
  const OdbcIniFile file(contents);
  if (!file.readable()) return {"!unreadable"};
  std::vector<std::string> lines;
  for (const auto& section : file.sections()) {
    const std::string_view name = file.name(section);
    for (const auto& entry : file.entries(*file.find_section(name))) {
      lines.push_back(std::string(name) + "\t" + std::string(file.name(entry)) + "\t" +
                      std::string(*file.value(name, file.name(entry))));
    }
  }
  return lines;
}

struct Sample {
  const char* what;
  std::string contents;
};

std::vector<Sample> awkward_files() {
  const std::string long_comment = "#" + std::string(1500, 'x') + "=1\n";
  const std::string long_value = "Key=" + std::string(995, 'v') + "[Hidden]\n";
  return {
      {"empty", ""},
      {"comments and blank lines only", "# a\n\n; b\n   \n"},
      {"plain", "[A]\nk=1\nj = 2\n\n[B]\nk=3\n"},
      {"CRLF", "[A]\r\nk=1\r\n\r\n[B]\r\nk = 2 \r\n"},
      {"no trailing newline", "[A]\nk=1"},
      {"odd spacing", "[  Spaced Name  ]  trailing\n\t key\t=\t value with  blanks \t\n"},
      {"case differences", "[dsn]\nKEY=1\n[DSN]\nkey=2\n"},
      {"duplicate keys", "[A]\nk=1\nK=2\nk=3\n"},
      {"indented later header and entries", "[A]\n   [B]\n\t  k=1\n"},
      {"comment characters inside", "[A]\nk=v;1 # not a comment\n  # comment\n  ;x=1\n"},
      {"bare name and empty values", "[A]\nbare\nempty=\nblank =   \n"},
      {"equals in value", "[A]\nk==a=b=\n"},
      {"header without closing bracket", "[A\nk=1\n[B] junk ] more\nj=2\n"},
      {"entry before the first section", "k=1\n[A]\nj=2\n"},
      {"indented first header", "  [A]\nk=1\n"},
      {"byte order mark", "\xef\xbb\xbf[A]\nk=1\n"},
      {"comment before the first header", "# c\n; d\n[A]\nk=1\n"},
      {"long comment split by the reader", "[A]\n" + long_comment + "k=1\n"},
      {"long line hiding a header", "[A]\n" + long_value + "k=1\n"},
      {"NUL inside a line", std::string("[A]\nk=a\0b\nj=2\n", 14)},
      {"8-bit names", "[Caf\xe9]\nCl\xe9=\xff\n"},
  };
}

TEST(OdbcIniFile, ReadsFilesAsUnixOdbcDoes) {
  test::TempDir dir;
  for (const Sample& sample : awkward_files()) {
    const std::string path = dir / "sample.ini";
    test::write(path, sample.contents);
    EXPECT_EQ(parser_view(sample.contents), test::reader_view(path)) << sample.what;
  }
}

TEST(OdbcIniFile, FindsFirstSectionAndEntryCaseInsensitively) {
  const OdbcIniFile file("[a]\nx=1\n[A]\nk=2\n[B]\nK=3\nk=4\n");
  EXPECT_EQ(file.value("A", "x"), "1");
  EXPECT_EQ(file.value("A", "k"), std::nullopt);  // only the first [A] counts
  EXPECT_EQ(file.value("b", "k"), "3");
  EXPECT_EQ(file.find_section("missing"), nullptr);
}

TEST(OdbcIniFile, ExplainsWhyTheReaderIgnoresAFile) {
  EXPECT_EQ(OdbcIniFile("# c\nk=1\n[A]\n").problem(),
            "line 2 is an entry before the first section header, so unixODBC ignores the whole "
            "file");
  EXPECT_EQ(OdbcIniFile("\n  [A]\n").problem(),
            "line 2 is an indented first section header, so unixODBC ignores the whole file");
  EXPECT_TRUE(OdbcIniFile("").readable());
}

struct Refused {
  const char* what;
  std::string contents;
  std::string keyword, value;
  std::string reason;
};

TEST(SetKeyword, RefusesWhatWouldNotReadBackAsIntended) {
  const std::vector<Refused> cases{
      {"unreadable file", "k=1\n[DSN]\n", "k", "2", "the file is not valid odbc.ini: line 1"},
      {"kept spacing too long", "[DSN]\nk" + std::string(990, ' ') + "=1\n", "k", "12345678",
       "the existing entry, kept with its spacing, would become a line of 1000 bytes"},
      {"new entry lands behind a hidden header", "[DSN]\nk=" + std::string(997, 'v') + "[Other]\n",
       "new", "1", "would not read back as intended"},
  };
  for (const Refused& c : cases) {
    const IniEdit edit = tolvane::set_keyword(c.contents, "DSN", c.keyword, c.value);
    EXPECT_EQ(edit.outcome, IniEdit::Outcome::kRefused) << c.what;
    EXPECT_NE(edit.reason.find(c.reason), std::string::npos) << c.what << ": " << edit.reason;
  }
}

TEST(SetKeyword, LeavesAFileThatAlreadyHoldsTheValueAlone) {
  for (const char* contents :
       {"[dsn]\n  KEY =  on  \n", "[DSN]\r\nKey=on", "[DSN]\nkey=on\nkey=off\n"}) {
    EXPECT_EQ(tolvane::set_keyword(contents, "DSN", "Key", "on").outcome,
              IniEdit::Outcome::kUnchanged)
        << contents;
  }
}

}  // namespace
