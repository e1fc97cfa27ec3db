#ifndef VXLFORGE_MAPGEN_SURFACE_DETAIL_H_
#define VXLFORGE_MAPGEN_SURFACE_DETAIL_H_

#include "mapgen/volume.h"
#include "random/field.h"

namespace vxlforge {

// The pass's own Fields, kept for the whole run like every Field.
extern Field start_falloff_field;      // 0.25 in the start regions, 1 from 24 cells away
extern Field floor_gate_field;         // floor-level cover only where >= 0
extern Field land_cover_field;         // raised ground: chance and lowest height factor
extern Field floor_cover_field;        // floor level: the same, before gate and y factor
extern Field land_span_fine_field;     // cover heights, raised ground
extern Field land_span_coarse_field;
extern Field floor_span_fine_field;    // cover heights, floor level
extern Field floor_span_coarse_field;
extern Field cover_red_field;          // colours of noise-coloured cover
extern Field cover_green_field;
extern Field cover_blue_field;

// Dresses the coloured terrain: per column (x outer, y inner) maybe a cover
// span standing on the ground (lifted clear of roads, thinned near the start
// regions) and now and then a clump of up to 3 x 3 columns. Reads
// column_top and road_mask; writes voxels only through fill_column. Every
// column makes its draws in one fixed order whatever it places, so the rest
// of the stream never depends on what was written.
void add_surface_detail();

// The steps of the pass, in the order it runs them.

// Falloff of the cover chance around the two start regions (x up to 128 and
// x from 384, y from 128 to 384): 0.25 inside, rising with the squared
// distance to 1 at 24 cells. Draws nothing.
void build_start_falloff();

// The same for rows first..last-1.
void build_start_falloff_rows(int first, int last);

// The cover span and the chance of a clump for one column, with its draws
// in their fixed order: brightness, lower end, height Field, height factor,
// colour source (three more when drawn), placement (two more on floor-level
// ground when placed), clump test, then the clump's own.
void dress_column(int x, int y);

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
