#ifndef VXLFORGE_BASE_PARALLEL_ROWS_H_
#define VXLFORGE_BASE_PARALLEL_ROWS_H_

#include <functional>

namespace vxlforge {

// Threads to use for work split by rows: usable_processors() at the first
// call, kept for the process.
int core_count();

// The processors the calling thread may run on (as taskset or a container
// allows) where the system tells, else the machine's cores; at least 1.
int usable_processors();

// Starts the worker threads now rather than at the first parallel step, so
// that they are running by the time it comes.
void start_workers();

// Calls work(slice, first, last) for `slices` contiguous, disjoint slices
// numbered from 0 that cover rows 0..rows-1 in order, and returns when all
// are done. The calling thread takes part; the rest run on worker threads
// that are started once per process and then wait for work, because
// starting a thread for every call costs as much as a small fill. Only for
// work whose rows are independent, so the result cannot depend on how the
// slices are shared out. When a slice throws (running out of memory, say),
// the slices not yet begun are skipped, and once the others are done the
// first exception is rethrown on the calling thread.
void for_row_slices(int rows, int slices, const std::function<void(int, int, int)>& work);

// A pipeline of `pieces` parts whose production can run in parallel and
// whose consumption must be serial and in order. Calls produce(piece, slot)
// once for every piece, on any thread, and consume(piece) once for every
// piece in order 0, 1, 2 ..., each after its own production has finished,
// never two consumes at once, and each consume after all earlier ones. A
// thread waiting for the next piece to consume produces pieces instead.
// `slot` is below core_count() and no two productions running at the same
// time share it, so it can pick per-thread working space. Piece k is
// produced only once piece k - window has been consumed, so no more than
// `window` (>= 1) pieces are ever produced and not yet consumed: pieces can
// take turns in `window` buffers, piece k using buffer k % window. Returns
// when every piece is consumed. When a produce or consume throws, no
// further piece is begun and the first exception is rethrown on the
// calling thread once the others have stopped.
void for_pieces_in_order(int pieces, int window, const std::function<void(int, int)>& produce,
                         const std::function<void(int)>& consume);

}  // namespace vxlforge

#endif  // VXLFORGE_BASE_PARALLEL_ROWS_H_
