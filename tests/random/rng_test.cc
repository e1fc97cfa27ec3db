#include "random/rng.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace vxlforge {
namespace {

std::vector<std::uint32_t> first_words(int n) {
  std::vector<std::uint32_t> words;
  for (int i = 0; i < n; ++i) words.push_back(rng_next());
  return words;
}

TEST(RngTest, FirstWordsOfKnownSeeds) {
  rng_seed(1);
  EXPECT_EQ(first_words(3), (std::vector<std::uint32_t>{0x6A4112BA, 0x50F0B10F, 0xE1046885}));
  rng_seed(12345);
  EXPECT_EQ(first_words(3), (std::vector<std::uint32_t>{0xD9F156E3, 0xFA96D892, 0x6EA111F6}));
  rng_seed(0);
  EXPECT_EQ(first_words(3), (std::vector<std::uint32_t>{0xECA6A5F4, 0x9326D462, 0xF7617AE4}));
  rng_seed(-1);
  EXPECT_EQ(first_words(3), (std::vector<std::uint32_t>{0x0B6B3C27, 0x6AEE9E21, 0xD099D2A1}));
}

TEST(RngTest, DrawBeforeSeedingActsAsSeedZero) {
  rng_forget_seed();
  EXPECT_EQ(first_words(3), (std::vector<std::uint32_t>{0xECA6A5F4, 0x9326D462, 0xF7617AE4}));
}

TEST(RngTest, ReseedingRestartsTheSequenceWhateverCameBefore) {
  rng_seed(77);
  const std::vector<std::uint32_t> first = first_words(1000);
  rng_seed(5);
  first_words(123);
  rng_seed(77);
  EXPECT_EQ(first_words(1000), first);
}

TEST(RngTest, RegenerationAfter624Words) {
  rng_seed(1);
  first_words(623);
  EXPECT_EQ(rng_next(), 0xB3A15E91u);  // 624th
  EXPECT_EQ(rng_next(), 0xAC82ECE9u);  // 625th, after a regeneration
}

TEST(RngTest, UnitAndRangeUseOneWordEach) {
  rng_seed(1);
  EXPECT_EQ(rng_unit(), 0.4150554374791682);
  EXPECT_EQ(rng_unit(), 0.3161726628895849);
  EXPECT_EQ(rng_unit(), 0.8789735150057822);
  EXPECT_EQ(rng_range(64, 448), 214);
  EXPECT_EQ(rng_range(64, 448), 334);
  EXPECT_EQ(rng_range(64, 448), 94);
}

TEST(RngTest, RangeWithEqualBoundsStillConsumesAWord) {
  rng_seed(1);
  const std::uint64_t before = rng_draw_count();
  EXPECT_EQ(rng_range(7, 7), 7);
  EXPECT_EQ(rng_draw_count(), before + 1);
  EXPECT_EQ(rng_next(), 0x50F0B10Fu);  // the second word of seed 1
}

TEST(RngTest, NegativeBoundsStayInRange) {
  rng_seed(3);
  bool seen[3] = {false, false, false};
  for (int i = 0; i < 1000; ++i) {
    const int v = rng_range(-1, 1);
    ASSERT_GE(v, -1);
    ASSERT_LE(v, 1);
    seen[v + 1] = true;
  }
  EXPECT_TRUE(seen[0] && seen[1] && seen[2]);
}

TEST(RngTest, FullRangeReturnsTheWordInsteadOfDividingByZero) {
  rng_seed(1);
  EXPECT_EQ(rng_range(INT32_MIN, INT32_MAX),
            static_cast<std::int32_t>(0x80000000u + 0x6A4112BAu));
}

}  // namespace
}  // namespace vxlforge
