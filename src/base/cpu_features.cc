#include "base/cpu_features.h"

#include <mutex>

namespace vxlforge {

namespace {

std::atomic<bool> plain_only{false};

// The verdicts so far, for wide_kernels_in_use and wide_kernels_refused.
std::mutex verdicts_mutex;
std::vector<std::string>& verdicts(bool wide) {
  static std::vector<std::string> in_use;
  static std::vector<std::string> refused;
  return wide ? in_use : refused;
}

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

void set_plain_kernels_only(bool plain) { plain_only.store(plain, std::memory_order_relaxed); }

bool plain_kernels_only() { return plain_only.load(std::memory_order_relaxed); }

int WideKernelGate::decide() const {
  // Two threads may both get here first; each runs the check, which reads
  // and writes only its own data, and both reach the same verdict.
  const int verdict = cpu_has_avx2() && agrees_() ? kWide : kPlain;
  int expected = kUnknown;
  if (verdict_.compare_exchange_strong(expected, verdict, std::memory_order_acq_rel) &&
      cpu_has_avx2()) {
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
