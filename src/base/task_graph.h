#ifndef VXLFORGE_BASE_TASK_GRAPH_H_
#define VXLFORGE_BASE_TASK_GRAPH_H_

#include <functional>
#include <vector>

namespace vxlforge {

// A fixed set of tasks, each to run once after the tasks it needs, shared
// out over every core. It lets the passes of a run overlap: a chunk of rows
// goes on to the next pass as soon as what it needs is ready, so the serial
// parts of a run keep one core busy while the other does the parallel work
// of rows further on.
//
// The tasks are listed in the order the caller wants them taken: a thread
// that is free takes the first listed task that has not been taken and
// whose prerequisites have all finished, and waits while there is none. So
// listing a task early gives it priority, and a task that no other waits
// for can be listed late to fill the gaps.
class TaskGraph {
 public:
  // work(slot): `slot` is below core_count(), and no two tasks running at
  // the same time share one, so it can pick per-thread working space.
  using Work = std::function<void(int slot)>;

  // Adds a task that runs `work` once every task in `after` has finished,
  // and returns its number, counted from 0 in the order added. `after` may
  // name tasks added later; a task may not need itself, even through others.
  int add(Work work, std::vector<int> after = {});

  // Runs every task for which `include(task)` holds and that has not run
  // yet, and returns when they are done. A task's prerequisites must have
  // run already or be included. Run in several calls, a graph can stop at
  // points where nothing is running: each call is a barrier.
  //
  // When a task throws, no further task begins, and the first exception is
  // rethrown here once the running ones have finished; the graph is then
  // spent. Prerequisites that cannot all finish (a cycle, or a needed task
  // that is not included) throw std::logic_error rather than hang.
  void run(const std::function<bool(int)>& include);
  void run_all() { run([](int) { return true; }); }

  // How many tasks the graph holds.
  int size() const { return static_cast<int>(tasks_.size()); }

 private:
  struct Task {
    Work work;
    std::vector<int> after;
    bool done = false;
  };
  std::vector<Task> tasks_;
};

}  // namespace vxlforge

#endif  // VXLFORGE_BASE_TASK_GRAPH_H_
