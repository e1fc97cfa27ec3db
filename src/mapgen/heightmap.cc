#include "mapgen/heightmap.h"

#include <algorithm>
#include <array>
#include <memory>
#include <utility>

#include "base/parallel_rows.h"
#include "base/static_room.h"
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
// fills draw nothing: so the pass makes all its draws first, in their
// order, and then runs its steps on chunks of rows that all threads take
// in turn, while the rows are still in the caches. 32 rows of the Fields
// fit the second-level cache, and a chunk builds the lattice terms of each
// octave afresh, so fewer, larger chunks do less of that.
constexpr int kChunks = HeightmapPass::kChunks;
constexpr int kChunkRows = HeightmapPass::kChunkRows;
constexpr int kChunkCells = kChunkRows * FIELD_SIZE;
static_assert(kChunks * kChunkRows == FIELD_SIZE);

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

}  // namespace

// The pass's twelve octaves, by stage.
struct HeightmapPass::Octaves {
  std::array<NoiseOctave, 4> base_relief;    // octaves 1 to 4
  std::array<NoiseOctave, 2> detail;         // 5 and 6
  std::array<NoiseOctave, 3> fine_relief;    // 7 to 9
  std::array<NoiseOctave, 3> colour_relief;  // 10 to 12
};

namespace {

using Octaves = HeightmapPass::Octaves;

// All 24 draws of the pass, in their order, which is part of what a seed
// means: octaves 1 to 12 one after another, three draws each for 1 to 6,
// one for 7 to 12. The fills draw nothing, so every draw is made here,
// before any fill.
Octaves draw_octaves() {
  NoiseOctave o1 = octave(2, -3.0f, 3.0f, 0.0f);
  NoiseOctave o2 = octave(4, -5.0f, 5.0f, 0.0f);
  NoiseOctave o3 = octave(8, -6.0f, 6.0f, 0.0f);
  NoiseOctave o4 = octave(16, -4.0f, 4.0f, 0.0f);
  NoiseOctave o5 = octave(32, 0.0f, 8.0f, 0.5f);
  NoiseOctave o6 = octave(64, 0.0f, 3.0f, 0.0f);
  NoiseOctave o7 = relief_octave(64, -0.5f, 0.5f);
  NoiseOctave o8 = relief_octave(128, 0.0f, 1.0f);
  NoiseOctave o9 = relief_octave(256, 0.0f, -1.0f);
  NoiseOctave o10 = relief_octave(32, 0.0f, 1.0f);
  NoiseOctave o11 = relief_octave(128, 0.0f, 0.2f);
  NoiseOctave o12 = relief_octave(256, 0.0f, 0.083333336f);
  return Octaves{{std::move(o1), std::move(o2), std::move(o3), std::move(o4)},
                 {std::move(o5), std::move(o6)},
                 {std::move(o7), std::move(o8), std::move(o9)},
                 {std::move(o10), std::move(o11), std::move(o12)}};
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
void add_base_relief(const std::array<NoiseOctave, 4>& o, int first, int last, ChunkRows* w,
                     NoiseOctave::Scratch* s) {
  float* h = height_rows(first);
  const int rows = last - first;
  o[0].fill_rows(w->detail, first, last, s);
  for (const NoiseOctave* octave : {&o[1], &o[2], &o[3]}) {
    octave->fill_rows(h, first, last, s);
    add_rows(w->detail, h, 1.0f, rows);
  }
}

// Octaves 5 and 6, summed into the chunk's cleared detail.
void add_detail(const std::array<NoiseOctave, 2>& o, int first, int last, ChunkRows* w,
                NoiseOctave::Scratch* s) {
  float* h = height_rows(first);
  const int rows = last - first;
  std::fill(w->detail, w->detail + rows * FIELD_SIZE, 0.0f);
  for (const NoiseOctave& octave : o) {
    octave.fill_rows(h, first, last, s);
    add_rows(w->detail, h, 1.0f, rows);
  }
}

// Octaves 7 to 9 (the fine relief) or 10 to 12 (the colour relief): the
// first into the chunk's detail, the other two each added to it through
// the chunk's base, then height_field += k * detail.
void add_relief(const std::array<NoiseOctave, 3>& o, float k, int first, int last, ChunkRows* w,
                NoiseOctave::Scratch* s) {
  const int rows = last - first;
  o[0].fill_rows(w->detail, first, last, s);
  for (const NoiseOctave* octave : {&o[1], &o[2]}) {
    octave->fill_rows(w->base, first, last, s);
    add_rows(w->detail, w->base, 1.0f, rows);
  }
  add_rows(height_rows(first), w->detail, k, rows);
}

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

// The calling thread's working space, kept for the process so that its
// pages are had once. One for all the steps: thread_local variables in
// on_chunk itself would be one set per step it is instantiated for.
struct ChunkWork {
  NoiseOctave::Scratch scratch;
  ChunkRows* rows = take_static_array<ChunkRows>(1, RoomUse::kFilled);
};
ChunkWork& thread_chunk_work() {
  thread_local ChunkWork work;
  return work;
}

// Runs step(first, last, working rows, scratch) on the rows of `chunk`,
// with the calling thread's working space.
template <typename Step>
void on_chunk(int chunk, const Step& step) {
  ChunkWork& work = thread_chunk_work();
  step(chunk * kChunkRows, (chunk + 1) * kChunkRows, work.rows, &work.scratch);
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

HeightmapPass::HeightmapPass() : octaves_(std::make_unique<const Octaves>(draw_octaves())) {}

HeightmapPass::~HeightmapPass() = default;

void HeightmapPass::shape_rows(int chunk) const {
  const Octaves& o = *octaves_;
  on_chunk(chunk, [&o](int first, int last, ChunkRows* w, NoiseOctave::Scratch* s) {
    add_base_relief(o.base_relief, first, last, w, s);
    build_base_shape(first, last, w);
    add_detail(o.detail, first, last, w, s);
    blend_detail_into_base(first, last, *w);  // held at 25 as it goes
    add_relief(o.fine_relief, 1.0f, first, last, w, s);
    // Voxelised at once, while the chunk's heights are in the caches.
    voxelise_rows(first, last);
  });
}

void HeightmapPass::add_colour_relief(int chunk) const {
  const Octaves& o = *octaves_;
  on_chunk(chunk, [&o](int first, int last, ChunkRows* w, NoiseOctave::Scratch* s) {
    add_relief(o.colour_relief, 2.0f, first, last, w, s);
  });
}

void build_heightmap(const StageObserver& observer) {
  const HeightmapPass pass;
  for_row_slices(kChunks, kChunks, [&pass](int chunk, int, int) { pass.shape_rows(chunk); });
  // Every chunk is voxelised and none has had its colour relief yet, so
  // height_field holds exactly what voxelise read, everywhere.
  if (observer) observer(Stage::kVoxelised);
  for_row_slices(kChunks, kChunks, [&pass](int chunk, int, int) { pass.add_colour_relief(chunk); });
  colour_terrain(kTerrainColourLow, kTerrainColourHigh);
}

}  // namespace vxlforge
