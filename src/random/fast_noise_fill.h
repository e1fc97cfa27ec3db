#ifndef VXLFORGE_RANDOM_FAST_NOISE_FILL_H_
#define VXLFORGE_RANDOM_FAST_NOISE_FILL_H_

#include <cstdint>

#include "random/field.h"

namespace vxlforge {

// The same octave as fill_noise_field, bit for bit, computed faster: what
// depends only on the column, only on the row or only on the fill is worked
// out once instead of per cell; the corner gradients are kept while the
// lattice row stays the same; rows are shared out over `threads` threads
// (every cell is independent, so the result cannot depend on the count).
// Every value is rounded where the reference rounds it.
void fill_noise_field_fast(Field& field, std::int32_t cells_x, std::int32_t cells_y,
                           float lo, float hi, float sharpen, float offset_x,
                           float offset_y, float offset_z, int threads);

// As above, on as many threads as the machine has cores.
void fill_noise_field_fast(Field& field, std::int32_t cells_x, std::int32_t cells_y,
                           float lo, float hi, float sharpen, float offset_x,
                           float offset_y, float offset_z);

}  // namespace vxlforge

#endif  // VXLFORGE_RANDOM_FAST_NOISE_FILL_H_
