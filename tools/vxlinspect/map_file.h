#ifndef VXLFORGE_TOOLS_VXLINSPECT_MAP_FILE_H_
#define VXLFORGE_TOOLS_VXLINSPECT_MAP_FILE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vxlforge {

// No valid map is larger: a column holds at most 64 spans (each starts its
// air lower than the one before) and 64 colours (one per voxel), 512 bytes.
constexpr std::size_t kMaxMapFileBytes = std::size_t{512} * 512 * 512;

// Replaces `bytes` with the content of the file at `path` ("-" for standard
// input). Reads at most kMaxMapFileBytes + 1 bytes, so that no input, not
// even an endless pipe, takes more memory than the largest map; a longer
// input is reported as too large. On failure returns false with a short
// reason in `reason`.
bool read_map_file(const std::string& path, std::vector<std::uint8_t>* bytes,
                   std::string* reason);

}  // namespace vxlforge

#endif  // VXLFORGE_TOOLS_VXLINSPECT_MAP_FILE_H_
