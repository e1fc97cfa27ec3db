#ifndef VXLFORGE_BASE_CPU_FEATURES_H_
#define VXLFORGE_BASE_CPU_FEATURES_H_

#include <atomic>
#include <string>
#include <vector>

// The one place that knows the processor's features and decides which wide
// kernels run. Every wide kernel (functions compiled for AVX2 or AVX-512
// with __attribute__((target(...)))) stands beside its plain twin, gives
// the same bits, and is reached through a WideKernelGate: it runs only
// where the processor has its instruction set, the switch below allows
// that set, and it agreed with its twin on a known input the first time it
// was asked for. A compiler or processor that gets a wide kernel wrong then
// costs speed, not a wrong map. The choice is made at run time, without
// the loader's help (no ifunc), so it works on every platform the compiler
// targets.

// Wide kernels are compiled where the compiler can target AVX2 per function.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VXLFORGE_HAVE_AVX2_KERNELS 1
#endif

// AVX-512 kernels as well, but not on Windows: its 64-bit ABI keeps the
// stack aligned to 16 bytes only, and 64-byte register spills there are a
// risk that is not worth the speed.
#if defined(VXLFORGE_HAVE_AVX2_KERNELS) && !defined(_WIN32)
#define VXLFORGE_HAVE_AVX512_KERNELS 1
#endif

namespace vxlforge {

// The instruction sets a wide kernel may be written for, narrowest first.
enum class KernelIsa : int { kPlain, kAvx2, kAvx512 };

// Whether the processor and the operating system support AVX2, asked once.
// Always false where no wide kernels are compiled.
bool cpu_has_avx2();

// Whether they support what the AVX-512 kernels use: AVX2 and FMA, and
// AVX-512 F, DQ, VL and BW, with the operating system saving the mask and
// 512-bit registers. Asked once; always false where no AVX-512 kernels are
// compiled.
bool cpu_has_avx512();

// Whether the processor has `isa` (kPlain: always).
bool cpu_has(KernelIsa isa);

// Kernels for instruction sets wider than `widest` are closed, and their
// narrower twins run instead, in the same build: for tests, which run every
// path the processor has, and for a machine whose wide path is suspect.
// kAvx512 (everything allowed) at start-up. Set it only while no
// generation is running.
void set_widest_kernels(KernelIsa widest);
KernelIsa widest_kernels();

// While set, every gate is closed and each wide kernel's plain twin runs:
// set_widest_kernels(kPlain), and back to kAvx512 when cleared.
void set_plain_kernels_only(bool plain);
bool plain_kernels_only();

// Opens the way to one wide kernel (or a family of them that share a
// check) written for `isa`. `agrees` runs the wide and the plain forms on a
// known input and returns whether they gave the same bits; it must not
// touch the map state. It runs once, at the first open() on a processor
// with `isa`; the verdict is kept for the process. A gate is meant to be a
// constant-initialised global beside its kernel.
class WideKernelGate {
 public:
  constexpr WideKernelGate(const char* name, bool (*agrees)(), KernelIsa isa = KernelIsa::kAvx2)
      : name_(name), agrees_(agrees), isa_(isa) {}
  WideKernelGate(const WideKernelGate&) = delete;
  WideKernelGate& operator=(const WideKernelGate&) = delete;

  // Whether the wide kernel may run now. After the first call, two loads
  // and a test or two: cheap enough per row of work.
  bool open() const {
    if (static_cast<int>(isa_) > static_cast<int>(widest_kernels())) return false;
    const int verdict = verdict_.load(std::memory_order_acquire);
    return (verdict == kUnknown ? decide() : verdict) == kWide;
  }

 private:
  enum : int { kUnknown, kWide, kPlain };
  int decide() const;

  const char* name_;
  bool (*agrees_)();
  KernelIsa isa_;
  mutable std::atomic<int> verdict_{kUnknown};
};

// The names of the gates whose verdict so far is the wide kernel, and of
// those whose wide kernel failed its check, in the order they were decided.
// Lets tests see that each wide kernel is really used where the processor
// has its instruction set, so that running both paths compares two
// different ones.
std::vector<std::string> wide_kernels_in_use();
std::vector<std::string> wide_kernels_refused();

}  // namespace vxlforge

#endif  // VXLFORGE_BASE_CPU_FEATURES_H_
