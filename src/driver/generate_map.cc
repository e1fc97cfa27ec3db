#include "driver/generate_map.h"

#include "mapgen/heightmap.h"
#include "mapgen/huge_pages.h"
#include "mapgen/roads.h"
#include "mapgen/start_regions.h"
#include "mapgen/surface_detail.h"
#include "mapgen/volume.h"

namespace vxlforge {

void generate_map() {
  advise_huge_pages();
  build_heightmap();
  build_road_mask();
  add_surface_detail();
  draw_start_regions();
}

}  // namespace vxlforge
