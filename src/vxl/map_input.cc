#include "vxl/map_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(_WIN32)
#include <io.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "vxl/map_reader.h"

namespace vxlforge {

namespace {

#if defined(_WIN32)
// Bytes as they are: no line-end translation, and standard input too.
constexpr int kOpenFlags = O_RDONLY | O_BINARY;
int standard_input_fd() {
  _setmode(0, _O_BINARY);
  return 0;
}
#else
constexpr int kOpenFlags = O_RDONLY | O_CLOEXEC;
int standard_input_fd() { return 0; }
#endif

constexpr std::size_t kFirstChunk = std::size_t{1} << 20;

std::string too_large(const std::string& size_text) {
  return size_text + ", larger than any map of 512 x 512 columns of 64 voxels can be (" +
         std::to_string(kMaxMapBytes) + " bytes)";
}

// Reads `fd` to its end or to one byte past the bound, growing the buffer
// as the bytes come, so that a short pipe takes little memory.
MapRead read_bounded(int fd, std::size_t expected, std::vector<std::uint8_t>* bytes,
                     std::string* reason) {
  constexpr std::size_t kLimit = kMaxMapBytes + 1;
  bytes->clear();
  std::size_t size = 0;
  std::size_t room = std::min(kLimit, std::max(expected + 1, kFirstChunk));
  bytes->resize(room);
  for (;;) {
    if (size == room) {
      if (room == kLimit) break;
      room = std::min(kLimit, room * 2);
      bytes->resize(room);
    }
    const ssize_t n = read(fd, bytes->data() + size, room - size);
    if (n < 0) {
      if (errno == EINTR) continue;
      *reason = std::strerror(errno);
      return MapRead::kUnreadable;
    }
    if (n == 0) break;
    size += static_cast<std::size_t>(n);
  }
  if (size > kMaxMapBytes) {
    bytes->clear();
    bytes->shrink_to_fit();
    *reason = too_large("more than " + std::to_string(kMaxMapBytes) + " bytes");
    return MapRead::kTooLarge;
  }
  bytes->resize(size);
  return MapRead::kRead;
}

}  // namespace

MapRead read_map_input(const std::string& path, std::vector<std::uint8_t>* bytes,
                       std::string* reason) {
  const bool standard_input = path == "-";
  const int fd = standard_input ? standard_input_fd() : open(path.c_str(), kOpenFlags);
  if (fd < 0) {
    *reason = std::strerror(errno);
    return MapRead::kUnreadable;
  }
  MapRead result = MapRead::kRead;
  struct stat info;
  std::size_t expected = 0;
  if (fstat(fd, &info) != 0) {
    *reason = std::strerror(errno);
    result = MapRead::kUnreadable;
  } else if (S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) > kMaxMapBytes) {
    *reason = too_large("file is " + std::to_string(info.st_size) + " bytes");
    result = MapRead::kTooLarge;
  } else {
    if (S_ISREG(info.st_mode)) expected = static_cast<std::size_t>(info.st_size);
    result = read_bounded(fd, expected, bytes, reason);
  }
  if (!standard_input) close(fd);
  return result;
}

}  // namespace vxlforge
