#ifndef VXLFORGE_MAPGEN_ROADS_H_
#define VXLFORGE_MAPGEN_ROADS_H_

#include <cstdint>

#include "mapgen/volume.h"

namespace vxlforge {

constexpr std::uint8_t ROAD_NONE = 0;
constexpr std::uint8_t ROAD = 1;
// A road cell whose eight neighbours are road too.
constexpr std::uint8_t ROAD_INTERIOR = 2;

// One byte per map column, indexed like column_top. Kept with the other
// per-column arrays, see fixed_arrays.h.
extern std::uint8_t (&road_mask)[MAP_COLUMNS];

// Draws one hundred random walks across the map along x, each drifting
// along y, into road_mask, then marks the interior cells. Even walks run
// from row 5 up, odd ones from row 506 down; a walk ends where its next
// position would leave columns 1..510, so rows 0..4 and 507..511 and column
// 511 are never marked. Changes no voxel.
void build_road_mask();

}  // namespace vxlforge

#endif  // VXLFORGE_MAPGEN_ROADS_H_
