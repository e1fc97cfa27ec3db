#include "base/cpu_features.h"

#include <mutex>

#ifdef VXLFORGE_HAVE_AVX512_KERNELS
#include <cpuid.h>

#include <cstdint>
#endif

namespace vxlforge {

namespace {

std::atomic<int> widest{static_cast<int>(KernelIsa::kAvx512)};

// The verdicts so far, for wide_kernels_in_use and wide_kernels_refused.
std::mutex verdicts_mutex;
std::vector<std::string>& verdicts(bool wide) {
  static std::vector<std::string> in_use;
  static std::vector<std::string> refused;
  return wide ? in_use : refused;
}

#ifdef VXLFORGE_HAVE_AVX512_KERNELS
// The processor may have AVX-512 while the operating system does not save
// its registers on a context switch: both have to be asked.
bool detect_avx512() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) == 0) return false;
  constexpr unsigned kFma = 1u << 12, kOsXsave = 1u << 27;
  if ((c & kFma) == 0 || (c & kOsXsave) == 0) return false;
  if (__get_cpuid_count(7, 0, &a, &b, &c, &d) == 0) return false;
  constexpr unsigned kAvx512F = 1u << 16, kAvx512Dq = 1u << 17, kAvx512Bw = 1u << 30,
                     kAvx512Vl = 1u << 31;
  constexpr unsigned kWanted = kAvx512F | kAvx512Dq | kAvx512Bw | kAvx512Vl;
  if ((b & kWanted) != kWanted) return false;
  // XCR0: the SSE and AVX state, the mask registers, the upper halves of
  // the low 16 vector registers and the high 16 registers.
  unsigned xcr0_low = 0, xcr0_high = 0;
  __asm__ volatile("xgetbv" : "=a"(xcr0_low), "=d"(xcr0_high) : "c"(0u));
  (void)xcr0_high;
  constexpr unsigned kSavedState = 0xE6u;
  return (xcr0_low & kSavedState) == kSavedState;
}
#endif

}  // namespace

bool cpu_has_avx2() {
#ifdef VXLFORGE_HAVE_AVX2_KERNELS
  // The library's check covers the operating system's part too: AVX2 is
  // reported only where the system saves the wide registers.
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return has;
#else
  return false;
#endif
}

bool cpu_has_avx512() {
#ifdef VXLFORGE_HAVE_AVX512_KERNELS
  static const bool has = cpu_has_avx2() && detect_avx512();
  return has;
#else
  return false;
#endif
}

bool cpu_has(KernelIsa isa) {
  switch (isa) {
    case KernelIsa::kPlain:
      return true;
    case KernelIsa::kAvx2:
      return cpu_has_avx2();
    case KernelIsa::kAvx512:
      return cpu_has_avx512();
  }
  return false;
}

void set_widest_kernels(KernelIsa isa) {
  widest.store(static_cast<int>(isa), std::memory_order_relaxed);
}

KernelIsa widest_kernels() {
  return static_cast<KernelIsa>(widest.load(std::memory_order_relaxed));
}

void set_plain_kernels_only(bool plain) {
  set_widest_kernels(plain ? KernelIsa::kPlain : KernelIsa::kAvx512);
}

bool plain_kernels_only() { return widest_kernels() == KernelIsa::kPlain; }

int WideKernelGate::decide() const {
  // Two threads may both get here first; each runs the check, which reads
  // and writes only its own data, and both reach the same verdict.
  const bool possible = cpu_has(isa_);
  const int verdict = possible && agrees_() ? kWide : kPlain;
  int expected = kUnknown;
  if (verdict_.compare_exchange_strong(expected, verdict, std::memory_order_acq_rel) && possible) {
    const std::lock_guard<std::mutex> lock(verdicts_mutex);
    verdicts(verdict == kWide).push_back(name_);
  }
  return verdict;
}

std::vector<std::string> wide_kernels_in_use() {
  const std::lock_guard<std::mutex> lock(verdicts_mutex);
  return verdicts(true);
}

std::vector<std::string> wide_kernels_refused() {
  const std::lock_guard<std::mutex> lock(verdicts_mutex);
  return verdicts(false);
}

}  // namespace vxlforge
