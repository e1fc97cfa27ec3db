#include "base/mapped_bytes.h"

#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vxlforge {

MappedBytes::MappedBytes(std::size_t size) : size_(size) {
#if defined(__linux__)
  // Address space only: the system supplies each page when it is first
  // written.
  void* mapping = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (mapping == MAP_FAILED) throw std::bad_alloc();
  data_ = static_cast<std::uint8_t*>(mapping);
#else
  data_ = new std::uint8_t[size];
#endif
}

MappedBytes::~MappedBytes() {
#if defined(__linux__)
  munmap(data_, size_);
#else
  delete[] data_;
#endif
}

}  // namespace vxlforge
