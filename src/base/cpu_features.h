#ifndef VXLFORGE_BASE_CPU_FEATURES_H_
#define VXLFORGE_BASE_CPU_FEATURES_H_

#include <atomic>
#include <string>
#include <vector>

// The one place that knows the processor's features and decides which wide
// kernels run. Every wide kernel (functions compiled for AVX2 with
// __attribute__((target("avx2")))) stands beside its plain twin, gives the
// same bits, and is reached through a WideKernelGate: it runs only where
// the processor has AVX2, the plain-only switch is off, and it agreed with
// its twin on a known input the first time it was asked for. A compiler or
// processor that gets a wide kernel wrong then costs speed, not a wrong map.
// The choice is made at run time, without the loader's help (no ifunc), so
// it works on every platform the compiler targets.

// Wide kernels are compiled where the compiler can target AVX2 per function.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VXLFORGE_HAVE_AVX2_KERNELS 1
#endif

namespace vxlforge {

// Whether the processor and the operating system support AVX2, asked once.
// Always false where no wide kernels are compiled.
bool cpu_has_avx2();

// While set, every gate is closed and each wide kernel's plain twin runs,
// in the same build: for tests, which run both paths, and for a machine
// whose wide path is suspect. Off at start-up. Set it only while no
// generation is running.
void set_plain_kernels_only(bool plain);
bool plain_kernels_only();

// Opens the way to one wide kernel (or a family of them that share a
// check). `agrees` runs the wide and the plain forms on a known input and
// returns whether they gave the same bits; it must not touch the map state.
// It runs once, at the first open() on a processor with AVX2; the verdict is
// kept for the process. A gate is meant to be a constant-initialised global
// beside its kernel.
class WideKernelGate {
 public:
  constexpr WideKernelGate(const char* name, bool (*agrees)()) : name_(name), agrees_(agrees) {}
  WideKernelGate(const WideKernelGate&) = delete;
  WideKernelGate& operator=(const WideKernelGate&) = delete;

  // Whether the wide kernel may run now. After the first call, a load and
  // a test or two: cheap enough per row of work.
  bool open() const {
    if (plain_kernels_only()) return false;
    const int verdict = verdict_.load(std::memory_order_acquire);
    return (verdict == kUnknown ? decide() : verdict) == kWide;
  }

 private:
  enum : int { kUnknown, kWide, kPlain };
  int decide() const;

  const char* name_;
  bool (*agrees_)();
  mutable std::atomic<int> verdict_{kUnknown};
};

// The names of the gates whose verdict so far is the wide kernel, and of
// those whose wide kernel failed its check, in the order they were decided.
// Lets tests see that each wide kernel is really used where the processor
// has AVX2, so that running both paths compares two different ones.
std::vector<std::string> wide_kernels_in_use();
std::vector<std::string> wide_kernels_refused();

}  // namespace vxlforge

#endif  // VXLFORGE_BASE_CPU_FEATURES_H_
