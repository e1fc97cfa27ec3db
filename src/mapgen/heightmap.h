#ifndef VXLFORGE_MAPGEN_HEIGHTMAP_H_
#define VXLFORGE_MAPGEN_HEIGHTMAP_H_

#include <memory>

#include "mapgen/stage_observer.h"

namespace vxlforge {

// The first generation pass. Makes its 24 draws first, in their fixed
// order, then builds height_field from twelve octaves of noise and a fixed
// base shape (a ramp falling along y and two raised ellipses around the
// start regions), voxelises it into the Volume and hands over
// Stage::kVoxelised to `observer`, adds a last relief that only the
// colouring sees, and colours the terrain.
void build_heightmap(const StageObserver& observer = {});

// The heights at which the terrain colouring starts and ends its ramp.
constexpr int kTerrainColourLow = 4;
constexpr int kTerrainColourHigh = 32;

// The same pass in steps on chunks of rows, for a caller that schedules
// them itself, overlapping them with later passes. The steps of different
// chunks are independent and may run on any threads in any order; for each
// chunk, shape_rows comes before add_colour_relief.
class HeightmapPass {
 public:
  static constexpr int kChunks = 16;
  static constexpr int kChunkRows = 512 / kChunks;

  // Makes the pass's 24 draws.
  HeightmapPass();
  ~HeightmapPass();

  // Rows of `chunk` up to the voxelising: height_field holds what voxelise
  // read, and column_top and column_solid the bare terrain.
  void shape_rows(int chunk) const;

  // Adds the relief that only the colouring sees to the chunk's rows of
  // height_field. The colouring of row x (colour_terrain_rows, with
  // kTerrainColourLow and kTerrainColourHigh) reads rows x and x - 1 (row
  // 511 for row 0), so it waits for this step of both chunks.
  void add_colour_relief(int chunk) const;

  struct Octaves;  // the pass's twelve octaves

 private:
  std::unique_ptr<const Octaves> octaves_;
};

// The steps of the pass that work on one column.

// The base shape of column (x, y): a ramp from 4 at y = 0 to -3.984375 at
// y = 511, plus two ellipses of height 4 centred on (64, 256) and
// (448, 256), plus the base relief `relief` of that column.
float base_shape_cell(int x, int y, float relief);

// The height of a column from its base shape and its detail: low ground
// (base 0 or less) keeps a quarter of the detail, high ground (base 4 or
// more) all of it, smoothly in between; held at 25 at most.
float blended_height(float base, float detail);

}  // namespace vxlforge

#endif  // VXLFORGE_MAPGEN_HEIGHTMAP_H_
