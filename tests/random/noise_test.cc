#include "random/noise.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <memory>

namespace vxlforge {
namespace {

std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }

TEST(Noise3Test, KnownValues) {
  EXPECT_EQ(noise3(0.5f, 0.5f, 0.5f, 256, 256, 0), -0.5);
  EXPECT_EQ(noise3(1.25f, 2.5f, 3.75f, 4, 4, 0), 0.1173396110534668);
}

TEST(Noise3Test, ZeroAtLatticePoints) {
  EXPECT_EQ(noise3(3.0f, 5.0f, 7.0f, 8, 8, 0), 0.0);
  EXPECT_EQ(noise3(0.0f, 0.0f, 0.0f, 0, 0, 0), 0.0);
  EXPECT_EQ(noise3(255.0f, 17.0f, 63.0f, 256, 256, 0), 0.0);
}

TEST(Noise3Test, WrapPeriods) {
  EXPECT_EQ(noise3(10.5f, 3.25f, 0.75f, 8, 8, 0), 0.06922388076782227);
  EXPECT_EQ(noise3(2.5f, 3.25f, 0.75f, 8, 8, 0), 0.06922388076782227);
  // Period 1: every lattice cell along x is the same cell.
  EXPECT_EQ(noise3(0.25f, 1.75f, 2.5f, 1, 0, 0), noise3(41.25f, 1.75f, 2.5f, 1, 0, 0));
  // Periods above 256 act as 256.
  EXPECT_EQ(noise3(1.5f, 2.25f, 0.5f, 300, 300, 0), noise3(1.5f, 2.25f, 0.5f, 256, 256, 0));
  EXPECT_EQ(noise3(1.5f, 2.25f, 0.5f, 300, 300, 0), noise3(257.5f, 258.25f, 0.5f, 300, 300, 0));
}

class FillNoiseFieldTest : public ::testing::Test {
 protected:
  std::unique_ptr<Field> field = std::make_unique<Field>();
};

TEST_F(FillNoiseFieldTest, KnownCellsShowWhichIndexFollowsWhichCoordinate) {
  fill_noise_field(*field, 8, 16, -5.0f, 5.0f, 0.4f, 37.25f, 101.5f, 12.75f);
  EXPECT_EQ(bits((*field)[field_index(0, 0)]), 0xC0584EAAu);
  EXPECT_EQ(bits((*field)[field_index(0, 1)]), 0xC0574828u);
  EXPECT_EQ(bits((*field)[field_index(1, 0)]), 0xC056E728u);
  EXPECT_EQ((*field)[field_index(0, 0)], -3.3798012733459473f);
}

TEST_F(FillNoiseFieldTest, EqualEndsGiveAConstantField) {
  fill_noise_field(*field, 16, 16, 2.5f, 2.5f, 0.7f, 0.3f, 0.9f, 5.5f);
  for (float v : *field) ASSERT_EQ(v, 2.5f);
}

TEST_F(FillNoiseFieldTest, ZeroNoiseMapsToTheSharpenedMiddle) {
  // Whole offsets and 512 cells per 512 rows put every cell on a lattice
  // point, where the noise is 0: lo + (0.5 - 0.375 * sharpen) * (hi - lo).
  fill_noise_field(*field, 512, 512, -4.0f, 4.0f, 0.5f, 3.0f, 7.0f, 2.0f);
  EXPECT_EQ((*field)[field_index(10, 20)], -4.0f + (0.5f - 0.375f * 0.5f) * 8.0f);
}

TEST(FieldAddScaledTest, ZeroLeavesDestinationAndOneDoubles) {
  auto a = std::make_unique<Field>();
  auto b = std::make_unique<Field>();
  for (int i = 0; i < FIELD_CELLS; ++i) {
    (*a)[i] = static_cast<float>(i % 97) * 0.37f;
    (*b)[i] = static_cast<float>(i % 13) - 6.1f;
  }
  const Field before = *a;
  field_add_scaled(*a, *b, 0.0f);
  EXPECT_EQ(*a, before);
  field_add_scaled(*a, *a, 1.0f);
  for (int i = 0; i < FIELD_CELLS; ++i) ASSERT_EQ((*a)[i], before[i] * 2.0f);
}

TEST(Smoothstep01Test, ClampsAndEases) {
  EXPECT_EQ(smoothstep01(-0.5f), 0.0);
  EXPECT_EQ(smoothstep01(0.0f), 0.0);
  EXPECT_EQ(smoothstep01(0.25f), 0.15625);
  EXPECT_EQ(smoothstep01(0.5f), 0.5);
  EXPECT_EQ(smoothstep01(1.0f), 1.0);
  EXPECT_EQ(smoothstep01(1.5f), 1.0);
}

}  // namespace
}  // namespace vxlforge
