#ifndef VXLFORGE_DRIVER_PRINT_MESSAGE_H_
#define VXLFORGE_DRIVER_PRINT_MESSAGE_H_

#include <cstdio>

namespace vxlforge {

// Prints a message to `stream` (nothing when it is null) and pushes it out
// at once, ahead of the long generation and of any map bytes on the same
// stream. The map is the product, so a stream that cannot take the message
// (a full disk, a pipe whose reader has gone) changes nothing: the failure
// is cleared, and on POSIX systems the SIGPIPE it raised never ends the
// program.
__attribute__((format(printf, 2, 3))) void print_message(std::FILE* stream, const char* format,
                                                         ...);

}  // namespace vxlforge

#endif  // VXLFORGE_DRIVER_PRINT_MESSAGE_H_
