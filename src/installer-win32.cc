// The Windows ODBC installer (odbccp32), which keeps data sources in the
// registry under Software\ODBC\ODBC.INI of the current user or the machine.
#include <windows.h>

#include <odbcinst.h>

#include <string>

#include "installer.h"

namespace tolvane {
namespace {

constexpr const char* kDataSourcesKey = "Software\\ODBC\\ODBC.INI\\";

bool has_data_source(HKEY root, const std::string& data_source) {
  HKEY key = nullptr;
  // The same registry view as the installer in this process uses.
  if (RegOpenKeyExA(root, (kDataSourcesKey + data_source).c_str(), 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

// The installer's own messages for its last call, joined on one line.
std::string installer_messages() {
  std::string messages;
  for (WORD index = 1; index <= 8; ++index) {
    DWORD code = 0;
    char text[SQL_MAX_MESSAGE_LENGTH] = {};
    WORD length = 0;
    const RETCODE result = SQLInstallerError(index, &code, text, sizeof text, &length);
    if (result != SQL_SUCCESS && result != SQL_SUCCESS_WITH_INFO) break;
    if (!messages.empty()) messages += "; ";
    messages += text[0] != '\0' ? text : "installer error " + std::to_string(code);
  }
  return messages;
}

// Writes through odbccp32, into the store where the data source already
// lives: the user's if it has the data source, else the machine's if that
// has it, else the user's. The store is chosen explicitly because what the
// installer's both-stores mode does for a machine-only data source is not
// pinned down (Wine's writes a user key that hides the machine's).
class RegistryInstaller : public Installer {
 public:
  StoreLimits limits() const override { return {false, 0}; }

  WriteResult write(const std::string& section, const std::string& entry, const std::string& string,
                    const std::string& file) override {
    const bool system = !has_data_source(HKEY_CURRENT_USER, section) &&
                        has_data_source(HKEY_LOCAL_MACHINE, section);
    const std::string where = std::string(system ? "HKEY_LOCAL_MACHINE\\" : "HKEY_CURRENT_USER\\") +
                              kDataSourcesKey + section;
    if (!SQLSetConfigMode(system ? ODBC_SYSTEM_DSN : ODBC_USER_DSN))
      return {false, where, failure("the installer refused to select the store")};
    const BOOL written =
        SQLWritePrivateProfileString(section.c_str(), entry.c_str(), string.c_str(), file.c_str());
    const std::string reason = written ? std::string() : failure("the registry write failed");
    SQLSetConfigMode(ODBC_BOTH_DSN);
    return {written != FALSE, where, reason};
  }

 private:
  static std::string failure(const char* fallback) {
    const std::string messages = installer_messages();
    return messages.empty() ? fallback : messages;
  }
};

}  // namespace

std::unique_ptr<Installer> make_platform_installer() {
  return std::make_unique<RegistryInstaller>();
}

}  // namespace tolvane
