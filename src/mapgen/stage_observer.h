#ifndef VXLFORGE_MAPGEN_STAGE_OBSERVER_H_
#define VXLFORGE_MAPGEN_STAGE_OBSERVER_H_

#include <functional>

namespace vxlforge {

// The moments of a run at which one step hands the map state on to the
// next, in run order, and what holds at each.
enum class Stage {
  // Inside the heightmap pass, once every column is voxelised: height_field
  // is exactly what voxelise read, column_top and column_solid are the bare
  // terrain, and the pass's 24 draws are made.
  kVoxelised,
  // The heightmap pass has returned: height_field holds the colour relief
  // too, as the colouring read it, and every column has its terrain colour.
  kTerrainColoured,
  // The road pass has returned: road_mask is final.
  kRoads,
  // The surface detail pass has returned: every voxel's solidity is final,
  // and every colour but those of the start regions.
  kSurfaceDetail,
  // The start regions are drawn (where asked for): the map as it is written.
  kStartRegions,
};

// Called at each of those moments on the generating thread, while no other
// thread works on the map. It may read the map state, never change it. Lets
// tests check every pass on the very path that the program runs; when
// absent, it costs one test per moment.
using StageObserver = std::function<void(Stage)>;

}  // namespace vxlforge

#endif  // VXLFORGE_MAPGEN_STAGE_OBSERVER_H_
