#include "mapgen/volume.h"

#include <gtest/gtest.h>

#include <cstring>

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
      if (solid[voxel_index(x, y, z)] != (z <= top ? 1 : 0)) return false;
    }
    return true;
  }

  static std::size_t solid_total() {
    std::size_t n = 0;
    for (int i = 0; i < MAP_VOXELS; ++i) n += solid[i];
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
  colour[voxel_index(0, 0, 40)] = kGreen;
  voxelise();
  for (const Case& c : cases) {
    EXPECT_EQ(column_top[column_index(c.x, c.y)], c.top) << c.height;
    EXPECT_TRUE(solid_up_to(c.x, c.y, c.top)) << c.height;
  }
  // Untouched columns have height 0: only the floor voxel is solid.
  EXPECT_TRUE(solid_up_to(300, 300, 0));
  EXPECT_EQ(colour[voxel_index(0, 0, 40)], kGreen) << "colours are kept";
}

TEST_F(VolumeTest, FillColumnSetsColourAndSolidity) {
  height_field[field_index(4, 4)] = 20.0f;
  voxelise();
  fill_column(4, 4, 10, 9, kGreen);
  EXPECT_TRUE(solid_up_to(4, 4, 20)) << "an empty span changes nothing";
  EXPECT_EQ(colour[voxel_index(4, 4, 9)], 0u);

  fill_column(4, 4, 5, 5, 0);
  EXPECT_EQ(solid[voxel_index(4, 4, 5)], 0);
  EXPECT_EQ(colour[voxel_index(4, 4, 5)], 0u);
  EXPECT_EQ(solid[voxel_index(4, 4, 4)], 1);
  EXPECT_EQ(solid[voxel_index(4, 4, 6)], 1);
  EXPECT_EQ(column_top[column_index(4, 4)], 20) << "column_top stays";

  fill_column(4, 4, 0, 63, kGreen);
  for (int z = 0; z < MAP_Z; ++z) {
    EXPECT_EQ(solid[voxel_index(4, 4, z)], 1);
    EXPECT_EQ(colour[voxel_index(4, 4, z)], kGreen);
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
  EXPECT_EQ(solid[voxel_index(8, 9, 62)], 1);
  EXPECT_EQ(solid[voxel_index(8, 9, 63)], 1);
  EXPECT_EQ(solid[voxel_index(8, 10, 0)], 0) << "no spill into the next column";
  EXPECT_EQ(solid_total(), 5u);
}

}  // namespace
}  // namespace vxlforge
