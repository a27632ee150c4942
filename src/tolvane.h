// The command: check the arguments, make one installer call, report.
#ifndef TOLVANE_TOLVANE_H_
#define TOLVANE_TOLVANE_H_

#include <ostream>

#include "installer.h"

namespace tolvane {

// Exit statuses.
constexpr int kSuccess = 0;
constexpr int kUsage = -1;  // fewer than three arguments; a POSIX shell sees 255
constexpr int kWriteFailed = 1;
constexpr int kRefusedArgument = 2;

// Runs the command on `argv` (argv[0] is the program name) and returns the
// exit status. The usage text goes to `out`, messages to `err`.
int run(int argc, const char* const* argv, Installer& installer, std::ostream& out,
        std::ostream& err);

}  // namespace tolvane

#endif  // TOLVANE_TOLVANE_H_
