// Replacing a file safely while other runs may be replacing it too.
#ifndef TOLVANE_LOCKED_FILE_H_
#define TOLVANE_LOCKED_FILE_H_

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "odbc_ini_file.h"

namespace tolvane {

struct FileUpdate {
  bool ok = false;
  std::string reason;     // why it failed
  bool declined = false;  // the edit left this file to another store
};

// Updates the file at `path` (following symbolic links to the file they
// name, which is created if missing) with `edit`, which gets the current
// contents (empty for a missing file) and decides what to do (nothing at
// all, with no edit, when the file is not the one to change):
//  - the directory holding the file is locked (flock, waiting at most
//    `lock_wait`), so that runs on the same file go one after another;
//  - a new version is written to a temporary file in that directory, with
//    the old file's permission bits, owner and group (`new_file_mode` for a
//    new file), flushed to disk, renamed over the file, and the directory
//    is flushed too;
//  - on any failure the file is left as it was and no temporary file stays.
// Temporary files left by a run that was killed are removed by the next.
FileUpdate update_file(const std::string& path, mode_t new_file_mode,
                       std::chrono::milliseconds lock_wait,
                       const std::function<std::optional<IniEdit>(std::string_view)>& edit);

// Reads a whole file. Returns false (with errno set) when it cannot.
bool read_file(const std::string& path, LargeString& contents);

}  // namespace tolvane

#endif  // TOLVANE_LOCKED_FILE_H_
