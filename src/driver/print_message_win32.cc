// Windows has no SIGPIPE: a write to a pipe whose reader has gone merely
// fails, so only the failure is cleared.

#include "driver/print_message.h"

#include <cstdarg>

namespace vxlforge {

void print_message(std::FILE* stream, const char* format, ...) {
  if (stream == nullptr) return;
  std::va_list args;
  va_start(args, format);
  std::vfprintf(stream, format, args);
  va_end(args);
  std::fflush(stream);
  std::clearerr(stream);
}

}  // namespace vxlforge
