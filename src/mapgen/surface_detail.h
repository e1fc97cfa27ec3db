#ifndef VXLFORGE_MAPGEN_SURFACE_DETAIL_H_
#define VXLFORGE_MAPGEN_SURFACE_DETAIL_H_

#include <memory>

#include "mapgen/volume.h"

namespace vxlforge {

// Dresses the coloured terrain: per column (x outer, y inner) maybe a cover
// span standing on the ground (lifted clear of roads, thinned near the start
// regions) and now and then a clump of up to 3 x 3 columns. Reads
// column_top and road_mask; writes voxels only through fill_column. Every
// column makes its draws in one fixed order whatever it places, so the rest
// of the stream never depends on what was written.
void add_surface_detail();

// The same pass in chunks of rows of x, for a caller that schedules them
// itself, overlapping them with other passes. The column loop is serial,
// as every draw depends on the ones before, but a column reads the pass's
// noise Fields only at its own cell: so the Fields are filled a chunk at a
// time on any core, and the loop dresses each chunk's rows once they are
// ready. The chunks' Fields take turns in a few buffers, so they never take
// more memory than those.
class SurfaceDetailPass {
 public:
  static constexpr int kChunkRows = 8;
  static constexpr int kChunks = MAP_X / kChunkRows;

  // Makes the 33 draws of the pass's noise fills, and keeps room for the
  // Fields of `buffers` chunks.
  explicit SurfaceDetailPass(int buffers);
  ~SurfaceDetailPass();

  // Fills the Fields of `chunk` into buffer chunk % buffers, with the
  // working space of thread slot `slot` (below core_count()). Reads
  // column_top of the chunk's rows, which must be final; the buffer must be
  // free, its chunk `buffers` before dressed. Chunks may be filled on any
  // threads in any order.
  void fill_chunk(int chunk, int slot);

  // Dresses the chunk's rows: in chunk order, one chunk at a time, after
  // the chunk's fill, after build_road_mask, and once the terrain colouring
  // has reached the row after the chunk's last (a clump reaches one row
  // on). Makes the pass's per-column draws.
  void dress_chunk(int chunk);

 private:
  struct Fills;
  std::unique_ptr<Fills> fills_;
};

// The steps of the pass.

// Falloff of the cover chance around the two start regions (x up to 128 and
// x from 384, y from 128 to 384): 0.25 inside, rising with the squared
// distance to 1 at 24 cells.
float start_falloff(int x, int y);

// Row x of what the column loop reads besides the Volume and the road mask:
// the falloff and the pass's noise Fields, each indexed by y. The pass
// fills them a few rows at a time, just before the loop reads those rows,
// and keeps only those rows.
struct CoverNoiseRow {
  const float* falloff;
  const float* floor_gate;   // floor-level cover only where >= 0
  const float* land_cover;   // raised ground: chance and lowest height factor
  const float* floor_cover;  // floor level: the same, before gate and y factor
  const float* land_span_fine;  // cover heights, raised ground
  const float* land_span_coarse;
  const float* floor_span_fine;  // cover heights, floor level
  const float* floor_span_coarse;
  const float* red;  // colours of noise-coloured cover
  const float* green;
  const float* blue;
};

// The cover span and the chance of a clump for one column, with its draws
// in their fixed order: brightness, lower end, height Field, height factor,
// colour source (three more when drawn), placement (two more on floor-level
// ground when placed), clump test, then the clump's own.
void dress_column(int x, int y, const CoverNoiseRow& noise);

// A clump of 1 to 3 by 1 to 3 columns around (x, y), each cell filled with
// a probability of 0.85 from z = 0 up to one or two voxels above `top`, the
// centre column's top. Every cell makes its draws, on the map or not.
void place_clump(int x, int y, int top);

// Base colour plus variation, each component held at 255 so that nothing
// carries into the next byte of the word.
Colour clump_colour(int base_red, int base_green, int base_blue, int red_variation,
                    int green_variation, int blue_variation);

}  // namespace vxlforge

#endif  // VXLFORGE_MAPGEN_SURFACE_DETAIL_H_
