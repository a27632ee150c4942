// Finding the user and system odbc.ini exactly where unixODBC finds them.
#include "odbc_ini_paths.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <map>
#include <optional>
#include <string>

#include "test_support.h"

namespace {

std::string odbcinst_says(const std::string& output, const std::string& label) {
  const std::size_t at = output.find(label);
  if (at == std::string::npos) return "(missing " + label + ")";
  const std::size_t begin = output.find(": ", at) + 2;
  return output.substr(begin, output.find('\n', begin) - begin);
}

struct Setting {
  const char* what;
  std::map<std::string, std::optional<std::string>> env;
};

TEST(OdbcIniPaths, MatchWhatOdbcinstReports) {
  if (std::string(ODBCINST_PROGRAM).empty()) GTEST_SKIP() << "odbcinst is not installed";
  test::TempDir dir;
  const std::vector<Setting> settings{
      {"unset", {{"ODBCINI", std::nullopt}, {"ODBCSYSINI", std::nullopt}}},
      {"set", {{"ODBCINI", dir / "mine.ini"}, {"ODBCSYSINI", dir.path()}}},
      {"relative", {{"ODBCINI", "rel/user.ini"}, {"ODBCSYSINI", "rel/etc"}}},
      {"empty", {{"ODBCINI", ""}, {"ODBCSYSINI", ""}}},
      {"HOME elsewhere",
       {{"ODBCINI", std::nullopt}, {"ODBCSYSINI", std::nullopt}, {"HOME", dir / "nohome"}}},
      {"HOME unset", {{"ODBCINI", std::nullopt}, {"HOME", std::nullopt}}},
  };
  for (const Setting& setting : settings) {
    test::ProcessOptions options;
    options.env = setting.env;
    const test::ProcessResult odbcinst = test::run({ODBCINST_PROGRAM, "-j"}, options);
    ASSERT_EQ(odbcinst.status, 0) << odbcinst.err;

    std::map<std::string, std::optional<std::string>> saved;
    for (const auto& [name, value] : setting.env) {
      const char* old = getenv(name.c_str());
      saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
      value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }
    const auto files_before = test::list(dir.path());
    EXPECT_EQ(tolvane::user_odbc_ini_path(), odbcinst_says(odbcinst.out, "USER DATA SOURCES"))
        << setting.what;
    EXPECT_EQ(tolvane::system_odbc_ini_path(), odbcinst_says(odbcinst.out, "SYSTEM DATA SOURCES"))
        << setting.what;
    EXPECT_EQ(test::list(dir.path()), files_before) << "finding the files created something";
    for (const auto& [name, value] : saved)
      value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
  }
}

}  // namespace
