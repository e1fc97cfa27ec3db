#include "mapgen/terrain_colour.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/cpu_features.h"
#include "mapgen/shared_fields.h"

namespace vxlforge {
namespace {

Colour level(float h, bool floor_level) {
  return terrain_column_colour(h, h, h, floor_level, 4, 32);
}

TEST(TerrainColourTest, LevelRaisedColumnsFollowHeight) {
  EXPECT_EQ(level(2.0f, false), 0x807b8959u);
  EXPECT_EQ(level(4.0f, false), 0x807b8959u);
  EXPECT_EQ(level(18.0f, false), 0x809ca38bu);
  EXPECT_EQ(level(40.0f, false), 0x80bdbdbdu);
  EXPECT_EQ(level(32.0f, false), 0x80bdbdbdu);
}

TEST(TerrainColourTest, FloorLevelIgnoresSlopeAndShade) {
  EXPECT_EQ(level(-0.5f, true), 0x8082aac8u);
  EXPECT_EQ(terrain_column_colour(-3.0f, 10.0f, -20.0f, true, 4, 32), 0x8082aac8u);
  // From 2.5 up the depth weight is 0: the raised ramp's olive, unshaded.
  EXPECT_EQ(level(2.5f, true), 0x8090a068u);
}

TEST(TerrainColourTest, SlopesArePulledToGreyAndShaded) {
  // Rising toward +x faces the light.
  EXPECT_EQ(terrain_column_colour(20.0f, 10.0f, 20.0f, false, 4, 32), 0x805c5c5cu);
  // Falling toward +x gets no light: only the 0.3 ambient part of grey 120.
  EXPECT_EQ(terrain_column_colour(10.0f, 20.0f, 10.0f, false, 4, 32), 0x80242424u);
}

class ColourTerrainTest : public ::testing::Test {
 protected:
  void TearDown() override {
    height_field.fill(0.0f);
    std::memset(column_top, 0, sizeof(column_top));
    clear_colours();
  }
};

TEST_F(ColourTerrainTest, NeighboursWrapAroundTheMapEdges) {
  height_field.fill(10.0f);
  std::fill(column_top, column_top + MAP_COLUMNS, 10);
  for (int y = 0; y < MAP_Y; ++y) height_field[field_index(511, y)] = 20.0f;
  for (int x = 0; x < MAP_X; ++x) height_field[field_index(x, 511)] = 0.0f;
  colour_terrain(4, 32);
  const Colour flat = level(10.0f, false);
  // x = 0 sees the high row at x = 511 as its x - 1 neighbour.
  EXPECT_EQ(voxel_colour(0, 100, 0), terrain_column_colour(10.0f, 20.0f, 10.0f, false, 4, 32));
  EXPECT_NE(voxel_colour(0, 100, 0), flat);
  // y = 0 sees the low column at y = 511 as its y - 1 neighbour.
  EXPECT_EQ(voxel_colour(100, 0, 63), terrain_column_colour(10.0f, 10.0f, 0.0f, false, 4, 32));
  EXPECT_NE(voxel_colour(100, 0, 63), flat);
  EXPECT_EQ(voxel_colour(100, 100, 37), flat);
}

TEST_F(ColourTerrainTest, ColumnTopZeroSelectsTheFloorRamp) {
  height_field.fill(-1.0f);
  std::fill(column_top, column_top + MAP_COLUMNS, 1);
  column_top[column_index(7, 9)] = 0;
  colour_terrain(4, 32);
  EXPECT_EQ(voxel_colour(7, 9, 0), 0x8082aac8u);
  EXPECT_EQ(voxel_colour(7, 10, 0), level(-1.0f, false));
}

TEST_F(ColourTerrainTest, EveryColumnIsColouredAsOnItsOwn) {
  // The pass colours eight columns at a time where the processor has
  // AVX-512, four with AVX2, and one at a time with its plain kernel; each
  // way each column
  // must come out as the one-column function gives it, for heights below,
  // inside and above the ramp, gentle and steep slopes, and both kinds of
  // column.
  std::mt19937 pick(11);
  std::uniform_real_distribution<float> step(-0.8f, 0.8f);
  std::uniform_real_distribution<float> jump(-8.0f, 45.0f);
  // Mostly gentle slopes (a walk along each row), now and then a cliff.
  for (int x = 0; x < MAP_X; ++x) {
    float h = jump(pick);
    for (int y = 0; y < MAP_Y; ++y) {
      h = pick() % 50 == 0 ? jump(pick) : h + step(pick);
      height_field[field_index(x, y)] = h;
    }
  }
  for (int i = 0; i < MAP_COLUMNS; ++i) column_top[i] = static_cast<std::uint8_t>(pick() % 4 == 0 ? 0 : 1 + pick() % 30);
  for (int y = 0; y < MAP_Y; y += 7) height_field[field_index(9, y)] = 4.0f;   // the ramp's ends
  for (int y = 3; y < MAP_Y; y += 7) height_field[field_index(9, y)] = 32.0f;
  for (const KernelIsa isa : {KernelIsa::kAvx512, KernelIsa::kAvx2, KernelIsa::kPlain}) {
    if (!cpu_has(isa)) continue;
    clear_colours();
    set_widest_kernels(isa);
    colour_terrain(4, 32);
    set_widest_kernels(KernelIsa::kAvx512);
    if (isa == KernelIsa::kAvx512) {
      // Else on such a processor the AVX2 path would be compared twice.
      const std::vector<std::string> in_use = wide_kernels_in_use();
      EXPECT_NE(std::find(in_use.begin(), in_use.end(), "terrain colours, AVX-512"), in_use.end());
    }
    int wrong = 0;
    for (int x = 0; x < MAP_X && wrong < 5; ++x) {
      for (int y = 0; y < MAP_Y; ++y) {
        const Colour expected = terrain_column_colour(
            height_field[field_index(x, y)], height_field[field_index((x - 1) & 511, y)],
            height_field[field_index(x, (y - 1) & 511)], column_top[column_index(x, y)] == 0, 4,
            32);
        if (voxel_colour(x, y, 0) != expected && ++wrong <= 5) {
          ADD_FAILURE() << "column (" << x << ", " << y << "), widest kernels "
                        << static_cast<int>(isa);
        }
      }
    }
  }
}

}  // namespace
}  // namespace vxlforge
