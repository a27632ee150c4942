// The odbc.ini store under fire: runs killed at any moment, a lock held by
// someone else, and many writers at once, with unixODBC's reader watching.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> tolvane_args(const std::string& dsn, const std::string& key,
                                      const std::string& value) {
  return {TOLVANE_BINARY, dsn, key, value};
}

std::set<std::string> as_set(const std::vector<std::string>& view) {
  return {view.begin(), view.end()};
}

std::vector<std::string> temporaries(const test::TempDir& dir) {
  std::vector<std::string> found;
  for (const std::string& name : test::list(dir.path()))
    if (name != "user.ini") found.push_back(name);
  return found;
}

const char* const kBase =
    "# Data sources for the kill test\n"
    "[Base]\nDriver=SQLite3\nDatabase=/srv/base.db\n\n"
    "; victims land here\n[Victims]\nDescription=killed runs\n\n"
    "[Bystanders]\nDescription=runs that finish\n";

TEST(Faults, KilledRunsNeverLeaveAPartialStore) {
  test::TempDir dir;
  const std::string file = dir / "user.ini";
  test::write(file, kBase);
  const auto options = test::store_in(dir);
  std::set<std::string> expected = as_set(test::reader_view(file));
  std::mt19937 random(20261211);
  std::uniform_int_distribution<int> delay_us(0, 12000);
  int killed = 0;
  int temporaries_seen = 0;

  constexpr int kRounds = 300;
  for (int i = 0; i < kRounds; ++i) {
    const std::string n = std::to_string(i);
    const auto bystander = test::start(tolvane_args("Bystanders", "B" + n, "b" + n), options);
    const auto victim = test::start(tolvane_args("Victims", "V" + n, "v" + n), options);
    std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random)));
    kill(victim.pid, SIGKILL);
    const int victim_status = test::finish(victim).status;
    if (victim_status == 128 + SIGKILL) ++killed;
    ASSERT_EQ(test::finish(bystander).status, 0) << "round " << i;
    temporaries_seen += static_cast<int>(temporaries(dir).size());

    // The reader sees the store as it was before the victim, or after it.
    const auto seen = as_set(test::reader_view(file));
    expected.insert("Bystanders\tB" + n + "\tb" + n);
    const std::string victim_line = "Victims\tV" + n + "\tv" + n;
    if (seen.count(victim_line) != 0) expected.insert(victim_line);
    ASSERT_EQ(seen, expected) << "round " << i;
  }
  // The next run cleans up whatever a killed run left behind.
  ASSERT_EQ(test::run(tolvane_args("Base", "Checked", "yes"), options).status, 0);
  EXPECT_TRUE(temporaries(dir).empty());
  EXPECT_EQ(test::read(file).rfind("# Data sources for the kill test\n[Base]\n", 0), 0u);
  std::cout << "killed: " << killed << " of " << kRounds
            << "; temporary files seen after a kill: " << temporaries_seen << "\n";
}

// Holds the store's lock (on the file's directory) as another run would.
class HeldLock {
 public:
  explicit HeldLock(const std::string& dir) : fd_(open(dir.c_str(), O_RDONLY | O_DIRECTORY)) {
    EXPECT_EQ(flock(fd_, LOCK_EX), 0);
  }
  ~HeldLock() { close(fd_); }
  void release() { flock(fd_, LOCK_UN); }

 private:
  int fd_;
};

bool still_running(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, WNOHANG) == 0;
}

TEST(Faults, RunWaitsForTheLockThenSucceeds) {
  test::TempDir dir;
  test::write(dir / "user.ini", "[DSN]\nKey=old\n");
  HeldLock lock(dir.path());
  const auto run = test::start(tolvane_args("DSN", "Key", "new"), test::store_in(dir));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_TRUE(still_running(run.pid));
  EXPECT_EQ(test::read(dir / "user.ini"), "[DSN]\nKey=old\n");
  lock.release();
  EXPECT_EQ(test::finish(run).status, 0);
  EXPECT_EQ(test::read(dir / "user.ini"), "[DSN]\nKey=new\n");
}

