#include "mapgen/surface_detail.h"

#include <gtest/gtest.h>

#include <cstring>

#include "mapgen/roads.h"
#include "mapgen/volume.h"
#include "random/rng.h"

namespace vxlforge {
namespace {

TEST(StartFalloffTest, QuarterInsideTheRegionsAndOneFrom24CellsAway) {
  build_start_falloff();
  const auto at = [](int x, int y) { return start_falloff_field[field_index(x, y)]; };
  EXPECT_EQ(at(0, 128), 0.25f);
  EXPECT_EQ(at(128, 384), 0.25f);
  EXPECT_EQ(at(384, 200), 0.25f);
  EXPECT_EQ(at(511, 300), 0.25f);
  EXPECT_EQ(at(128 + 24, 256), 1.0f);
  EXPECT_EQ(at(384 - 24, 256), 1.0f);
  EXPECT_EQ(at(50, 128 - 24), 1.0f);
  EXPECT_EQ(at(256, 256), 1.0f);
  // 12 cells away: 144 / 576 * 0.75 + 0.25.
  EXPECT_FLOAT_EQ(at(140, 256), 0.4375f);
  EXPECT_FLOAT_EQ(at(450, 396), 0.4375f);
}

TEST(ClumpColourTest, ComponentsAreHeldAt255WithoutCarrying) {
  EXPECT_EQ(clump_colour(220, 200, 220, 40, 20, 40), 0x80ffdcffu);
  EXPECT_EQ(clump_colour(216, 50, 50, 40, 0, 0), 0x80ff3232u);
  EXPECT_EQ(clump_colour(100, 110, 120, 5, 6, 7), 0x8069747fu);
}

class ClumpTest : public ::testing::Test {
 protected:
  void SetUp() override { clear(); }
  void TearDown() override { clear(); }
  static void clear() {
    std::memset(solid, 0, sizeof(solid));
    std::memset(colour, 0, sizeof(colour));
  }
  static int solid_columns() {
    int n = 0;
    for (int c = 0; c < MAP_COLUMNS; ++c) n += solid[c * MAP_Z];
    return n;
  }
};

TEST_F(ClumpTest, OffMapCellsStillDrawAndWriteNothing) {
  // The same seed makes the same draws at the corner as in the middle of
  // the map, so the stream after a clump never depends on where it stood.
  rng_seed(9);
  std::uint64_t start = rng_draw_count();
  place_clump(200, 200, 10);
  const std::uint64_t middle_draws = rng_draw_count() - start;
  const std::uint32_t middle_next = rng_next();
  const int middle_columns = solid_columns();
  clear();

  rng_seed(9);
  start = rng_draw_count();
  place_clump(0, 511, 10);
  EXPECT_EQ(rng_draw_count() - start, middle_draws);
  EXPECT_EQ(rng_next(), middle_next);
  EXPECT_LE(solid_columns(), middle_columns);
  for (int x = 1; x < MAP_X; ++x) {
    for (int y = 0; y < MAP_Y - 1; ++y) ASSERT_EQ(solid[voxel_index(x, y, 0)], 0);
  }
}

TEST_F(ClumpTest, FilledCellsReachOneOrTwoAboveTheCentreTop) {
  for (int seed = 0; seed < 20; ++seed) {
    clear();
    rng_seed(seed);
    place_clump(100, 100, 20);
    ASSERT_GT(solid_columns(), 0) << "seed " << seed;
    for (int x = 99; x <= 101; ++x) {
      for (int y = 99; y <= 101; ++y) {
        if (solid[voxel_index(x, y, 0)] == 0) continue;
        int height = 0;
        while (height < MAP_Z && solid[voxel_index(x, y, height)] != 0) ++height;
        ASSERT_TRUE(height == 22 || height == 23) << "seed " << seed;
        ASSERT_EQ(solid[voxel_index(x, y, height)], 0);
      }
    }
  }
}

}  // namespace
}  // namespace vxlforge
