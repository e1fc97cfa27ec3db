#include "mapgen/huge_pages.h"

#include <new>

#if defined(__linux__)
#include <sys/mman.h>
// The linker's marks around the zero-initialised data of the program.
extern "C" char __bss_start[], _end[];
#endif

namespace vxlforge {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kPage = 4096;

std::uintptr_t round_down(std::uintptr_t value, std::size_t unit) { return value / unit * unit; }

std::uintptr_t round_up(std::uintptr_t value, std::size_t unit) {
  return round_down(value + unit - 1, unit);
}

}  // namespace

void advise_huge_pages() {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  // One range for all of it: a single array smaller than 2 MiB (a Field
  // is 1 MiB) could never be given a huge page on its own.
  const std::uintptr_t first = round_down(reinterpret_cast<std::uintptr_t>(__bss_start), kPage);
  const std::uintptr_t last = round_up(reinterpret_cast<std::uintptr_t>(_end), kPage);
  madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

HugePageBytes::HugePageBytes(std::size_t size) : size_(size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  // Mapped one huge page larger than needed, so that the bytes can start
  // on a huge-page boundary.
  mapped_ = round_up(size, kHugePage) + kHugePage;
  mapping_ = mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping_ == MAP_FAILED) throw std::bad_alloc();
  data_ = reinterpret_cast<std::uint8_t*>(
      round_up(reinterpret_cast<std::uintptr_t>(mapping_), kHugePage));
  madvise(data_, round_up(size, kHugePage), MADV_HUGEPAGE);
#else
  data_ = new std::uint8_t[size];
#endif
}

HugePageBytes::~HugePageBytes() {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  munmap(mapping_, mapped_);
#else
  delete[] data_;
#endif
}

}  // namespace vxlforge
