#ifndef VXLFORGE_BASE_THREAD_PLACEMENT_H_
#define VXLFORGE_BASE_THREAD_PLACEMENT_H_

#include <thread>
#include <vector>

namespace vxlforge {

// Where the threads of a pool run when work comes. Linux often starts a new
// thread, or wakes a sleeping one, on the processor of the thread that made
// or woke it, and moves it to an idle processor only several milliseconds
// later; until then the two take turns on one processor while the other
// idles. Traced here, in 10 runs of 24 the two threads of a whole run
// (about 20 ms) shared one processor for 1 to 20 ms. So a worker that wakes
// for work moves itself off the processor of the thread that handed the
// work out, then allows itself every processor again: the scheduler stays
// free to move it later. Keeping threads bound was slower: a bound thread
// waits behind whatever else the system runs on its processor.
//
// A new thread has the same trouble: started on its maker's processor, it
// often did not run for 2 to 4 ms. So the maker binds it to another
// processor at once, and the thread frees itself when it starts.
class ThreadPlacement {
 public:
  // The processors the calling thread may run on, in increasing order.
  // Empty where the system does not tell; then nothing is ever moved.
  static ThreadPlacement of_calling_thread();

  // The processor the calling thread runs on now, -1 where unknown.
  static int current_processor();

  const std::vector<int>& processors() const { return processors_; }

  // The processor `step` places after `from` in the list, going round;
  // counted from the first where `from` is not listed. -1 with an empty
  // list.
  int processor_after(int from, int step) const;

  // Moves the calling thread to processor_after(from, step) unless it runs
  // there already, then lets it run on every listed processor again. Does
  // nothing with fewer than two processors. Only a hint: where the system
  // refuses, the thread stays where it is.
  void move_apart(int from, int step) const;

  // The two steps of move_apart. move_to binds the calling thread to the
  // listed processor (the system moves it there before returning) and says
  // whether it did; release lets it run on every listed processor.
  bool move_to(int processor) const;
  void release() const;

  // Binds `thread`, started by the calling thread, to the listed processor
  // and says whether it did; the system moves it there, also before it has
  // first run. The thread frees itself with release().
  bool bind(std::thread& thread, int processor) const;

 private:
  std::vector<int> processors_;
};

}  // namespace vxlforge

#endif  // VXLFORGE_BASE_THREAD_PLACEMENT_H_
