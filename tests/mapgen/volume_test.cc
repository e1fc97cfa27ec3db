#include "mapgen/volume.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstring>
#include <random>

#include "mapgen/shared_fields.h"
#include "support/clear_volume.h"

namespace vxlforge {
namespace {

constexpr Colour kGreen = 0x8030d030;

// The Volume and height_field are process-wide; tests start from and leave
// them zero.
class VolumeTest : public ::testing::Test {
 protected:
  void SetUp() override { clear(); }
  void TearDown() override { clear(); }

  static void clear() {
    testing::clear_volume();
    height_field.fill(0.0f);
  }

  // Number of solid voxels in column (x, y), and whether they are exactly
  // z = 0..top.
  static bool solid_up_to(int x, int y, int top) {
    for (int z = 0; z < MAP_Z; ++z) {
      if (voxel_solid(x, y, z) != (z <= top ? 1 : 0)) return false;
    }
    return true;
  }

  static std::size_t solid_total() {
    std::size_t n = 0;
    for (const std::uint64_t column : column_solid) n += static_cast<std::size_t>(std::popcount(column));
    return n;
  }
};

TEST_F(VolumeTest, VoxeliseTruncatesAndClampsHeights) {
  struct Case {
    int x, y;
    float height;
    int top;
  };
  const Case cases[] = {{0, 0, 25.9f, 25},    {1, 0, 0.99f, 0},
                        {0, 1, -0.3f, 0},     {511, 511, -7.0f, 0},
                        {200, 3, 62.5f, 62},  {3, 200, 1000.0f, 62},
                        {511, 0, 61.99f, 61}, {0, 511, 62.0f, 62}};
  for (const Case& c : cases) height_field[field_index(c.x, c.y)] = c.height;
  set_column_colour(0, 0, kGreen);
  voxelise_rows(0, MAP_X);
  for (const Case& c : cases) {
    EXPECT_EQ(column_top[column_index(c.x, c.y)], c.top) << c.height;
    EXPECT_TRUE(solid_up_to(c.x, c.y, c.top)) << c.height;
  }
  // Untouched columns have height 0: only the floor voxel is solid.
  EXPECT_TRUE(solid_up_to(300, 300, 0));
  EXPECT_EQ(voxel_colour(0, 0, 40), kGreen) << "colours are kept";
}

TEST_F(VolumeTest, FillColumnSetsColourAndSolidity) {
  height_field[field_index(4, 4)] = 20.0f;
  voxelise_rows(0, MAP_X);
  fill_column(4, 4, 10, 9, kGreen);
  EXPECT_TRUE(solid_up_to(4, 4, 20)) << "an empty span changes nothing";
  EXPECT_EQ(voxel_colour(4, 4, 9), 0u);

  fill_column(4, 4, 5, 5, 0);
  EXPECT_EQ(voxel_solid(4, 4, 5), 0);
  EXPECT_EQ(voxel_colour(4, 4, 5), 0u);
  EXPECT_EQ(voxel_solid(4, 4, 4), 1);
  EXPECT_EQ(voxel_solid(4, 4, 6), 1);
  EXPECT_EQ(column_top[column_index(4, 4)], 20) << "column_top stays";

  fill_column(4, 4, 0, 63, kGreen);
  for (int z = 0; z < MAP_Z; ++z) {
    EXPECT_EQ(voxel_solid(4, 4, z), 1);
    EXPECT_EQ(voxel_colour(4, 4, z), kGreen);
  }
}

TEST_F(VolumeTest, FillColumnSkipsVoxelsOutsideTheVolume) {
  for (int edge : {-1, 512}) {
    fill_column(edge, 7, 0, 63, kGreen);
    fill_column(7, edge, 0, 63, kGreen);
  }
  EXPECT_EQ(solid_total(), 0u) << "columns off the map get nothing";

  fill_column(8, 8, -1, 2, kGreen);  // the part inside is still written
  EXPECT_TRUE(solid_up_to(8, 8, 2));
  fill_column(8, 9, 62, 64, kGreen);
  EXPECT_EQ(voxel_solid(8, 9, 62), 1);
  EXPECT_EQ(voxel_solid(8, 9, 63), 1);
  EXPECT_EQ(voxel_solid(8, 10, 0), 0) << "no spill into the next column";
  EXPECT_EQ(solid_total(), 5u);
}

// Colours are kept per column as a whole colour, a span, or 64 colours of
// its own; whatever the order of writes, every voxel must read back as the
// last write that covered it, exactly as a colour word per voxel would.
TEST_F(VolumeTest, ColoursReadBackAsTheLastWriteThatCoveredThem) {
  std::mt19937 pick(7);
  for (int trial = 0; trial < 200; ++trial) {
    const int x = trial % 3;
    const int y = trial / 3;
    std::array<Colour, MAP_Z> expected{};
    for (int z = 0; z < MAP_Z; ++z) ASSERT_EQ(voxel_colour(x, y, z), 0u) << "starts at 0";
    for (int write = 0; write < 6; ++write) {
      const Colour c = 0x80000000u + static_cast<Colour>(pick() % 0x1000000u);
      if (pick() % 5 == 0) {
        set_column_colour(x, y, c);
        expected.fill(c);
      } else {
        // Spans from -1 to 64 at either end, empty ones included.
        const int z0 = static_cast<int>(pick() % 66) - 1;
        const int z1 = static_cast<int>(pick() % 66) - 1;
        fill_column(x, y, z0, z1, c);
        for (int z = std::max(z0, 0); z <= std::min(z1, MAP_Z - 1); ++z) expected[static_cast<std::size_t>(z)] = c;
      }
      for (int z = 0; z < MAP_Z; ++z) {
        ASSERT_EQ(voxel_colour(x, y, z), expected[static_cast<std::size_t>(z)])
            << "trial " << trial << " write " << write << " z " << z;
      }
    }
  }
  EXPECT_EQ(voxel_colour(3, 3, 0), 0u) << "other columns keep their colour";
  clear_colours();
  EXPECT_EQ(voxel_colour(0, 0, 5), 0u);
}

TEST_F(VolumeTest, AColumnRecolouredAgainAndAgainReusesItsOwnColours) {
  // More rounds than the map has columns: a column that needed 64 colours
  // of its own once gets the same ones back each time, never new ones.
  for (int round = 0; round < MAP_COLUMNS + 10; ++round) {
    set_column_colour(5, 5, kGreen);
    fill_column(5, 5, 0, 10, 1);
    fill_column(5, 5, 5, 20, 2);
  }
  EXPECT_EQ(voxel_colour(5, 5, 4), 1u);
  EXPECT_EQ(voxel_colour(5, 5, 20), 2u);
  EXPECT_EQ(voxel_colour(5, 5, 21), kGreen);
}

}  // namespace
}  // namespace vxlforge
