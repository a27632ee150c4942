// The command on its own, with an installer that records what it is asked.
#include "tolvane.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Call {
  std::string section, entry, string, file;
  bool operator==(const Call&) const = default;
};

class RecordingInstaller : public tolvane::Installer {
 public:
  explicit RecordingInstaller(tolvane::StoreLimits limits = {true, 999},
                              tolvane::WriteResult result = {true, {}, {}})
      : limits_(limits), result_(std::move(result)) {}
  tolvane::StoreLimits limits() const override { return limits_; }
  tolvane::WriteResult write(const std::string& section, const std::string& entry,
                             const std::string& string, const std::string& file) override {
    calls.push_back({section, entry, string, file});
    return result_;
  }
  std::vector<Call> calls;

 private:
  tolvane::StoreLimits limits_;
  tolvane::WriteResult result_;
};

struct Outcome {
  int status;
  std::string out, err;
};

Outcome run(const std::vector<std::string>& args, RecordingInstaller& installer) {
  std::vector<const char*> argv{"Tolvane"};
  for (const auto& arg : args) argv.push_back(arg.c_str());
  std::ostringstream out, err;
  const int status = tolvane::run(static_cast<int>(argv.size()), argv.data(), installer, out, err);
  return {status, out.str(), err.str()};
}

constexpr const char* kUsage =
    "Tolvane \"Data Source Name\" Keyword Value\n"
    "For  example: \n"
    "Tolvane \"My DSN\" AllowUnsupportedChar 1\n";

TEST(Command, FewerThanThreeArgumentsPrintUsageAndCallNothing) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"My DSN"}, {"My DSN", "AllowUnsupportedChar"}, {"", ""}}) {
    RecordingInstaller installer;
    const Outcome outcome = run(args, installer);
    EXPECT_EQ(outcome.status, -1) << args.size();
    EXPECT_EQ(outcome.out, kUsage);
    EXPECT_EQ(outcome.err, "");
    EXPECT_TRUE(installer.calls.empty());
  }
}

TEST(Command, MakesOneCallWithTheArgumentsInOrderAndTheStoreName) {
  RecordingInstaller installer;
  const Outcome outcome = run({"My DSN", "AllowUnsupportedChar", "1"}, installer);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(installer.calls,
            (std::vector<Call>{{"My DSN", "AllowUnsupportedChar", "1", "ODBC.INI"}}));
}

TEST(Command, IgnoresArgumentsAfterTheThird) {
  RecordingInstaller installer;
  const Outcome outcome = run({"DSN", "Key", "a value", "extra", "[bad]\n"}, installer);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(installer.calls, (std::vector<Call>{{"DSN", "Key", "a value", "ODBC.INI"}}));
}

TEST(Command, PassesAcceptedArgumentsUnchanged) {
  // An empty value, inner blanks and tabs, '=' and comment characters
  // inside a value, 8-bit bytes: all reach the installer as given.
  const std::vector<std::vector<std::string>> cases{
      {"DSN", "Key", ""},      {"My  DSN", "Key Word", "a\tb  c"},
      {"DSN", "Key", "=x;#y"}, {"Caf\xe9 DSN", "Cl\xe9", "\xff"},
      {"DSN", "Key]", "[v]"},
  };
  for (const auto& args : cases) {
    RecordingInstaller installer;
    EXPECT_EQ(run(args, installer).status, 0) << args[0];
    EXPECT_EQ(installer.calls, (std::vector<Call>{{args[0], args[1], args[2], "ODBC.INI"}}));
  }
}

struct Refusal {
  std::vector<std::string> args;
  std::string message;
};

