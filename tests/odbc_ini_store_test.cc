// The built Tolvane against real odbc.ini files, judged by unixODBC's reader.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using test::ProcessOptions;
using test::TempDir;

constexpr const char* kUsage =
    "Tolvane \"Data Source Name\" Keyword Value\n"
    "For  example: \n"
    "Tolvane \"My DSN\" AllowUnsupportedChar 1\n";

bool same_name(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// Whether a reader line ("section<TAB>keyword<TAB>value") is about
// (section, keyword); if so, its value.
std::optional<std::string> about(const std::string& line, const std::string& section,
                                 const std::string& keyword) {
  const std::size_t tab = line.find('\t');
  const std::size_t tab2 = line.find('\t', tab + 1);
  if (!same_name(line.substr(0, tab), section) ||
      !same_name(line.substr(tab + 1, tab2 - tab - 1), keyword))
    return std::nullopt;
  return line.substr(tab2 + 1);
}

// The reader's lines that are not about (section, keyword).
std::vector<std::string> others(const std::vector<std::string>& view, const std::string& section,
                                const std::string& keyword) {
  std::vector<std::string> kept;
  for (const std::string& line : view)
    if (!about(line, section, keyword)) kept.push_back(line);
  return kept;
}

// The value the reader gives for (section, keyword) in `view`.
std::optional<std::string> value_in(const std::vector<std::string>& view,
                                    const std::string& section, const std::string& keyword) {
  for (const std::string& line : view)
    if (auto value = about(line, section, keyword)) return value;
  return std::nullopt;
}

struct Edit {
  const char* what;
  std::optional<std::string> before;  // nullopt: no file
  std::string section, keyword, value;
  std::string after;
};

TEST(Store, ChangesOneEntryAndKeepsEveryOtherByte) {
  const std::string long_comment = "# " + std::string(1200, 'c') + "\n";
  const std::vector<Edit> cases{
      {"missing file", std::nullopt, "My DSN", "AllowUnsupportedChar", "1",
       "[My DSN]\nAllowUnsupportedChar=1\n"},
      {"empty file", "", "DSN", "Key", "v", "[DSN]\nKey=v\n"},
      {"comments only", "# only a comment", "DSN", "Key", "v",
       "# only a comment\n\n[DSN]\nKey=v\n"},
      {"new section after a blank line", "[A]\na=1\n\n", "DSN", "Key", "v",
       "[A]\na=1\n\n[DSN]\nKey=v\n"},
      {"comments, blank lines and other sections kept",
       "# top\n[A]\n; about a\na = 1\n\n[DSN]\n# the driver\nDriver=x\n\n# tail\n[B]\nb=2\n", "DSN",
       "Key", "v",
       "# top\n[A]\n; about a\na = 1\n\n[DSN]\n# the driver\nDriver=x\nKey=v\n\n# "
       "tail\n[B]\nb=2\n"},
      {"existing entry keeps spelling and spacing", "[dsn]\n  KEY\t=  old value  ; x \nz=1\n",
       "DSN", "key", "new", "[dsn]\n  KEY\t=  new \nz=1\n"},
      {"CRLF kept, new entry uses CRLF", "[A]\r\na=1\r\n\r\n[DSN]\r\nx=1\r\n", "DSN", "Key", "v",
       "[A]\r\na=1\r\n\r\n[DSN]\r\nx=1\r\nKey=v\r\n"},
      {"CRLF existing entry", "[DSN]\r\nKey = old\r\n", "DSN", "Key", "v", "[DSN]\r\nKey = v\r\n"},
      {"no trailing newline, existing entry", "[DSN]\nKey=old", "DSN", "Key", "v", "[DSN]\nKey=v"},
      {"no trailing newline, new entry", "[DSN]\nx=1", "DSN", "Key", "v", "[DSN]\nx=1\nKey=v\n"},
      {"no trailing newline, new section", "[A]\nx=1", "DSN", "Key", "v",
       "[A]\nx=1\n\n[DSN]\nKey=v\n"},
      {"first of duplicate sections", "[DSN]\na=1\n\n[dsn]\nKey=old\n", "DSN", "Key", "v",
       "[DSN]\na=1\nKey=v\n\n[dsn]\nKey=old\n"},
      {"first of duplicate keys", "[DSN]\nkey=1\nKEY=2\n", "DSN", "Key", "v",
       "[DSN]\nkey=v\nKEY=2\n"},
      {"section without entries", "[DSN]\n\n[B]\nb=1\n", "DSN", "Key", "v",
       "[DSN]\nKey=v\n\n[B]\nb=1\n"},
      {"bare name gets a value", "[DSN]\n  Key  \n", "DSN", "Key", "v", "[DSN]\n  Key=v  \n"},
      {"empty value", "[DSN]\nKey = \n", "DSN", "Key", "v", "[DSN]\nKey = v\n"},
      {"value set to empty", "[DSN]\nKey = old\n", "DSN", "Key", "", "[DSN]\nKey = \n"},
      {"indented header and entry", "[A]\n  [ DSN ]  \n\tKey = a=b\n", "DSN", "Key", "c;d #e",
       "[A]\n  [ DSN ]  \n\tKey = c;d #e\n"},
      {"long comment elsewhere", "[A]\n" + long_comment + "[DSN]\nKey=old\n", "DSN", "Key", "v",
       "[A]\n" + long_comment + "[DSN]\nKey=v\n"},
      {"blanks inside the value and 8-bit bytes", "[Caf\xe9]\n", "caf\xe9", "Key", "a  b\t\xff",
       "[Caf\xe9]\nKey=a  b\t\xff\n"},
  };
  for (const Edit& c : cases) {
    TempDir dir;
    const std::string file = dir / "user.ini";
    if (c.before) test::write(file, *c.before);
    const auto view_before = test::reader_view(file);

    const auto result = test::tolvane(dir, {c.section, c.keyword, c.value});
    ASSERT_EQ(result.status, 0) << c.what << ": " << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(test::read(file), c.after) << c.what;

    const auto view_after = test::reader_view(file);
    EXPECT_EQ(value_in(view_after, c.section, c.keyword), c.value) << c.what;
    EXPECT_EQ(others(view_after, c.section, c.keyword), others(view_before, c.section, c.keyword))
        << c.what;
    EXPECT_EQ(test::list(dir.path()), std::vector<std::string>{"user.ini"}) << c.what;
  }
}

TEST(Store, LargeStoreChangesOnlyTheOneLine) {
  // Over a megabyte, so its buffers come from the large allocator.
  std::string contents = "# A large store\n";
  for (int i = 0; i < 20000; ++i) {
    const std::string n = std::to_string(i);
    contents += "[DSN" + n + "]\nDriver=SQLite3\nDatabase=/srv/db/" + n + ".db\nTimeout=30\n\n";
  }
  ASSERT_GT(contents.size(), 1u << 20);
  TempDir dir;
  test::write(dir / "user.ini", contents);

  const auto result = test::tolvane(dir, {"dsn12345", "Timeout", "60"});
  ASSERT_EQ(result.status, 0) << result.err;
  std::string expected = contents;
  const std::string old_line =
      "[DSN12345]\nDriver=SQLite3\nDatabase=/srv/db/12345.db\nTimeout=30\n";
  const std::size_t at = expected.find(old_line);
  ASSERT_NE(at, std::string::npos);
  expected.replace(at + old_line.size() - 3, 2, "60");
  EXPECT_EQ(test::read(dir / "user.ini"), expected);

  ASSERT_EQ(test::tolvane(dir, {"DSN19999", "Port", "5432"}).status, 0);
  expected.insert(expected.size() - 1, "Port=5432\n");
  EXPECT_EQ(test::read(dir / "user.ini"), expected);
}

struct Scope {
  const char* what;
  std::optional<std::string> user, system;
  std::optional<std::string> search;  // ODBCSEARCH
  bool user_written;
};

TEST(Store, WritesWhereTheDataSourceLives) {
  const std::string user = "[U]\nDriver=u\n";
  const std::string system = "[S]\nDriver=s\nDatabase=/srv/s.db\n[U]\nDriver=hidden\n";
  const std::vector<Scope> cases{
      {"user data source", user, system, std::nullopt, true},
      {"system data source", user, system, std::nullopt, false},
      {"system data source, no user file", std::nullopt, system, std::nullopt, false},
      {"new data source", user, system, std::nullopt, true},
      {"ODBCSEARCH picks the system store", user, system, "ODBC_SYSTEM_DSN", false},
      {"ODBCSEARCH picks the user store", user, system, "ODBC_USER_DSN", true},
      {"ODBCSEARCH both", user, system, "ODBC_BOTH_DSN", false},
  };
  const std::vector<std::string> data_sources{"U", "S", "S", "New", "U", "S", "S"};
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Scope& c = cases[i];
    TempDir dir;
    const std::string user_file = dir / "user.ini";
    const std::string system_file = dir / "odbc.ini";
    if (c.user) test::write(user_file, *c.user);
    if (c.system) test::write(system_file, *c.system);
    ProcessOptions options;
    options.env["ODBCSEARCH"] = c.search;
    const auto result = test::tolvane(dir, {data_sources[i], "Port", "5432"}, options);
    ASSERT_EQ(result.status, 0) << c.what << ": " << result.err;

    const std::string& written = c.user_written ? user_file : system_file;
    const std::string& untouched = c.user_written ? system_file : user_file;
    const auto& untouched_before = c.user_written ? c.system : c.user;
    EXPECT_EQ(value_in(test::reader_view(written), data_sources[i], "Port"), "5432") << c.what;
    EXPECT_EQ(test::exists(untouched), untouched_before.has_value()) << c.what;
    if (untouched_before) {
      EXPECT_EQ(test::read(untouched), *untouched_before) << c.what;
    }
  }
}

