#include "mapgen/heightmap.h"

#include <algorithm>
#include <memory>

#include "base/parallel_rows.h"
#include "mapgen/shared_fields.h"
#include "mapgen/terrain_colour.h"
#include "mapgen/volume.h"
#include "random/fast_noise_fill.h"
#include "random/noise.h"
#include "random/rng.h"

namespace vxlforge {

namespace {

constexpr float kMaxBlendedHeight = 25.0f;
constexpr float kBumpScale = 0.00015625f;  // single precision on purpose

// Every step of the pass up to the colouring works cell by cell, and the
// fills draw nothing: so each stage makes all its draws first, in their
// order, and then runs its steps on chunks of rows that both threads take
// in turn, while the rows are still in the caches. 32 rows of the Fields
// fit the second-level cache, and a chunk builds the lattice terms of each
// octave afresh, so fewer, larger chunks do less of that.
constexpr int kChunks = 16;
constexpr int kChunkRows = FIELD_SIZE / kChunks;
constexpr int kChunkCells = kChunkRows * FIELD_SIZE;

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

// The working Fields of one chunk of rows: every value in them is made and
// used within the chunk, so only a chunk's rows of them are kept, per
// thread, where the caches hold them. Row r of the chunk at r * FIELD_SIZE.
struct ChunkRows {
  float base[kChunkCells];
  float detail[kChunkCells];
};

// Rows first..last-1 of height_field, from its row `first` on.
float* height_rows(int first) { return height_field.data() + field_index(first, 0); }

// dst += k * src over a chunk of `rows` rows.
void add_rows(float* dst, const float* src, float k, int rows) {
  add_scaled(dst, src, k, rows * FIELD_SIZE);
}

// Octaves 1 to 4 summed into the chunk's detail, height_field serving as
// scratch.
struct BaseRelief {
  NoiseOctave o1 = octave(2, -3.0f, 3.0f, 0.0f);
  NoiseOctave o2 = octave(4, -5.0f, 5.0f, 0.0f);
  NoiseOctave o3 = octave(8, -6.0f, 6.0f, 0.0f);
  NoiseOctave o4 = octave(16, -4.0f, 4.0f, 0.0f);

  void add(int first, int last, ChunkRows* w, NoiseOctave::Scratch* s) const {
    float* h = height_rows(first);
    const int rows = last - first;
    o1.fill_rows(w->detail, first, last, s);
    for (const NoiseOctave* o : {&o2, &o3, &o4}) {
      o->fill_rows(h, first, last, s);
      add_rows(w->detail, h, 1.0f, rows);
    }
  }
};

// Octaves 5 and 6, summed into the chunk's cleared detail.
struct Detail {
  NoiseOctave o5 = octave(32, 0.0f, 8.0f, 0.5f);
  NoiseOctave o6 = octave(64, 0.0f, 3.0f, 0.0f);

  void add(int first, int last, ChunkRows* w, NoiseOctave::Scratch* s) const {
    float* h = height_rows(first);
    const int rows = last - first;
    std::fill(w->detail, w->detail + rows * FIELD_SIZE, 0.0f);
    for (const NoiseOctave* o : {&o5, &o6}) {
      o->fill_rows(h, first, last, s);
      add_rows(w->detail, h, 1.0f, rows);
    }
  }
};

// Octaves 7 to 9 (the fine relief) or 10 to 12 (the colour relief): the
// first into the chunk's detail, the other two each added to it through
// the chunk's base, then height_field += k * detail.
struct Relief {
  NoiseOctave first_octave, second_octave, third_octave;

  void add(int first, int last, float k, ChunkRows* w, NoiseOctave::Scratch* s) const {
    const int rows = last - first;
    first_octave.fill_rows(w->detail, first, last, s);
    for (const NoiseOctave* o : {&second_octave, &third_octave}) {
      o->fill_rows(w->base, first, last, s);
      add_rows(w->detail, w->base, 1.0f, rows);
    }
    add_rows(height_rows(first), w->detail, k, rows);
  }
};

void build_base_shape(int first, int last, ChunkRows* w) {
  for (int x = first; x < last; ++x) {
    for (int y = 0; y < FIELD_SIZE; ++y) {
      const int i = (x - first) * FIELD_SIZE + y;
      w->base[i] = base_shape_cell(x, y, w->detail[i]);
    }
  }
}

void blend_detail_into_base(int first, int last, const ChunkRows& w) {
  float* h = height_rows(first);
  for (int i = 0; i < (last - first) * FIELD_SIZE; ++i) h[i] = blended_height(w.base[i], w.detail[i]);
}

// Runs step(first, last, working rows, scratch) on every chunk of rows, on
// all cores.
template <typename Step>
void for_row_chunks(const Step& step) {
  for_row_slices(FIELD_SIZE, kChunks, [&step](int, int first, int last) {
    thread_local NoiseOctave::Scratch scratch;
    thread_local const std::unique_ptr<ChunkRows> rows = std::make_unique<ChunkRows>();
    step(first, last, rows.get(), &scratch);
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

namespace {

// Octaves 1 to 9, drawn in order.
struct TerrainOctaves {
  BaseRelief base_relief;
  Detail detail;
  Relief fine_relief{relief_octave(64, -0.5f, 0.5f), relief_octave(128, 0.0f, 1.0f),
                     relief_octave(256, 0.0f, -1.0f)};
};

// Octaves 10 to 12, drawn in order.
Relief colour_relief() {
  return Relief{relief_octave(32, 0.0f, 1.0f), relief_octave(128, 0.0f, 0.2f),
                relief_octave(256, 0.0f, 0.083333336f)};
}

// The heights up to the fine relief; with `voxelise` the chunk's rows are
// voxelised as soon as their heights are final, while they are in the
// caches.
void build_terrain_heights(const TerrainOctaves& o, bool voxelise) {
  for_row_chunks([&o, voxelise](int first, int last, ChunkRows* w, NoiseOctave::Scratch* s) {
    o.base_relief.add(first, last, w, s);
    build_base_shape(first, last, w);
    o.detail.add(first, last, w, s);
    blend_detail_into_base(first, last, *w);  // held at 25 as it goes
    o.fine_relief.add(first, last, 1.0f, w, s);
    if (voxelise) voxelise_rows(first, last);
  });
}

void add_colour_relief(const Relief& relief) {
  for_row_chunks([&relief](int first, int last, ChunkRows* w, NoiseOctave::Scratch* s) {
    relief.add(first, last, 2.0f, w, s);
  });
}

}  // namespace

struct HeightmapDraws::Octaves {
  TerrainOctaves terrain;
  Relief colour = colour_relief();
};

HeightmapDraws::HeightmapDraws() : octaves_(std::make_unique<Octaves>()) {}
HeightmapDraws::~HeightmapDraws() = default;

void add_colour_relief() { add_colour_relief(colour_relief()); }

void build_terrain_heights() { build_terrain_heights(TerrainOctaves{}, false); }

void build_heightmap(const HeightmapDraws& draws) {
  build_terrain_heights(draws.octaves_->terrain, true);
  add_colour_relief(draws.octaves_->colour);
  colour_terrain(4, 32);
}

void build_heightmap() { build_heightmap(HeightmapDraws()); }

}  // namespace vxlforge
