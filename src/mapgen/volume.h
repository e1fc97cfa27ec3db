#ifndef VXLFORGE_MAPGEN_VOLUME_H_
#define VXLFORGE_MAPGEN_VOLUME_H_

#include <cstdint>

#include "random/field.h"

namespace vxlforge {

constexpr int MAP_X = 512;
constexpr int MAP_Y = 512;
constexpr int MAP_Z = 64;
constexpr int MAP_COLUMNS = MAP_X * MAP_Y;
constexpr int MAP_VOXELS = MAP_COLUMNS * MAP_Z;
static_assert(MAP_X == FIELD_SIZE && MAP_Y == FIELD_SIZE,
              "a Field holds one cell per map column");

// 0x80 in the top byte, then red, green and blue bytes. The word 0 means
// air to fill_column.
using Colour = std::uint32_t;

inline Colour make_colour(int red, int green, int blue) {
  return 0x80000000u + static_cast<Colour>(red) * 65536u +
         static_cast<Colour>(green) * 256u + static_cast<Colour>(blue);
}

// The map under construction. z = 0 is the bottom of a column; the 64
// voxels of a column are contiguous so passes and the writer walk memory in
// order. Zero-filled at start-up and kept for the whole run.
extern std::uint8_t solid[MAP_VOXELS];      // 1 solid, 0 air
extern Colour colour[MAP_VOXELS];
extern std::int32_t column_top[MAP_COLUMNS];  // terrain top from voxelise, 0..62

inline int voxel_index(int x, int y, int z) { return x * 32768 + y * 64 + z; }
inline int column_index(int x, int y) { return x * 512 + y; }

// Builds column_top and solid from height_field: the top is the height
// truncated toward zero and clamped to 0..62; z = 0..top become solid, the
// rest air. Colours are left as they were.
void voxelise();

// Sets voxels z0..z1 (inclusive) of column (x, y) to `c`, solid when c is
// non-zero, air otherwise; nothing when z1 < z0. Voxels outside the Volume
// (a column off the map, z below 0 or above 63) are skipped and the rest of
// the span is written, so callers at the map's edge need no checks.
void fill_column(int x, int y, int z0, int z1, Colour c);

}  // namespace vxlforge

#endif  // VXLFORGE_MAPGEN_VOLUME_H_
