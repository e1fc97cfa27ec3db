#include "mapgen/roads.h"

#include <gtest/gtest.h>

#include <string>

#include "random/rng.h"

namespace vxlforge {
namespace {

std::uint8_t at(int x, int y) { return road_mask[column_index(x, y)]; }

class RoadMaskTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    rng_seed(GetParam());
    build_road_mask();
  }
};

TEST_P(RoadMaskTest, OnlyRowsFiveTo506AndColumnsUpTo510AreMarked) {
  int marked = 0;
  for (int x = 0; x < MAP_X; ++x) {
    for (int y = 0; y < MAP_Y; ++y) {
      if (at(x, y) == ROAD_NONE) continue;
      ++marked;
      ASSERT_GE(x, 5);
      ASSERT_LE(x, 506);
      ASSERT_LE(y, 510);
    }
  }
  EXPECT_GT(marked, 10000);  // a hundred walks of up to 501 rows each
}

TEST_P(RoadMaskTest, InteriorExactlyWhereAllNineCellsAreRoad) {
  int interior = 0;
  for (int x = 0; x < MAP_X; ++x) {
    for (int y = 0; y < MAP_Y; ++y) {
      const bool border = x == 0 || y == 0 || x == 511 || y == 511;
      bool nine = !border;
      for (int i = -1; i <= 1 && nine; ++i) {
        for (int j = -1; j <= 1 && nine; ++j) nine = at(x + i, y + j) != ROAD_NONE;
      }
      ASSERT_EQ(at(x, y) == ROAD_INTERIOR, nine) << x << "," << y;
      interior += nine;
    }
  }
  EXPECT_GT(interior, 0);
}

TEST_P(RoadMaskTest, EveryMarkedRunIsAtLeastTwoCellsWide) {
  // A walk marks at least two neighbouring cells of a row, so a road cell
  // never stands alone along y.
  for (int x = 0; x < MAP_X; ++x) {
    for (int y = 0; y < MAP_Y; ++y) {
      if (at(x, y) == ROAD_NONE) continue;
      const bool left = y > 0 && at(x, y - 1) != ROAD_NONE;
      const bool right = y < 511 && at(x, y + 1) != ROAD_NONE;
      ASSERT_TRUE(left || right) << x << "," << y;
    }
  }
}

TEST_P(RoadMaskTest, RebuildingClearsTheEarlierMask) {
  road_mask[column_index(0, 0)] = ROAD;
  rng_seed(GetParam());
  build_road_mask();
  EXPECT_EQ(at(0, 0), ROAD_NONE);
}

INSTANTIATE_TEST_SUITE_P(Seeds, RoadMaskTest, ::testing::Values(1, 42, -7),
                         [](const ::testing::TestParamInfo<int>& run_info) {
                           return run_info.param < 0 ? "SeedMinus" + std::to_string(-run_info.param)
                                                 : "Seed" + std::to_string(run_info.param);
                         });

}  // namespace
}  // namespace vxlforge
