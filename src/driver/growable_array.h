#ifndef VXLFORGE_DRIVER_GROWABLE_ARRAY_H_
#define VXLFORGE_DRIVER_GROWABLE_ARRAY_H_

#include <cstddef>
#include <cstdint>

namespace vxlforge {

// A growable array is a heap block holding an ArrayHeader followed by
// `capacity` elements. Its handle points at the first element, just behind
// the header, so the elements can be indexed like a plain array; a null
// handle is an array with no block (count and capacity 0). Operations that
// may move the block take the address of the handle and update it.
struct ArrayHeader {
  std::int32_t count;           // elements in use
  std::int32_t capacity;        // elements the block can hold; never shrinks
  std::int32_t allocator_flag;  // 0: the block comes from the process heap
  std::uint32_t signature;      // ARRAY_SIGNATURE, written on creation
};
static_assert(sizeof(ArrayHeader) == 16, "four 32-bit words");

constexpr std::uint32_t ARRAY_SIGNATURE = 0x51bada7b;

// The header of a non-null handle's block.
ArrayHeader* array_header(void* handle);

// Count and capacity; both 0 for a null handle.
std::int32_t array_count(const void* handle);
std::int32_t array_capacity(const void* handle);

// Sets the count to `new_count` and makes room for at least `wanted`
// elements, creating the block when there is none. Growth is exact while
// the capacity is below 4 and at least doubles from then on, so appending
// one at a time gives capacities 1, 2, 3, 4, 8, 16 ... When the heap refuses
// to grow the block it stays as it was and the count is cut to its
// capacity; when it refuses to create one the handle stays null.
void array_grow(void** handle, std::size_t element_size, std::int32_t wanted,
                std::int32_t new_count);

// Sets the count to n, growing only when the capacity is below n.
void array_resize(void** handle, std::size_t element_size, std::int32_t n);

// Adds k to the count, growing as needed.
void array_extend(void** handle, std::size_t element_size, std::int32_t k);

// Releases the block; the handle becomes null.
void array_free(void** handle);

// For an array of heap texts: releases every text in use (null entries
// release nothing), then the array.
void array_free_all(void** handle);

}  // namespace vxlforge

#endif  // VXLFORGE_DRIVER_GROWABLE_ARRAY_H_
