#include <sys/xattr.h>

#include <cerrno>
#include <cstring>

#include "extended_attributes.h"

namespace tolvane {
namespace {

// The value of attribute `name` of `fd`, or false with errno set.
bool value_of(int fd, const char* name, std::string& value) {
  for (;;) {
    const ssize_t size = fgetxattr(fd, name, nullptr, 0);
    if (size < 0) return false;
    value.resize(static_cast<std::size_t>(size));
    const ssize_t got = fgetxattr(fd, name, value.data(), value.size());
    if (got >= 0) {
      value.resize(static_cast<std::size_t>(got));
      return true;
    }
    if (errno != ERANGE) return false;  // it grew meanwhile: ask again
  }
}

}  // namespace

bool copy_extended_attributes(int from, int to, std::string& failed) {
  std::string names;
  for (;;) {
    const ssize_t size = flistxattr(from, nullptr, 0);
    if (size < 0) return errno == ENOTSUP;  // a file system without them
    names.resize(static_cast<std::size_t>(size));
    const ssize_t got = flistxattr(from, names.data(), names.size());
    if (got >= 0) {
      names.resize(static_cast<std::size_t>(got));
      break;
    }
    if (errno != ERANGE) return false;
  }
  std::string value, current;
  for (const char* name = names.c_str(); name < names.c_str() + names.size();
       name += std::strlen(name) + 1) {
    failed = name;
    if (!value_of(from, name, value)) return false;
    // The new file may have it already (a security label it was given on
    // creation); setting it again could need rights the user lacks.
    if (value_of(to, name, current) && current == value) continue;
    if (fsetxattr(to, name, value.data(), value.size(), 0) != 0) return false;
  }
  failed.clear();
  return true;
}

}  // namespace tolvane
