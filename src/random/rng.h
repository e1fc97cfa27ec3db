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

// A word scaled exactly to [0, 1): word / 2^32, in double precision.
inline double word_to_unit(std::uint32_t d) { return static_cast<double>(d) * 2.3283064365386963e-10; }

// lo + (word mod (hi - lo + 1)), all in wrapping 32-bit arithmetic, for
// lo <= hi; the modulo bias is part of the sequence.
inline std::int32_t word_to_range(std::uint32_t d, std::int32_t lo, std::int32_t hi) {
  const std::uint32_t span = static_cast<std::uint32_t>(hi) - static_cast<std::uint32_t>(lo) + 1u;
  // The full 32-bit range wraps the span to 0; every word is then in range,
  // and taking it as it is avoids a division by zero.
  const std::uint32_t offset = span == 0 ? d : d % span;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(lo) + offset);
}

// One word scaled to [0, 1).
inline double rng_unit() { return word_to_unit(rng_next()); }

// One word mapped to lo..hi, for lo <= hi. Takes one word even when
// lo == hi.
inline std::int32_t rng_range(std::int32_t lo, std::int32_t hi) {
  return word_to_range(rng_next(), lo, hi);
}

// The same draws for a loop that makes millions of them. The cursor reads
// the generator's position once and writes it back when it goes away, so
// that the position stays in a register; and it can read words ahead and
// then take them or leave them, so that a loop whose number of draws
// depends on a random bit need not branch on that bit (a branch that the
// processor mispredicts every other time). While a cursor lives, every
// draw must go through it.
class RngCursor {
 public:
  RngCursor() : position_(rng_state::position) {}
  ~RngCursor() { rng_state::position = position_; }
  RngCursor(const RngCursor&) = delete;
  RngCursor& operator=(const RngCursor&) = delete;

  std::uint32_t next() {
    if (position_ >= rng_state::kWords) [[unlikely]] refill();
    return rng_state::tempered[position_++];
  }
  double unit() { return word_to_unit(next()); }
  std::int32_t range(std::int32_t lo, std::int32_t hi) { return word_to_range(next(), lo, hi); }

  // Whether the next `count` words can be read with ahead() before the
  // generator must regenerate.
  bool can_read_ahead(unsigned count) const { return position_ + count <= rng_state::kWords; }
  // The word that the (i + 1)-th next draw would take, not drawn; i below
  // a count that can_read_ahead allows.
  std::uint32_t ahead(unsigned i) const { return rng_state::tempered[position_ + i]; }
  // Draws `count` words, as many calls of next() would, for a count that
  // can_read_ahead allows.
  void skip(unsigned count) { position_ += count; }

 private:
  void refill() {
    rng_state::position = position_;
    rng_state::refill();
    position_ = rng_state::position;
  }

  friend class RngStretch;
  unsigned position_;
};

// A stretch of a cursor's draws that is known to need no regeneration, for a
// loop step whose most draws are known: made only where the cursor
// can_read_ahead that many, it draws without checking for the end of the
// words each time (a compare and a branch per draw, on the loop's critical
// path). The same interface as the cursor; its draws are the cursor's, which
// takes up the position when the stretch goes away. At most the count that
// was checked may be drawn, read ahead or skipped in all.
class RngStretch {
 public:
  explicit RngStretch(RngCursor& cursor) : cursor_(cursor), position_(cursor.position_) {}
  ~RngStretch() { cursor_.position_ = position_; }
  RngStretch(const RngStretch&) = delete;
  RngStretch& operator=(const RngStretch&) = delete;

  std::uint32_t next() { return rng_state::tempered[position_++]; }
  double unit() { return word_to_unit(next()); }
  std::int32_t range(std::int32_t lo, std::int32_t hi) { return word_to_range(next(), lo, hi); }
  // Within the checked count every word can be read ahead.
  bool can_read_ahead(unsigned) const { return true; }
  std::uint32_t ahead(unsigned i) const { return rng_state::tempered[position_ + i]; }
  void skip(unsigned count) { position_ += count; }

 private:
  RngCursor& cursor_;
  unsigned position_;
};

// Words drawn since the process started; lets tests check how many draws a
// pass consumes.
std::uint64_t rng_draw_count();

// Puts the generator back in its start-up state, as if never seeded, for
// tests that check what a draw before seeding does.
void rng_forget_seed();

}  // namespace vxlforge

#endif  // VXLFORGE_RANDOM_RNG_H_
