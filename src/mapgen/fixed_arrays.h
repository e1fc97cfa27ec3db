#ifndef VXLFORGE_MAPGEN_FIXED_ARRAYS_H_
#define VXLFORGE_MAPGEN_FIXED_ARRAYS_H_

#include <span>

#include "base/huge_pages.h"

namespace vxlforge {

// The big fixed arrays of a run are laid out for 2 MiB pages: a run writes
// nearly all of them, and faulting them in 4 KiB at a time costs the
// kernel more than the writes. Each region below is one whole object that
// starts and ends on a huge-page boundary where the system offers huge
// pages, so no small variable can share a page with them: a page that one
// has written before the advice keeps small pages. height_field,
// column_top and road_mask, 1.5 MiB together, are members of one such
// object, which makes the layout independent of link order.

// Every big fixed array's region: the Volume's column_solid,
// column_colours and colour_blocks, and the object that holds
// height_field, column_top and road_mask.
std::span<const FixedArray> fixed_array_regions();

// Asks for huge pages for every region (see advise_huge_pages). Call at
// the start of a run, before anything writes the arrays; calling again
// changes nothing.
void advise_fixed_arrays();

}  // namespace vxlforge

#endif  // VXLFORGE_MAPGEN_FIXED_ARRAYS_H_