TEST(Store, SystemDataSourceIsWrittenWhenTheUserFileIsOutOfReach) {
  TempDir dir;
  test::write(dir / "odbc.ini", "[S]\nDriver=s\n");
  ProcessOptions options;
  options.env["ODBCINI"] = dir / "no-such-directory/user.ini";
  const auto result = test::tolvane(dir, {"S", "Port", "5432"}, options);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(test::read(dir / "odbc.ini"), "[S]\nDriver=s\nPort=5432\n");

  // A new data source has nowhere to go then.
  const auto failed = test::tolvane(dir, {"New", "Port", "5432"}, options);
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.err.find(dir / "no-such-directory/user.ini"), std::string::npos) << failed.err;
}

TEST(Store, SystemKeywordsMustBeReadableBehindTheUserFile) {
  // Drivers read the system file behind the user's, where unixODBC skips
  // entries that do not start with a letter or a digit.
  TempDir dir;
  const std::string system = "[S]\nDriver=s\n";
  test::write(dir / "odbc.ini", system);
  const auto result = test::tolvane(dir, {"S", "_Hidden", "1"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("start with a letter or a digit"), std::string::npos) << result.err;
  EXPECT_EQ(test::read(dir / "odbc.ini"), system);
  // The same keyword is fine in a user data source.
  EXPECT_EQ(test::tolvane(dir, {"U", "_Visible", "1"}).status, 0);
  EXPECT_EQ(value_in(test::reader_view("ODBC.INI", test::store_in(dir)), "U", "_Visible"), "1");
}

TEST(Store, SystemDataSourceKeepsItsOtherKeywordsForDrivers) {
  TempDir dir;
  test::write(dir / "odbc.ini", "[S]\nDriver=s\nDatabase=/srv/s.db\n");
  ASSERT_EQ(test::tolvane(dir, {"S", "Port", "5432"}).status, 0);
  // What a driver manager sees, both stores merged.
  const auto merged = test::reader_view("ODBC.INI", test::store_in(dir));
  EXPECT_EQ(value_in(merged, "S", "Driver"), "s");
  EXPECT_EQ(value_in(merged, "S", "Database"), "/srv/s.db");
  EXPECT_EQ(value_in(merged, "S", "Port"), "5432");
}

TEST(Store, SettingTheSameValueWritesNothing) {
  TempDir dir;
  const std::string file = dir / "user.ini";
  test::write(file, "[DSN]\nKey = same\n");
  const timespec old_times[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), old_times, 0), 0);
  struct stat before;
  ASSERT_EQ(stat(file.c_str(), &before), 0);

  for (int run = 0; run < 2; ++run) {
    const auto result = test::tolvane(dir, {"dsn", "KEY", "same"});
    EXPECT_EQ(result.status, 0) << result.err;
  }
  struct stat after;
  ASSERT_EQ(stat(file.c_str(), &after), 0);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(test::read(file), "[DSN]\nKey = same\n");
}

