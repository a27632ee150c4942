// unixODBC's data-source store, written safely: the odbc.ini files.
#ifndef TOLVANE_ODBC_INI_STORE_H_
#define TOLVANE_ODBC_INI_STORE_H_

#include <string>

#include "installer.h"

namespace tolvane {

// Sets keywords in the user or system odbc.ini that unixODBC reads,
// changing only the one entry and replacing the file atomically under a lock.
class OdbcIniStore : public Installer {
 public:
  StoreLimits limits() const override;
  WriteResult write(const std::string& section, const std::string& entry, const std::string& string,
                    const std::string& file) override;
};

// The file a data source's keyword is written to: with unixODBC's ODBCSEARCH
// naming one store, that store; otherwise the user file if it has the data
// source, else the system file if that has it, else the user file.
struct OdbcIniTarget {
  std::string path;
  bool system = false;
};
OdbcIniTarget odbc_ini_target(const std::string& data_source);

}  // namespace tolvane

#endif  // TOLVANE_ODBC_INI_STORE_H_
