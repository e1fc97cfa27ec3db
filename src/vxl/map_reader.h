#ifndef VXLFORGE_VXL_MAP_READER_H_
#define VXLFORGE_VXL_MAP_READER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "mapgen/volume.h"

namespace vxlforge {

// Decodes map files of 512 x 512 columns of 64 voxels, whoever wrote them.
// The file is trusted for nothing: every length and height is checked before
// it is used, so any bytes at all give either a map or a precise error.
//
// Span rules a file must follow (heights count from the top, 0..63):
//  - a column's first span has air_start 0;
//  - top_start <= 64 and top_start - 1 <= top_end <= 63;
//  - a span with span_length 0 is the column's last; any other holds
//    span_length - 1 colour words, at least top_end - top_start + 1 of them,
//    and its bottom colours end above the column's last voxel;
//  - the next span's air_start lies below this span's air_start, at or
//    below the end of its top colours plus its bottom colours, at most at
//    its own top_start, and above the column's bottom (at most 63).
// A top_end of 255 is taken literally (not as -1) and so is an error.

// The largest file a valid map can be. Each span's air_start lies below the
// previous span's, within 0..63, so a column has at most 64 spans; the
// colours of a column belong to different voxels, so it stores at most 64.
// With 4 bytes per span header and per colour, no column record is longer
// than 512 bytes: 128 MiB for the map. Readers need never hold more.
constexpr std::size_t kMaxColumnBytes = 4 * MAP_Z + 4 * MAP_Z;
constexpr std::size_t kMaxMapBytes = kMaxColumnBytes * MAP_COLUMNS;

// Decoded voxels, in the file's orientation: height h = 0 is the top of a
// column and 63 the bottom. Indexed like the Volume, x * 32768 + y * 64 + h.
struct MapVoxels {
  std::vector<std::uint8_t> solid;     // 1 solid, 0 air
  std::vector<std::uint8_t> coloured;  // 1 when the file stores a colour
  std::vector<Colour> colour;          // the stored word; 0 where none

  // Sized for a whole map; contents are undefined until decoded.
  MapVoxels();
};

inline int map_voxel_index(int x, int y, int h) { return voxel_index(x, y, h); }

enum class MapFault {
  kNone,
  kTruncated,        // the file ends inside a span or before the last column
  kTrailingBytes,    // bytes follow the last column's record
  kPastBottom,       // a span's heights or colours run past the 64 voxels
  kTopEndBelowStart, // top_end < top_start - 1
  kColourCount,      // span_length has fewer colours than the top needs
  kHeightOrder,      // air_start out of place with respect to other heights
  kColumnCount,      // whole valid columns, but not 512 x 512 of them
};

struct MapError {
  MapFault fault = MapFault::kNone;
  std::size_t offset = 0;  // byte at fault (for truncation: the cut span)
  int x = -1;              // column being read; -1 after the last column
  int y = -1;
  std::string what;        // what is wrong, with the values read
};

struct MapStats {
  std::size_t bytes = 0;
  std::size_t spans = 0;
  // Surface height of a column: the number of voxels from its bottom up to
  // and including its topmost solid voxel, wherever that lies (a first span
  // may hold no voxel at all); 0 for an all-air column. Lowest and highest
  // over all columns.
  int lowest_surface = 0;
  int highest_surface = 0;
};

// Decodes `size` bytes at `data`. `voxels` may be null to validate only;
// otherwise every column read is overwritten in full, so a MapVoxels can be
// reused without clearing. On success fills `stats` (may be null) and
// returns true; on a malformed file returns false with `error` filled, and
// the columns after the faulty one are left as they were. A file that ends
// at the end of a column before the last, or whose bytes after the last
// column are whole valid columns, gets kColumnCount: a map of another size,
// whose number of complete columns the error tells.
bool decode_map(const std::uint8_t* data, std::size_t size, MapVoxels* voxels,
                MapStats* stats, MapError* error);

// One line for people: "byte OFFSET, column (X, Y): WHAT", or "byte
// OFFSET: WHAT" when the fault lies after the last column.
std::string describe_map_error(const MapError& error);

}  // namespace vxlforge

#endif  // VXLFORGE_VXL_MAP_READER_H_
