#include "installer.h"
#include "odbc_ini_store.h"

namespace tolvane {

std::unique_ptr<Installer> make_platform_installer() { return std::make_unique<OdbcIniStore>(); }

}  // namespace tolvane
