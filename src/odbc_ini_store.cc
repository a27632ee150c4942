#include "odbc_ini_store.h"

#include <odbcinst.h>
#include <strings.h>

#include <cctype>
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
  LargeString contents;
  if (!read_file(path, contents)) return false;
  return OdbcIniFile(contents).find_section(data_source) != nullptr;
}

struct OdbcIniTarget {
  std::string path;
  bool system = false;
};

// unixODBC's own reading of its ODBCSEARCH variable.
UWORD config_mode() {
  UWORD mode = ODBC_BOTH_DSN;
  if (!SQLGetConfigMode(&mode)) mode = ODBC_BOTH_DSN;
  return mode;
}

}  // namespace

StoreLimits OdbcIniStore::limits() const { return {true, kReaderChunk}; }

WriteResult OdbcIniStore::write(const std::string& section, const std::string& entry,
                                const std::string& string, const std::string& file) {
  if (strcasecmp(file.c_str(), "ODBC.INI") != 0)
    return {false, file, "only the ODBC.INI store can be written"};
  auto set = [&](std::string_view contents) -> std::optional<IniEdit> {
    return set_keyword(contents, section, entry, string);
  };
  auto write_to = [&](const OdbcIniTarget& target) -> WriteResult {
    // unixODBC reads the system file behind the user's (iniAppend) and takes
    // only entries that start with a letter or a digit there.
    if (target.system && !std::isalnum(static_cast<unsigned char>(entry.front())))
      return {false, target.path,
              "in the system file unixODBC reads only keywords that start with a letter or a "
              "digit"};
    const FileUpdate update = update_file(
        target.path, target.system ? kNewSystemFileMode : kNewUserFileMode, kLockWait, set);
    return {update.ok, target.path, update.reason};
  };

  const UWORD mode = config_mode();
  if (mode == ODBC_SYSTEM_DSN) return write_to({system_odbc_ini_path(), true});
  const OdbcIniTarget user{user_odbc_ini_path(), false};
  if (mode == ODBC_USER_DSN) return write_to(user);

  // Most often the data source is the user's: find that out while holding
  // the lock on the user file, and edit it with the same reading.
  const FileUpdate in_user = update_file(user.path, kNewUserFileMode, kLockWait,
                                         [&](std::string_view contents) -> std::optional<IniEdit> {
                                           const OdbcIniFile current(contents);
                                           if (current.find_section(section) == nullptr)
                                             return std::nullopt;
                                           return set_keyword(current, section, entry, string);
                                         });
  if (in_user.ok && !in_user.declined) return {true, user.path, {}};
  // Not in the user file, or the user file could not be handled at all:
  // the data source may still live in the system file.
  if (in_user.declined || !has_data_source(user.path, section)) {
    const std::string system = system_odbc_ini_path();
    if (has_data_source(system, section)) return write_to({system, true});
    if (in_user.declined) return write_to(user);
  }
  return {false, user.path, in_user.reason};
}

}  // namespace tolvane
