#include "mapgen/roads.h"

#include <algorithm>
#include <cstring>

#include "random/rng.h"

namespace vxlforge {

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

// 1 where cells y - 1, y and y + 1 of row x are all road (of either kind),
// for y = 1..510.
void mark_road_triples(int x, std::uint8_t* triple) {
  const std::uint8_t* row = &road_mask[column_index(x, 0)];
  for (int y = 1; y <= 510; ++y) {
    triple[y] = static_cast<std::uint8_t>((row[y - 1] != ROAD_NONE) & (row[y] != ROAD_NONE) &
                                          (row[y + 1] != ROAD_NONE));
  }
}

// A cell is interior when all nine cells around it and itself are road. A
// cell promoted on the way still counts as road, so promoting in place
// cannot change the result, and the test can be split: road in three
// columns across, in each of three rows.
void mark_interior() {
  std::uint8_t triples[3][MAP_Y] = {};
  mark_road_triples(0, triples[0]);
  mark_road_triples(1, triples[1]);
  for (int x = 1; x <= 510; ++x) {
    const std::uint8_t* before = triples[(x - 1) % 3];
    const std::uint8_t* here = triples[x % 3];
    std::uint8_t* after = triples[(x + 1) % 3];
    mark_road_triples(x + 1, after);
    std::uint8_t* row = &road_mask[column_index(x, 0)];
    for (int y = 1; y <= 510; ++y) {
      if ((before[y] & here[y] & after[y]) != 0) row[y] = ROAD_INTERIOR;
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
