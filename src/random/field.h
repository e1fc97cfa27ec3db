#ifndef VXLFORGE_RANDOM_FIELD_H_
#define VXLFORGE_RANDOM_FIELD_H_

#include <array>

namespace vxlforge {

// A Field has one cell per map column: 512 rows (the map's x) by 512
// columns (the map's y), row-major, so cell (r, c) sits at r * 512 + c.
constexpr int FIELD_SIZE = 512;
constexpr int FIELD_CELLS = FIELD_SIZE * FIELD_SIZE;

using Field = std::array<float, FIELD_CELLS>;

inline int field_index(int r, int c) { return r * FIELD_SIZE + c; }

}  // namespace vxlforge

#endif  // VXLFORGE_RANDOM_FIELD_H_
