#include "base/block_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace vxlforge {
namespace {

std::uintptr_t address_of(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

TEST(BlockPoolTest, BlocksAreAlignedDisjointAndHandedOutAgainOnceGivenBack) {
  // An odd size, and more blocks than one room holds, so that a second
  // room is taken.
  BlockPool pool(100'003);
  ASSERT_GE(pool.block_size(), std::size_t{100'003});
  std::vector<std::uint8_t*> blocks;
  for (int b = 0; b < 7; ++b) {
    auto* block = static_cast<std::uint8_t*>(pool.take());
    EXPECT_EQ(address_of(block) % kStaticRoomAlignment, 0u);
    // Every byte is the caller's: writing all of them must not disturb
    // the other blocks.
    std::memset(block, b, pool.block_size());
    blocks.push_back(block);
  }
  std::vector<std::uint8_t*> sorted = blocks;
  std::sort(sorted.begin(), sorted.end());
  for (std::size_t b = 1; b < sorted.size(); ++b) {
    EXPECT_GE(address_of(sorted[b]) - address_of(sorted[b - 1]), pool.block_size());
  }
  for (int b = 0; b < 7; ++b) {
    const std::uint8_t* block = blocks[static_cast<std::size_t>(b)];
    EXPECT_EQ(std::count(block, block + pool.block_size(), static_cast<std::uint8_t>(b)),
              static_cast<std::ptrdiff_t>(pool.block_size()));
  }

  // Blocks given back are the ones handed out next, before any fresh one.
  pool.give_back(blocks[2]);
  pool.give_back(blocks[5]);
  const std::set<void*> again{pool.take(), pool.take()};
  EXPECT_EQ(again, (std::set<void*>{blocks[2], blocks[5]}));
}

struct Counted {
  static inline int alive = 0;
  explicit Counted(int v) : value(v) {
    if (v < 0) throw std::invalid_argument("negative");
    ++alive;
  }
  ~Counted() { --alive; }
  int value;
};

TEST(BlockPoolTest, PooledObjectsAreBuiltDestroyedAndTheirBlocksReused) {
  void* first_block = nullptr;
  {
    PooledPtr<Counted> a = make_pooled<Counted>(7);
    EXPECT_EQ(a->value, 7);
    EXPECT_EQ(Counted::alive, 1);
    first_block = a.get();
  }
  EXPECT_EQ(Counted::alive, 0);
  // The block of the destroyed object is the next one handed out.
  PooledPtr<Counted> b = make_pooled<Counted>(8);
  EXPECT_EQ(static_cast<void*>(b.get()), first_block);
  // A constructor that throws gives its block back: the block it was
  // handed is the next one handed out.
  BlockPool& pool = block_pool_for<Counted>();
  void* const next = pool.take();
  pool.give_back(next);
  EXPECT_THROW(make_pooled<Counted>(-1), std::invalid_argument);
  EXPECT_EQ(static_cast<void*>(make_pooled<Counted>(9).get()), next);
  EXPECT_EQ(Counted::alive, 1);
  b.reset();
  EXPECT_EQ(Counted::alive, 0);
}

struct Plain {
  int values[300];
};

TEST(BlockPoolTest, MakePooledClearsAPlainBufferInABlockUsedBefore) {
  PooledPtr<Plain> used = make_pooled_for_overwrite<Plain>();
  std::fill(std::begin(used->values), std::end(used->values), 5);
  void* const block = used.get();
  used.reset();
  // The same block again, as new Plain() would give it: cleared.
  PooledPtr<Plain> cleared = make_pooled<Plain>();
  ASSERT_EQ(static_cast<void*>(cleared.get()), block);
  EXPECT_EQ(std::count(std::begin(cleared->values), std::end(cleared->values), 0), 300);
}

TEST(BlockPoolTest, ThreadsTakingAndGivingBackNeverShareABlock) {
  BlockPool pool(256);
  constexpr int kThreads = 4;
  constexpr int kRounds = 2000;
  std::vector<int> clashes(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&pool, &clashes, t] {
      for (int r = 0; r < kRounds; ++r) {
        auto* block = static_cast<std::uint8_t*>(pool.take());
        std::memset(block, t + 1, pool.block_size());
        std::this_thread::yield();
        // Another thread holding the same block would have written its
        // own mark over ours.
        if (std::count(block, block + pool.block_size(), static_cast<std::uint8_t>(t + 1)) !=
            static_cast<std::ptrdiff_t>(pool.block_size())) {
          ++clashes[static_cast<std::size_t>(t)];
        }
        pool.give_back(block);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(clashes, std::vector<int>(kThreads, 0));
}

}  // namespace
}  // namespace vxlforge
