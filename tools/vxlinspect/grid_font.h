#ifndef VXLFORGE_TOOLS_VXLINSPECT_GRID_FONT_H_
#define VXLFORGE_TOOLS_VXLINSPECT_GRID_FONT_H_

#include <array>
#include <cstdint>

namespace vxlforge {

// A 5 x 7 bitmap font with just the grid's names, A..H and 1..8: small
// enough to read at one pixel per font pixel, and no font file to ship.
constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;

// Rows top first; in each, bit 4 is the leftmost pixel and bit 0 the
// rightmost.
using Glyph = std::array<std::uint8_t, kGlyphHeight>;

// The glyph of `c`, which must be one of A..H or 1..8; null otherwise.
const Glyph* grid_glyph(char c);

}  // namespace vxlforge

#endif  // VXLFORGE_TOOLS_VXLINSPECT_GRID_FONT_H_
