#include "base/huge_pages.h"

#include <sys/mman.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "support/page_advice.h"

namespace vxlforge {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

using testing::huge_page_advised;

TEST(HugePagesTest, OnlyPagesTheArraysMostlyFillAreAdvised) {
  // Five huge pages of fresh memory from a huge-page boundary (one more is
  // mapped to leave room for the alignment).
  const std::size_t size = 6 * kHugePage;
  void* mapping = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(mapping, MAP_FAILED);
  const std::uintptr_t base =
      (reinterpret_cast<std::uintptr_t>(mapping) + kHugePage - 1) / kHugePage * kHugePage;
  const auto at = [base](double pages) {
    return reinterpret_cast<const void*>(base + static_cast<std::uintptr_t>(pages * kHugePage));
  };
  // Page 0 filled by one array; page 1 by two that meet inside it; page 2
  // only half; page 3 three quarters, from an array that starts in page 2;
  // page 4 untouched by any array.
  const std::vector<FixedArray> arrays = {
      {at(0), kHugePage},
      {at(1), kHugePage / 4},
      {at(1.25), kHugePage / 4 * 3},
      {at(2.5), kHugePage / 4 * 5},
  };
  advise_huge_pages(arrays);
  if (!huge_page_advised(base)) {
    munmap(mapping, size);
    GTEST_SKIP() << "this kernel takes no huge-page advice";
  }
  EXPECT_TRUE(huge_page_advised(base + kHugePage));
  EXPECT_FALSE(huge_page_advised(base + 2 * kHugePage));
  EXPECT_TRUE(huge_page_advised(base + 3 * kHugePage));
  EXPECT_FALSE(huge_page_advised(base + 4 * kHugePage));
  munmap(mapping, size);
}

}  // namespace
}  // namespace vxlforge
