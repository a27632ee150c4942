#include "test_support.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tolvane-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

namespace {

std::string temp_file() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tolvane-io-XXXXXX").string();
  const int fd = mkstemp(pattern.data());
  if (fd < 0) throw std::runtime_error("mkstemp failed");
  close(fd);
  return pattern;
}

}  // namespace

Running start(const std::vector<std::string>& argv, const ProcessOptions& options) {
  Running running{-1, temp_file(), temp_file()};
  const std::string in_path = temp_file();
  write(in_path, options.input);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  const int in = open(in_path.c_str(), O_RDONLY | O_CLOEXEC);
  const int out = open(running.out_path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  const int err = open(running.err_path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  unlink(in_path.c_str());
  if (in < 0 || out < 0 || err < 0) throw std::runtime_error("cannot open the child's streams");
  running.pid = fork();
  if (running.pid < 0) throw std::runtime_error("fork failed");
  if (running.pid == 0) {
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    for (const auto& [name, value] : options.env) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
    if (options.file_size_limit) {
      const rlimit limit{*options.file_size_limit, *options.file_size_limit};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(122);
    }
    if (options.user && geteuid() == 0) {
      const gid_t group = *options.user;
      if (setgroups(1, &group) != 0 || setgid(group) != 0 || setuid(*options.user) != 0) _exit(123);
    }
    execv(args[0], args.data());
    _exit(127);
  }
  close(in);
  close(out);
  close(err);
  return running;
}

ProcessResult finish(const Running& running) {
  int wait_status = 0;
  while (waitpid(running.pid, &wait_status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }
  ProcessResult result;
  result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  result.out = read(running.out_path);
  result.err = read(running.err_path);
  unlink(running.out_path.c_str());
  unlink(running.err_path.c_str());
  return result;
}

ProcessResult run(const std::vector<std::string>& argv, const ProcessOptions& options) {
  return finish(start(argv, options));
}

ProcessOptions store_in(const TempDir& dir) {
  ProcessOptions options;
  options.env["ODBCINI"] = dir / "user.ini";
  options.env["ODBCSYSINI"] = dir.path();
  options.env["ODBCSEARCH"] = std::nullopt;
  return options;
}

ProcessResult tolvane(const TempDir& dir, const std::vector<std::string>& args,
                      ProcessOptions options) {
  ProcessOptions merged = store_in(dir);
  for (auto& [name, value] : options.env) merged.env[name] = value;
  options.env = merged.env;
  std::vector<std::string> argv{options.tolvane};
  argv.insert(argv.end(), args.begin(), args.end());
  return run(argv, options);
}

std::string read(const std::string& path) {
  if (!std::filesystem::is_regular_file(path)) return "";  // never block on a pipe
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

void write(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << contents;
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

bool exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::symlink_status(path, ignored).type() !=
         std::filesystem::file_type::not_found;
}

std::vector<std::string> list(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> reader_view(const std::string& file, const ProcessOptions& options) {
  const ProcessResult result = run({ODBC_INI_DUMP, file}, options);
  if (result.status != 0) throw std::runtime_error("odbc_ini_dump failed: " + result.err);
  std::vector<std::string> lines;
  std::istringstream in(result.out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace test
