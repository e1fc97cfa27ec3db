#include "base/parallel_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#endif

namespace vxlforge {
namespace {

#if defined(__linux__)
// A process limited to some processors (taskset) uses as many threads as
// it has processors, not as the machine has.
TEST(CoreCountTest, CountsOnlyTheProcessorsTheThreadMayUse) {
  cpu_set_t all;
  CPU_ZERO(&all);
  ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
  EXPECT_EQ(usable_processors(), CPU_COUNT(&all));
  EXPECT_EQ(core_count(), CPU_COUNT(&all));
  int first = 0;
  while (!CPU_ISSET(first, &all)) ++first;
  int limited = -1;
  std::thread([&] {
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    if (pthread_setaffinity_np(pthread_self(), sizeof one, &one) == 0) limited = usable_processors();
  }).join();
  EXPECT_EQ(limited, 1);
}
#endif

// Records what the pipeline did: which pieces were consumed, in what order,
// and whether each piece's production was complete when it was consumed.
struct PipelineLog {
  explicit PipelineLog(int pieces) : produced(static_cast<std::size_t>(pieces)) {}
  std::vector<int> produced;  // written by the producer, read by the consumer
  std::vector<int> consumed_order;
  std::vector<bool> complete_when_consumed;
  std::atomic<int> productions{0};
  std::atomic<bool> slot_out_of_range{false};
};

void run_pipeline(int pieces, PipelineLog* log) {
  // A window as wide as the pipeline: production may run ahead freely.
  for_pieces_in_order(
      pieces, std::max(pieces, 1),
      [log](int piece, int slot) {
        if (slot < 0 || slot >= core_count()) log->slot_out_of_range = true;
        // Early pieces take longest, so later ones finish first.
        if (piece < 3) std::this_thread::sleep_for(std::chrono::milliseconds(3 - piece));
        log->produced[static_cast<std::size_t>(piece)] = piece + 1;
        ++log->productions;
      },
      [log](int piece) {
        log->consumed_order.push_back(piece);
        log->complete_when_consumed.push_back(log->produced[static_cast<std::size_t>(piece)] ==
                                              piece + 1);
      });
}

TEST(PiecesInOrderTest, EveryPieceIsProducedOnceAndConsumedInOrderAfterIt) {
  for (int pieces : {0, 1, 2, 7, 64}) {
    PipelineLog log(pieces);
    run_pipeline(pieces, &log);
    std::vector<int> expected(static_cast<std::size_t>(pieces));
    for (int i = 0; i < pieces; ++i) expected[static_cast<std::size_t>(i)] = i;
    EXPECT_EQ(log.consumed_order, expected) << pieces << " pieces";
    EXPECT_EQ(log.productions.load(), pieces);
    EXPECT_EQ(log.complete_when_consumed, std::vector<bool>(expected.size(), true));
    EXPECT_FALSE(log.slot_out_of_range);
  }
}

TEST(PiecesInOrderTest, SlowConsumerStillSeesEveryPieceInOrder) {
  // A consumer that blocks (a slow pipe) while all production finishes.
  std::vector<int> order;
  for_pieces_in_order(
      8, 8, [](int, int) {},
      [&order](int piece) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        order.push_back(piece);
      });
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST(PiecesInOrderTest, AWindowBoundsThePiecesProducedAndNotYetConsumed) {
  for (int window : {1, 2, 3}) {
    std::atomic<int> outstanding{0};
    std::atomic<int> most{0};
    std::vector<int> order;
    for_pieces_in_order(
        20, window,
        [&](int piece, int) {
          const int now = ++outstanding;
          int seen = most.load();
          while (now > seen && !most.compare_exchange_weak(seen, now)) {
          }
          // Late pieces are quick, so without the window they would run ahead.
          if (piece % 5 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        },
        [&](int piece) {
          --outstanding;
          order.push_back(piece);
        });
    std::vector<int> expected(20);
    for (int i = 0; i < 20; ++i) expected[static_cast<std::size_t>(i)] = i;
    EXPECT_EQ(order, expected) << "window " << window;
    EXPECT_LE(most.load(), window);
    EXPECT_GE(most.load(), 1);
  }
}

// Running out of memory inside a slice or a piece must reach the caller,
// where the program turns it into a message; on a worker thread it would
// end the process. Whichever thread the failing slice lands on, the
// exception comes back, nothing hangs, and the next batch runs normally.
TEST(ParallelFailureTest, WhatASliceThrowsReachesTheCallerAndThePoolStaysUsable) {
  for (int failing = 0; failing < 8; ++failing) {
    EXPECT_THROW(for_row_slices(64, 8,
                                [failing](int slice, int, int) {
                                  if (slice == failing) throw std::bad_alloc();
                                }),
                 std::bad_alloc);
  }
  std::atomic<int> rows{0};
  for_row_slices(64, 8, [&rows](int, int first, int last) { rows += last - first; });
  EXPECT_EQ(rows.load(), 64);
}

TEST(ParallelFailureTest, WhatAPieceThrowsStopsThePipelineAndReachesTheCaller) {
  for (int failing : {0, 5, 31}) {
    std::atomic<int> consumed{0};
    EXPECT_THROW(for_pieces_in_order(
                     32, 2,
                     [failing](int piece, int) {
                       if (piece == failing) throw std::runtime_error("produce");
                     },
                     [&consumed](int) { ++consumed; }),
                 std::runtime_error);
    EXPECT_LE(consumed.load(), failing);
    EXPECT_THROW(for_pieces_in_order(
                     32, 2, [](int, int) {},
                     [failing](int piece) {
                       if (piece == failing) throw std::runtime_error("consume");
                     }),
                 std::runtime_error);
  }
}

}  // namespace
}  // namespace vxlforge
