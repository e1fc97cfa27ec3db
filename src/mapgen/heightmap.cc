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

// Every step of the pass up to the colouring works cell by cell, and the
// fills draw nothing: so each stage makes all its draws first, in their
// order, and then runs its steps on chunks of rows that both threads take
// in turn, while the rows are still in the caches. 32 rows of the three
// Fields fit the second-level cache, and a chunk builds the lattice terms
// of each octave afresh, so fewer, larger chunks do less of that.
constexpr int kChunks = 16;

// Octaves of the base relief and detail stages draw all three offsets,
// z first, then y, then x.
NoiseOctave octave(int cells, float lo, float hi, float sharpen) {
  const float offset_z = static_cast<float>(rng_unit() * 64.0);
  const float offset_y = static_cast<float>(rng_unit() * 256.0);
  const float offset_x = static_cast<float>(rng_unit() * 256.0);
  return NoiseOctave(cells, cells, lo, hi, sharpen, offset_x, offset_y, offset_z);
}

// Octaves of the two relief stages draw only their third coordinate.
NoiseOctave relief_octave(int cells, float lo, float hi) {
  const float offset_z = static_cast<float>(rng_unit() * 64.0);
  return NoiseOctave(cells, cells, lo, hi, 0.0f, 0.0f, 0.0f, offset_z);
}

// 4 at the ellipse's centre, falling linearly in the squared distance to
// (nearly) 0 at 6400; computed literally, so beyond it a residue of about
// 9e-8 remains.
double bump(int d) {
  return 4.0 - static_cast<double>(std::min(d, 6400)) * static_cast<double>(kBumpScale) * 4.0;
}

// Octaves 1 to 4 into detail_field, height_field serving as scratch.
struct BaseRelief {
  NoiseOctave o1 = octave(2, -3.0f, 3.0f, 0.0f);
  NoiseOctave o2 = octave(4, -5.0f, 5.0f, 0.0f);
  NoiseOctave o3 = octave(8, -6.0f, 6.0f, 0.0f);
  NoiseOctave o4 = octave(16, -4.0f, 4.0f, 0.0f);

  void add(int first, int last, NoiseOctave::Scratch* s) const {
    o1.fill_rows(detail_field, first, last, s);
    o2.fill_rows(height_field, first, last, s);
    field_add_scaled_rows(detail_field, height_field, 1.0f, first, last);
    o3.fill_rows(height_field, first, last, s);
    field_add_scaled_rows(detail_field, height_field, 1.0f, first, last);
    o4.fill_rows(height_field, first, last, s);
    field_add_scaled_rows(detail_field, height_field, 1.0f, first, last);
  }
};

// Octaves 5 and 6, summed into a cleared detail_field.
struct Detail {
  NoiseOctave o5 = octave(32, 0.0f, 8.0f, 0.5f);
  NoiseOctave o6 = octave(64, 0.0f, 3.0f, 0.0f);

  void add(int first, int last, NoiseOctave::Scratch* s) const {
    std::fill(&detail_field[field_index(first, 0)], &detail_field[field_index(last, 0)], 0.0f);
    o5.fill_rows(height_field, first, last, s);
    field_add_scaled_rows(detail_field, height_field, 1.0f, first, last);
    o6.fill_rows(height_field, first, last, s);
    field_add_scaled_rows(detail_field, height_field, 1.0f, first, last);
  }
};

void build_base_shape(int first, int last) {
  for (int x = first; x < last; ++x) {
    for (int y = 0; y < FIELD_SIZE; ++y) {
      base_field[field_index(x, y)] = base_shape_cell(x, y, detail_field[field_index(x, y)]);
    }
  }
}

void blend_detail_into_base(int first, int last) {
  for (int i = first * FIELD_SIZE; i < last * FIELD_SIZE; ++i) {
    height_field[i] = blended_height(base_field[i], detail_field[i]);
  }
}

// Runs step(first, last, scratch) on every chunk of rows, on all cores.
template <typename Step>
void for_row_chunks(const Step& step) {
  for_row_slices(FIELD_SIZE, kChunks, [&step](int, int first, int last) {
    thread_local NoiseOctave::Scratch scratch;
    step(first, last, &scratch);
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

FineRelief::FineRelief()
    : o7(relief_octave(64, -0.5f, 0.5f)),
      o8(relief_octave(128, 0.0f, 1.0f)),
      o9(relief_octave(256, 0.0f, -1.0f)) {}

void add_fine_relief(const FineRelief& relief, int first, int last,
                     NoiseOctave::Scratch* scratch) {
  relief.o7.fill_rows(detail_field, first, last, scratch);
  relief.o8.fill_rows(base_field, first, last, scratch);
  field_add_scaled_rows(detail_field, base_field, 1.0f, first, last);
  relief.o9.fill_rows(base_field, first, last, scratch);
  field_add_scaled_rows(detail_field, base_field, 1.0f, first, last);
  field_add_scaled_rows(height_field, detail_field, 1.0f, first, last);
}

void add_colour_relief() {
  const NoiseOctave o10 = relief_octave(32, 0.0f, 1.0f);
  const NoiseOctave o11 = relief_octave(128, 0.0f, 0.2f);
  const NoiseOctave o12 = relief_octave(256, 0.0f, 0.083333336f);
  for_row_chunks([&](int first, int last, NoiseOctave::Scratch* s) {
    o10.fill_rows(detail_field, first, last, s);
    o11.fill_rows(base_field, first, last, s);
    field_add_scaled_rows(detail_field, base_field, 1.0f, first, last);
    o12.fill_rows(base_field, first, last, s);
    field_add_scaled_rows(detail_field, base_field, 1.0f, first, last);
    field_add_scaled_rows(height_field, detail_field, 2.0f, first, last);
  });
}

void build_terrain_heights() {
  // The draws of octaves 1 to 9, in order.
  const BaseRelief base_relief;
  const Detail detail;
  const FineRelief fine_relief;
  for_row_chunks([&](int first, int last, NoiseOctave::Scratch* s) {
    base_relief.add(first, last, s);
    build_base_shape(first, last);
    detail.add(first, last, s);
    blend_detail_into_base(first, last);  // held at 25 as it goes
    add_fine_relief(fine_relief, first, last, s);
  });
}

void build_heightmap() {
  build_terrain_heights();
  voxelise();
  add_colour_relief();
  colour_terrain(4, 32);
}

}  // namespace vxlforge
