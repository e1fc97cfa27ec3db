#include "mapgen/surface_detail.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "mapgen/roads.h"
#include "mapgen/volume.h"
#include "random/rng.h"
#include "support/clear_volume.h"

namespace vxlforge {
namespace {

TEST(StartFalloffTest, QuarterInsideTheRegionsAndOneFrom24CellsAway) {
  const auto at = start_falloff;
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
  static void clear() { testing::clear_volume(); }
  static int solid_columns() {
    int n = 0;
    for (int c = 0; c < MAP_COLUMNS; ++c) n += column_solid[c] & 1u;
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
    for (int y = 0; y < MAP_Y - 1; ++y) ASSERT_EQ(voxel_solid(x, y, 0), 0);
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
        if (voxel_solid(x, y, 0) == 0) continue;
        int height = 0;
        while (height < MAP_Z && voxel_solid(x, y, height) != 0) ++height;
        ASSERT_TRUE(height == 22 || height == 23) << "seed " << seed;
        ASSERT_EQ(voxel_solid(x, y, height), 0);
      }
    }
  }
}

}  // namespace
}  // namespace vxlforge

namespace vxlforge {
namespace {

// One column dressed with hand-set Fields: the cover chance p is 0 or 1, so
// the placement branch is fixed while the draws stay real.
class DressColumnTest : public ::testing::Test {
 protected:
  static constexpr int kX = 200;
  static constexpr int kY = 300;
  static constexpr Colour kGround = 0x80112233;

  // The noise rows of row kX, set by hand at column kY.
  struct Noise {
    std::array<float, MAP_Y> falloff{}, floor_gate{}, land_cover{}, floor_cover{},
        land_span_fine{}, land_span_coarse{}, floor_span_fine{}, floor_span_coarse{}, red{},
        green{}, blue{};
    CoverNoiseRow row() const {
      return {falloff.data(),          floor_gate.data(),      land_cover.data(),
              floor_cover.data(),      land_span_fine.data(),  land_span_coarse.data(),
              floor_span_fine.data(),  floor_span_coarse.data(), red.data(),
              green.data(),            blue.data()};
    }
  };
  Noise noise_;

  void SetUp() override {
    clear();
    noise_ = Noise{};
    noise_.falloff[kY] = 1.0f;
    noise_.land_span_fine[kY] = noise_.land_span_coarse[kY] = 5.0f;
    noise_.floor_span_fine[kY] = noise_.floor_span_coarse[kY] = 7.0f;
    noise_.red[kY] = noise_.green[kY] = noise_.blue[kY] = 100.0f;
    noise_.floor_gate[kY] = 0.5f;
  }
  void TearDown() override { clear(); }

  static void clear() {
    testing::clear_volume();
    std::memset(road_mask, 0, sizeof(road_mask));
  }

  void raised(int top, std::uint8_t road, float cover) {
    const int c = column_index(kX, kY);
    column_top[c] = static_cast<std::uint8_t>(top);
    road_mask[c] = road;
    noise_.land_cover[kY] = cover;
    fill_column(kX, kY, 0, top, kGround);
  }

  // Draws made by dress_column after seeding with `seed`.
  std::uint64_t dress(int seed) const {
    rng_seed(seed);
    const std::uint64_t start = rng_draw_count();
    dress_column(kX, kY, noise_.row());
    return rng_draw_count() - start;
  }

  static int solid_height() {
    int z = 0;
    while (z < MAP_Z && voxel_solid(kX, kY, z) != 0) ++z;
    return z;
  }
};

// Without a clump a column makes 7 draws, 3 more for a brightness colour
// and 2 more for a span on floor-level ground; a clump adds at least 12.
bool plain_count(std::uint64_t draws, std::uint64_t base) {
  return draws == base || draws == base + 3 || draws >= base + 12;
}

TEST_F(DressColumnTest, DrawsPerBranch) {
  for (int seed = 0; seed < 40; ++seed) {
    raised(10, ROAD_NONE, 0.0f);  // never placed
    ASSERT_TRUE(plain_count(dress(seed), 7)) << seed;
    raised(10, ROAD_NONE, 1.0f);  // always placed, no extra draws
    ASSERT_TRUE(plain_count(dress(seed), 7)) << seed;

    clear();
    SetUp();
    noise_.floor_cover[kY] = 1.0f;  // floor level, always placed
    ASSERT_TRUE(plain_count(dress(seed), 9)) << seed;
    noise_.floor_gate[kY] = -0.1f;  // gate closed: never placed
    ASSERT_TRUE(plain_count(dress(seed), 7)) << seed;
  }
}

TEST_F(DressColumnTest, RaisedCoverRecoloursTheTopAndStandsOnIt) {
  raised(10, ROAD_NONE, 1.0f);
  dress(3);
  // p = 1 makes the height exactly the span Field's 5 above the top.
  EXPECT_EQ(solid_height(), 16);
  EXPECT_NE(voxel_colour(kX, kY, 15), kGround);
  EXPECT_NE(voxel_colour(kX, kY, 10), kGround);  // zlow is 8..10
  EXPECT_EQ(voxel_colour(kX, kY, 7), kGround);
}

TEST_F(DressColumnTest, RoadStaysOpenWhenCoverWouldEndBelowItsLowerEnd) {
  for (int seed = 0; seed < 10; ++seed) {
    raised(10, ROAD, 1.0f);  // cover 10..15 but the span starts at 16..18
    dress(seed);
    ASSERT_EQ(solid_height(), 11) << seed;
    ASSERT_EQ(voxel_colour(kX, kY, 10), kGround) << seed;
  }
}

TEST_F(DressColumnTest, NoCoverWhereTheChanceIsZero) {
  raised(10, ROAD_NONE, 0.0f);
  dress(5);
  EXPECT_EQ(solid_height(), 11);
  EXPECT_EQ(voxel_colour(kX, kY, 10), kGround);
}

}  // namespace
}  // namespace vxlforge
