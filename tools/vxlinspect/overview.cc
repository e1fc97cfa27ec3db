#include "vxlinspect/overview.h"

#include <vector>

#include "mapgen/volume.h"
#include "vxlinspect/grid_font.h"

namespace vxlforge {

namespace {

constexpr int kSquare = 64;
constexpr int kSquares = MAP_X / kSquare;

// The start regions, in columns: [x0, x1) x [y0, y1).
struct Region {
  int x0, x1, y0, y1;
  const std::uint8_t* colour;
};
constexpr Region kRegions[2] = {
    {0, 128, 128, 384, kLeftRegionOutline},
    {384, 512, 128, 384, kRightRegionOutline},
};

std::uint8_t* pixel(Preview* p, int px, int py) {
  return &p->rgb[(static_cast<std::size_t>(py) * p->width + px) * 3];
}

void paint(Preview* p, int px, int py, const std::uint8_t* colour) {
  if (px < 0 || py < 0 || px >= p->width || py >= p->height) return;
  std::uint8_t* q = pixel(p, px, py);
  q[0] = colour[0];
  q[1] = colour[1];
  q[2] = colour[2];
}

void fill(Preview* p, int x0, int y0, int x1, int y1, const std::uint8_t* colour) {
  for (int py = y0; py < y1; ++py) {
    for (int px = x0; px < x1; ++px) paint(p, px, py, colour);
  }
}

void lighten(Preview* p, int px, int py) {
  std::uint8_t* q = pixel(p, px, py);
  for (int k = 0; k < 3; ++k) q[k] = static_cast<std::uint8_t>((q[k] + 255) / 2);
}

void draw_grid(int scale, Preview* p) {
  // Which pixel rows (and, the map being square, columns) lie on a line:
  // a pixel where two lines cross is lightened once, like any other.
  const int width = overview_line_width(scale);
  std::vector<bool> on_line(static_cast<std::size_t>(p->width), false);
  for (int k = 1; k < kSquares; ++k) {
    const int first = kSquare * k * scale - width / 2;
    for (int i = first; i < first + width; ++i) on_line[i] = true;
  }
  for (int py = 0; py < p->height; ++py) {
    for (int px = 0; px < p->width; ++px) {
      if (on_line[px] || on_line[py]) lighten(p, px, py);
    }
  }
}

void draw_regions(int scale, Preview* p) {
  const int band = overview_outline_width(scale);
  for (const Region& r : kRegions) {
    const int x0 = r.x0 * scale, x1 = r.x1 * scale, y0 = r.y0 * scale, y1 = r.y1 * scale;
    fill(p, x0, y0, x1, y0 + band, r.colour);
    fill(p, x0, y1 - band, x1, y1, r.colour);
    fill(p, x0, y0, x0 + band, y1, r.colour);
    fill(p, x1 - band, y0, x1, y1, r.colour);
  }
}

bool ink(const Glyph& glyph, int col, int row) {
  if (col < 0 || row < 0 || col >= kGlyphWidth || row >= kGlyphHeight) return false;
  return (glyph[row] >> (kGlyphWidth - 1 - col)) & 1u;
}

// Font pixel (col, row) is scale x scale pixels from (left, top).
void draw_label(char c, int left, int top, int scale, Preview* p) {
  const Glyph& glyph = *grid_glyph(c);
  for (int row = -1; row <= kGlyphHeight; ++row) {
    for (int col = -1; col <= kGlyphWidth; ++col) {
      bool edge = false;
      for (int dr = -1; dr <= 1; ++dr) {
        for (int dc = -1; dc <= 1; ++dc) edge = edge || ink(glyph, col + dc, row + dr);
      }
      const std::uint8_t* colour = ink(glyph, col, row) ? kLabelInk : edge ? kLabelEdge : nullptr;
      if (colour == nullptr) continue;
      fill(p, left + col * scale, top + row * scale, left + (col + 1) * scale,
           top + (row + 1) * scale, colour);
    }
  }
}

void draw_labels(int scale, Preview* p) {
  for (int k = 0; k < kSquares; ++k) {
    const int middle = (kSquare * k + kSquare / 2) * scale;
    draw_label(static_cast<char>('A' + k), middle - kGlyphWidth * scale / 2, 2 * scale, scale, p);
    draw_label(static_cast<char>('1' + k), 3 * scale, middle - kGlyphHeight * scale / 2, scale, p);
  }
}

}  // namespace

void draw_overview_marks(int scale, Preview* preview) {
  draw_grid(scale, preview);
  draw_regions(scale, preview);
  draw_labels(scale, preview);
}

}  // namespace vxlforge
