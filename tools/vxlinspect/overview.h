#ifndef VXLFORGE_TOOLS_VXLINSPECT_OVERVIEW_H_
#define VXLFORGE_TOOLS_VXLINSPECT_OVERVIEW_H_

#include <cstdint>

#include "vxlinspect/map_preview.h"

namespace vxlforge {

// What the overview draws over a top view of `scale` pixels per column, so
// that a place can be named as players name it ("C4") and the two start
// regions found at a glance. In drawing order, later marks over earlier:
//
//  1. The grid: lines between the 8 x 8 squares of 64 x 64 columns, across
//     the whole map. Line k = 1..7 covers, across and down, the
//     overview_line_width(scale) pixels from 64 * k * scale -
//     overview_line_width(scale) / 2; each of its pixels is halfway between
//     the top view's pixel and white (rounded down), so it shows on any ground.
//  2. The start regions, x 0..127 and x 384..511 with y 128..383: a band
//     of overview_outline_width(scale) pixels just inside each region's
//     edge, kLeftRegionOutline and kRightRegionOutline.
//  3. The labels, in the 5 x 7 grid font at scale x scale pixels per font
//     pixel: letter A + k (k = 0..7) with its top-left corner at
//     ((64 * k + 32) * scale - 5 * scale / 2, 2 * scale), over the middle of
//     its column of squares; digit 1 + k at (3 * scale, (64 * k + 32) *
//     scale - 7 * scale / 2), beside the middle of its row. Font pixels
//     are kLabelInk; the font pixels around them, inside and outside the
//     glyph's box, that are not ink are kLabelEdge, so the label reads on
//     light and dark ground alike.
constexpr std::uint8_t kLeftRegionOutline[3] = {0xff, 0xff, 0x40};
constexpr std::uint8_t kRightRegionOutline[3] = {0xff, 0x40, 0xff};
constexpr std::uint8_t kLabelInk[3] = {0xff, 0xff, 0xff};
constexpr std::uint8_t kLabelEdge[3] = {0x10, 0x10, 0x10};

inline int overview_line_width(int scale) { return (scale + 1) / 2; }
inline int overview_outline_width(int scale) { return scale < 2 ? 2 : scale; }

// Draws the marks above over `preview`, a top view of the whole map at
// `scale` (1..kMaxPreviewScale).
void draw_overview_marks(int scale, Preview* preview);

}  // namespace vxlforge

#endif  // VXLFORGE_TOOLS_VXLINSPECT_OVERVIEW_H_
