#include "base/task_graph.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/parallel_rows.h"

namespace vxlforge {
namespace {

// What a graph's run did: when each task began and ended on a common
// count of events, and on which slot.
struct RunLog {
  explicit RunLog(int tasks)
      : began(static_cast<std::size_t>(tasks), -1), ended(static_cast<std::size_t>(tasks), -1),
        runs(static_cast<std::size_t>(tasks), 0) {}
  std::mutex mutex;
  int clock = 0;
  std::vector<int> began;
  std::vector<int> ended;
  std::vector<int> runs;
  std::vector<int> slots_in_use;
  bool slot_shared = false;
  bool slot_out_of_range = false;

  TaskGraph::Work work(int task) {
    return [this, task](int slot) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (slot < 0 || slot >= core_count()) slot_out_of_range = true;
        for (int s : slots_in_use) slot_shared = slot_shared || s == slot;
        slots_in_use.push_back(slot);
        began[static_cast<std::size_t>(task)] = clock++;
        ++runs[static_cast<std::size_t>(task)];
      }
      // Uneven lengths, so that threads overtake one another.
      std::this_thread::sleep_for(std::chrono::microseconds(task % 7 * 40));
      std::lock_guard<std::mutex> lock(mutex);
      ended[static_cast<std::size_t>(task)] = clock++;
      std::erase(slots_in_use, slot);
    };
  }
};

TEST(TaskGraphTest, EveryTaskRunsOnceAfterItsPrerequisitesOnItsOwnSlot) {
  constexpr int kTasks = 150;
  RunLog log(kTasks);
  TaskGraph graph;
  std::vector<std::vector<int>> after(kTasks);
  for (int t = 0; t < kTasks; ++t) {
    // A serial chain through every tenth task, tasks that wait for ones
    // listed after them, and tasks with no prerequisite at all.
    if (t % 10 == 0 && t >= 10) after[t].push_back(t - 10);
    if (t % 3 == 1 && t + 5 < kTasks) after[t].push_back(t + 5);
    if (t % 4 == 2) after[t].push_back(t / 2);
    if (t % 4 == 2 && t / 2 % 3 == 1) after[t].clear();  // would wait for a task waiting for it
    graph.add(log.work(t), after[t]);
  }
  graph.run_all();
  EXPECT_FALSE(log.slot_shared);
  EXPECT_FALSE(log.slot_out_of_range);
  for (int t = 0; t < kTasks; ++t) {
    EXPECT_EQ(log.runs[t], 1) << "task " << t;
    for (int p : after[t]) EXPECT_GT(log.began[t], log.ended[p]) << "task " << t << " after " << p;
  }
  graph.run_all();  // nothing left to run
  for (int t = 0; t < kTasks; ++t) EXPECT_EQ(log.runs[t], 1) << "task " << t;
}

TEST(TaskGraphTest, RunsInStagesWithABarrierBetween) {
  constexpr int kTasks = 40;
  RunLog log(kTasks);
  TaskGraph graph;
  for (int t = 0; t < kTasks; ++t) {
    graph.add(log.work(t), t >= 20 ? std::vector<int>{t - 20} : std::vector<int>{});
  }
  graph.run([](int t) { return t < 20; });
  for (int t = 20; t < kTasks; ++t) EXPECT_EQ(log.runs[t], 0) << "task " << t;
  int first_stage_end = 0;
  for (int t = 0; t < 20; ++t) first_stage_end = std::max(first_stage_end, log.ended[t]);
  graph.run_all();
  for (int t = 20; t < kTasks; ++t) {
    EXPECT_EQ(log.runs[t], 1);
    EXPECT_GT(log.began[t], first_stage_end);
  }
}

TEST(TaskGraphTest, PrerequisitesThatCannotFinishAreReportedNotAwaited) {
  TaskGraph cycle;
  cycle.add([](int) {}, {1});
  cycle.add([](int) {}, {0});
  cycle.add([](int) {});
  EXPECT_THROW(cycle.run_all(), std::logic_error);

  TaskGraph left_out;
  left_out.add([](int) {});
  left_out.add([](int) {}, {0});
  EXPECT_THROW(left_out.run([](int t) { return t == 1; }), std::logic_error);

  TaskGraph itself;
  itself.add([](int) {}, {0});
  EXPECT_THROW(itself.run_all(), std::logic_error);
}

TEST(TaskGraphTest, WhatATaskThrowsReachesTheCallerAndNothingAfterItBegins) {
  for (int failing = 0; failing < 4; ++failing) {
    TaskGraph graph;
    std::atomic<int> ran{0};
    std::atomic<bool> dependent_ran{false};
    for (int t = 0; t < 4; ++t) {
      graph.add([t, failing, &ran](int) {
        ++ran;
        if (t == failing) throw std::runtime_error("task failed");
      });
    }
    graph.add([&dependent_ran](int) { dependent_ran = true; }, {failing});
    EXPECT_THROW(graph.run_all(), std::runtime_error) << "task " << failing;
    EXPECT_FALSE(dependent_ran) << "task " << failing;
    EXPECT_GE(ran.load(), 1);
  }
  // The pool survives for the next graph.
  TaskGraph next;
  std::atomic<int> ran{0};
  for (int t = 0; t < 8; ++t) next.add([&ran](int) { ++ran; });
  next.run_all();
  EXPECT_EQ(ran.load(), 8);
}

}  // namespace
}  // namespace vxlforge
