#include "random/rng.h"

#include <cstring>

#include "base/cpu_features.h"

namespace vxlforge {

namespace {

using rng_state::draws_before_position;
using rng_state::tempered;
using rng_state::position;
constexpr int kStateWords = static_cast<int>(rng_state::kWords);
constexpr int kMiddle = 397;
constexpr std::uint32_t kMatrix = 0x9908B0DFu;
constexpr std::uint32_t kUpperMask = 0x80000000u;
constexpr std::uint32_t kLowerMask = 0x7FFFFFFFu;
// Any position above kStateWords marks a generator that was never seeded.
constexpr unsigned kNeverSeeded = kStateWords + 1;

std::uint32_t mt_state[kStateWords];
std::uint32_t seed_lcg = 0;

}  // namespace

// The state words tempered, filled at each regeneration in one loop that
// the compiler can vectorise, so a draw is a load.
std::uint32_t rng_state::tempered[rng_state::kWords];
unsigned rng_state::position = kNeverSeeded;
std::uint64_t rng_state::draws_before_position = 0 - std::uint64_t{kNeverSeeded};

namespace {

std::uint32_t lcg_swap_state(std::uint32_t new_state) {
  const std::uint32_t previous = seed_lcg;
  seed_lcg = new_state;
  return previous;
}

std::uint32_t lcg_next() {
  seed_lcg = seed_lcg * 2147001325u + 715136305u;
  const std::uint32_t rotated = (seed_lcg << 16) | (seed_lcg >> 16);
  return rotated ^ 0x31415926u;
}

std::uint32_t twist(std::uint32_t upper, std::uint32_t lower, std::uint32_t partner) {
  const std::uint32_t y = (upper & kUpperMask) | (lower & kLowerMask);
  return partner ^ (y >> 1) ^ ((y & 1u) != 0 ? kMatrix : 0u);
}

// In place and in increasing order: later words combine with words already
// rewritten in this pass, exactly like the standard twister step. The loop
// is split where the indexes wrap, instead of reducing them modulo 624 for
// every word. Inlined into its callers, so that the wide copy of
// regenerate_and_temper gets a wide copy of this loop too.
[[gnu::always_inline]] inline void mt_regenerate(std::uint32_t* state) {
  int i = 0;
  for (; i < kStateWords - kMiddle; ++i) {
    state[i] = twist(state[i], state[i + 1], state[i + kMiddle]);
  }
  for (; i < kStateWords - 1; ++i) {
    state[i] = twist(state[i], state[i + 1], state[i + kMiddle - kStateWords]);
  }
  state[kStateWords - 1] = twist(state[kStateWords - 1], state[0], state[kMiddle - 1]);
}

std::uint32_t temper(std::uint32_t y) {
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y;
}

// Regenerates `state` and puts its words, tempered, in `out`. Runs once for
// every 624 draws, on the serial path of the per-column loops; its loops
// vectorise, eight lanes at a time in the wide copy.
[[gnu::always_inline]] inline void regenerate_and_temper_body(std::uint32_t* __restrict state,
                                                              std::uint32_t* __restrict out) {
  mt_regenerate(state);
  for (int i = 0; i < kStateWords; ++i) out[i] = temper(state[i]);
}

void regenerate_and_temper(std::uint32_t* state, std::uint32_t* out) {
  regenerate_and_temper_body(state, out);
}

#ifdef VXLFORGE_HAVE_AVX2_KERNELS
__attribute__((target("avx2"))) void regenerate_and_temper_wide(std::uint32_t* state,
                                                                std::uint32_t* out) {
  regenerate_and_temper_body(state, out);
}
#endif

#ifdef VXLFORGE_HAVE_AVX512_KERNELS
__attribute__((target("avx2,avx512f,avx512vl"))) void regenerate_and_temper_avx512(
    std::uint32_t* state, std::uint32_t* out) {
  regenerate_and_temper_body(state, out);
}
#endif

// A wide form regenerates the same scrambled state as the plain one:
// every state word and every tempered word must agree.
[[maybe_unused]] bool regeneration_agrees(void (*wide)(std::uint32_t*, std::uint32_t*)) {
  std::uint32_t plain_state[kStateWords];
  std::uint32_t wide_state[kStateWords];
  std::uint32_t plain_out[kStateWords];
  std::uint32_t wide_out[kStateWords];
  std::uint32_t word = 0x2545F491u;
  for (int i = 0; i < kStateWords; ++i) {
    word = word * 1664525u + 1013904223u;
    plain_state[i] = wide_state[i] = word ^ (word >> 13);
  }
  for (int round = 0; round < 2; ++round) {
    regenerate_and_temper(plain_state, plain_out);
    wide(wide_state, wide_out);
  }
  return std::memcmp(plain_state, wide_state, sizeof(plain_state)) == 0 &&
         std::memcmp(plain_out, wide_out, sizeof(plain_out)) == 0;
}

bool wide_regeneration_agrees() {
#ifdef VXLFORGE_HAVE_AVX2_KERNELS
  return regeneration_agrees(regenerate_and_temper_wide);
#else
  return false;
#endif
}

constinit const WideKernelGate wide_regeneration("generator regeneration",
                                                 wide_regeneration_agrees);

// The AVX-512 form against the plain one, the same way.
bool avx512_regeneration_agrees() {
#ifdef VXLFORGE_HAVE_AVX512_KERNELS
  return regeneration_agrees(regenerate_and_temper_avx512);
#else
  return false;
#endif
}

constinit const WideKernelGate avx512_regeneration("generator regeneration, AVX-512",
                                                   avx512_regeneration_agrees,
                                                   KernelIsa::kAvx512);

}  // namespace

void rng_seed(std::int32_t seed) {
  // The LCG is borrowed for seeding and its own state put back, so seeding
  // depends on the seed alone.
  const std::uint32_t saved = lcg_swap_state(static_cast<std::uint32_t>(seed));
  for (int i = 0; i < kStateWords; ++i) mt_state[i] = lcg_next();
  lcg_swap_state(saved);
  for (int round = 0; round < 8; ++round) mt_regenerate(mt_state);
  const std::uint64_t drawn = rng_draw_count();
  position = kStateWords;
  draws_before_position = drawn - position;
}

void rng_state::refill() {
  if (position > rng_state::kWords) rng_seed(0);
  if (position == rng_state::kWords) {
#if defined(VXLFORGE_HAVE_AVX512_KERNELS)
    // The AVX-512 form only where the AVX2 one passed its check as well.
    if (!wide_regeneration.open()) {
      regenerate_and_temper(mt_state, tempered);
    } else if (avx512_regeneration.open()) {
      regenerate_and_temper_avx512(mt_state, tempered);
    } else {
      regenerate_and_temper_wide(mt_state, tempered);
    }
#elif defined(VXLFORGE_HAVE_AVX2_KERNELS)
    if (wide_regeneration.open()) {
      regenerate_and_temper_wide(mt_state, tempered);
    } else {
      regenerate_and_temper(mt_state, tempered);
    }
#else
    regenerate_and_temper(mt_state, tempered);
#endif
    position = 0;
    draws_before_position += rng_state::kWords;
  }
}

std::uint64_t rng_draw_count() { return draws_before_position + position; }

void rng_forget_seed() {
  const std::uint64_t drawn = rng_draw_count();
  position = kNeverSeeded;
  draws_before_position = drawn - position;
  seed_lcg = 0;
}

}  // namespace vxlforge
