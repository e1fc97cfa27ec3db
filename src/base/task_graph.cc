#include "base/task_graph.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "base/parallel_rows.h"

namespace vxlforge {

int TaskGraph::add(Work work, std::vector<int> after) {
  tasks_.push_back({std::move(work), std::move(after)});
  return size() - 1;
}

void TaskGraph::run(const std::function<bool(int)>& include) {
  enum State : char { kLeftOut, kOpen, kTaken, kFinished };
  const int count = size();
  std::vector<State> state(static_cast<std::size_t>(count), kLeftOut);
  int open = 0;
  for (int t = 0; t < count; ++t) {
    Task& task = tasks_[static_cast<std::size_t>(t)];
    if (task.done) state[static_cast<std::size_t>(t)] = kFinished;
    if (task.done || !include(t)) continue;
    for (int p : task.after) {
      if (p < 0 || p >= count || p == t) throw std::logic_error("task graph: bad prerequisite");
      if (!tasks_[static_cast<std::size_t>(p)].done && !include(p)) {
        throw std::logic_error("task graph: a prerequisite is neither done nor included");
      }
    }
    state[static_cast<std::size_t>(t)] = kOpen;
    ++open;
  }

  // Tasks take tens of microseconds or more, so one lock around the choice
  // costs nothing that shows, and a thread with nothing to take sleeps.
  std::mutex mutex;
  std::condition_variable changed;
  int first_open = 0;  // no task before it is open
  int running = 0;
  std::exception_ptr error;
  const auto ready = [&](int t) {
    for (int p : tasks_[static_cast<std::size_t>(t)].after) {
      if (state[static_cast<std::size_t>(p)] != kFinished) return false;
    }
    return true;
  };

  for_row_slices(core_count(), core_count(), [&](int slot, int, int) {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      while (first_open < count && state[static_cast<std::size_t>(first_open)] != kOpen) {
        ++first_open;
      }
      if (error || open == 0) break;
      int pick = -1;
      for (int t = first_open; t < count && pick < 0; ++t) {
        if (state[static_cast<std::size_t>(t)] == kOpen && ready(t)) pick = t;
      }
      if (pick < 0) {
        if (running == 0) {
          // Nothing runs that could make a task ready: it never will be.
          error = std::make_exception_ptr(std::logic_error("task graph: prerequisites in a cycle"));
          changed.notify_all();
          break;
        }
        changed.wait(lock);
        continue;
      }
      state[static_cast<std::size_t>(pick)] = kTaken;
      --open;
      ++running;
      lock.unlock();
      std::exception_ptr thrown;
      try {
        tasks_[static_cast<std::size_t>(pick)].work(slot);
      } catch (...) {
        thrown = std::current_exception();
      }
      lock.lock();
      --running;
      state[static_cast<std::size_t>(pick)] = kFinished;
      if (thrown && !error) error = thrown;
      changed.notify_all();
    }
  });
  if (error) std::rethrow_exception(error);
  for (int t = 0; t < count; ++t) {
    if (state[static_cast<std::size_t>(t)] == kFinished) tasks_[static_cast<std::size_t>(t)].done = true;
  }
}

}  // namespace vxlforge
