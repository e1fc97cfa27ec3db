#include "mapgen/volume.h"

#include <algorithm>
#include <cstddef>

#include "mapgen/huge_pages.h"
#include "mapgen/shared_fields.h"
#include "random/parallel_rows.h"

namespace vxlforge {

// Whole huge pages for the largest arrays.
alignas(kHugePageSize) std::uint8_t solid[MAP_VOXELS];
alignas(kHugePageSize) Colour colour[MAP_VOXELS];
std::int32_t column_top[MAP_COLUMNS];

void voxelise() {
  // Columns are independent: rows of x are voxelised in parallel.
  for_row_slices(MAP_X, core_count(), [](int, int first, int last) {
    for (int x = first; x < last; ++x) {
      for (int y = 0; y < MAP_Y; ++y) {
        const float h = height_field[column_index(x, y)];
        // Clamped in float before the conversion, so huge heights cannot
        // overflow it; the same as truncating first and clamping after.
        int top;
        if (h < 0.0f) {
          top = 0;
        } else if (h >= 62.0f) {
          top = 62;
        } else {
          top = static_cast<int>(h);
        }
        column_top[column_index(x, y)] = top;
        std::uint8_t* column = &solid[voxel_index(x, y, 0)];
        std::fill(column, column + top + 1, std::uint8_t{1});
        std::fill(column + top + 1, column + MAP_Z, std::uint8_t{0});
      }
    }
  });
}

void fill_column(int x, int y, int z0, int z1, Colour c) {
  if (x < 0 || x >= MAP_X || y < 0 || y >= MAP_Y) return;
  if (z0 < 0) z0 = 0;
  if (z1 > MAP_Z - 1) z1 = MAP_Z - 1;
  if (z1 < z0) return;
  const int base = voxel_index(x, y, 0);
  for (int z = z0; z <= z1; ++z) colour[base + z] = c;
  const std::uint8_t s = c != 0 ? 1 : 0;
  for (int z = z0; z <= z1; ++z) solid[base + z] = s;
}

}  // namespace vxlforge
