#include "base/file_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/signal_cleanup.h"

namespace vxlforge {

namespace {

constexpr int kMaxLinkDepth = 40;
constexpr const char* kTemporaryPrefix = "/.vxlforge-partial-";

std::string folder_of(const std::string& path) {
  const std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Follows symbolic links from `path` to the file they finally name, which
// need not exist yet (a dangling link names the file it would create).
bool resolve_links(const std::string& path, std::string* target, int* error) {
  std::string current = path;
  for (int depth = 0; depth <= kMaxLinkDepth; ++depth) {
    struct stat info;
    if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      *target = current;
      return true;
    }
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t length = readlink(current.c_str(), buffer.data(), PATH_MAX);
    if (length < 0) {
      *error = errno;
      return false;
    }
    const std::string link(buffer.data(), static_cast<std::size_t>(length));
    current = link[0] == '/' ? link : folder_of(current) + "/" + link;
  }
  *error = ELOOP;
  return false;
}

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool write_all(int fd, const void* data, std::size_t size, int* error) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = write(fd, p, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      *error = errno;
      return false;
    }
    p += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

mode_t new_file_mode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// What open() answers when the kernel or the file system has no unnamed
// files: then a named temporary file does instead.
bool unnamed_files_refused(int error) {
  return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

std::string descriptor_path(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

}  // namespace

ReplacingFile::~ReplacingFile() { discard(); }

bool ReplacingFile::open(const char* path) {
  if (path[0] == '\0') return fail(ENOENT);
  struct stat info;
  if (stat(path, &info) != 0) {
    if (errno != ENOENT) return fail(errno);
    // A new file; the folder's own errors come when the temporary is made.
    int error = 0;
    if (!resolve_links(path, &target_, &error)) return fail(error);
    return open_temporary(new_file_mode());
  }
  if (S_ISDIR(info.st_mode)) return fail(EISDIR);
  if (!S_ISREG(info.st_mode)) return open_in_place(path);

  int error = 0;
  if (!resolve_links(path, &target_, &error)) return fail(error);
  struct stat resolved;
  if (stat(target_.c_str(), &resolved) != 0 || !same_file(info, resolved)) {
    // A link whose text names no file, only the open file behind it: the
    // descriptor links under /proc name a deleted file "... (deleted)".
    // There is no name to replace, so the file itself is written.
    return open_in_place(path);
  }
  // Renaming over a file needs only the folder's permission; a file the
  // user may not write is refused, as writing it in place would be.
  if (access(target_.c_str(), W_OK) != 0) return fail(errno);
  return open_temporary(info.st_mode & 0777);
}

bool ReplacingFile::open_in_place(const std::string& path) {
  kind_ = Kind::kInPlace;
  fd_ = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  return fd_ >= 0 || fail(errno);
}

bool ReplacingFile::open_temporary(mode_t mode) {
  const std::string folder = folder_of(target_);
  fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
  if (fd_ >= 0) {
    kind_ = Kind::kUnnamed;
    // Naming the file at the end goes through its descriptor's link under
    // /proc (only a privileged user may name the descriptor itself); without
    // /proc a named temporary is the safe choice.
    if (access(descriptor_path(fd_).c_str(), F_OK) == 0) {
      return fchmod(fd_, mode) == 0 || fail(errno);
    }
    close(fd_);
    fd_ = -1;
  } else if (!unnamed_files_refused(errno)) {
    return fail(errno);
  }

  kind_ = Kind::kNamed;
  std::string name = folder + kTemporaryPrefix + "XXXXXX";
  {
    // Made and recorded together, so an interrupt removes it in any case.
    HeldSignals held;
    fd_ = mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) return fail(errno);
    temporary_ = name;
    cleanup_handle_ = remove_on_signal(temporary_.c_str());
  }
  return fchmod(fd_, mode) == 0 || fail(errno);
}

bool ReplacingFile::append(const void* data, std::size_t size) {
  if (error_ != 0) return false;
  if (fd_ < 0) return fail(EBADF);
  int error = 0;
  if (!write_all(fd_, data, size, &error)) return fail(error);
#if defined(SYNC_FILE_RANGE_WRITE)
  // Starts writing this piece to the disk now, so that the sync at the end
  // waits only for the last pieces. Only a hint: its failure changes nothing.
  if (kind_ != Kind::kInPlace) {
    sync_file_range(fd_, static_cast<off_t>(written_), static_cast<off_t>(size),
                    SYNC_FILE_RANGE_WRITE);
  }
#endif
  written_ += size;
  return true;
}

// Gives the complete unnamed file a temporary name beside the target, then
// renames it over the target, with the interrupts held back in between so
// that the name never outlives the run. Only SIGKILL in those few system
// calls can leave it.
bool ReplacingFile::name_unnamed_file() {
  HeldSignals held;
  const std::string stem = folder_of(target_) + kTemporaryPrefix + std::to_string(getpid()) + "-";
  for (int attempt = 0;; ++attempt) {
    std::string name = stem + std::to_string(attempt);
    int linked = linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
    if (linked != 0 && errno != EEXIST) {
      linked = linkat(AT_FDCWD, descriptor_path(fd_).c_str(), AT_FDCWD, name.c_str(),
                      AT_SYMLINK_FOLLOW);
    }
    if (linked != 0) {
      if (errno == EEXIST && attempt < 100) continue;
      return fail(errno);
    }
    if (rename(name.c_str(), target_.c_str()) != 0) {
      const int error = errno;
      unlink(name.c_str());
      return fail(error);
    }
    return true;
  }
}

bool ReplacingFile::finish(std::string* reason) {
  if (error_ == 0 && fd_ < 0) fail(EBADF);
  if (error_ == 0 && kind_ != Kind::kInPlace && fsync(fd_) != 0) fail(errno);
  if (error_ == 0 && kind_ == Kind::kUnnamed && name_unnamed_file()) {
    // Synced and in place: closing cannot lose anything any more.
    close(fd_);
    fd_ = -1;
  }
  if (error_ == 0 && fd_ >= 0) {
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) fail(errno);
  }
  if (error_ == 0 && kind_ == Kind::kNamed) {
    HeldSignals held;
    if (rename(temporary_.c_str(), target_.c_str()) != 0) {
      fail(errno);
    } else {
      temporary_.clear();
      forget_on_signal(cleanup_handle_);
      cleanup_handle_ = -1;
    }
  }
  if (error_ != 0) {
    *reason = std::strerror(error_);
    return false;
  }
  return true;
}

bool ReplacingFile::fail(int error) {
  if (error_ == 0) error_ = error;
  discard();
  return false;
}

void ReplacingFile::discard() {
  if (fd_ >= 0) close(fd_);  // an unnamed file vanishes with its descriptor
  fd_ = -1;
  if (!temporary_.empty()) {
    HeldSignals held;
    unlink(temporary_.c_str());
    forget_on_signal(cleanup_handle_);
  }
  temporary_.clear();
  cleanup_handle_ = -1;
}

bool write_file_replacing(const char* path, const void* data, std::size_t size,
                          std::string* reason) {
  ReplacingFile file;
  if (file.open(path)) file.append(data, size);
  return file.finish(reason);
}

bool names_open_file(const char* path, int fd) {
  struct stat named;
  struct stat open_file;
  return stat(path, &named) == 0 && fstat(fd, &open_file) == 0 && same_file(named, open_file);
}

}  // namespace vxlforge
