#include "base/block_pool.h"

#include <algorithm>

namespace vxlforge {

namespace {

// Fresh blocks are taken this many bytes' worth at a time, so that a pool
// of small blocks does not take a room per block.
constexpr std::size_t kRoomBytes = std::size_t{256} << 10;

std::size_t round_up(std::size_t value, std::size_t unit) {
  return (value + unit - 1) / unit * unit;
}

}  // namespace

BlockPool::BlockPool(std::size_t block_size)
    : block_size_(round_up(std::max({block_size, sizeof(FreeBlock), std::size_t{1}}),
                           kStaticRoomAlignment)),
      blocks_per_room_(std::max<std::size_t>(kRoomBytes / block_size_, 1)) {}

void* BlockPool::take() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (free_ == nullptr) {
    // Threads the fresh blocks onto the free list. Only the first bytes of
    // each are written: the rest of a block's pages stay untouched until
    // it is used.
    std::uint8_t* const room = take_static_room(block_size_ * blocks_per_room_, RoomUse::kFilled);
    for (std::size_t b = blocks_per_room_; b-- > 0;) {
      free_ = new (room + b * block_size_) FreeBlock{free_};
    }
  }
  FreeBlock* const block = free_;
  free_ = block->next;
  return block;
}

void BlockPool::give_back(void* block) noexcept {
  const std::lock_guard<std::mutex> lock(mutex_);
  free_ = new (block) FreeBlock{free_};
}

}  // namespace vxlforge
