#ifndef VXLFORGE_BASE_STATIC_ROOM_H_
#define VXLFORGE_BASE_STATIC_ROOM_H_

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <type_traits>

namespace vxlforge {

// Working memory that is taken once and kept until the process ends, for
// the buffers a run would otherwise allocate afresh: every fresh page costs
// a fault, each time, and memory from the heap or the system comes in 4 KiB
// pages. Rooms taken here are never given back, so a second run in the
// same process (tests, benchmarks) finds its pages already in place.

// Every room starts on a cache line, so that rooms of different threads
// never share one.
constexpr std::size_t kStaticRoomAlignment = 64;

enum class RoomUse {
  // Nearly every byte gets written. Such rooms are packed one after
  // another into memory advised for 2 MiB pages (where the system offers
  // them), so that the working buffers of a whole run fault in a few times
  // instead of once per 4 KiB. A room that is mostly left unused would
  // there take whole 2 MiB pages of memory for a few bytes: use kSparse.
  kFilled,
  // Sized for the worst case and mostly left unused: kept in small pages,
  // and only the pages actually written take memory.
  kSparse,
};

// `size` bytes (at least one), uninitialised, aligned to
// kStaticRoomAlignment, valid until the process ends and never handed out
// again. Taking a room writes nothing: its pages take memory only once
// written. Thread-safe. Throws std::bad_alloc when the memory cannot be
// had.
std::uint8_t* take_static_room(std::size_t size, RoomUse use);

// `count` default-constructed objects of type T in a static room: for
// plain buffer types, uninitialised and never destroyed. Taking them
// writes nothing, so a kSparse array's pages stay untouched.
template <typename T>
T* take_static_array(std::size_t count, RoomUse use) {
  static_assert(std::is_trivially_default_constructible_v<T> && std::is_trivially_destructible_v<T>,
                "a static room holds plain buffers, never constructed nor destroyed");
  static_assert(alignof(T) <= kStaticRoomAlignment, "a room is aligned to a cache line only");
  if (count > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_alloc();
  T* objects = reinterpret_cast<T*>(take_static_room(count * sizeof(T), use));
  std::uninitialized_default_construct_n(objects, count);
  return objects;
}

}  // namespace vxlforge

#endif  // VXLFORGE_BASE_STATIC_ROOM_H_
