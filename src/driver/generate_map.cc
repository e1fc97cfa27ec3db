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

void generate_map(const StageObserver& observer) {
  const auto hand_over = [&observer](Stage stage) {
    if (observer) observer(stage);
  };
  advise_huge_pages(fixed_arrays());
  // Started now, so that the worker threads are up by the time the
  // heightmap's fills, shared out over every core, need them.
  start_workers();
  build_heightmap(observer);
  hand_over(Stage::kTerrainColoured);
  build_road_mask();
  hand_over(Stage::kRoads);
  add_surface_detail();
  hand_over(Stage::kSurfaceDetail);
  draw_start_regions();
  hand_over(Stage::kStartRegions);
}

}  // namespace vxlforge
