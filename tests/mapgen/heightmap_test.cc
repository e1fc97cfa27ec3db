#include "mapgen/heightmap.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vxlforge {
namespace {

TEST(BaseShapeTest, EllipseCentresAddFour) {
  // y = 256 is the middle of the ramp (0), so only the ellipse is left.
  EXPECT_EQ(base_shape_cell(64, 256, 0.0f), 4.0f);
  EXPECT_EQ(base_shape_cell(448, 256, 0.0f), 4.0f);
}

TEST(BaseShapeTest, RampRunsFromFourToMinusFour) {
  EXPECT_EQ(base_shape_cell(256, 0, 0.0f), 4.0f);
  EXPECT_EQ(base_shape_cell(256, 256, 0.0f), 0.0f + 2.0f * 8.940696716308594e-08f);
}

TEST(BaseShapeTest, BumpBeyondTheEllipseLeavesItsLiteralResidue) {
  // The bump is 4 - 6400 * 0.00015625f * 4, about 8.94e-8, not 0; two such
  // residues lift -3.984375 and 2.5 by one unit in the last place. A bump
  // cut to exactly 0 would leave both values unchanged.
  EXPECT_EQ(base_shape_cell(256, 511, 0.0f), std::nextafter(-3.984375f, 0.0f));
  // (64, 96): d1 is exactly 6400.
  EXPECT_EQ(base_shape_cell(64, 96, 0.0f), std::nextafter(2.5f, 3.0f));
}

TEST(BaseShapeTest, ReliefIsAddedLast) {
  EXPECT_EQ(base_shape_cell(64, 256, 1.5f), 5.5f);
}

TEST(BlendedHeightTest, DetailWeightFollowsTheBase) {
  EXPECT_EQ(blended_height(-2.0f, 4.0f), -2.0f + 0.25f * 4.0f);
  EXPECT_EQ(blended_height(0.0f, 4.0f), 1.0f);
  EXPECT_EQ(blended_height(6.0f, 4.0f), 10.0f);
  EXPECT_EQ(blended_height(2.0f, 4.0f), 2.0f + (0.5f * 0.75f + 0.25f) * 4.0f);
}

TEST(BlendedHeightTest, HeldAtTwentyFiveButNotBelow) {
  EXPECT_EQ(blended_height(30.0f, 0.0f), 25.0f);
  EXPECT_EQ(blended_height(24.0f, 5.0f), 25.0f);
  EXPECT_EQ(blended_height(-40.0f, 0.0f), -40.0f);
}

}  // namespace
}  // namespace vxlforge
