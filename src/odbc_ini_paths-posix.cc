#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "odbc_ini_paths.h"

// These follow unixODBC's _odbcinst_UserINI() and _odbcinst_SystemINI()
// rule for rule. libodbcinst exports those two, but declares them only for
// its own build (they fill a caller's buffer of a size the public headers do
// not state, and may create the file). Its published sysconfdir (pkg-config
// odbc) is the one fact we take from the installed library at build time,
// and a test holds the result to what `odbcinst -j` prints.
#ifndef TOLVANE_ODBC_SYSCONFDIR
#error "TOLVANE_ODBC_SYSCONFDIR must name unixODBC's configuration directory"
#endif

namespace tolvane {

std::string user_odbc_ini_path() {
  const char* configured = std::getenv("ODBCINI");
  if (configured != nullptr && *configured != '\0') return configured;

  std::string home = "/home";  // unixODBC's own fallback
  passwd entry{};
  passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr)
    home = found->pw_dir;
  return home + "/.odbc.ini";
}

std::string system_odbc_ini_path() {
  const char* configured = std::getenv("ODBCSYSINI");
  return std::string(configured != nullptr ? configured : TOLVANE_ODBC_SYSCONFDIR) + "/odbc.ini";
}

}  // namespace tolvane
