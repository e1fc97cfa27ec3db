#ifndef VXLFORGE_RANDOM_PARALLEL_ROWS_H_
#define VXLFORGE_RANDOM_PARALLEL_ROWS_H_

#include <functional>

namespace vxlforge {

// Threads to use for work split by rows: one per core.
int core_count();

// Calls work(slice, first, last) for `slices` contiguous, disjoint slices
// numbered from 0 that cover rows 0..rows-1 in order, and returns when all
// are done. The calling thread takes part; the rest run on worker threads
// that are started once per process and then wait for work, because
// starting a thread for every call costs as much as a small fill. Only for
// work whose rows are independent, so the result cannot depend on how the
// slices are shared out.
void for_row_slices(int rows, int slices, const std::function<void(int, int, int)>& work);

}  // namespace vxlforge

#endif  // VXLFORGE_RANDOM_PARALLEL_ROWS_H_
