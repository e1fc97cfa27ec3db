#include "base/static_room.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <new>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/huge_pages.h"

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>

#include "support/page_advice.h"
#endif

namespace vxlforge {
namespace {

std::uintptr_t address_of(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

struct Room {
  std::uint8_t* data;
  std::size_t size;
};

// Whether no two of the rooms overlap.
bool disjoint(std::vector<Room> rooms) {
  std::sort(rooms.begin(), rooms.end(), [](const Room& a, const Room& b) { return a.data < b.data; });
  for (std::size_t i = 1; i < rooms.size(); ++i) {
    if (rooms[i - 1].data + rooms[i - 1].size > rooms[i].data) return false;
  }
  return true;
}

TEST(StaticRoomTest, RoomsAreAlignedDisjointAndKeepWhatIsWritten) {
  std::vector<Room> rooms;
  const std::size_t sizes[] = {0, 1, 63, 64, 65, 1000, std::size_t{3} << 20, 4096};
  for (const RoomUse use : {RoomUse::kFilled, RoomUse::kSparse}) {
    for (const std::size_t size : sizes) rooms.push_back({take_static_room(size, use), size});
  }
  for (const Room& r : rooms) EXPECT_EQ(address_of(r.data) % kStaticRoomAlignment, 0u) << r.size;
  EXPECT_TRUE(disjoint(rooms));
  // Each room filled with its own byte, all checked once all are written: a
  // room that overlaps another loses its bytes.
  for (std::size_t i = 0; i < rooms.size(); ++i) std::memset(rooms[i].data, static_cast<int>(i + 1), rooms[i].size);
  for (std::size_t i = 0; i < rooms.size(); ++i) {
    const std::uint8_t* begin = rooms[i].data;
    const std::uint8_t* end = begin + rooms[i].size;
    EXPECT_EQ(std::count(begin, end, static_cast<std::uint8_t>(i + 1)),
              static_cast<std::ptrdiff_t>(rooms[i].size))
        << "room " << i;
  }
}

TEST(StaticRoomTest, ArraysAreAlignedForTheirType) {
  struct alignas(64) Line {
    float values[16];
  };
  take_static_room(8, RoomUse::kFilled);  // leaves the next room off a 64-byte boundary, unless aligned
  const Line* lines = take_static_array<Line>(3, RoomUse::kFilled);
  EXPECT_EQ(address_of(lines) % alignof(Line), 0u);
}

TEST(StaticRoomTest, ImpossibleSizesThrowBadAlloc) {
  EXPECT_THROW(take_static_room(std::numeric_limits<std::size_t>::max(), RoomUse::kFilled),
               std::bad_alloc);
  EXPECT_THROW(take_static_room(std::numeric_limits<std::size_t>::max() - 10, RoomUse::kSparse),
               std::bad_alloc);
  EXPECT_THROW(take_static_array<double>(std::numeric_limits<std::size_t>::max() / 4, RoomUse::kSparse),
               std::bad_alloc);
}

TEST(StaticRoomTest, ThreadsTakingRoomsAtOnceGetDisjointOnes) {
  constexpr int kThreads = 4;
  constexpr int kRooms = 300;
  std::vector<std::vector<Room>> taken(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&taken, t] {
      for (int i = 0; i < kRooms; ++i) {
        const std::size_t size = 40 + static_cast<std::size_t>((i * 37 + t) % 500);
        taken[static_cast<std::size_t>(t)].push_back(
            {take_static_room(size, i % 2 == 0 ? RoomUse::kFilled : RoomUse::kSparse), size});
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::vector<Room> all;
  for (const std::vector<Room>& rooms : taken) all.insert(all.end(), rooms.begin(), rooms.end());
  EXPECT_TRUE(disjoint(all));
}

#if defined(__linux__)

// Pages of this process in memory, from the kernel.
std::size_t resident_bytes() {
  std::ifstream statm("/proc/self/statm");
  std::size_t size = 0;
  std::size_t resident = 0;
  statm >> size >> resident;
  return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// Whether this kernel marks memory advised for huge pages.
bool kernel_takes_advice() {
  const std::size_t size = 2 * kHugePageSize;
  void* probe = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (probe == MAP_FAILED) return false;
  madvise(probe, size, MADV_HUGEPAGE);
  const bool takes = testing::huge_page_advised(address_of(probe));
  munmap(probe, size);
  return takes;
}

TEST(StaticRoomTest, FilledRoomsArePackedIntoAdvisedHugePages) {
  if (!kernel_takes_advice()) GTEST_SKIP() << "this kernel takes no huge-page advice";
  const std::uint8_t* first = take_static_room(1000, RoomUse::kFilled);
  const std::uint8_t* second = take_static_room(1000, RoomUse::kFilled);
  EXPECT_TRUE(testing::huge_page_advised(address_of(first)));
  EXPECT_TRUE(testing::huge_page_advised(address_of(second)));
  EXPECT_EQ(address_of(first) / kHugePageSize, address_of(second) / kHugePageSize)
      << "two small rooms taken in a row share a huge page";
}

TEST(StaticRoomTest, SparseRoomsTakeMemoryOnlyWhereWritten) {
  constexpr std::size_t kSize = std::size_t{64} << 20;
  constexpr std::size_t kStride = std::size_t{4} << 20;
  const std::size_t before = resident_bytes();
  std::uint8_t* room = take_static_room(kSize, RoomUse::kSparse);
  EXPECT_LT(resident_bytes(), before + (std::size_t{1} << 20)) << "taking it wrote nothing";
  // One byte every 4 MiB: sixteen small pages, where huge pages would take
  // 32 MiB.
  for (std::size_t at = 0; at < kSize; at += kStride) room[at] = 1;
  EXPECT_LT(resident_bytes(), before + (std::size_t{2} << 20));
  EXPECT_FALSE(testing::huge_page_advised(address_of(room)));
}

#endif

}  // namespace
}  // namespace vxlforge
