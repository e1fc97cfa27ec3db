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

// Next tempered 32-bit word. A draw before any seeding seeds with 0 first.
std::uint32_t rng_next();

// One word scaled exactly to [0, 1): word / 2^32, in double precision.
double rng_unit();

// lo + (word mod (hi - lo + 1)), all in wrapping 32-bit arithmetic, for
// lo <= hi. Takes one word even when lo == hi; the modulo bias is part of the
// sequence.
std::int32_t rng_range(std::int32_t lo, std::int32_t hi);

// Words drawn since the process started; lets tests check how many draws a
// pass consumes.
std::uint64_t rng_draw_count();

// Puts the generator back in its start-up state, as if never seeded, for
// tests that check what a draw before seeding does.
void rng_forget_seed();

}  // namespace vxlforge

#endif  // VXLFORGE_RANDOM_RNG_H_
