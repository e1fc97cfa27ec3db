#include "mapgen/start_regions.h"

namespace vxlforge {

int debug_regions = 0;

namespace {

void paint_column(int x, int y, Colour c) {
  Colour* column = &colour[voxel_index(x, y, 0)];
  for (int z = 0; z < MAP_Z; ++z) column[z] = c;
}

}  // namespace

void draw_start_regions() {
  if (debug_regions == 0) return;
  for (int y = 128; y <= 383; ++y) {
    paint_column(128, y, START_REGION_BLUE);
    paint_column(384, y, START_REGION_GREEN);
  }
  for (int i = 0; i <= 111; ++i) {
    paint_column(16 + i, 128, START_REGION_BLUE);
    paint_column(16 + i, 384, START_REGION_BLUE);
    paint_column(495 - i, 128, START_REGION_GREEN);
    paint_column(495 - i, 384, START_REGION_GREEN);
  }
}

}  // namespace vxlforge
