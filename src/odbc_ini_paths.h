// Where unixODBC keeps the user and system data sources.
#ifndef TOLVANE_ODBC_INI_PATHS_H_
#define TOLVANE_ODBC_INI_PATHS_H_

#include <string>

namespace tolvane {

// $ODBCINI when set and not empty, else .odbc.ini in the home directory of
// the real user as the password database has it (not $HOME).
std::string user_odbc_ini_path();

// $ODBCSYSINI/odbc.ini when ODBCSYSINI is set (even empty), else odbc.ini in
// unixODBC's built-in configuration directory.
std::string system_odbc_ini_path();

}  // namespace tolvane

#endif  // TOLVANE_ODBC_INI_PATHS_H_
