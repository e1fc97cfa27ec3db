#include "base/mapped_bytes.h"

#include <new>

#include "base/huge_pages.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vxlforge {

MappedBytes::MappedBytes(std::size_t size, Pages pages) : size_(size) {
#if defined(__linux__)
  // Address space only: the system supplies each page when it is first
  // written. Huge pages must start on a 2 MiB boundary, so that much more
  // is asked for, to start the room on one.
  const std::size_t slack = pages == Pages::kHuge ? kHugePageSize : 0;
  if (size > static_cast<std::size_t>(-1) - slack) throw std::bad_alloc();
  mapping_size_ = size + slack;
  mapping_ = mmap(nullptr, mapping_size_, PROT_READ | PROT_WRITE,
                  MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (mapping_ == MAP_FAILED) throw std::bad_alloc();
  auto start = reinterpret_cast<std::uintptr_t>(mapping_);
  if (pages == Pages::kHuge) {
    start = (start + kHugePageSize - 1) / kHugePageSize * kHugePageSize;
#if defined(MADV_HUGEPAGE)
    madvise(reinterpret_cast<void*>(start), size, MADV_HUGEPAGE);  // a hint; refusal is harmless
#endif
  }
  data_ = reinterpret_cast<std::uint8_t*>(start);
#else
  (void)pages;
  data_ = new std::uint8_t[size];
#endif
}

MappedBytes::~MappedBytes() {
#if defined(__linux__)
  munmap(mapping_, mapping_size_);
#else
  delete[] data_;
#endif
}

}  // namespace vxlforge
