#include "driver/generate_map.h"

#include "mapgen/heightmap.h"
#include "mapgen/roads.h"
#include "mapgen/start_regions.h"
#include "mapgen/surface_detail.h"

namespace vxlforge {

void generate_map() {
  build_heightmap();
  build_road_mask();
  add_surface_detail();
  draw_start_regions();
}

}  // namespace vxlforge
