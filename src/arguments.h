// The checks that keep arguments which would damage the store from reaching it.
#ifndef TOLVANE_ARGUMENTS_H_
#define TOLVANE_ARGUMENTS_H_

#include <optional>
#include <string>
#include <string_view>

#include "installer.h"

namespace tolvane {

// Returns a one-line explanation (without the program name) when the
// arguments must be refused, or nothing when they may be written.
std::optional<std::string> argument_problem(std::string_view data_source, std::string_view keyword,
                                            std::string_view value, const StoreLimits& limits);

// `text` in double quotes, with control characters shown as \xNN so that a
// message stays on one line.
std::string quoted(std::string_view text);

}  // namespace tolvane

#endif  // TOLVANE_ARGUMENTS_H_
