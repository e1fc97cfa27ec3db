#include "base/parallel_rows.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "base/thread_placement.h"

namespace vxlforge {

namespace {

// One batch of slices at a time: the caller publishes it, then every
// thread, the caller included, claims slices until none is left.
class WorkerPool {
 public:
  // Where threads cannot start (no memory for their stacks, a limit on
  // processes) the pool keeps those that did, perhaps none: the calling
  // thread claims every slice nobody else takes, so the work and its result
  // are the same. The workers may run on the processors the calling thread
  // may run on now.
  explicit WorkerPool(int workers) : placement_(ThreadPlacement::of_calling_thread()) {
    try {
      // Held while the threads are placed, so that none frees itself first.
      const std::lock_guard<std::mutex> placing(mutex_);
      const int here = ThreadPlacement::current_processor();
      for (int i = 0; i < workers; ++i) {
        threads_.emplace_back([this, i] { serve(i); });
        if (placement_.processors().size() > 1) {
          placement_.bind(threads_.back(), placement_.processor_after(here, i + 1));
        }
      }
    } catch (const std::system_error&) {
    }
  }

  // A pool lives until the process ends (see pool()).
  ~WorkerPool() = delete;

  void run(int rows, int slices, const std::function<void(int, int, int)>& work) {
    std::lock_guard<std::mutex> one_batch(batch_mutex_);  // callers take turns
    {
      std::lock_guard<std::mutex> lock(mutex_);
      work_ = &work;
      rows_ = rows;
      slices_ = slices;
      caller_processor_ = ThreadPlacement::current_processor();
      next_.store(0);
      finished_ = 0;
      ++batch_;
    }
    wake_.notify_all();
    const int done = claim_slices();
    std::unique_lock<std::mutex> lock(mutex_);
    finished_ += done;
    all_done_.wait(lock, [this] { return finished_ == slices_; });
    work_ = nullptr;
    if (error_) {
      std::exception_ptr error = error_;
      error_ = nullptr;
      failed_.store(false);
      std::rethrow_exception(error);
    }
  }

 private:
  // Runs slices until none is left; returns how many this thread claimed.
  // What a slice throws (running out of memory, say) would end the process
  // from a worker thread: the first exception is kept, the slices after it
  // are only counted, and run() rethrows it on the calling thread.
  int claim_slices() {
    int done = 0;
    for (int s = next_.fetch_add(1); s < slices_; s = next_.fetch_add(1)) {
      if (!failed_.load()) {
        try {
          (*work_)(s, s * rows_ / slices_, (s + 1) * rows_ / slices_);
        } catch (...) {
          std::lock_guard<std::mutex> lock(mutex_);
          if (!error_) error_ = std::current_exception();
          failed_.store(true);
        }
      }
      ++done;
    }
    return done;
  }

  // Worker `index` runs batches; woken for one, it first moves off the
  // calling thread's processor, worker 0 to the next one, and so on. It
  // starts bound to such a processor by its maker, and frees itself first.
  void serve(int index) {
    { const std::lock_guard<std::mutex> placed(mutex_); }
    placement_.release();
    long seen = 0;
    for (;;) {
      int caller_processor = -1;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [&] { return batch_ != seen && work_ != nullptr; });
        seen = batch_;
        caller_processor = caller_processor_;
      }
      placement_.move_apart(caller_processor, index + 1);
      const int done = claim_slices();
      std::lock_guard<std::mutex> lock(mutex_);
      finished_ += done;
      if (finished_ == slices_) all_done_.notify_one();
    }
  }

  std::mutex batch_mutex_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable all_done_;
  const ThreadPlacement placement_;
  std::vector<std::thread> threads_;
  const std::function<void(int, int, int)>* work_ = nullptr;
  int rows_ = 0;
  int slices_ = 0;
  int caller_processor_ = -1;  // where run() was called, for the workers
  std::atomic<int> next_{0};
  int finished_ = 0;
  std::exception_ptr error_;  // the batch's first exception, under mutex_
  std::atomic<bool> failed_{false};
  long batch_ = 0;
};

