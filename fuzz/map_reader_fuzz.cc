// Feeds arbitrary bytes to the map decoder. Besides the sanitizers' checks
// it holds the decoder to its word: validating alone and decoding into
// voxels give the same verdict, a map is accepted only when every byte was
// a column's, and a rejection always says what and where, inside the file.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "vxl/map_reader.h"

namespace {

// Voxel writes cost the same for every column, whatever the file size, so
// inputs above this size are only validated: a whole-map decode under the
// sanitizers takes tens of milliseconds and would starve the search.
constexpr std::size_t kDecodeLimit = 64 * 1024;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vxlforge::MapError;
  using vxlforge::MapStats;
  // Decoding overwrites every column it reads, so one map serves all runs.
  static const std::unique_ptr<vxlforge::MapVoxels> voxels =
      std::make_unique<vxlforge::MapVoxels>();

  MapStats stats;
  MapError error;
  const bool valid = vxlforge::decode_map(data, size, nullptr, &stats, &error);
  if (valid) {
    if (stats.bytes != size || stats.spans < static_cast<std::size_t>(vxlforge::MAP_COLUMNS) ||
        stats.lowest_surface > stats.highest_surface || stats.highest_surface > vxlforge::MAP_Z) {
      std::abort();
    }
  } else if (error.fault == vxlforge::MapFault::kNone || error.what.empty() ||
             error.offset > size) {
    std::abort();
  }

  if (size <= kDecodeLimit) {
    MapStats decoded_stats;
    MapError decoded_error;
    const bool decoded =
        vxlforge::decode_map(data, size, voxels.get(), &decoded_stats, &decoded_error);
    if (decoded != valid || decoded_error.fault != error.fault ||
        decoded_error.offset != error.offset || decoded_stats.spans != stats.spans) {
      std::abort();
    }
  }
  return 0;
}
