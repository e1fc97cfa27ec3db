#include "mapgen/start_regions.h"

namespace vxlforge {

int debug_regions = 0;

void draw_start_regions() {
  if (debug_regions == 0) return;
  for (int y = 128; y <= 383; ++y) {
    set_column_colour(128, y, START_REGION_BLUE);
    set_column_colour(384, y, START_REGION_GREEN);
  }
  for (int i = 0; i <= 111; ++i) {
    set_column_colour(16 + i, 128, START_REGION_BLUE);
    set_column_colour(16 + i, 384, START_REGION_BLUE);
    set_column_colour(495 - i, 128, START_REGION_GREEN);
    set_column_colour(495 - i, 384, START_REGION_GREEN);
  }
}

}  // namespace vxlforge
