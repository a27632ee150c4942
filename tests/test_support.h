// Running programs and handling files for the tests.
#ifndef TOLVANE_TESTS_TEST_SUPPORT_H_
#define TOLVANE_TESTS_TEST_SUPPORT_H_

#include <sys/resource.h>
#include <sys/types.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace test {

// A fresh directory, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

struct ProcessOptions {
  // Variables to set (a value) or unset (nullopt) in the child's environment.
  std::map<std::string, std::optional<std::string>> env;
  std::string input;                      // standard input
  std::optional<uid_t> user;              // run as this user (and its group), when root
  std::optional<rlim_t> file_size_limit;  // bytes, as ulimit -f
  std::string tolvane = TOLVANE_BINARY;   // the Tolvane that tolvane() runs
};

struct ProcessResult {
  int status = -1;  // exit status, or 128 + signal number
  std::string out;
  std::string err;
};

ProcessResult run(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// Starts a program without waiting for it; finish() collects it.
struct Running {
  pid_t pid;
  std::string out_path;
  std::string err_path;
};
Running start(const std::vector<std::string>& argv, const ProcessOptions& options = {});
ProcessResult finish(const Running& running);

// Tolvane with its store pointed into `dir`: user file dir/user.ini, system
// file dir/odbc.ini, unless `options` says otherwise.
ProcessResult tolvane(const TempDir& dir, const std::vector<std::string>& args,
                      ProcessOptions options = {});
ProcessOptions store_in(const TempDir& dir);

// A regular file's contents; empty for anything else.
std::string read(const std::string& path);
void write(const std::string& path, const std::string& contents);
bool exists(const std::string& path);
// The names in a directory, sorted.
std::vector<std::string> list(const std::string& dir);

// What unixODBC's reader sees in a file (or "ODBC.INI", the merged store),
// one "section<TAB>keyword<TAB>value" line each.
std::vector<std::string> reader_view(const std::string& file, const ProcessOptions& options = {});

}  // namespace test

#endif  // TOLVANE_TESTS_TEST_SUPPORT_H_
