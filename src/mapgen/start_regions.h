#ifndef VXLFORGE_MAPGEN_START_REGIONS_H_
#define VXLFORGE_MAPGEN_START_REGIONS_H_

#include "mapgen/volume.h"

namespace vxlforge {

// Set to 1 by the -d option: outline the two start regions in the map.
extern int debug_regions;

// The outline colours: blue around the region at low x, green at high x.
constexpr Colour START_REGION_BLUE = 0x806060ff;
constexpr Colour START_REGION_GREEN = 0x8030d030;

// When debug_regions is set, paints all 64 voxels (air and solid alike) of
// the columns on three sides of each start region; the side toward the
// nearer map edge is left open. Changes colours only, never solidity, and
// draws nothing from the generator, so a debug map has the plain map's shape.
void draw_start_regions();

}  // namespace vxlforge

#endif  // VXLFORGE_MAPGEN_START_REGIONS_H_
