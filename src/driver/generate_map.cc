#include "driver/generate_map.h"

#include <vector>

#include "base/huge_pages.h"
#include "base/parallel_rows.h"
#include "mapgen/heightmap.h"
#include "mapgen/roads.h"
#include "mapgen/shared_fields.h"
#include "mapgen/start_regions.h"
#include "mapgen/surface_detail.h"
#include "mapgen/volume.h"
#include "vxl/vxl_writer.h"

namespace vxlforge {

namespace {

// Every big fixed array of a run, for the huge-page advice.
std::vector<FixedArray> fixed_arrays() {
  return {
      {column_solid, sizeof(column_solid)}, {column_colours, sizeof(column_colours)},
      {column_top, sizeof(column_top)},     {road_mask, sizeof(road_mask)},
      {height_field.data(), sizeof(height_field)},
  };
}

}  // namespace

void generate_map() {
  advise_huge_pages(fixed_arrays());
  // The heightmap's draws come first and the roads' next; the roads read
  // nothing the heightmap writes. So the roads are built first, on this
  // thread, while the worker threads start (which can take milliseconds on
  // a virtual machine whose other processors sit idle), and the heightmap's
  // fills, which share out over every core, come after.
  start_workers();
  const HeightmapDraws heightmap_draws;
  build_road_mask();
  build_heightmap(heightmap_draws);
  add_surface_detail();
  draw_start_regions();
}

}  // namespace vxlforge
