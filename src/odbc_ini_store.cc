#include "odbc_ini_store.h"

#include <odbcinst.h>
#include <strings.h>

#include <chrono>

#include "locked_file.h"
#include "odbc_ini_file.h"
#include "odbc_ini_paths.h"

namespace tolvane {
namespace {

// How long a run waits for another to finish with the same file.
constexpr std::chrono::milliseconds kLockWait(10000);

// odbc.ini often holds passwords: a new user file is private to its owner.
constexpr mode_t kNewUserFileMode = 0600;
constexpr mode_t kNewSystemFileMode = 0644;

bool has_data_source(const std::string& path, const std::string& data_source) {
  std::string contents;
  if (!read_file(path, contents)) return false;
  return OdbcIniFile(contents).find_section(data_source) != nullptr;
}

}  // namespace

OdbcIniTarget odbc_ini_target(const std::string& data_source) {
  // unixODBC's own reading of its ODBCSEARCH variable.
  UWORD mode = ODBC_BOTH_DSN;
  if (!SQLGetConfigMode(&mode)) mode = ODBC_BOTH_DSN;
  if (mode == ODBC_SYSTEM_DSN) return {system_odbc_ini_path(), true};
  const std::string user = user_odbc_ini_path();
  if (mode == ODBC_USER_DSN || has_data_source(user, data_source)) return {user, false};
  const std::string system = system_odbc_ini_path();
  if (has_data_source(system, data_source)) return {system, true};
  return {user, false};
}

StoreLimits OdbcIniStore::limits() const { return {true, kReaderChunk}; }

WriteResult OdbcIniStore::write(const std::string& section, const std::string& entry,
                                const std::string& string, const std::string& file) {
  if (strcasecmp(file.c_str(), "ODBC.INI") != 0)
    return {false, file, "only the ODBC.INI store can be written"};
  const OdbcIniTarget target = odbc_ini_target(section);
  const FileUpdate update = update_file(
      target.path, target.system ? kNewSystemFileMode : kNewUserFileMode, kLockWait,
      [&](std::string_view contents) { return set_keyword(contents, section, entry, string); });
  return {update.ok, target.path, update.reason};
}

}  // namespace tolvane
