#include "vxlinspect/top_view.h"

#include <algorithm>
#include <vector>

namespace vxlforge {

namespace {

constexpr Colour kBareGrey = 0x80808080;
constexpr double kLowestBrightness = 0.8;
constexpr double kFloatingBrightness = 0.7;

// What the preview needs of one column: the height of its topmost solid
// voxel above the column's bottom (1..64, 0 for an all-air column), that
// voxel's file height, and whether air lies somewhere below its solid run.
struct ColumnTop {
  int surface = 0;
  int top = -1;
  bool overhang = false;
};

ColumnTop column_top_of(const MapVoxels& voxels, int x, int y) {
  ColumnTop c;
  const std::uint8_t* solid = &voxels.solid[map_voxel_index(x, y, 0)];
  int h = 0;
  while (h < MAP_Z && !solid[h]) ++h;
  if (h == MAP_Z) return c;
  c.top = h;
  c.surface = MAP_Z - h;
  while (h < MAP_Z && solid[h]) ++h;
  c.overhang = h < MAP_Z;
  return c;
}

// Mean surface height over the square of side 2 * kReliefRadius + 1 around
// each column, clipped at the map's edges.
constexpr int kReliefRadius = 4;

std::vector<double> smoothed_surface(const std::vector<ColumnTop>& tops) {
  // Summed-area table: one pass, then any box sum in four look-ups.
  std::vector<double> sum(static_cast<std::size_t>(MAP_X + 1) * (MAP_Y + 1), 0.0);
  auto at = [&](int x, int y) -> double& { return sum[y * (MAP_X + 1) + x]; };
  for (int y = 0; y < MAP_Y; ++y) {
    for (int x = 0; x < MAP_X; ++x) {
      at(x + 1, y + 1) = tops[y * MAP_X + x].surface + at(x, y + 1) + at(x + 1, y) - at(x, y);
    }
  }
  std::vector<double> mean(MAP_COLUMNS);
  for (int y = 0; y < MAP_Y; ++y) {
    for (int x = 0; x < MAP_X; ++x) {
      const int x0 = std::max(0, x - kReliefRadius);
      const int y0 = std::max(0, y - kReliefRadius);
      const int x1 = std::min(MAP_X, x + kReliefRadius + 1);
      const int y1 = std::min(MAP_Y, y + kReliefRadius + 1);
      const double total = at(x1, y1) - at(x0, y1) - at(x1, y0) + at(x0, y0);
      mean[y * MAP_X + x] = total / ((x1 - x0) * (y1 - y0));
    }
  }
  return mean;
}

std::uint8_t shade(int component, double factor) {
  const double v = component * factor;
  return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
}

}  // namespace

Preview render_top_view(const MapVoxels& voxels, int scale) {
  std::vector<ColumnTop> tops(MAP_COLUMNS);
  int lowest = MAP_Z;
  int highest = 0;
  for (int y = 0; y < MAP_Y; ++y) {
    for (int x = 0; x < MAP_X; ++x) {
      const ColumnTop c = column_top_of(voxels, x, y);
      tops[y * MAP_X + x] = c;
      if (c.surface == 0) continue;
      lowest = std::min(lowest, c.surface);
      highest = std::max(highest, c.surface);
    }
  }
  // A flat map is all at its highest level.
  const double range = highest > lowest ? highest - lowest : 0.0;
  const std::vector<double> relief = smoothed_surface(tops);

  Preview preview;
  preview.width = MAP_X * scale;
  preview.height = MAP_Y * scale;
  preview.rgb.assign(static_cast<std::size_t>(preview.width) * preview.height * 3, 0);
  for (int y = 0; y < MAP_Y; ++y) {
    for (int x = 0; x < MAP_X; ++x) {
      const ColumnTop& c = tops[y * MAP_X + x];
      if (c.surface == 0) continue;
      const int i = map_voxel_index(x, y, c.top);
      const Colour word = voxels.coloured[i] ? voxels.colour[i] : kBareGrey;
      // Brightness follows the height around the column, over the map's
      // own range, full at the highest: averaged, so that the general lie
      // of the land shows through the column-to-column noise of cover, and
      // only from 0.8 up, so that low ground, often most of a map, keeps
      // its colours. The step toward the light (up-left) gives slopes a
      // lit and a shadowed side. Solid ground that floats over air (cover
      // lifted over a road, say) is drawn darker, so the openings beneath
      // it show through.
      const ColumnTop& lit = (x > 0 && y > 0) ? tops[(y - 1) * MAP_X + x - 1] : c;
      const double height =
          range > 0.0 ? std::clamp((relief[y * MAP_X + x] - lowest) / range, 0.0, 1.0) : 1.0;
      const double height_factor = kLowestBrightness + (1.0 - kLowestBrightness) * height;
      const double slope_factor = 1.0 + 0.05 * std::clamp(c.surface - lit.surface, -4, 4);
      const double overhang_factor = c.overhang ? kFloatingBrightness : 1.0;
      const double f = height_factor * slope_factor * overhang_factor;
      const std::uint8_t r = shade(static_cast<int>((word >> 16) & 0xff), f);
      const std::uint8_t g = shade(static_cast<int>((word >> 8) & 0xff), f);
      const std::uint8_t b = shade(static_cast<int>(word & 0xff), f);
      for (int py = y * scale; py < (y + 1) * scale; ++py) {
        std::uint8_t* row = &preview.rgb[(static_cast<std::size_t>(py) * preview.width) * 3];
        for (int px = x * scale; px < (x + 1) * scale; ++px) {
          row[px * 3] = r;
          row[px * 3 + 1] = g;
          row[px * 3 + 2] = b;
        }
      }
    }
  }
  return preview;
}

}  // namespace vxlforge
