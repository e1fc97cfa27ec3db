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

bool fail(int error, std::string* reason) {
  *reason = std::strerror(error);
  return false;
}

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

// For devices and pipes, which are written in place.
bool write_directly(const std::string& path, const void* data,
                    std::size_t size, std::string* reason) {
  const int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return fail(errno, reason);
  int error = 0;
  if (!write_all(fd, data, size, &error)) {
    close(fd);
    return fail(error, reason);
  }
  if (close(fd) != 0) return fail(errno, reason);
  return true;
}

mode_t new_file_mode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

bool write_file_replacing(const char* path, const void* data, std::size_t size,
                          std::string* reason) {
  if (path[0] == '\0') return fail(ENOENT, reason);
  const std::string given(path);
  // The process's own descriptors and devices live under /dev/; replacing
  // what they resolve to would miss the stream the caller meant.
  if (given.rfind("/dev/", 0) == 0) {
    return write_directly(given, data, size, reason);
  }
  // A pipe or device, however it is named (also through links such as
  // /proc/self/fd/N, whose text names no file), is written in place.
  struct stat info;
  if (stat(path, &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
    return write_directly(given, data, size, reason);
  }
  std::string target;
  int error = 0;
  if (!resolve_links(given, &target, &error)) return fail(error, reason);

  mode_t mode = new_file_mode();
  if (stat(target.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode)) {
      return write_directly(target, data, size, reason);
    }
    // Renaming over a file needs only the folder's permission; a file the
    // user may not write is refused, as writing it in place would be.
    if (access(target.c_str(), W_OK) != 0) return fail(errno, reason);
    mode = info.st_mode & 07777;
  }

  std::string temporary = folder_of(target) + "/.vxlforge-partial-XXXXXX";
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return fail(errno, reason);
  if (fchmod(fd, mode) != 0) {
    error = errno;
  } else if (write_all(fd, data, size, &error) && fsync(fd) != 0) {
    error = errno;
  }
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && rename(temporary.c_str(), target.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) {
    unlink(temporary.c_str());
    return fail(error, reason);
  }
  return true;
}

}  // namespace vxlforge
