#include "mapgen/volume.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

#include "base/huge_pages.h"
#include "mapgen/shared_fields.h"

namespace vxlforge {

// Whole huge pages for the largest arrays, each a whole number of them
// long (see fixed_arrays.h). Of colour_blocks only the blocks handed out
// are touched, in order from the start, so only the first huge page or
// two of it take memory.
VXLFORGE_HUGE_PAGE_ALIGNED std::uint64_t column_solid[MAP_COLUMNS];
VXLFORGE_HUGE_PAGE_ALIGNED ColumnColours column_colours[MAP_COLUMNS];
VXLFORGE_HUGE_PAGE_ALIGNED Colour colour_blocks[MAP_COLUMNS][MAP_Z];

namespace {

std::int32_t blocks_handed_out = 0;

void make_whole(ColumnColours& column, Colour c) {
  column.whole = c;
  column.kind = ColumnColours::kWhole;
}

// The column's own 64 colours, holding what it showed before.
Colour* own_colours(ColumnColours& column) {
  if (column.block == 0) column.block = ++blocks_handed_out;
  Colour* block = colour_blocks[column.block - 1];
  if (column.kind != ColumnColours::kOwn) {
    for (int z = 0; z < MAP_Z; ++z) block[z] = colour_in_column(column, z);
    column.kind = ColumnColours::kOwn;
  }
  return block;
}

void paint(ColumnColours& column, int z0, int z1, Colour c) {
  if (z0 == 0 && z1 == MAP_Z - 1) {
    make_whole(column, c);
    return;
  }
  // A span that covers the one already there replaces it.
  if (column.kind == ColumnColours::kWhole ||
      (column.kind == ColumnColours::kSpan && z0 <= column.span_first &&
       z1 >= column.span_last)) {
    column.span = c;
    column.span_first = static_cast<std::uint8_t>(z0);
    column.span_last = static_cast<std::uint8_t>(z1);
    column.kind = ColumnColours::kSpan;
    return;
  }
  Colour* block = own_colours(column);
  std::fill(block + z0, block + z1 + 1, c);
}

}  // namespace

void set_column_colour(int x, int y, Colour c) { make_whole(column_colours[column_index(x, y)], c); }

void clear_colours() {
  std::fill(std::begin(column_colours), std::end(column_colours), ColumnColours{});
  blocks_handed_out = 0;
}

void voxelise_rows(int first, int last) {
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
      column_top[column_index(x, y)] = static_cast<std::uint8_t>(top);
      column_solid[column_index(x, y)] = (std::uint64_t{2} << top) - 1u;  // z = 0..top
    }
  }
}

void fill_column(int x, int y, int z0, int z1, Colour c) {
  if (x < 0 || x >= MAP_X || y < 0 || y >= MAP_Y) return;
  if (z0 < 0) z0 = 0;
  if (z1 > MAP_Z - 1) z1 = MAP_Z - 1;
  if (z1 < z0) return;
  const int i = column_index(x, y);
  paint(column_colours[i], z0, z1, c);
  const std::uint64_t span = (~std::uint64_t{0} >> (MAP_Z - 1 - z1)) & (~std::uint64_t{0} << z0);
  column_solid[i] = c != 0 ? column_solid[i] | span : column_solid[i] & ~span;
}

}  // namespace vxlforge
