#ifndef VXLFORGE_RANDOM_PARALLEL_ROWS_H_
#define VXLFORGE_RANDOM_PARALLEL_ROWS_H_

#include <algorithm>
#include <thread>
#include <vector>

namespace vxlforge {

// Threads to use for work split by rows: one per core.
inline int core_count() {
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

// Calls work(slice, first, last) for `threads` contiguous, disjoint slices
// numbered from 0 that cover rows 0..rows-1 in order, each on its own thread
// (slice 0 on the calling one), and returns when all are done. Only for work whose rows are
// independent, so the result cannot depend on the thread count.
template <typename Work>
void for_row_slices(int rows, int threads, const Work& work) {
  threads = std::clamp(threads, 1, std::max(rows, 1));
  std::vector<std::thread> helpers;
  helpers.reserve(static_cast<std::size_t>(threads - 1));
  for (int t = 1; t < threads; ++t) {
    helpers.emplace_back(
        [&work, rows, threads, t] { work(t, t * rows / threads, (t + 1) * rows / threads); });
  }
  work(0, 0, rows / threads);
  for (std::thread& helper : helpers) helper.join();
}

}  // namespace vxlforge

#endif  // VXLFORGE_RANDOM_PARALLEL_ROWS_H_
