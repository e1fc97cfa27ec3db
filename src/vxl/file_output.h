#ifndef VXLFORGE_VXL_FILE_OUTPUT_H_
#define VXLFORGE_VXL_FILE_OUTPUT_H_

#include <cstddef>
#include <string>

namespace vxlforge {

// Stores `size` bytes as the file at `path` so that a failure never leaves a
// half-written file behind: the bytes go to a temporary file in the same
// folder, which is renamed over `path` only once every byte is written,
// synced and the file closed. A new file gets 0666 less the umask; a file
// that is replaced keeps its permission bits. When `path` is a symbolic link
// the file it points to is replaced and the link stays. Something that is
// not a regular file (a device, a pipe, anything under /dev/) is written
// directly, since it cannot be replaced.
//
// Returns true on success. On failure returns false with the operating
// system's reason in `reason`, removes the temporary file and leaves any file
// at `path` as it was.
bool write_file_replacing(const char* path, const void* data, std::size_t size,
                          std::string* reason);

}  // namespace vxlforge

#endif  // VXLFORGE_VXL_FILE_OUTPUT_H_
