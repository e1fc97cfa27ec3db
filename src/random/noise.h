#ifndef VXLFORGE_RANDOM_NOISE_H_
#define VXLFORGE_RANDOM_NOISE_H_

#include <cstdint>

#include "random/field.h"

namespace vxlforge {

// Gradient noise and the Field operations built on it. Nothing here draws
// random numbers: callers draw the offsets and pass them in. Every function
// is bit-exact: each intermediate value is rounded to single precision at a
// fixed point, because a seed's map depends on where those roundings stand.

// 512 entries: a permutation of 0..255, twice over.
extern const int perm_table[512];
// 64 gradient numbers 0..11, indexed by a corner hash's low six bits.
extern const std::uint8_t grad_index_table[64];
// The twelve cube-edge gradient directions.
extern const float grad_basis[12][3];

// 3-D gradient noise with a quintic fade, about -1.2..1.2, 0 at every
// lattice point. A wrap period p makes that axis periodic (power-of-two p up
// to 256; p >= 256 acts as 256; p = 0 leaves the axis unwrapped). Callers
// pass non-negative coordinates and keep an unwrapped coordinate below 255.
double noise3(float x, float y, float z, std::int32_t wrap_x,
              std::int32_t wrap_y, std::int32_t wrap_z);

// Overwrites every cell of `field` with one octave: cell (r, c) takes the
// noise at (r * cells_x / 512 + offset_x, c * cells_y / 512 + offset_y,
// offset_z), wrapping with periods cells_x and cells_y so the Field joins
// seamlessly at its edges, mapped onto lo..hi; `sharpen` blends the linear
// mapping toward a cubic one that pulls values toward lo. This is the plain
// per-cell reference.
void fill_noise_field(Field& field, std::int32_t cells_x, std::int32_t cells_y,
                      float lo, float hi, float sharpen, float offset_x,
                      float offset_y, float offset_z);

// dst = k * src + dst, cell by cell.
void field_add_scaled(Field& dst, const Field& src, float k);

// The same for `count` values kept elsewhere: dst[i] = k * src[i] + dst[i].
void add_scaled(float* dst, const float* src, float k, int count);

// v clamped to 0..1, then eased with 3v^2 - 2v^3.
double smoothstep01(float v);

}  // namespace vxlforge

#endif  // VXLFORGE_RANDOM_NOISE_H_
