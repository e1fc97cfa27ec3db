#include "base/static_room.h"

#include <algorithm>

#if defined(__linux__)
#include <sys/mman.h>

#include <mutex>

#include "base/huge_pages.h"
#endif

namespace vxlforge {

namespace {

// Bigger than any room can be: what remains after rounding up and aligning.
constexpr std::size_t kLargestRoom = std::numeric_limits<std::size_t>::max() / 4;

}  // namespace

#if defined(__linux__)

namespace {

std::size_t round_up(std::size_t value, std::size_t unit) { return (value + unit - 1) / unit * unit; }

// Address space is reserved this much at a time (more for a bigger room),
// from a huge-page boundary, and rooms are cut from it in order, so that
// rooms taken one after another share huge pages.
constexpr std::size_t kReserveSize = std::size_t{32} << 20;

// Room not yet handed out in the current reservation for one use.
struct Reservation {
  std::uint8_t* next = nullptr;
  std::size_t left = 0;
};

std::mutex room_mutex;
Reservation reservations[2];  // by RoomUse

// Fresh address space of `size` bytes (a whole number of huge pages) from a
// huge-page boundary, advised for huge pages or, for sparse rooms, against
// them (where the system hands them out unasked).
std::uint8_t* reserve(std::size_t size, RoomUse use) {
  const std::size_t mapped = size + kHugePageSize;
  void* mapping = mmap(nullptr, mapped, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (mapping == MAP_FAILED) throw std::bad_alloc();
  auto* const start = static_cast<std::uint8_t*>(mapping);
  auto* const aligned = reinterpret_cast<std::uint8_t*>(
      round_up(reinterpret_cast<std::uintptr_t>(start), kHugePageSize));
  // The ends beyond the aligned part are given back.
  const auto head = static_cast<std::size_t>(aligned - start);
  if (head != 0) munmap(start, head);
  if (mapped - head - size != 0) munmap(aligned + size, mapped - head - size);
#if defined(MADV_HUGEPAGE) && defined(MADV_NOHUGEPAGE)
  madvise(aligned, size, use == RoomUse::kFilled ? MADV_HUGEPAGE : MADV_NOHUGEPAGE);
#else
  (void)use;
#endif
  return aligned;
}

}  // namespace

std::uint8_t* take_static_room(std::size_t size, RoomUse use) {
  if (size > kLargestRoom) throw std::bad_alloc();
  size = round_up(std::max<std::size_t>(size, 1), kStaticRoomAlignment);
  const std::lock_guard<std::mutex> lock(room_mutex);
  Reservation& r = reservations[use == RoomUse::kFilled ? 0 : 1];
  if (size > r.left) {
    // The rest of the old reservation stays unused: untouched, it takes no
    // memory.
    const std::size_t reserved = std::max(kReserveSize, round_up(size, kHugePageSize));
    r = Reservation{reserve(reserved, use), reserved};
  }
  std::uint8_t* const room = r.next;
  r.next += size;
  r.left -= size;
  return room;
}

#else

// Elsewhere huge pages bring nothing (see huge_pages.h): each room comes
// from the heap and is kept.
std::uint8_t* take_static_room(std::size_t size, RoomUse) {
  if (size > kLargestRoom) throw std::bad_alloc();
  return static_cast<std::uint8_t*>(
      ::operator new(std::max<std::size_t>(size, 1), std::align_val_t{kStaticRoomAlignment}));
}

#endif

}  // namespace vxlforge
