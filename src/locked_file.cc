#include "locked_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "extended_attributes.h"

namespace tolvane {
namespace {

using Clock = std::chrono::steady_clock;

std::string error_text(int error) { return std::strerror(error); }

// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now, reporting the result (close can report a delayed write error).
  int close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

// Blocks the signals that would end the process by default while a
// temporary file exists, so that an interrupted run still cleans up.
class DeferredSignals {
 public:
  DeferredSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGUSR1, SIGUSR2, SIGALRM})
      sigaddset(&set, signal);
    sigprocmask(SIG_BLOCK, &set, &saved_);
  }
  DeferredSignals(const DeferredSignals&) = delete;
  DeferredSignals& operator=(const DeferredSignals&) = delete;
  ~DeferredSignals() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }

 private:
  sigset_t saved_;
};

std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string base_name_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links from `path` to the path of the file they finally
// name, which need not exist (a dangling link names the file to create).
bool resolve_links(std::string path, std::string& resolved, std::string& reason) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat status;
    if (lstat(path.c_str(), &status) != 0) {
      if (errno == ENOENT) {
        resolved = path;
        return true;
      }
      reason = error_text(errno);
      return false;
    }
    if (!S_ISLNK(status.st_mode)) {
      resolved = path;
      return true;
    }
    std::string target(static_cast<std::size_t>(status.st_size > 0 ? status.st_size : 4096) + 1,
                       '\0');
    const ssize_t length = readlink(path.c_str(), target.data(), target.size());
    if (length < 0) {
      reason = "cannot read symbolic link " + path + ": " + error_text(errno);
      return false;
    }
    target.resize(static_cast<std::size_t>(length));
    path = (target.empty() || target[0] == '/') ? target : directory_of(path) + "/" + target;
  }
  reason = "too many levels of symbolic links";
  return false;
}