TEST(Store, FollowsSymbolicLinks) {
  TempDir dir;
  const std::string real = dir / "real.ini";
  test::write(real, "[DSN]\nKey=old\n");
  ASSERT_EQ(symlink("real.ini", (dir / "user.ini").c_str()), 0);
  ASSERT_EQ(test::tolvane(dir, {"DSN", "Key", "new"}).status, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "user.ini"));
  EXPECT_EQ(test::read(real), "[DSN]\nKey=new\n");

  // A dangling link gets its target created.
  TempDir other;
  ASSERT_EQ(symlink((other / "created.ini").c_str(), (dir / "dangling.ini").c_str()), 0);
  ProcessOptions options;
  options.env["ODBCINI"] = dir / "dangling.ini";
  ASSERT_EQ(test::tolvane(dir, {"DSN", "Key", "v"}, options).status, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "dangling.ini"));
  EXPECT_EQ(test::read(other / "created.ini"), "[DSN]\nKey=v\n");
  EXPECT_EQ(test::list(other.path()), std::vector<std::string>{"created.ini"});
}

mode_t mode_of(const std::string& path) {
  struct stat status;
  EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
  return status.st_mode & 07777;
}

TEST(Store, KeepsModeOwnerAndGroupAndCreatesPrivateUserFiles) {
  TempDir dir;
  const std::string file = dir / "user.ini";
  test::write(file, "[DSN]\n");
  ASSERT_EQ(chmod(file.c_str(), 0640), 0);
  const passwd* nobody = getpwnam("nobody");
  const bool root = geteuid() == 0 && nobody != nullptr;
  if (root) {
    ASSERT_EQ(chown(file.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
  }
  ASSERT_EQ(test::tolvane(dir, {"DSN", "Key", "v"}).status, 0);
  EXPECT_EQ(mode_of(file), 0640u);
  if (root) {
    struct stat status;
    ASSERT_EQ(stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, nobody->pw_uid);
    EXPECT_EQ(status.st_gid, nobody->pw_gid);
  }

  // Extended attributes (ACLs and labels live there too) are carried over.
  const std::string attribute = "user.tolvane-test";
  if (setxattr(file.c_str(), attribute.c_str(), "kept", 4, 0) == 0) {
    ASSERT_EQ(test::tolvane(dir, {"DSN", "Key", "changed"}).status, 0);
    char value[16] = {};
    EXPECT_EQ(getxattr(file.c_str(), attribute.c_str(), value, sizeof value), 4);
    EXPECT_STREQ(value, "kept");
  }

  // New files, whatever the umask: user 0600 (it may hold passwords),
  // system 0644.
  const mode_t old_umask = umask(0);
  ProcessOptions user_store;
  user_store.env["ODBCINI"] = dir / "new-user.ini";
  ASSERT_EQ(test::tolvane(dir, {"DSN", "Password", "secret"}, user_store).status, 0);
  ProcessOptions system_store;
  system_store.env["ODBCSEARCH"] = "ODBC_SYSTEM_DSN";
  ASSERT_EQ(test::tolvane(dir, {"DSN", "Key", "v"}, system_store).status, 0);
  umask(old_umask);
  EXPECT_EQ(mode_of(dir / "new-user.ini"), 0600u);
  EXPECT_EQ(mode_of(dir / "odbc.ini"), 0644u);
}

struct Failure {
  const char* what;
  std::string message;  // part of the error line
};

// Runs a failing case: status 1, one message line naming the file, the
// store byte for byte as it was and nothing left behind.
void expect_failure(const TempDir& dir, const Failure& c, const ProcessOptions& options,
                    const std::string& file) {
  const std::string before = test::read(file);
  const auto names_before = test::list(dir.path());
  const auto result = test::tolvane(dir, {"DSN", "Key", std::string(300, 'n')}, options);
  EXPECT_EQ(result.status, 1) << c.what;
  EXPECT_EQ(result.out, "") << c.what;
  EXPECT_EQ(result.err.rfind("Tolvane: cannot set Key of data source \"DSN\" in " + file + ": ", 0),
            0u)
      << c.what << ": " << result.err;
  EXPECT_NE(result.err.find(c.message), std::string::npos) << c.what << ": " << result.err;
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  EXPECT_EQ(test::read(file), before) << c.what;
  EXPECT_EQ(test::list(dir.path()), names_before) << c.what;
}

TEST(Store, FailuresLeaveTheStoreAsItWas) {
  const std::string contents = "# keep me\n[DSN]\nKey=old\n" + std::string(3000, '#') + "\n";
  {
    TempDir dir;
    test::write(dir / "user.ini", "Key=1\n[DSN]\n");
    expect_failure(dir, {"unreadable file", "entry before the first section header"}, {},
                   dir / "user.ini");
  }
  {
    TempDir dir;
    test::write(dir / "user.ini", contents);
    ProcessOptions options;
    options.file_size_limit = 3072;  // ulimit -f: the new version does not fit
    expect_failure(dir, {"file size limit", "File too large"}, options, dir / "user.ini");
  }
  {
    TempDir dir;
    std::filesystem::create_directory(dir / "user.ini");
    expect_failure(dir, {"a directory in its place", "not a regular file"}, {}, dir / "user.ini");
  }
  {
    TempDir dir;
    ASSERT_EQ(mkfifo((dir / "user.ini").c_str(), 0600), 0);
    expect_failure(dir, {"a named pipe in its place", "not a regular file"}, {}, dir / "user.ini");
  }
  {
    TempDir dir;  // a link to a file in a directory that does not exist
    ASSERT_EQ(symlink((dir / "missing/odbc.ini").c_str(), (dir / "user.ini").c_str()), 0);
    expect_failure(dir, {"dangling link into a missing directory", "No such file or directory"}, {},
                   dir / "user.ini");
  }
  {
    TempDir dir;
    test::write(dir / "user.ini", "[DSN]\nKey" + std::string(990, ' ') + "=1\n");
    expect_failure(dir, {"kept spacing too long", "would become a line of"}, {}, dir / "user.ini");
  }
}

TEST(Store, UnprivilegedUserCannotWriteOrChangeOwnership) {
  const passwd* nobody = getpwnam("nobody");
  if (geteuid() != 0 || nobody == nullptr) GTEST_SKIP() << "needs root to run as nobody";
  // A copy of Tolvane that nobody can run wherever the build tree is.
  TempDir programs;
  ASSERT_EQ(chmod(programs.path().c_str(), 0755), 0);
  std::filesystem::copy_file(TOLVANE_BINARY, programs / "Tolvane");
  ProcessOptions as_nobody;
  as_nobody.user = nobody->pw_uid;
  as_nobody.tolvane = programs / "Tolvane";
  const std::string contents = "[DSN]\nKey=old\n";
  {
    TempDir dir;  // root's file in root's directory
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    test::write(dir / "user.ini", contents);
    ASSERT_EQ(chmod((dir / "user.ini").c_str(), 0644), 0);
    expect_failure(dir, {"unwritable", "Permission denied"}, as_nobody, dir / "user.ini");
  }
  {
    TempDir dir;  // nobody's own file, read-only, in a directory nobody may write
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    test::write(dir / "user.ini", contents);
    ASSERT_EQ(chown((dir / "user.ini").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(chmod((dir / "user.ini").c_str(), 0444), 0);
    expect_failure(dir, {"read-only file", "Permission denied"}, as_nobody, dir / "user.ini");
    // Setting the value it already holds needs no write, so it succeeds.
    const auto same = test::tolvane(dir, {"DSN", "Key", "old"}, as_nobody);
    EXPECT_EQ(same.status, 0) << same.err;
  }
  {
    TempDir dir;  // nobody's own file in nobody's read-only directory
    ASSERT_EQ(chown(dir.path().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    test::write(dir / "user.ini", contents);
    ASSERT_EQ(chown((dir / "user.ini").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    expect_failure(dir, {"read-only directory", "cannot create a temporary file"}, as_nobody,
                   dir / "user.ini");
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  }
  {
    TempDir dir;  // root's file that nobody may write: ownership cannot be kept
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    test::write(dir / "user.ini", contents);
    ASSERT_EQ(chmod((dir / "user.ini").c_str(), 0666), 0);
    expect_failure(dir, {"owner", "cannot give the new version the file's owner 0 and group 0"},
                   as_nobody, dir / "user.ini");
  }
}

TEST(Store, RefusedArgumentsAndUsageTouchNothing) {
  TempDir dir;
  const auto usage = test::tolvane(dir, {"My DSN", "AllowUnsupportedChar"});
  EXPECT_EQ(usage.status, 255);
  EXPECT_EQ(usage.out, kUsage);
  EXPECT_EQ(usage.err, "");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"A[B", "K", "v"}, {"DSN", "", "v"}, {"DSN", "K", "1\n[Evil]\nDriver=/tmp/evil.so"}}) {
    const auto result = test::tolvane(dir, args);
    EXPECT_EQ(result.status, 2) << args[0];
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err, "");
  }
  EXPECT_TRUE(test::list(dir.path()).empty());
}

TEST(Store, ParallelRunsLoseNoUpdate) {
  TempDir dir;
  test::write(dir / "user.ini", "# shared\n[Other]\nx=1\n");
  constexpr int kRuns = 50;
  std::vector<test::Running> running;
  for (int i = 0; i < kRuns; ++i) {
    // Half the runs add to one data source, half to another, one new.
    const std::string dsn = i % 2 == 0 ? "Other" : "Fresh";
    running.push_back(
        test::start({TOLVANE_BINARY, dsn, "Key" + std::to_string(i), "value " + std::to_string(i)},
                    test::store_in(dir)));
  }
  for (const auto& run : running) EXPECT_EQ(test::finish(run).status, 0);
  const auto view = test::reader_view(dir / "user.ini");
  for (int i = 0; i < kRuns; ++i) {
    const std::string dsn = i % 2 == 0 ? "Other" : "Fresh";
    EXPECT_EQ(value_in(view, dsn, "Key" + std::to_string(i)), "value " + std::to_string(i)) << i;
  }
  EXPECT_EQ(value_in(view, "Other", "x"), "1");
  EXPECT_EQ(test::read(dir / "user.ini").rfind("# shared\n", 0), 0u);
  EXPECT_EQ(test::list(dir.path()), std::vector<std::string>{"user.ini"});
}

TEST(Store, IsqlConnectsThroughADataSourceSetByTolvane) {
  if (std::string(ISQL_PROGRAM).empty() || std::string(SQLITE_ODBC_DRIVER).empty() ||
      std::string(SQLITE3_PROGRAM).empty())
    GTEST_SKIP() << "needs isql, sqlite3 and the SQLite ODBC driver";
  TempDir dir;
  test::write(dir / "odbcinst.ini", std::string("[SQLite3]\nDriver=") + SQLITE_ODBC_DRIVER + "\n");
  for (const char* name : {"first", "second"}) {
    ProcessOptions sql;
    sql.input = std::string("CREATE TABLE t(x TEXT); INSERT INTO t VALUES('") + name + "');";
    ASSERT_EQ(test::run({SQLITE3_PROGRAM, dir / (std::string(name) + ".db")}, sql).status, 0);
  }
  auto query = [&] {
    ProcessOptions options = test::store_in(dir);
    options.input = "SELECT x FROM t;\n";
    return test::run({ISQL_PROGRAM, "-b", "-v", "My DSN"}, options);
  };
  ASSERT_EQ(test::tolvane(dir, {"My DSN", "Driver", "SQLite3"}).status, 0);
  ASSERT_EQ(test::tolvane(dir, {"My DSN", "Database", dir / "first.db"}).status, 0);
  auto result = query();
  EXPECT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_NE(result.out.find("first"), std::string::npos) << result.out;

  ASSERT_EQ(test::tolvane(dir, {"My DSN", "Database", dir / "second.db"}).status, 0);
  result = query();
  EXPECT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_NE(result.out.find("second"), std::string::npos) << result.out;
  EXPECT_EQ(result.out.find("first"), std::string::npos) << result.out;
}

}  // namespace
