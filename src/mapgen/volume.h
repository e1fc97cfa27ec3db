#ifndef VXLFORGE_MAPGEN_VOLUME_H_
#define VXLFORGE_MAPGEN_VOLUME_H_

#include <cstdint>

#include "random/field.h"

namespace vxlforge {

constexpr int MAP_X = 512;
constexpr int MAP_Y = 512;
constexpr int MAP_Z = 64;
constexpr int MAP_COLUMNS = MAP_X * MAP_Y;
constexpr int MAP_VOXELS = MAP_COLUMNS * MAP_Z;
static_assert(MAP_X == FIELD_SIZE && MAP_Y == FIELD_SIZE,
              "a Field holds one cell per map column");

// 0x80 in the top byte, then red, green and blue bytes. The word 0 means
// air to fill_column.
using Colour = std::uint32_t;

inline Colour make_colour(int red, int green, int blue) {
  return 0x80000000u + static_cast<Colour>(red) * 65536u +
         static_cast<Colour>(green) * 256u + static_cast<Colour>(blue);
}

// A voxel's place in a per-voxel array of the whole map, z fastest.
inline int voxel_index(int x, int y, int z) { return x * 32768 + y * 64 + z; }
inline int column_index(int x, int y) { return x * 512 + y; }

// The map under construction, zero at start-up and kept for the whole run.
// z = 0 is the bottom of a column. A column's solidity is one word, bit z
// set when voxel z is solid: 2 MiB for the map instead of a byte per voxel
// (16 MiB), and the writer finds exposed voxels with shifts and ANDs on
// these words.
extern std::uint64_t column_solid[MAP_COLUMNS];
// The terrain top that voxelise derived, 0..62: a byte holds it, and a
// quarter of the memory is a quarter of the pages to fault in and of the
// cache lines the colouring and the cover pass read. Kept with the other
// per-column arrays, see fixed_arrays.h.
extern std::uint8_t (&column_top)[MAP_COLUMNS];

// 1 when voxel (x, y, z) is solid, 0 when it is air.
inline std::uint8_t voxel_solid(int x, int y, int z) {
  return static_cast<std::uint8_t>((column_solid[column_index(x, y)] >> z) & 1u);
}

// The voxels' colours are kept per column rather than per voxel. The
// colouring gives each column one colour from top to bottom and the cover
// pass then paints one span into most columns, so a column is a colour for
// the whole of it, at most one span of another colour, and, only once a
// second span overlaps the first in part, 64 colours of its own. That holds
// a map's colours in about 4 MiB; a colour word per voxel took 64 MiB,
// which the system had to hand out zeroed and the colouring then wrote in
// full, a fifth of a run's time. Read through voxel_colour.
struct ColumnColours {
  enum Kind : std::uint8_t {
    kWhole,  // every voxel has `whole`
    kSpan,   // voxels span_first..span_last have `span`, the rest `whole`
    kOwn,    // each voxel has its own colour, in block `block` - 1
  };
  Colour whole;
  Colour span;
  std::int32_t block;  // 0: none yet; kept when the column turns whole again
  std::uint8_t span_first;
  std::uint8_t span_last;
  Kind kind;
};
extern ColumnColours column_colours[MAP_COLUMNS];
// The 64 colours of each column of kind kOwn, handed out in order, at most
// one per column. Only the blocks handed out are ever touched.
extern Colour colour_blocks[MAP_COLUMNS][MAP_Z];

inline Colour colour_in_column(const ColumnColours& column, int z) {
  switch (column.kind) {
    case ColumnColours::kWhole:
      break;
    case ColumnColours::kSpan:
      if (z >= column.span_first && z <= column.span_last) return column.span;
      break;
    case ColumnColours::kOwn:
      return colour_blocks[column.block - 1][z];
  }
  return column.whole;
}

// The colour of voxel (x, y, z), inside the Volume.
inline Colour voxel_colour(int x, int y, int z) {
  return colour_in_column(column_colours[column_index(x, y)], z);
}

// Gives all 64 voxels of column (x, y) the colour `c`; solidity is left as
// it is. Columns are independent: different columns may be set on
// different threads at once.
void set_column_colour(int x, int y, Colour c);

// Every voxel's colour back to 0, as at start-up.
void clear_colours();

// Builds column_top and column_solid of rows first..last-1 from
// height_field: the top is the height truncated toward zero and clamped to
// 0..62; z = 0..top become solid, the rest air. Colours are left as they
// were. Rows are independent, so a caller may voxelise them on any threads
// and in any order.
void voxelise_rows(int first, int last);

// Sets voxels z0..z1 (inclusive) of column (x, y) to `c`, solid when c is
// non-zero, air otherwise; nothing when z1 < z0. Voxels outside the Volume
// (a column off the map, z below 0 or above 63) are skipped and the rest of
// the span is written, so callers at the map's edge need no checks. One
// thread at a time.
void fill_column(int x, int y, int z0, int z1, Colour c);

}  // namespace vxlforge

#endif  // VXLFORGE_MAPGEN_VOLUME_H_
