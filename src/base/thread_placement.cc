#include "base/thread_placement.h"

#include <algorithm>

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#endif

namespace vxlforge {

int ThreadPlacement::processor_after(int from, int step) const {
  if (processors_.empty()) return -1;
  const auto found = std::find(processors_.begin(), processors_.end(), from);
  const std::size_t start =
      found == processors_.end() ? 0 : static_cast<std::size_t>(found - processors_.begin());
  const int count = static_cast<int>(processors_.size());
  const auto shift = static_cast<std::size_t>((step % count + count) % count);
  return processors_[(start + shift) % processors_.size()];
}

void ThreadPlacement::move_apart(int from, int step) const {
  if (processors_.size() < 2) return;
  const int target = processor_after(from, step);
  if (current_processor() == target) return;
  if (move_to(target)) release();
}

#if defined(__linux__)

namespace {

cpu_set_t set_of(const std::vector<int>& processors) {
  cpu_set_t set;
  CPU_ZERO(&set);
  for (int p : processors) CPU_SET(p, &set);
  return set;
}

}  // namespace

ThreadPlacement ThreadPlacement::of_calling_thread() {
  ThreadPlacement placement;
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  // Fails with more processors than a cpu_set_t holds: nothing is moved.
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return placement;
  for (int p = 0; p < CPU_SETSIZE; ++p) {
    if (CPU_ISSET(p, &allowed)) placement.processors_.push_back(p);
  }
  return placement;
}

int ThreadPlacement::current_processor() { return sched_getcpu(); }

namespace {

bool bind_to(const std::vector<int>& processors, pthread_t thread, int processor) {
  if (std::find(processors.begin(), processors.end(), processor) == processors.end()) {
    return false;
  }
  const cpu_set_t one = set_of({processor});
  return pthread_setaffinity_np(thread, sizeof one, &one) == 0;
}

}  // namespace

bool ThreadPlacement::move_to(int processor) const {
  return bind_to(processors_, pthread_self(), processor);
}

bool ThreadPlacement::bind(std::thread& thread, int processor) const {
  return thread.joinable() && bind_to(processors_, thread.native_handle(), processor);
}

void ThreadPlacement::release() const {
  if (processors_.empty()) return;
  const cpu_set_t all = set_of(processors_);
  pthread_setaffinity_np(pthread_self(), sizeof all, &all);
}

#else

ThreadPlacement ThreadPlacement::of_calling_thread() { return {}; }
int ThreadPlacement::current_processor() { return -1; }
bool ThreadPlacement::move_to(int) const { return false; }
bool ThreadPlacement::bind(std::thread&, int) const { return false; }
void ThreadPlacement::release() const {}

#endif

}  // namespace vxlforge
