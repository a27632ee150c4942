// The seam between the command and the platform's data-source store.
#ifndef TOLVANE_INSTALLER_H_
#define TOLVANE_INSTALLER_H_

#include <cstddef>
#include <memory>
#include <string>

namespace tolvane {

// What a store cannot keep exactly, so that the command refuses such
// arguments before it touches anything.
struct StoreLimits {
  // Leading and trailing blanks of a value are dropped when it is read back.
  bool value_blanks_dropped = false;
  // Longest line the store's reader takes whole; 0 when there is no limit.
  std::size_t max_line_length = 0;
};

// The result of one write. On failure, `where` names the store that was
// being written (a file path, a registry key) and `reason` says what went
// wrong, both for a message to the user.
struct WriteResult {
  bool ok = false;
  std::string where;
  std::string reason;
};

// The ODBC installer's private-profile writer, as the command sees it.
class Installer {
 public:
  virtual ~Installer() = default;
  virtual StoreLimits limits() const = 0;
  // Records `entry`=`string` in the data source `section` of the store named
  // `file` ("ODBC.INI").
  virtual WriteResult write(const std::string& section, const std::string& entry,
                            const std::string& string, const std::string& file) = 0;
};

// The installer of the platform this program was built for. Creating it
// opens nothing.
std::unique_ptr<Installer> make_platform_installer();

}  // namespace tolvane

#endif  // TOLVANE_INSTALLER_H_
