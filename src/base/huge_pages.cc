#include "base/huge_pages.h"

#include <algorithm>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vxlforge {

#if defined(__linux__) && defined(MADV_HUGEPAGE)
namespace {

[[maybe_unused]] std::uintptr_t round_down(std::uintptr_t value, std::size_t unit) { return value / unit * unit; }

}  // namespace
#endif

void advise_huge_pages(std::span<const FixedArray> arrays) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (arrays.empty()) return;
  const auto begin = [](const FixedArray& a) { return reinterpret_cast<std::uintptr_t>(a.data); };
  const auto end = [&begin](const FixedArray& a) { return begin(a) + a.size; };
  std::uintptr_t low = begin(arrays[0]);
  std::uintptr_t high = end(arrays[0]);
  for (const FixedArray& a : arrays) {
    low = std::min(low, begin(a));
    high = std::max(high, end(a));
  }
  // Page by page, advising runs of well-filled pages in one call each.
  std::uintptr_t run_start = 0;
  for (std::uintptr_t page = round_down(low, kHugePageSize);; page += kHugePageSize) {
    std::size_t filled = 0;
    for (const FixedArray& a : arrays) {
      const std::uintptr_t from = std::max(page, begin(a));
      const std::uintptr_t to = std::min(page + kHugePageSize, end(a));
      if (from < to) filled += to - from;
    }
    const bool wanted = page < high && filled >= kHugePageSize / 4 * 3;
    if (wanted && run_start == 0) run_start = page;
    if (!wanted && run_start != 0) {
      madvise(reinterpret_cast<void*>(run_start), page - run_start, MADV_HUGEPAGE);
      run_start = 0;
    }
    if (page >= high) break;
  }
#else
  (void)arrays;
#endif
}

}  // namespace vxlforge
