#ifndef VXLFORGE_MAPGEN_SURFACE_DETAIL_H_
#define VXLFORGE_MAPGEN_SURFACE_DETAIL_H_

#include "mapgen/volume.h"

namespace vxlforge {

// Dresses the coloured terrain: per column (x outer, y inner) maybe a cover
// span standing on the ground (lifted clear of roads, thinned near the start
// regions) and now and then a clump of up to 3 x 3 columns. Reads
// column_top and road_mask; writes voxels only through fill_column. Every
// column makes its draws in one fixed order whatever it places, so the rest
// of the stream never depends on what was written.
void add_surface_detail();

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
