#include "base/thread_placement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#endif

namespace vxlforge {
namespace {

#if defined(__linux__)

std::vector<int> allowed_processors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  std::vector<int> processors;
  if (pthread_getaffinity_np(pthread_self(), sizeof set, &set) != 0) return processors;
  for (int p = 0; p < CPU_SETSIZE; ++p) {
    if (CPU_ISSET(p, &set)) processors.push_back(p);
  }
  return processors;
}

TEST(ThreadPlacementTest, ListsTheProcessorsTheThreadMayRunOn) {
  const ThreadPlacement placement = ThreadPlacement::of_calling_thread();
  EXPECT_EQ(placement.processors(), allowed_processors());
  const int here = ThreadPlacement::current_processor();
  EXPECT_GE(here, 0);
  const std::vector<int>& listed = placement.processors();
  EXPECT_NE(std::find(listed.begin(), listed.end(), here), listed.end());
}

// Moved in threads of their own, so that this test's thread keeps its
// processors.
TEST(ThreadPlacementTest, MovesAThreadApartThenLetsItRunAnywhere) {
  const ThreadPlacement placement = ThreadPlacement::of_calling_thread();
  const std::vector<int>& processors = placement.processors();
  if (processors.size() < 2) GTEST_SKIP() << "needs two processors to move a thread between";
  const std::vector<int> before = allowed_processors();
  for (const int processor : processors) {
    int ran_on = -1;
    std::vector<int> bound_to, freed_to, after_moving_apart;
    std::thread([&] {
      ASSERT_TRUE(placement.move_to(processor));
      ran_on = ThreadPlacement::current_processor();  // bound: it cannot be elsewhere
      bound_to = allowed_processors();
      placement.release();
      freed_to = allowed_processors();
      placement.move_apart(processor, 1);
      after_moving_apart = allowed_processors();
    }).join();
    EXPECT_EQ(ran_on, processor);
    EXPECT_EQ(bound_to, std::vector<int>{processor});
    EXPECT_EQ(freed_to, before);
    EXPECT_EQ(after_moving_apart, before);
  }
  EXPECT_FALSE(placement.move_to(-1));
  EXPECT_EQ(allowed_processors(), before);
}

// A thread that its maker binds, perhaps before it has first run, runs only
// on that processor until it frees itself.
TEST(ThreadPlacementTest, BindsAThreadItStartedThenTheThreadFreesItself) {
  const ThreadPlacement placement = ThreadPlacement::of_calling_thread();
  const std::vector<int>& processors = placement.processors();
  if (processors.size() < 2) GTEST_SKIP() << "needs two processors to bind a thread to one";
  const std::vector<int> before = allowed_processors();
  for (const int processor : processors) {
    std::mutex bound;
    std::unique_lock<std::mutex> binding(bound);
    int ran_on = -1;
    std::vector<int> bound_to, freed_to;
    std::thread thread([&] {
      { const std::lock_guard<std::mutex> wait_for_the_maker(bound); }
      bound_to = allowed_processors();
      ran_on = ThreadPlacement::current_processor();
      placement.release();
      freed_to = allowed_processors();
    });
    EXPECT_TRUE(placement.bind(thread, processor));
    binding.unlock();
    thread.join();
    EXPECT_EQ(ran_on, processor);
    EXPECT_EQ(bound_to, std::vector<int>{processor});
    EXPECT_EQ(freed_to, before);
    EXPECT_FALSE(placement.bind(thread, processor)) << "a joined thread cannot be bound";
  }
  std::thread idle([] {});
  EXPECT_FALSE(placement.bind(idle, -1));
  idle.join();
  EXPECT_EQ(allowed_processors(), before);
}

#endif

TEST(ThreadPlacementTest, CountsPlacesAfterAProcessorGoingRound) {
  const ThreadPlacement placement = ThreadPlacement::of_calling_thread();
  const std::vector<int>& p = placement.processors();
  if (p.empty()) {
    EXPECT_EQ(placement.processor_after(0, 1), -1);
    return;
  }
  const int n = static_cast<int>(p.size());
  for (int i = 0; i < n; ++i) {
    EXPECT_EQ(placement.processor_after(p[static_cast<std::size_t>(i)], 0),
              p[static_cast<std::size_t>(i)]);
    EXPECT_EQ(placement.processor_after(p[static_cast<std::size_t>(i)], 1),
              p[static_cast<std::size_t>((i + 1) % n)]);
    EXPECT_EQ(placement.processor_after(p[static_cast<std::size_t>(i)], n + 1),
              p[static_cast<std::size_t>((i + 1) % n)]);
    EXPECT_EQ(placement.processor_after(p[static_cast<std::size_t>(i)], -1),
              p[static_cast<std::size_t>((i + n - 1) % n)]);
  }
  // Not listed: counted from the first.
  EXPECT_EQ(placement.processor_after(-1, 1), p[static_cast<std::size_t>(1 % n)]);
}

TEST(ThreadPlacementTest, WithoutProcessorsNothingMoves) {
  const ThreadPlacement nowhere;
  EXPECT_EQ(nowhere.processor_after(3, 1), -1);
  EXPECT_FALSE(nowhere.move_to(0));
  std::thread thread([] {});
  EXPECT_FALSE(nowhere.bind(thread, 0));
  thread.join();
#if defined(__linux__)
  const std::vector<int> before = allowed_processors();
  nowhere.move_apart(0, 1);
  nowhere.release();
  EXPECT_EQ(allowed_processors(), before);
#endif
}

}  // namespace
}  // namespace vxlforge
