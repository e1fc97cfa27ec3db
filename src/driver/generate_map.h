#ifndef VXLFORGE_DRIVER_GENERATE_MAP_H_
#define VXLFORGE_DRIVER_GENERATE_MAP_H_

#include "mapgen/stage_observer.h"

namespace vxlforge {

// Runs the generation passes in their fixed order over the process-wide map
// state: heightmap (voxelising and colouring the terrain), roads, surface
// detail, start regions. The generator must already be seeded; the order of
// the passes is part of what a seed means, since each draws from the one
// generator. `observer`, when given, is called at each hand-over between
// the passes, in that order (see Stage).
void generate_map(const StageObserver& observer = {});

}  // namespace vxlforge

#endif  // VXLFORGE_DRIVER_GENERATE_MAP_H_
