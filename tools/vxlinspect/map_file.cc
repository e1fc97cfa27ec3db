#include "vxlinspect/map_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vxlforge {

bool read_map_file(const std::string& path, std::vector<std::uint8_t>* bytes,
                   std::string* reason) {
  const bool standard_input = path == "-";
  const int fd = standard_input ? STDIN_FILENO : open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *reason = std::strerror(errno);
    return false;
  }
  auto fail = [&](std::string why) {
    if (!standard_input) close(fd);
    *reason = std::move(why);
    return false;
  };
  struct stat info;
  if (fstat(fd, &info) != 0) return fail(std::strerror(errno));
  if (S_ISDIR(info.st_mode)) return fail(std::strerror(EISDIR));
  // The size a regular file announces saves the growing; anything else is
  // read until it ends or passes the limit.
  std::size_t room = 1 << 20;
  if (S_ISREG(info.st_mode) && info.st_size > 0) {
    room = static_cast<std::size_t>(info.st_size) + 1;
  }
  room = std::min(room, kMaxMapFileBytes + 1);
  bytes->resize(room);
  std::size_t filled = 0;
  for (;;) {
    if (filled == bytes->size()) {
      if (filled > kMaxMapFileBytes) {
        return fail("larger than any map can be (" + std::to_string(kMaxMapFileBytes) +
                    " bytes)");
      }
      bytes->resize(std::min(2 * filled, kMaxMapFileBytes + 1));
    }
    const ssize_t n = read(fd, bytes->data() + filled, bytes->size() - filled);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(std::strerror(errno));
    }
    if (n == 0) break;
    filled += static_cast<std::size_t>(n);
  }
  bytes->resize(filled);
  if (!standard_input) close(fd);
  return true;
}

}  // namespace vxlforge