TEST(Command, RefusesArgumentsThatWouldDamageTheStore) {
  const std::string long_name(998, 'n');
  const std::vector<Refusal> cases{
      {{"", "K", "v"}, "invalid data source name \"\": it is empty"},
      {{"A[B", "K", "v"},
       "invalid data source name \"A[B\": it contains '[', which ODBC reserves in data source "
       "names"},
      {{"A]", "K", "v"}, "invalid data source name \"A]\": it contains ']'"},
      {{"A{", "K", "v"}, "it contains '{'"},
      {{"A}", "K", "v"}, "it contains '}'"},
      {{"A(", "K", "v"}, "it contains '('"},
      {{"A)", "K", "v"}, "it contains ')'"},
      {{"A,B", "K", "v"}, "it contains ','"},
      {{"A;B", "K", "v"}, "it contains ';'"},
      {{"A?", "K", "v"}, "it contains '?'"},
      {{"A*", "K", "v"}, "it contains '*'"},
      {{"A=B", "K", "v"}, "it contains '='"},
      {{"A!", "K", "v"}, "it contains '!'"},
      {{"A@B", "K", "v"}, "it contains '@'"},
      {{"A\\B", "K", "v"}, "it contains '\\'"},
      {{"A\nB", "K", "v"}, "invalid data source name \"A\\x0aB\": it contains a line break"},
      {{"A\x01", "K", "v"}, "it contains a control character (\\x01)"},
      {{" DSN", "K", "v"}, "invalid data source name \" DSN\": it starts with a blank"},
      {{"DSN ", "K", "v"}, "it ends with a blank"},
      {{"DSN\t", "K", "v"}, "it contains a control character (\\x09)"},
      {{"DSN", "", "v"}, "invalid keyword \"\": it is empty"},
      {{"DSN", "K=1", "v"}, "invalid keyword \"K=1\": it contains '='"},
      {{"DSN", "K\r", "v"}, "invalid keyword \"K\\x0d\": it contains a line break"},
      {{"DSN", "K\x7f", "v"}, "it contains a control character (\\x7f)"},
      {{"DSN", "[K", "v"}, "it starts with '[', so it would be read back as a section header"},
      {{"DSN", "#K", "v"}, "it starts with '#', so it would be read back as a comment"},
      {{"DSN", ";K", "v"}, "it starts with ';', so it would be read back as a comment"},
      {{"DSN", " K", "v"}, "invalid keyword \" K\": it starts with a blank"},
      {{"DSN", "K ", "v"}, "it ends with a blank"},
      {{"DSN", "K", "a\n[Evil]\nDriver=/tmp/x.so"},
       "invalid value \"a\\x0a[Evil]\\x0aDriver=/tmp/x.so\": it contains a line break"},
      {{"DSN", "K", "a\x1b"}, "it contains a control character (\\x1b)"},
      {{"DSN", "K", " v"}, "it starts with a blank, which the store drops"},
      {{"DSN", "K", "v\t"}, "it ends with a blank, which the store drops"},
      {{long_name, "K", "v"},
       "the data source name would be written as a line of 1000 bytes; the store's reader "
       "takes lines of at most 999 bytes"},
      {{"DSN", "K", std::string(998, 'v')},
       "the keyword and value would be written as a line "
       "of 1000 bytes"},
  };
  for (const Refusal& refusal : cases) {
    RecordingInstaller installer;
    const Outcome outcome = run(refusal.args, installer);
    EXPECT_EQ(outcome.status, 2) << refusal.message;
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err.rfind("Tolvane: ", 0), 0u) << outcome.err;
    EXPECT_NE(outcome.err.find(refusal.message), std::string::npos) << outcome.err;
    EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
    EXPECT_TRUE(installer.calls.empty()) << refusal.message;
  }
}

TEST(Command, LongestLinesTheReaderTakesAreAccepted) {
  RecordingInstaller installer;
  EXPECT_EQ(run({std::string(997, 'n'), "K", std::string(997, 'v')}, installer).status, 0);
  EXPECT_EQ(installer.calls.size(), 1u);
}

TEST(Command, StoreWithoutLimitsTakesBlanksAndLongLines) {
  RecordingInstaller installer({false, 0});
  EXPECT_EQ(run({std::string(2000, 'n'), "K", " padded\t"}, installer).status, 0);
  EXPECT_EQ(installer.calls.size(), 1u);
  // Line breaks are refused by every store.
  EXPECT_EQ(run({"DSN", "K", "a\nb"}, installer).status, 2);
  EXPECT_EQ(installer.calls.size(), 1u);
}

TEST(Command, FailedWriteIsReportedWithStatusOne) {
  RecordingInstaller installer({true, 999},
                               {false, "/home/ann/.odbc.ini", "No space left on device"});
  const Outcome outcome = run({"My DSN", "AllowUnsupportedChar", "1"}, installer);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err,
            "Tolvane: cannot set AllowUnsupportedChar of data source \"My DSN\" in "
            "/home/ann/.odbc.ini: No space left on device\n");
  EXPECT_EQ(installer.calls.size(), 1u);
}

}  // namespace
