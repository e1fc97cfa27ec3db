#include "mapgen/fixed_arrays.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "mapgen/roads.h"
#include "mapgen/shared_fields.h"
#include "mapgen/start_regions.h"
#include "mapgen/volume.h"
#include "random/rng.h"
#include "support/page_advice.h"

namespace vxlforge {
namespace {

std::uintptr_t address_of(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

// Whether [p, p + size) lies inside one of the regions.
bool in_a_region(const void* p, std::size_t size) {
  for (const FixedArray& r : fixed_array_regions()) {
    if (address_of(p) >= address_of(r.data) && address_of(p) + size <= address_of(r.data) + r.size) {
      return true;
    }
  }
  return false;
}

// Whether any byte of [p, p + size) shares a huge page with a region.
bool shares_a_huge_page(const void* p, std::size_t size) {
  const std::uintptr_t first = address_of(p) / kHugePageSize;
  const std::uintptr_t last = (address_of(p) + size - 1) / kHugePageSize;
  for (const FixedArray& r : fixed_array_regions()) {
    const std::uintptr_t r_first = address_of(r.data) / kHugePageSize;
    const std::uintptr_t r_last = (address_of(r.data) + r.size - 1) / kHugePageSize;
    if (first <= r_last && r_first <= last) return true;
  }
  return false;
}

TEST(FixedArraysTest, RegionsFillWholeHugePagesAndHoldEveryBigArray) {
#if !defined(__linux__)
  GTEST_SKIP() << "huge pages are asked for on Linux only";
#else
  const auto regions = fixed_array_regions();
  for (std::size_t i = 0; i < regions.size(); ++i) {
    const std::string which = "region " + std::to_string(i);
    EXPECT_EQ(address_of(regions[i].data) % kHugePageSize, 0u) << which << " starts inside a page";
    EXPECT_EQ(regions[i].size % kHugePageSize, 0u) << which << " ends inside a page";
    for (std::size_t j = 0; j < i; ++j) {
      EXPECT_TRUE(address_of(regions[i].data) + regions[i].size <= address_of(regions[j].data) ||
                  address_of(regions[j].data) + regions[j].size <= address_of(regions[i].data))
          << which << " overlaps region " << j;
    }
  }
  EXPECT_TRUE(in_a_region(column_solid, sizeof(column_solid)));
  EXPECT_TRUE(in_a_region(column_colours, sizeof(column_colours)));
  EXPECT_TRUE(in_a_region(colour_blocks, sizeof(colour_blocks)));
  EXPECT_TRUE(in_a_region(column_top, sizeof(column_top)));
  EXPECT_TRUE(in_a_region(road_mask, sizeof(road_mask)));
  EXPECT_TRUE(in_a_region(height_field.data(), sizeof(height_field)));
  // The generator's state is written by seeding, before any pass runs.
  EXPECT_FALSE(shares_a_huge_page(rng_state::tempered, sizeof(rng_state::tempered)));
  EXPECT_FALSE(shares_a_huge_page(&rng_state::position, sizeof(rng_state::position)));
  EXPECT_FALSE(shares_a_huge_page(&debug_regions, sizeof(debug_regions)));
#endif
}

TEST(FixedArraysTest, AdviceReachesEveryPageOfEveryRegion) {
#if !defined(__linux__)
  GTEST_SKIP() << "huge pages are asked for on Linux only";
#else
  advise_fixed_arrays();
  const auto regions = fixed_array_regions();
  if (!testing::huge_page_advised(address_of(regions[0].data))) {
    GTEST_SKIP() << "this kernel takes no huge-page advice";
  }
  for (std::size_t i = 0; i < regions.size(); ++i) {
    for (std::size_t offset = 0; offset < regions[i].size; offset += kHugePageSize) {
      EXPECT_TRUE(testing::huge_page_advised(address_of(regions[i].data) + offset))
          << "region " << i << " at " << offset;
    }
  }
#endif
}

}  // namespace
}  // namespace vxlforge
