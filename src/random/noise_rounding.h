#ifndef VXLFORGE_RANDOM_NOISE_ROUNDING_H_
#define VXLFORGE_RANDOM_NOISE_ROUNDING_H_

// The steps of the gradient noise whose rounding points decide a seed's map,
// shared by the per-cell noise (noise.cc) and the fast fill
// (fast_noise_fill.cc), so that the two round at the same places by
// construction. Internal to src/random.

#include <cmath>
#include <cstdint>

namespace vxlforge::noise_rounding {

// 5/6 rounded to single precision (bits 0x3F555555): maps noise values of
// -1.2..1.2 onto 0..1.
constexpr float kNoiseToUnit = 0.8333333f;
constexpr float kInverseFieldSize = 0.001953125f;  // 1/512

// A wrap period p as a lattice mask: p - 1, so power-of-two periods up to
// 256 make the axis periodic; 255 from 256 up, as the permutation has 256
// entries; all bits for 0, which leaves the axis unwrapped.
inline std::int32_t wrap_mask(std::int32_t period) { return period >= 256 ? 255 : period - 1; }

// The step between neighbouring cells of a Field along an axis of `cells`
// lattice cells, rounded to single precision.
inline float lattice_step(std::int32_t cells) {
  return static_cast<float>(static_cast<double>(cells) * static_cast<double>(kInverseFieldSize));
}

// The noise coordinate of Field row or column `index`, rounded.
inline float lattice_coordinate(int index, float step, float offset) {
  return static_cast<float>(static_cast<double>(index) * static_cast<double>(step) +
                            static_cast<double>(offset));
}

// 6t^5 - 15t^4 + 10t^3 in exactly this nesting. `first` is the value of the
// leading t * 6 factor; it differs from t only for a negative coordinate,
// whose fraction may need one bit more than single precision holds.
inline float fade(double first, float t) {
  const double td = static_cast<double>(t);
  return static_cast<float>(((((first * 6.0 - 15.0) * td + 10.0) * td) * td) * td);
}

// ((b - a) * t) + a in double precision, unrounded.
inline double lerp(float a, float b, double t) {
  return ((static_cast<double>(b) - static_cast<double>(a)) * t) + static_cast<double>(a);
}

// One noise coordinate split into lattice cell, fraction and fade weight.
struct AxisPoint {
  std::int32_t cell;  // floor of the coordinate
  float frac;         // coordinate - cell, rounded
  float frac1;        // frac - 1, rounded
  float fade;         // fade of the fraction, rounded
};

inline AxisPoint split(float coordinate) {
  AxisPoint p;
  p.cell = static_cast<std::int32_t>(std::floor(static_cast<double>(coordinate)));
  const double exact = static_cast<double>(coordinate) - static_cast<double>(p.cell);
  p.frac = static_cast<float>(exact);
  p.frac1 = static_cast<float>(static_cast<double>(p.frac) - 1.0);
  p.fade = fade(exact, p.frac);
  return p;
}

// A noise value mapped so that -1.2..1.2 becomes 0..1, unclamped and
// unrounded.
inline double unit_of_noise(double n) { return (n * static_cast<double>(kNoiseToUnit) + 1.0) * 0.5; }

}  // namespace vxlforge::noise_rounding

#endif  // VXLFORGE_RANDOM_NOISE_ROUNDING_H_
