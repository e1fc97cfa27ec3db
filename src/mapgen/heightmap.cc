#include "mapgen/heightmap.h"

#include <algorithm>

#include "mapgen/shared_fields.h"
#include "mapgen/terrain_colour.h"
#include "mapgen/volume.h"
#include "random/fast_noise_fill.h"
#include "random/noise.h"
#include "random/parallel_rows.h"
#include "random/rng.h"

namespace vxlforge {

namespace {

constexpr float kMaxBlendedHeight = 25.0f;
constexpr float kBumpScale = 0.00015625f;  // single precision on purpose

// Octaves of the base relief and detail stages draw all three offsets,
// z first, then y, then x.
void fill_octave(Field& field, int cells, float lo, float hi, float sharpen) {
  const float offset_z = static_cast<float>(rng_unit() * 64.0);
  const float offset_y = static_cast<float>(rng_unit() * 256.0);
  const float offset_x = static_cast<float>(rng_unit() * 256.0);
  fill_noise_field_fast(field, cells, cells, lo, hi, sharpen, offset_x, offset_y, offset_z);
}

// Octaves of the two relief stages draw only their third coordinate.
void fill_relief_octave(Field& field, int cells, float lo, float hi) {
  const float offset_z = static_cast<float>(rng_unit() * 64.0);
  fill_noise_field_fast(field, cells, cells, lo, hi, 0.0f, 0.0f, 0.0f, offset_z);
}

void add_base_relief() {
  fill_octave(detail_field, 2, -3.0f, 3.0f, 0.0f);
  fill_octave(height_field, 4, -5.0f, 5.0f, 0.0f);
  field_add_scaled(detail_field, height_field, 1.0f);
  fill_octave(height_field, 8, -6.0f, 6.0f, 0.0f);
  field_add_scaled(detail_field, height_field, 1.0f);
  fill_octave(height_field, 16, -4.0f, 4.0f, 0.0f);
  field_add_scaled(detail_field, height_field, 1.0f);
}

// 4 at the ellipse's centre, falling linearly in the squared distance to
// (nearly) 0 at 6400; computed literally, so beyond it a residue of about
// 9e-8 remains.
double bump(int d) {
  return 4.0 - static_cast<double>(std::min(d, 6400)) * static_cast<double>(kBumpScale) * 4.0;
}

// Cells are independent in this and the blend, so rows run in parallel.
void build_base_shape() {
  for_row_slices(FIELD_SIZE, core_count(), [](int, int first, int last) {
    for (int x = first; x < last; ++x) {
      for (int y = 0; y < FIELD_SIZE; ++y) {
        base_field[field_index(x, y)] = base_shape_cell(x, y, detail_field[field_index(x, y)]);
      }
    }
  });
}

void add_detail() {
  detail_field.fill(0.0f);
  fill_octave(height_field, 32, 0.0f, 8.0f, 0.5f);
  field_add_scaled(detail_field, height_field, 1.0f);
  fill_octave(height_field, 64, 0.0f, 3.0f, 0.0f);
  field_add_scaled(detail_field, height_field, 1.0f);
}

void blend_detail_into_base() {
  for_row_slices(FIELD_SIZE, core_count(), [](int, int first, int last) {
    for (int i = first * FIELD_SIZE; i < last * FIELD_SIZE; ++i) {
      height_field[i] = blended_height(base_field[i], detail_field[i]);
    }
  });
}

}  // namespace

float base_shape_cell(int x, int y, float relief) {
  const double ramp = 4.0 - (static_cast<double>(y) * (1.0 / 512.0)) * 8.0;
  const int h = y / 2;
  const int d1 = (x - 64) * (x - 64) + (h - 128) * (h - 128);
  const int d2 = (x - 448) * (x - 448) + (h - 128) * (h - 128);
  return static_cast<float>((bump(d2) + (ramp + bump(d1))) + static_cast<double>(relief));
}

float blended_height(float base, float detail) {
  const double b = static_cast<double>(base);
  const double weight = smoothstep01(static_cast<float>(b * 0.25)) * 0.75 + 0.25;
  const float h = static_cast<float>(weight * static_cast<double>(detail) + b);
  return h > kMaxBlendedHeight ? kMaxBlendedHeight : h;
}

void add_fine_relief() {
  fill_relief_octave(detail_field, 64, -0.5f, 0.5f);
  fill_relief_octave(base_field, 128, 0.0f, 1.0f);
  field_add_scaled(detail_field, base_field, 1.0f);
  fill_relief_octave(base_field, 256, 0.0f, -1.0f);
  field_add_scaled(detail_field, base_field, 1.0f);
  field_add_scaled(height_field, detail_field, 1.0f);
}

void add_colour_relief() {
  fill_relief_octave(detail_field, 32, 0.0f, 1.0f);
  fill_relief_octave(base_field, 128, 0.0f, 0.2f);
  field_add_scaled(detail_field, base_field, 1.0f);
  fill_relief_octave(base_field, 256, 0.0f, 0.083333336f);
  field_add_scaled(detail_field, base_field, 1.0f);
  field_add_scaled(height_field, detail_field, 2.0f);
}

void build_terrain_heights() {
  add_base_relief();
  build_base_shape();
  add_detail();
  blend_detail_into_base();
  add_fine_relief();
}

void build_heightmap() {
  build_terrain_heights();
  voxelise();
  add_colour_relief();
  colour_terrain(4, 32);
}

}  // namespace vxlforge
