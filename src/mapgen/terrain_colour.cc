#include "mapgen/terrain_colour.h"

#include <algorithm>
#include <cmath>

#include "mapgen/shared_fields.h"
#include "random/noise.h"
#include "random/parallel_rows.h"

namespace vxlforge {

namespace {

constexpr float kShadeScale = 0.7f;  // single precision on purpose

double clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

// Light from the low-x side, 53.13 degrees above the horizon, against the
// normal of the backward differences; 0.3 of ambient light underneath.
double shade_of(float d1, float s) {
  const double light =
      clamp01((0.6 * static_cast<double>(d1) + 0.8) / std::sqrt(static_cast<double>(s) + 1.0));
  return clamp01(static_cast<double>(kShadeScale) * light + 0.3);
}

int raised_component(double base_start, double base_gain, float height_t,
                     float slope_t, double shade) {
  const int base = static_cast<int>(base_start + base_gain * static_cast<double>(height_t));
  const int pulled = static_cast<int>(static_cast<double>(base) +
                                      static_cast<double>(120 - base) * static_cast<double>(slope_t));
  return static_cast<int>(static_cast<double>(pulled) * shade);
}

Colour floor_colour(float h) {
  const double depth_w = clamp01(1.0 - (static_cast<double>(h) + 0.5) * 0.3333333333333333);
  return make_colour(static_cast<int>(144.0 - 14.0 * depth_w),
                     static_cast<int>(160.0 + 10.0 * depth_w),
                     static_cast<int>(104.0 + 96.0 * depth_w));
}

}  // namespace

Colour terrain_column_colour(float h, float height_west, float height_south,
                             bool floor_level, std::int32_t low,
                             std::int32_t high) {
  if (floor_level) return floor_colour(h);
  const float d1 = static_cast<float>(static_cast<double>(h) - static_cast<double>(height_west));
  const double d2 = static_cast<double>(h) - static_cast<double>(height_south);
  const float s = static_cast<float>(d2 * d2 + static_cast<double>(d1) * static_cast<double>(d1));
  const float height_t = static_cast<float>(smoothstep01(static_cast<float>(
      (static_cast<double>(h) - static_cast<double>(static_cast<float>(low))) /
      static_cast<double>(high - low))));
  const float slope_t = static_cast<float>(smoothstep01(static_cast<float>(static_cast<double>(s) * 0.625)));
  const double shade = shade_of(d1, s);
  return make_colour(raised_component(144.0, 76.0, height_t, slope_t, shade),
                     raised_component(160.0, 60.0, height_t, slope_t, shade),
                     raised_component(104.0, 116.0, height_t, slope_t, shade));
}

void colour_terrain(std::int32_t low, std::int32_t high) {
  // Every column depends only on the heights and its own top, so rows of x
  // can be coloured in parallel.
  for_row_slices(MAP_X, core_count(), [low, high](int, int first, int last) {
    for (int x = first; x < last; ++x) {
      for (int y = 0; y < MAP_Y; ++y) {
        set_column_colour(x, y,
                          terrain_column_colour(height_field[field_index(x, y)],
                                                height_field[field_index((x - 1) & 511, y)],
                                                height_field[field_index(x, (y - 1) & 511)],
                                                column_top[column_index(x, y)] == 0, low, high));
      }
    }
  });
}

}  // namespace vxlforge
