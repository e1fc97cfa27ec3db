#ifndef VXLFORGE_BASE_HUGE_PAGES_H_
#define VXLFORGE_BASE_HUGE_PAGES_H_

#include <cstddef>
#include <span>

namespace vxlforge {

// Every page of a run's fixed arrays is fresh memory, and faulting it in
// 4 KiB at a time costs the kernel more than zeroing it. 2 MiB pages cut
// that by a factor of about six where the system offers them.

// The size of a huge page where the system offers them.
constexpr std::size_t kHugePageSize = std::size_t{2} << 20;

// Starts a fixed array on a huge page, so that it fills whole ones, where
// the system offers huge pages. Elsewhere it is nothing: there they bring
// nothing, and a Windows executable cannot align a variable to more than
// 8 KiB.
#if defined(__linux__)
#define VXLFORGE_HUGE_PAGE_ALIGNED alignas(::vxlforge::kHugePageSize)
#else
#define VXLFORGE_HUGE_PAGE_ALIGNED
#endif

// Where one of the process's fixed arrays lies.
struct FixedArray {
  const void* data;
  std::size_t size;
};

// Asks the system to back with huge pages every 2 MiB page of memory that
// the given arrays fill at least three quarters of, so that the big
// fixed arrays (the Volume, height_field, the road mask) fault in 2 MiB
// at a time. A page that holds mostly other, small variables keeps small
// pages: as a huge page it would take 2 MiB of memory for a few bytes.
// Only a hint, refused silently where unsupported; changes no value. Call
// before the arrays are first touched.
void advise_huge_pages(std::span<const FixedArray> arrays);

}  // namespace vxlforge

#endif  // VXLFORGE_BASE_HUGE_PAGES_H_