TEST(Faults, LockHeldPastTheBoundIsReportedAsBusy) {
  test::TempDir dir;
  test::write(dir / "user.ini", "[DSN]\nKey=old\n");
  HeldLock lock(dir.path());
  const auto started = Clock::now();
  const auto result = test::tolvane(dir, {"DSN", "Key", "new"});
  const auto waited = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("the store is busy"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find(dir / "user.ini"), std::string::npos) << result.err;
  EXPECT_GE(waited.count(), 9);
  EXPECT_EQ(test::read(dir / "user.ini"), "[DSN]\nKey=old\n");
  EXPECT_EQ(test::list(dir.path()), std::vector<std::string>{"user.ini"});
}

TEST(Faults, ManyWritersLoseNothingAndReadersNeverSeeABrokenFile) {
  constexpr int kWriters = 8;
  constexpr int kRuns = 200;
  test::TempDir dir;
  const std::string file = dir / "user.ini";
  const std::string base =
      "# Load test\n[Load0]\nDriver=x\n\n; second\n[Load1]\nDriver=y\n[Load2]\nDriver=z\n";
  test::write(file, base);
  const auto base_view = test::reader_view(file);
  const auto options = test::store_in(dir);

  std::vector<pid_t> writers;
  for (int w = 0; w < kWriters; ++w) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int failures = 0;
      const std::string dsn = "Load" + std::to_string(w % 3);
      for (int j = 0; j < kRuns; ++j) {
        const auto args =
            j % 2 == 0
                ? tolvane_args(dsn, "W" + std::to_string(w) + "K" + std::to_string(j / 2 % 10),
                               "run" + std::to_string(j))
                : tolvane_args("Load0", "Shared",
                               "w" + std::to_string(w) + "-" + std::to_string(j));
        if (test::run(args, options).status != 0) ++failures;
      }
      _exit(failures == 0 ? 0 : 1);
    }
    writers.push_back(pid);
  }

  int reads = 0;
  auto all_done = [&] {
    return std::none_of(writers.begin(), writers.end(),
                        [](pid_t pid) { return kill(pid, 0) == 0 && still_running(pid); });
  };
  std::vector<int> statuses;
  while (true) {
    const auto view = test::reader_view(file);
    ++reads;
    const auto seen = as_set(view);
    for (const std::string& line : base_view) ASSERT_EQ(seen.count(line), 1u) << line;
    if (all_done()) break;
  }
  for (pid_t pid : writers) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  const auto final_view = as_set(test::reader_view(file));
  for (int w = 0; w < kWriters; ++w) {
    for (int k = 0; k < 10; ++k) {
      const std::string line = "Load" + std::to_string(w % 3) + "\tW" + std::to_string(w) + "K" +
                               std::to_string(k) + "\trun" + std::to_string(180 + 2 * k);
      EXPECT_EQ(final_view.count(line), 1u) << line;
    }
  }
  int shared = 0;
  for (int w = 0; w < kWriters; ++w)
    shared += static_cast<int>(final_view.count("Load0\tShared\tw" + std::to_string(w) + "-199"));
  EXPECT_EQ(shared, 1);
  EXPECT_EQ(final_view.size(), base_view.size() + kWriters * 10 + 1);

  // Every line of the original file is still there, in order.
  const std::string contents = test::read(file);
  std::size_t at = 0;
  for (std::size_t begin = 0, end; (end = base.find('\n', begin)) != std::string::npos;
       begin = end + 1) {
    const std::string line = base.substr(begin, end - begin + 1);
    at = contents.find(line, at);
    ASSERT_NE(at, std::string::npos) << line;
    at += line.size();
  }
  EXPECT_EQ(test::list(dir.path()), std::vector<std::string>{"user.ini"});
  std::cout << "reader checks while writing: " << reads << "\n";
}

}  // namespace
