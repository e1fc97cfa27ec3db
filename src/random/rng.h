#ifndef VXLFORGE_RANDOM_RNG_H_
#define VXLFORGE_RANDOM_RNG_H_

#include <cstdint>

namespace vxlforge {

// The one random generator of a run: a 624-word twister whose state is
// filled from a small scrambling LCG and then regenerated eight times before
// the first draw. Every pass draws from it in a fixed order, so a map is a
// function of its seed and of that order alone.

// Restarts the sequence from `seed` (its bit pattern: -1 and 4294967295 are
// the same seed). The result never depends on earlier seedings or draws.
void rng_seed(std::int32_t seed);

// The generator's state, shared with the inline draws below. Not for use
// elsewhere.
namespace rng_state {
constexpr unsigned kWords = 624;
extern std::uint32_t tempered[kWords];  // the state words, tempered
extern unsigned position;  // next word; kWords: regenerate first; above: never seeded
// Words drawn since the process started, less `position`: counting draws
// this way costs a draw nothing.
extern std::uint64_t draws_before_position;
// Seeds with 0 when never seeded, regenerates, and restarts at word 0.
void refill();
}  // namespace rng_state

// The draws are inline: the per-column loops make millions of them, and a
// constant range then divides by a constant.

// Next tempered 32-bit word. A draw before any seeding seeds with 0 first.
inline std::uint32_t rng_next() {
  if (rng_state::position >= rng_state::kWords) [[unlikely]] rng_state::refill();
  return rng_state::tempered[rng_state::position++];
}

// One word scaled exactly to [0, 1): word / 2^32, in double precision.
inline double rng_unit() { return static_cast<double>(rng_next()) * 2.3283064365386963e-10; }

// lo + (word mod (hi - lo + 1)), all in wrapping 32-bit arithmetic, for
// lo <= hi. Takes one word even when lo == hi; the modulo bias is part of the
// sequence.
inline std::int32_t rng_range(std::int32_t lo, std::int32_t hi) {
  const std::uint32_t d = rng_next();
  const std::uint32_t span = static_cast<std::uint32_t>(hi) - static_cast<std::uint32_t>(lo) + 1u;
  // The full 32-bit range wraps the span to 0; every word is then in range,
  // and taking it as it is avoids a division by zero.
  const std::uint32_t offset = span == 0 ? d : d % span;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(lo) + offset);
}

// Words drawn since the process started; lets tests check how many draws a
// pass consumes.
std::uint64_t rng_draw_count();

// Puts the generator back in its start-up state, as if never seeded, for
// tests that check what a draw before seeding does.
void rng_forget_seed();

}  // namespace vxlforge

#endif  // VXLFORGE_RANDOM_RNG_H_
