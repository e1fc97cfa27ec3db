#include "mapgen/start_regions.h"

#include <algorithm>

namespace vxlforge {

int debug_regions = 0;

namespace {

// The outline of one region: the side at x = `side` from y = 128 to 383,
// and the rows y = 128 and y = 384 from x = `from` to `to`.
void draw_outline(int first, int last, int side, int from, int to, Colour c) {
  if (side >= first && side < last) {
    for (int y = 128; y <= 383; ++y) set_column_colour(side, y, c);
  }
  for (int x = std::max(first, from); x <= std::min(last - 1, to); ++x) {
    set_column_colour(x, 128, c);
    set_column_colour(x, 384, c);
  }
}

}  // namespace

void draw_start_regions() { draw_start_regions_rows(0, MAP_X); }

void draw_start_regions_rows(int first, int last) {
  if (debug_regions == 0) return;
  draw_outline(first, last, 128, 16, 127, START_REGION_BLUE);
  draw_outline(first, last, 384, 384, 495, START_REGION_GREEN);
}

}  // namespace vxlforge
