#ifndef VXLFORGE_MAPGEN_HEIGHTMAP_H_
#define VXLFORGE_MAPGEN_HEIGHTMAP_H_

#include <memory>

namespace vxlforge {

// The first generation pass. Builds height_field from twelve octaves of
// noise and a fixed base shape (a ramp falling along y and two raised
// ellipses around the start regions), voxelises it into the Volume, adds a
// last relief that only the colouring sees, and colours the terrain. Makes
// exactly 24 draws.
void build_heightmap();

// The pass's 24 draws, made in their order when this is constructed: the
// twelve octaves, ready to fill.
class HeightmapDraws {
 public:
  HeightmapDraws();
  ~HeightmapDraws();
  HeightmapDraws(const HeightmapDraws&) = delete;
  HeightmapDraws& operator=(const HeightmapDraws&) = delete;

 private:
  friend void build_heightmap(const HeightmapDraws& draws);
  struct Octaves;
  std::unique_ptr<Octaves> octaves_;
};

// The pass with its draws made beforehand; draws nothing itself. The fills
// read nothing the draws after them could change, so a caller may make
// later draws in between.
void build_heightmap(const HeightmapDraws& draws);

// The pass up to its voxelisation, in order: base relief, base shape,
// detail, blend, clamp at 25, fine relief. height_field then holds what
// voxelise reads.
void build_terrain_heights();

// The base shape of column (x, y): a ramp from 4 at y = 0 to -3.984375 at
// y = 511, plus two ellipses of height 4 centred on (64, 256) and
// (448, 256), plus the base relief `relief` of that column.
float base_shape_cell(int x, int y, float relief);

// The height of a column from its base shape and its detail: low ground
// (base 0 or less) keeps a quarter of the detail, high ground (base 4 or
// more) all of it, smoothly in between; held at 25 at most.
float blended_height(float base, float detail);

// Octaves 10 to 12: twice a relief of 0 to about 1.28 added to
// height_field after voxelisation, so it shifts only the colours.
void add_colour_relief();

}  // namespace vxlforge

#endif  // VXLFORGE_MAPGEN_HEIGHTMAP_H_
