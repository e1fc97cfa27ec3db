#include "driver/growable_array.h"

#include <algorithm>
#include <cstdlib>

namespace vxlforge {

namespace {

void* element_start(ArrayHeader* header) { return header + 1; }

std::size_t block_bytes(std::size_t element_size, std::int32_t capacity) {
  return sizeof(ArrayHeader) + element_size * static_cast<std::size_t>(capacity);
}

}  // namespace

ArrayHeader* array_header(void* handle) {
  return static_cast<ArrayHeader*>(handle) - 1;
}

std::int32_t array_count(const void* handle) {
  if (handle == nullptr) return 0;
  return (static_cast<const ArrayHeader*>(handle) - 1)->count;
}

std::int32_t array_capacity(const void* handle) {
  if (handle == nullptr) return 0;
  return (static_cast<const ArrayHeader*>(handle) - 1)->capacity;
}

void array_grow(void** handle, std::size_t element_size, std::int32_t wanted,
                std::int32_t new_count) {
  ArrayHeader* header;
  if (*handle == nullptr) {
    header = static_cast<ArrayHeader*>(
        std::malloc(block_bytes(element_size, wanted)));
    if (header == nullptr) return;
    header->count = new_count;
    header->capacity = wanted;
    header->allocator_flag = 0;
    header->signature = ARRAY_SIGNATURE;
  } else {
    header = array_header(*handle);
    header->count = new_count;
    if (header->capacity < wanted) {
      std::int32_t capacity = wanted;
      if (header->capacity >= 4) {
        capacity = std::max(wanted, header->capacity * 2);
      }
      void* moved = std::realloc(header, block_bytes(element_size, capacity));
      if (moved != nullptr) {
        header = static_cast<ArrayHeader*>(moved);
        header->capacity = capacity;
      }
    }
  }
  header->count = std::min(header->count, header->capacity);
  *handle = element_start(header);
}

void array_resize(void** handle, std::size_t element_size, std::int32_t n) {
  if (*handle != nullptr && array_header(*handle)->capacity >= n) {
    array_header(*handle)->count = n;
    return;
  }
  array_grow(handle, element_size, n, n);
}

void array_extend(void** handle, std::size_t element_size, std::int32_t k) {
  array_resize(handle, element_size, array_count(*handle) + k);
}

void array_free(void** handle) {
  if (*handle != nullptr) {
    // allocator_flag is always 0, the process heap.
    std::free(array_header(*handle));
  }
  *handle = nullptr;
}

void array_free_all(void** handle) {
  char** texts = static_cast<char**>(*handle);
  for (std::int32_t i = 0; i < array_count(*handle); ++i) std::free(texts[i]);
  array_free(handle);
}

}  // namespace vxlforge
