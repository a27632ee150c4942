// unixODBC's data-source store, written safely: the odbc.ini files.
#ifndef TOLVANE_ODBC_INI_STORE_H_
#define TOLVANE_ODBC_INI_STORE_H_

#include <string>

#include "installer.h"

namespace tolvane {

// Sets keywords in the user or system odbc.ini that unixODBC reads,
// changing only the one entry and replacing the file atomically under a lock.
// The file written is, with unixODBC's ODBCSEARCH naming one store, that
// store; otherwise the user file if it has the data source, else the system
// file if that has it, else the user file.
class OdbcIniStore : public Installer {
 public:
  StoreLimits limits() const override;
  WriteResult write(const std::string& section, const std::string& entry, const std::string& string,
                    const std::string& file) override;
};

}  // namespace tolvane

#endif  // TOLVANE_ODBC_INI_STORE_H_
