#ifndef VXLFORGE_VXL_MAP_INPUT_H_
#define VXLFORGE_VXL_MAP_INPUT_H_

#include <cstdint>
#include <string>
#include <vector>

namespace vxlforge {

enum class MapRead {
  kRead,        // the bytes are in `bytes`
  kTooLarge,    // larger than any valid map; `reason` says how large
  kUnreadable,  // `reason` gives the system's message
};

// Reads the bytes of a map file for decoding: from the file at `path`, or
// from standard input when `path` is "-". Memory stays bounded whatever the
// input is, since no valid map exceeds kMaxMapBytes: a regular file larger
// than that is refused from its size, before any byte is read, and a pipe,
// device or growing file is read up to one byte past the bound and refused
// there. `reason` is filled unless the result is kRead.
MapRead read_map_input(const std::string& path, std::vector<std::uint8_t>* bytes,
                       std::string* reason);

}  // namespace vxlforge

#endif  // VXLFORGE_VXL_MAP_INPUT_H_
