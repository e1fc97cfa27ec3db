#include "base/mapped_bytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "base/huge_pages.h"

namespace vxlforge {
namespace {

TEST(MappedBytesTest, HugeRoomStartsOnAHugePageAndHoldsAllItsBytes) {
  // An odd size, so that the room's end is not on a page boundary either.
  constexpr std::size_t kSize = 3 * kHugePageSize + 12345;
  for (MappedBytes::Pages pages : {MappedBytes::Pages::kSmall, MappedBytes::Pages::kHuge}) {
    MappedBytes room(kSize, pages);
    ASSERT_EQ(room.size(), kSize);
#if defined(__linux__)
    if (pages == MappedBytes::Pages::kHuge) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(room.data()) % kHugePageSize, 0u);
    }
#endif
    // Both ends and a stretch across a huge page's boundary are usable.
    room.data()[0] = 1;
    room.data()[kSize - 1] = 2;
    std::memset(room.data() + kHugePageSize - 100, 7, 200);
    EXPECT_EQ(room.data()[0], 1);
    EXPECT_EQ(room.data()[kSize - 1], 2);
    EXPECT_EQ(room.data()[kHugePageSize + 99], 7);
  }
}

}  // namespace
}  // namespace vxlforge
