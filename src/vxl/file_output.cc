#include "vxl/file_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

namespace vxlforge {

namespace {

constexpr int kMaxLinkDepth = 40;

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

}  // namespace

ReplacingFile::~ReplacingFile() { discard(); }

bool ReplacingFile::open(const char* path) {
  if (path[0] == '\0') return fail(ENOENT);
  std::string target(path);
  struct stat info;
  // The process's own descriptors and devices live under /dev/; replacing
  // what they resolve to would miss the stream the caller meant. A pipe or
  // device, however it is named (also through links such as /proc/self/fd/N,
  // whose text names no file), is written in place too.
  const bool in_place = target.rfind("/dev/", 0) == 0 ||
                        (stat(path, &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode));
  if (!in_place) {
    int error = 0;
    if (!resolve_links(std::string(path), &target, &error)) return fail(error);
  }
  const bool exists = !in_place && stat(target.c_str(), &info) == 0;
  if (in_place || (exists && !S_ISREG(info.st_mode))) {
    fd_ = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    return fd_ >= 0 || fail(errno);
  }
  mode_t mode = new_file_mode();
  if (exists) {
    // Renaming over a file needs only the folder's permission; a file the
    // user may not write is refused, as writing it in place would be.
    if (access(target.c_str(), W_OK) != 0) return fail(errno);
    mode = info.st_mode & 07777;
  }
  std::string temporary = folder_of(target) + "/.vxlforge-partial-XXXXXX";
  fd_ = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd_ < 0) return fail(errno);
  temporary_ = temporary;
  target_ = target;
  if (fchmod(fd_, mode) != 0) return fail(errno);
  return true;
}

bool ReplacingFile::append(const void* data, std::size_t size) {
  if (error_ != 0) return false;
  if (fd_ < 0) return fail(EBADF);
  int error = 0;
  if (!write_all(fd_, data, size, &error)) return fail(error);
#if defined(SYNC_FILE_RANGE_WRITE)
  // Starts writing this piece to the disk now, so that the sync at the end
  // waits only for the last pieces. Only a hint: its failure changes nothing.
  if (!temporary_.empty()) {
    sync_file_range(fd_, static_cast<off_t>(written_), static_cast<off_t>(size),
                    SYNC_FILE_RANGE_WRITE);
  }
#endif
  written_ += size;
  return true;
}

bool ReplacingFile::finish(std::string* reason) {
  if (error_ == 0 && fd_ < 0) fail(EBADF);
  if (error_ == 0 && !temporary_.empty() && fsync(fd_) != 0) fail(errno);
  if (error_ == 0) {
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) fail(errno);
  }
  if (error_ == 0 && !temporary_.empty()) {
    if (rename(temporary_.c_str(), target_.c_str()) != 0) {
      fail(errno);
    } else {
      temporary_.clear();
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
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) unlink(temporary_.c_str());
  temporary_.clear();
}

bool write_file_replacing(const char* path, const void* data, std::size_t size,
                          std::string* reason) {
  ReplacingFile file;
  if (file.open(path)) file.append(data, size);
  return file.finish(reason);
}

}  // namespace vxlforge
