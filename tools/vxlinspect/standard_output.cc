#include "vxlinspect/standard_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vxlforge {

void StandardOutput::line(const std::string& text) {
  // One write per line, so that lines from several commands never mix.
  std::string with_end = text;
  with_end += '\n';
  bytes(with_end.data(), with_end.size());
}

void StandardOutput::bytes(const void* data, std::size_t size) {
  if (failed()) return;
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(1, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      reason_ = std::strerror(errno);
      return;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
}

}  // namespace vxlforge
