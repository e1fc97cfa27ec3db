#include "mapgen/roads.h"

#include <algorithm>
#include <cstring>

#include "random/rng.h"

namespace vxlforge {

std::uint8_t road_mask[MAP_COLUMNS];

namespace {

constexpr int kWalks = 100;
constexpr int kLowRow = 5;
constexpr int kHighRow = 506;

// Marks one row of a walk: the cells between the old and the new position
// plus one more on the low-y side.
void mark_run(int x, int from, int to) {
  for (int c = std::min(from, to) - 1; c <= std::max(from, to); ++c) {
    road_mask[column_index(x, c)] = ROAD;
  }
}

void walk(int start_row, int step, int stop_row) {
  int a = rng_range(64, 448);
  int b = rng_range(-1, 1);
  for (int x = start_row; x != stop_row; x += step) {
    const int n = a + b;
    if (n < 1 || n > 510) return;
    mark_run(x, a, n);
    if ((rng_next() & 31) < 9) b = rng_range(-2, 2);
    // The next run starts from a plus the slope as it is now, not from n.
    a += b;
  }
}

bool all_nine_are_road(int x, int y) {
  for (int i = x - 1; i <= x + 1; ++i) {
    for (int j = y - 1; j <= y + 1; ++j) {
      if (road_mask[column_index(i, j)] == ROAD_NONE) return false;
    }
  }
  return true;
}

// In place: a cell already promoted still counts as road, so the order of
// visiting cannot change the result.
void mark_interior() {
  for (int x = 1; x <= 510; ++x) {
    for (int y = 1; y <= 510; ++y) {
      if (all_nine_are_road(x, y)) road_mask[column_index(x, y)] = ROAD_INTERIOR;
    }
  }
}

}  // namespace

void build_road_mask() {
  std::memset(road_mask, 0, sizeof(road_mask));
  for (int w = 0; w < kWalks; ++w) {
    if (w % 2 == 0) {
      walk(kLowRow, +1, kHighRow);
    } else {
      walk(kHighRow, -1, kLowRow);
    }
  }
  mark_interior();
}

}  // namespace vxlforge
