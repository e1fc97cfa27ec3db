#ifndef VXLFORGE_MAPGEN_TERRAIN_COLOUR_H_
#define VXLFORGE_MAPGEN_TERRAIN_COLOUR_H_

#include <cstdint>

#include "mapgen/volume.h"

namespace vxlforge {

// Gives every column one colour, written to all 64 of its voxels. Raised
// columns (column_top above 0) run from olive at height `low` to pale grey at
// `high`, are pulled toward grey 120 on steep ground and are shaded by a
// fixed light from the low-x side. Floor-level columns take an unshaded ramp
// toward light blue as they sink. Reads height_field (with wrap-around
// neighbours at x - 1 and y - 1) and column_top; draws nothing.
void colour_terrain(std::int32_t low, std::int32_t high);

// The same for rows first..last-1 of x only; rows are independent, so
// callers may colour them on any threads in any order.
void colour_terrain_rows(int first, int last, std::int32_t low, std::int32_t high);

// The colour of one column: `h` is its height, `height_west` the height at
// x - 1 and `height_south` the height at y - 1, `floor_level` whether its
// column_top is 0.
Colour terrain_column_colour(float h, float height_west, float height_south,
                             bool floor_level, std::int32_t low,
                             std::int32_t high);

}  // namespace vxlforge

#endif  // VXLFORGE_MAPGEN_TERRAIN_COLOUR_H_