bool lock_directory(int directory, std::chrono::milliseconds wait) {
  const auto deadline = Clock::now() + wait;
  auto pause = std::chrono::milliseconds(1);
  while (flock(directory, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    if (Clock::now() >= deadline) {
      errno = EWOULDBLOCK;
      return false;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(20));
  }
  return true;
}

std::string temporary_prefix(const std::string& base) { return "." + base + ".tolvane-"; }

// Removes what runs that were killed before they could clean up left
// behind. Only called with the directory locked, so none is in use.
void remove_stale_temporaries(int directory, const std::string& prefix) {
  const int listing = dup(directory);
  if (listing < 0) return;
  DIR* dir = fdopendir(listing);
  if (dir == nullptr) {
    ::close(listing);
    return;
  }
  rewinddir(dir);
  while (const dirent* entry = readdir(dir)) {
    if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
      unlinkat(directory, entry->d_name, 0);
  }
  closedir(dir);
}

bool read_all(int fd, LargeString& contents) {
  // Straight into the string, sized from the file with a byte to spare, so
  // that the read which finds the end needs no more room.
  struct stat status;
  contents.resize(fstat(fd, &status) == 0 && status.st_size > 0
                      ? static_cast<std::size_t>(status.st_size) + 1
                      : 65536);
  std::size_t size = 0;
  for (;;) {
    if (size == contents.size()) contents.resize(2 * size);  // it grew meanwhile
    const ssize_t got = read(fd, contents.data() + size, contents.size() - size);
    if (got < 0) {
      if (errno == EINTR) continue;
      contents.resize(size);
      return false;
    }
    if (got == 0) break;
    size += static_cast<std::size_t>(got);
  }
  contents.resize(size);
  return true;
}

bool write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = write(fd, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Writes `contents` to a new temporary file beside `base` in `directory`
// and renames it over `base`. `existing` is the status of the file being
// replaced, open as `existing_fd`, or null for a new file.
FileUpdate replace(int directory, const std::string& base, int existing_fd,
                   const struct stat* existing, mode_t new_file_mode, std::string_view contents) {
  const std::string prefix = temporary_prefix(base);
  std::string temporary;
  int created_fd = -1;
  for (unsigned attempt = 0; created_fd < 0; ++attempt) {
    temporary = prefix + std::to_string(getpid()) + "-" + std::to_string(attempt);
    created_fd = openat(directory, temporary.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (created_fd < 0 && (errno != EEXIST || attempt > 100))
      return {false, "cannot create a temporary file in its directory: " + error_text(errno)};
  }
  Descriptor file(created_fd);
  auto fail = [&](const std::string& what) {
    const FileUpdate failure{false, what + ": " + error_text(errno)};
    unlinkat(directory, temporary.c_str(), 0);
    return failure;
  };

  if (existing != nullptr) {
    struct stat created;
    if (fstat(file.get(), &created) != 0) return fail("cannot check the temporary file");
    if ((created.st_uid != existing->st_uid || created.st_gid != existing->st_gid) &&
        fchown(file.get(), existing->st_uid, existing->st_gid) != 0)
      return fail("cannot give the new version the file's owner " +
                  std::to_string(existing->st_uid) + " and group " +
                  std::to_string(existing->st_gid));
  }
  const mode_t mode = existing != nullptr ? (existing->st_mode & 07777) : new_file_mode;
  if (fchmod(file.get(), mode) != 0) return fail("cannot set the file's permissions");
  std::string attribute;
  if (existing != nullptr && !copy_extended_attributes(existing_fd, file.get(), attribute))
    return fail("cannot give the new version the file's extended attribute " + attribute);
  if (!write_all(file.get(), contents)) return fail("cannot write the new version");
  if (fsync(file.get()) != 0) return fail("cannot flush the new version to disk");
  if (file.close() != 0) return fail("cannot write the new version");
  if (renameat(directory, temporary.c_str(), directory, base.c_str()) != 0)
    return fail("cannot replace the file");
  if (fsync(directory) != 0)
    return {false, "the file was replaced, but its directory could not be flushed to disk: " +
                       error_text(errno)};
  return {true, {}};
}

}  // namespace

bool read_file(const std::string& path, LargeString& contents) {
  // Not blocking on a named pipe in the file's place.
  Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  return file.get() >= 0 && read_all(file.get(), contents);
}

FileUpdate update_file(const std::string& path, mode_t new_file_mode,
                       std::chrono::milliseconds lock_wait,
                       const std::function<std::optional<IniEdit>(std::string_view)>& edit) {
  std::string target;
  std::string reason;
  if (!resolve_links(path, target, reason)) return {false, reason};
  const std::string directory_path = directory_of(target);
  const std::string base = base_name_of(target);

  Descriptor directory(open(directory_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.get() < 0)
    return {false, "cannot open its directory " + directory_path + ": " + error_text(errno)};
  if (!lock_directory(directory.get(), lock_wait)) {
    if (errno == EWOULDBLOCK)
      return {false, "the store is busy: another run has held the lock on " + directory_path +
                         " for " + std::to_string(lock_wait.count() / 1000) + " s"};
    return {false, "cannot lock its directory " + directory_path + ": " + error_text(errno)};
  }
  remove_stale_temporaries(directory.get(), temporary_prefix(base));

  LargeString contents;
  struct stat status;
  // Not blocking on a named pipe in the file's place: it is refused below.
  Descriptor file(
      openat(directory.get(), base.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  const bool exists = file.get() >= 0;
  if (!exists && errno != ENOENT) return {false, "cannot open the file: " + error_text(errno)};
  if (exists) {
    if (fstat(file.get(), &status) != 0)
      return {false, "cannot check the file: " + error_text(errno)};
    if (!S_ISREG(status.st_mode)) return {false, "it is not a regular file"};
    if (!read_all(file.get(), contents))
      return {false, "cannot read the file: " + error_text(errno)};
  }

  const std::optional<IniEdit> decision = edit(contents);
  if (!decision) return {true, {}, true};
  switch (decision->outcome) {
    case IniEdit::Outcome::kUnchanged:
      return {true, {}};
    case IniEdit::Outcome::kRefused:
      return {false, decision->reason};
    case IniEdit::Outcome::kChanged:
      break;
  }
  // Replacing the file needs only the directory to be writable; a file that
  // its owner made read-only stays so.
  if (exists && faccessat(directory.get(), base.c_str(), W_OK, AT_EACCESS) != 0)
    return {false, "cannot write the file: " + error_text(errno)};
  // A write beyond the file size limit must fail with EFBIG, not kill us.
  signal(SIGXFSZ, SIG_IGN);
  const DeferredSignals deferred;
  return replace(directory.get(), base, file.get(), exists ? &status : nullptr, new_file_mode,
                 decision->contents);
}

}  // namespace tolvane
