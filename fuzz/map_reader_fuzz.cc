// Feeds arbitrary bytes to the map decoder. Besides the sanitizers' checks
// it holds the decoder to its word: a map is accepted only when every byte
// was a column's, and a rejection always says where, inside the file.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "vxl/map_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Decoding overwrites every column it reads, so one map serves all runs.
  static const std::unique_ptr<vxlforge::MapVoxels> voxels =
      std::make_unique<vxlforge::MapVoxels>();
  vxlforge::MapStats stats;
  vxlforge::MapError error;
  if (vxlforge::decode_map(data, size, voxels.get(), &stats, &error)) {
    if (stats.bytes != size || stats.spans < static_cast<std::size_t>(vxlforge::MAP_COLUMNS) ||
        stats.lowest_surface > stats.highest_surface || stats.highest_surface > 64) {
      std::abort();
    }
  } else {
    if (error.fault == vxlforge::MapFault::kNone || error.what.empty() || error.offset > size) {
      std::abort();
    }
  }
  return 0;
}
