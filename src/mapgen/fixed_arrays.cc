#include "mapgen/fixed_arrays.h"

#include <array>
#include <cstdint>

#include "mapgen/roads.h"
#include "mapgen/shared_fields.h"
#include "mapgen/volume.h"

namespace vxlforge {

namespace {

// The per-column arrays too small to fill a huge page each, together.
// The alignment also rounds the size up to whole huge pages.
struct VXLFORGE_HUGE_PAGE_ALIGNED ColumnArrays {
  Field height_field;
  std::uint8_t column_top[MAP_COLUMNS];
  std::uint8_t road_mask[MAP_COLUMNS];
};

ColumnArrays column_arrays;

}  // namespace

Field& height_field = column_arrays.height_field;
std::uint8_t (&column_top)[MAP_COLUMNS] = column_arrays.column_top;
std::uint8_t (&road_mask)[MAP_COLUMNS] = column_arrays.road_mask;

std::span<const FixedArray> fixed_array_regions() {
  static const std::array<FixedArray, 4> regions = {{
      {column_solid, sizeof(column_solid)},
      {column_colours, sizeof(column_colours)},
      {colour_blocks, sizeof(colour_blocks)},
      {&column_arrays, sizeof(column_arrays)},
  }};
  return regions;
}

void advise_fixed_arrays() { advise_huge_pages(fixed_array_regions()); }

}  // namespace vxlforge