// Never destroyed: when the process ends, the workers, idle by then, end
// with it. Stopping and joining them first would wait for each to wake,
// which can take milliseconds on a virtual machine whose idle processor
// sleeps. The threads use nothing but the pool, which stays.
WorkerPool& pool() {
  static WorkerPool* const workers = new WorkerPool(core_count() - 1);
  return *workers;
}

}  // namespace

int usable_processors() {
  // Only the processors the thread may use, so that no worker merely takes
  // turns with another on a processor they share.
  const auto allowed = ThreadPlacement::of_calling_thread().processors().size();
  if (allowed > 0) return static_cast<int>(allowed);
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

int core_count() {
  // Asked once: usable_processors() asks the system on every call.
  static const int cores = usable_processors();
  return cores;
}

void start_workers() {
  if (core_count() > 1) pool();
}

void for_row_slices(int rows, int slices, const std::function<void(int, int, int)>& work) {
  slices = std::clamp(slices, 1, std::max(rows, 1));
  if (slices == 1 || core_count() == 1) {
    for (int s = 0; s < slices; ++s) work(s, s * rows / slices, (s + 1) * rows / slices);
    return;
  }
  pool().run(rows, slices, work);
}

void for_pieces_in_order(int pieces, int window, const std::function<void(int, int)>& produce,
                         const std::function<void(int)>& consume) {
  std::atomic<int> next_to_produce{0};
  std::vector<std::atomic<bool>> produced(static_cast<std::size_t>(std::max(pieces, 0)));
  std::mutex consuming;
  std::atomic<int> next_to_consume{0};  // written only under `consuming`
  // Once a produce or consume throws, every thread stops waiting for pieces
  // that will never come, and the first exception reaches the caller.
  std::atomic<bool> failed{false};
  std::exception_ptr error;
  std::mutex error_mutex;
  const auto ready = [&](int piece) {
    return produced[static_cast<std::size_t>(piece)].load(std::memory_order_acquire);
  };
  const auto consume_ready = [&] {
    int next = next_to_consume.load();
    while (next < pieces && ready(next) && !failed.load()) {
      consume(next);
      next_to_consume.store(++next, std::memory_order_release);
    }
  };

  for_row_slices(core_count(), core_count(), [&](int slot, int, int) {
    try {
      while (!failed.load()) {
        {
          // Keeps the consumer going whenever no other thread is consuming.
          std::unique_lock<std::mutex> lock(consuming, std::try_to_lock);
          if (lock.owns_lock()) consume_ready();
        }
        int piece = next_to_produce.load();
        if (piece >= pieces) break;
        if (piece >= next_to_consume.load(std::memory_order_acquire) + window) {
          // Too far ahead: consume what is ready, waiting for the lock (and
          // so sleeping while a consume blocks on a slow pipe), or else let
          // the threads producing the pieces before finish.
          bool consumed = false;
          {
            std::lock_guard<std::mutex> lock(consuming);
            const int before = next_to_consume.load();
            consume_ready();
            consumed = next_to_consume.load() != before;
          }
          if (!consumed) std::this_thread::yield();
          continue;
        }
        if (!next_to_produce.compare_exchange_weak(piece, piece + 1)) continue;
        produce(piece, slot);
        produced[static_cast<std::size_t>(piece)].store(true, std::memory_order_release);
      }
      // Nothing left to produce: the pieces still missing are being
      // produced by other threads, which are busy, so waiting for them
      // spins briefly. A consume that blocks (a slow pipe) makes the others
      // sleep on the lock.
      std::lock_guard<std::mutex> lock(consuming);
      while (next_to_consume.load() < pieces && !failed.load()) {
        while (!ready(next_to_consume.load()) && !failed.load()) std::this_thread::yield();
        consume_ready();
      }
    } catch (...) {
      std::lock_guard<std::mutex> lock(error_mutex);
      if (!error) error = std::current_exception();
      failed.store(true);
    }
  });
  if (error) std::rethrow_exception(error);
}

}  // namespace vxlforge
