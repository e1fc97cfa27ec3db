#ifndef VXLFORGE_DRIVER_GENERATE_MAP_H_
#define VXLFORGE_DRIVER_GENERATE_MAP_H_

#include "mapgen/stage_observer.h"

namespace vxlforge {

// Runs the generation passes over the process-wide map state: heightmap
// (voxelising and colouring the terrain), roads, surface detail, start
// regions. The generator must already be seeded. Each pass draws from the
// one generator, so the order of the draws is part of what a seed means:
// the passes make their draws in that order, whatever runs in parallel.
//
// The passes overlap, a chunk of rows going on to the next pass as soon as
// what it needs is done, so that the serial column loop of the surface
// detail runs beside the heightmap's noise.
//
// `observer`, when given, is called at each hand-over between the passes,
// in run order (see Stage): the same steps then run with a barrier at each
// hand-over, so that it sees the whole map at that moment.
void generate_map(const StageObserver& observer = {});

}  // namespace vxlforge

#endif  // VXLFORGE_DRIVER_GENERATE_MAP_H_
