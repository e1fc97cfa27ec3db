#ifndef VXLFORGE_BASE_BLOCK_POOL_H_
#define VXLFORGE_BASE_BLOCK_POOL_H_

#include <cstddef>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

#include "base/static_room.h"

namespace vxlforge {

// Blocks of one size for objects that a run makes and drops by the hundred
// (a noise octave's prepared tables, the gradient terms of its lattice
// indexes). From the heap each would come in fresh 4 KiB pages, a page
// fault per page, every run; here the blocks come from static rooms of
// RoomUse::kFilled (huge pages where the system has them) and a block given
// back is handed out again, so a run faults in a few huge pages instead, and
// a second run in the same process none. The pool never shrinks: it holds as
// many blocks as were ever taken at once.
class BlockPool {
 public:
  // Blocks of at least `block_size` bytes (at least one), each aligned to
  // kStaticRoomAlignment.
  explicit BlockPool(std::size_t block_size);
  BlockPool(const BlockPool&) = delete;
  BlockPool& operator=(const BlockPool&) = delete;

  // A block, uninitialised: one given back before, or a fresh one. Throws
  // std::bad_alloc when no memory can be had. Thread-safe.
  void* take();

  // Makes `block`, taken from this pool and no longer used, free for a
  // later take(). Thread-safe.
  void give_back(void* block) noexcept;

  std::size_t block_size() const { return block_size_; }

 private:
  struct FreeBlock {
    FreeBlock* next;
  };

  std::size_t block_size_;
  std::size_t blocks_per_room_;
  std::mutex mutex_;
  FreeBlock* free_ = nullptr;
};

// The one pool of blocks that hold a T, made on first use and kept until
// the process ends (never destroyed, so that objects freed by other static
// destructors can still be given back).
template <typename T>
BlockPool& block_pool_for() {
  static_assert(alignof(T) <= kStaticRoomAlignment, "a block is aligned to a cache line only");
  static BlockPool* const pool = new BlockPool(sizeof(T));
  return *pool;
}

// Destroys a T held in a block of its pool and gives the block back.
template <typename T>
struct PooledDelete {
  void operator()(T* object) const noexcept {
    object->~T();
    block_pool_for<T>().give_back(object);
  }
};

template <typename T>
using PooledPtr = std::unique_ptr<T, PooledDelete<T>>;

// A T made by `construct(block)` in a block of its pool; should it throw,
// the block goes back.
template <typename T, typename Construct>
PooledPtr<T> make_pooled_with(const Construct& construct) {
  void* const block = block_pool_for<T>().take();
  try {
    return PooledPtr<T>(construct(block));
  } catch (...) {
    block_pool_for<T>().give_back(block);
    throw;
  }
}

// A T value-initialised (as by `new T()`) in a block of its pool.
template <typename T, typename... Args>
PooledPtr<T> make_pooled(Args&&... args) {
  return make_pooled_with<T>(
      [&](void* block) { return new (block) T(std::forward<Args>(args)...); });
}

// A T default-initialised (as by `new T`: a plain buffer is left
// uninitialised) in a block of its pool, for objects that are overwritten
// in full before they are read.
template <typename T>
PooledPtr<T> make_pooled_for_overwrite() {
  return make_pooled_with<T>([](void* block) { return new (block) T; });
}

}  // namespace vxlforge

#endif  // VXLFORGE_BASE_BLOCK_POOL_H_
