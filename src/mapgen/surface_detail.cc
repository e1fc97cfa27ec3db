#include "mapgen/surface_detail.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "base/parallel_rows.h"
#include "base/static_room.h"
#include "mapgen/roads.h"
#include "mapgen/volume.h"
#include "random/fast_noise_fill.h"
#include "random/noise.h"
#include "random/rng.h"

namespace vxlforge {

namespace {

constexpr float kInverse576 = 0.0017361111f;  // single precision on purpose

int falloff_dx(int x) {
  if (x < 128) return 0;
  if (x <= 255) return x - 128;
  if (x <= 384) return 384 - x;
  return 0;
}

int falloff_dy(int y) {
  if (y < 128) return 128 - y;
  if (y <= 384) return 0;
  return y - 384;
}

// The falloff at a squared distance dx * dx + dy * dy.
[[gnu::always_inline]] inline float falloff_of(int distance_squared) {
  return static_cast<float>(std::min(
      1.0, static_cast<double>(distance_squared) * static_cast<double>(kInverse576) * 0.75 + 0.25));
}

// The falloff of row x, every column: one loop without branches, which
// vectorises, where a call of start_falloff per cell did not.
void falloff_row(int x, float* out) {
  static const std::array<int, MAP_Y> dy_squared = [] {
    std::array<int, MAP_Y> squares{};
    for (int y = 0; y < MAP_Y; ++y) squares[static_cast<std::size_t>(y)] = falloff_dy(y) * falloff_dy(y);
    return squares;
  }();
  const int dx = falloff_dx(x);
  for (int y = 0; y < MAP_Y; ++y) out[y] = falloff_of(dx * dx + dy_squared[static_cast<std::size_t>(y)]);
}

// The rows the pass keeps for each chunk of rows: the falloff and the ten
// noise Fields the column loop reads, and the second of the two fills whose
// sum is the floor gate.
enum Input {
  kFalloff,
  kFloorGate,
  kGateSecond,
  kLandCover,
  kFloorCover,
  kLandSpanFine,
  kLandSpanCoarse,
  kFloorSpanFine,
  kFloorSpanCoarse,
  kRed,
  kGreen,
  kBlue,
  kInputs
};

constexpr int kChunkRows = SurfaceDetailPass::kChunkRows;

// One chunk's rows of every input, row r of the chunk at r * FIELD_SIZE.
struct ChunkNoise {
  float rows[kInputs][kChunkRows * FIELD_SIZE];
};

// Which columns the column loop reads a Field at.
enum class Ground {
  kAny,
  kFloor,   // floor-level columns only (top 0)
  kRaised,  // raised columns only
};

// One of the pass's noise fills, prepared but not yet filled.
struct DetailFill {
  Input input;
  Ground ground;
  NoiseOctave octave;
};

// Each fill draws its offsets unscaled, z first, then y, then x.
DetailFill detail_fill(Input input, Ground ground, int cells, float lo, float hi,
                       float sharpen) {
  const float offset_z = static_cast<float>(rng_unit());
  const float offset_y = static_cast<float>(rng_unit());
  const float offset_x = static_cast<float>(rng_unit());
  return {input, ground, NoiseOctave(cells, cells, lo, hi, sharpen, offset_x, offset_y, offset_z)};
}

// The eleven fills in order, with their 33 draws. The fills draw nothing
// else and read nothing the column loop writes, so all draws can be made
// first and the rows filled later.
std::vector<DetailFill> prepare_detail_fills() {
  std::vector<DetailFill> fills;
  fills.push_back(detail_fill(kFloorGate, Ground::kFloor, 32, -0.5f, 0.5f, 0.0f));
  fills.push_back(detail_fill(kGateSecond, Ground::kFloor, 64, -1.0f, 1.0f, 0.0f));
  fills.push_back(detail_fill(kLandCover, Ground::kRaised, 32, 0.75f, 0.95f, 0.0f));
  fills.push_back(detail_fill(kFloorCover, Ground::kFloor, 16, 0.25f, 0.75f, 0.0f));
  fills.push_back(detail_fill(kLandSpanFine, Ground::kRaised, 32, 6.0f, 33.0f, 0.4f));
  fills.push_back(detail_fill(kLandSpanCoarse, Ground::kRaised, 16, 6.0f, 33.0f, 0.4f));
  fills.push_back(detail_fill(kFloorSpanFine, Ground::kFloor, 32, 3.0f, 41.0f, 0.3f));
  fills.push_back(detail_fill(kFloorSpanCoarse, Ground::kFloor, 16, 4.0f, 42.0f, 0.7f));
  fills.push_back(detail_fill(kRed, Ground::kAny, 16, 64.0f, 192.0f, 0.0f));
  fills.push_back(detail_fill(kGreen, Ground::kAny, 16, 100.0f, 240.0f, 0.0f));
  fills.push_back(detail_fill(kBlue, Ground::kAny, 16, 64.0f, 192.0f, 0.0f));
  return fills;
}

// The floor-level and the raised columns of rows first..last-1, as runs.
struct GroundRuns {
  std::vector<std::vector<ColumnRun>> floor;
  std::vector<std::vector<ColumnRun>> raised;
};

GroundRuns ground_runs(int first, int last) {
  GroundRuns runs;
  for (int x = first; x < last; ++x) {
    std::vector<ColumnRun>& floor = runs.floor.emplace_back();
    std::vector<ColumnRun>& raised = runs.raised.emplace_back();
    for (int y = 0; y < MAP_Y;) {
      const bool is_floor = column_top[column_index(x, y)] == 0;
      const int start = y;
      while (y < MAP_Y && (column_top[column_index(x, y)] == 0) == is_floor) ++y;
      (is_floor ? floor : raised).push_back({start, y});
    }
  }
  return runs;
}

// The rows first..last-1 of a chunk: the falloff, and every Field at the
// columns the column loop reads it at. A floor-level Field is read only at
// floor-level columns, a raised one only at raised columns, so each is
// filled only there, which saves about a third of the noise. The floor gate
// is the sum of the first two fills.
void fill_detail_rows(const std::vector<DetailFill>& fills, int first, int last,
                      ChunkNoise* chunk, NoiseOctave::Scratch* scratch) {
  for (int x = first; x < last; ++x) falloff_row(x, &chunk->rows[kFalloff][(x - first) * FIELD_SIZE]);
  const GroundRuns runs = ground_runs(first, last);
  for (const DetailFill& fill : fills) {
    float* rows = chunk->rows[fill.input];
    if (fill.ground == Ground::kAny) {
      fill.octave.fill_rows(rows, first, last, scratch);
    } else {
      fill.octave.fill_row_runs(rows, first, last,
                                fill.ground == Ground::kFloor ? runs.floor : runs.raised, scratch);
    }
  }
  for (int x = first; x < last; ++x) {
    const int row = (x - first) * FIELD_SIZE;
    for (const ColumnRun& run : runs.floor[static_cast<std::size_t>(x - first)]) {
      add_scaled(&chunk->rows[kFloorGate][row + run.first],
                 &chunk->rows[kGateSecond][row + run.first], 1.0f, run.last - run.first);
    }
  }
}

CoverNoiseRow row_of(const ChunkNoise& chunk, int r) {
  const auto at = [&chunk, r](Input input) { return &chunk.rows[input][r * FIELD_SIZE]; };
  return {at(kFalloff),       at(kFloorGate),     at(kLandCover),
          at(kFloorCover),    at(kLandSpanFine),  at(kLandSpanCoarse),
          at(kFloorSpanFine), at(kFloorSpanCoarse), at(kRed),
          at(kGreen),         at(kBlue)};
}

int road_bonus(std::uint8_t road) {
  if (road == ROAD_INTERIOR) return 12;
  if (road == ROAD) return 8;
  return 0;
}

// Cover on floor-level ground thins out toward high y.
double floor_y_factor(int y) {
  return std::min(1.0, 1.0 - static_cast<double>(y - 384) * 0.0078125 * 0.75);
}

// A word mapped to lo..hi, then scaled by w.
int scaled_word(std::uint32_t word, int lo, int hi, float w) {
  return static_cast<int>(static_cast<double>(word_to_range(word, lo, hi)) * static_cast<double>(w));
}

// The most draws one column of the loop makes: its own twelve (a fraction,
// a range, the height Field's choice, a fraction, the colour's choice and
// its three words, the placing chance, a placed floor column's two colour
// ranges, the clump chance), then a clump's eight ranges and, for each of
// its cells (up to three by three), a chance and three colour ranges.
constexpr unsigned kMostColumnDraws = 12 + 8 + 9 * 4;

// The column loop's work, drawing through the loop's cursor, or a stretch
// of it; inlined into the loop so that the cursor stays in registers.
template <typename Draws>
[[gnu::always_inline]] inline void place_clump_with(Draws& rng, int x, int y, int top) {
  const int ztop = top + rng.range(1, 2);
  const int x0 = x + rng.range(-1, 0);
  const int y0 = y + rng.range(-1, 0);
  const int x1 = x + rng.range(0, 1);
  const int y1 = y + rng.range(0, 1);
  const int base_red = rng.range(50, 220);
  const int base_green = rng.range(50, 200);
  const int base_blue = rng.range(50, 220);
  // Cells off the map still make their draws; fill_column skips them.
  for (int cx = x0; cx <= x1; ++cx) {
    for (int cy = y0; cy <= y1; ++cy) {
      if (rng.unit() >= 0.85) continue;
      const int red_variation = rng.range(0, 40);
      const int green_variation = rng.range(0, 20);
      const int blue_variation = rng.range(0, 40);
      fill_column(cx, cy, 0, ztop,
                  clump_colour(base_red, base_green, base_blue, red_variation,
                               green_variation, blue_variation));
    }
  }
}

template <typename Draws>
[[gnu::always_inline]] inline void dress_column_with(Draws& rng, int x, int y,
                                                     const CoverNoiseRow& noise) {
  const int i = column_index(x, y);
  const int top = column_top[i];
  const std::uint8_t road = road_mask[i];
  const bool floor = top == 0;

  const double u1 = rng.unit();
  const float w = static_cast<float>((u1 + 1.0) * 0.5);

  int zlow = top + road_bonus(road) + rng.range(0, 2) - 2;

  // Which of two height Fields, at random: picked by index rather than by
  // a branch, which would be mispredicted every other column.
  const int fine = (rng.next() & 8) != 0 ? 1 : 0;
  float f;
  float p;
  if (!floor) {
    const float* const land_span[2] = {noise.land_span_coarse, noise.land_span_fine};
    f = land_span[fine][y];
    p = noise.land_cover[y];
  } else {
    const float* const floor_span[2] = {noise.floor_span_coarse, noise.floor_span_fine};
    f = floor_span[fine][y];
    const float g = noise.floor_gate[y] < 0.0f ? 0.0f : noise.floor_cover[y];
    p = static_cast<float>(static_cast<double>(g) * floor_y_factor(y));
  }

  const float a = p > 0.5f ? p : 0.5f;
  const double u2 = rng.unit();
  float h = static_cast<float>(static_cast<double>(f) *
                               (static_cast<double>(a) + u2 * (1.0 - static_cast<double>(a))));
  if (!floor) h = static_cast<float>(static_cast<double>(top) + static_cast<double>(h));

  // The colour: three more draws or the noise Fields, at random. Both are
  // worked out where the three words can be read ahead, and the words
  // taken or left, so that the choice is no branch either.
  const int drawn = (rng.next() & 4) != 0 ? 1 : 0;
  int red = static_cast<int>(noise.red[y]);
  int green = static_cast<int>(noise.green[y]);
  int blue = static_cast<int>(noise.blue[y]);
  if (rng.can_read_ahead(3)) [[likely]] {
    const int reds[2] = {red, scaled_word(rng.ahead(0), 100, 150, w)};
    const int greens[2] = {green, scaled_word(rng.ahead(1), 150, 255, w)};
    const int blues[2] = {blue, scaled_word(rng.ahead(2), 100, 150, w)};
    red = reds[drawn];
    green = greens[drawn];
    blue = blues[drawn];
    rng.skip(3 * static_cast<unsigned>(drawn));
  } else if (drawn != 0) {
    red = scaled_word(rng.next(), 100, 150, w);
    green = scaled_word(rng.next(), 150, 255, w);
    blue = scaled_word(rng.next(), 100, 150, w);
  }

  const float chance = static_cast<float>(static_cast<double>(p) *
                                          static_cast<double>(noise.falloff[y]));
  if (rng.unit() < static_cast<double>(chance)) {
    if (floor) {
      zlow = 0;
      red = (red + rng.range(128, 255)) / 2;
      blue = (blue + rng.range(20, 100)) / 2;
    }
    h = std::min(h, 63.0f);
    fill_column(x, y, zlow, static_cast<int>(h), make_colour(red, green, blue));
  }

  const double c1 = floor ? 0.01 : 1.0;
  const double c2 = road == ROAD_INTERIOR ? 0.05 : 0.005;
  if (rng.unit() < c1 * c2) place_clump_with(rng, x, y, top);
}

}  // namespace

Colour clump_colour(int base_red, int base_green, int base_blue, int red_variation,
                    int green_variation, int blue_variation) {
  return make_colour(std::min(255, base_red + red_variation),
                     std::min(255, base_green + green_variation),
                     std::min(255, base_blue + blue_variation));
}

void place_clump(int x, int y, int top) {
  RngCursor rng;
  place_clump_with(rng, x, y, top);
}

void dress_column(int x, int y, const CoverNoiseRow& noise) {
  RngCursor rng;
  dress_column_with(rng, x, y, noise);
}

float start_falloff(int x, int y) {
  const int dx = falloff_dx(x);
  const int dy = falloff_dy(y);
  return falloff_of(dx * dx + dy * dy);
}

struct SurfaceDetailPass::Fills {
  std::vector<DetailFill> fills;
  ChunkNoise* buffers;
  int buffer_count;
  std::vector<NoiseOctave::Scratch> scratch;
};

namespace {

// The chunks' Fields, kept for the process in huge pages: every byte is
// written, and a fresh run would otherwise fault them in 4 KiB at a time.
ChunkNoise* noise_buffers(int count) {
  static int kept = 0;
  static ChunkNoise* buffers = nullptr;
  if (count > kept) {
    buffers = take_static_array<ChunkNoise>(static_cast<std::size_t>(count), RoomUse::kFilled);
    kept = count;
  }
  return buffers;
}

}  // namespace

SurfaceDetailPass::SurfaceDetailPass(int buffers)
    : fills_(new Fills{prepare_detail_fills(), noise_buffers(buffers), buffers,
                       std::vector<NoiseOctave::Scratch>(static_cast<std::size_t>(core_count()))}) {}

SurfaceDetailPass::~SurfaceDetailPass() = default;

void SurfaceDetailPass::fill_chunk(int chunk, int slot) {
  fill_detail_rows(fills_->fills, chunk * kChunkRows, (chunk + 1) * kChunkRows,
                   &fills_->buffers[static_cast<std::size_t>(chunk % fills_->buffer_count)],
                   &fills_->scratch[static_cast<std::size_t>(slot)]);
}

void SurfaceDetailPass::dress_chunk(int chunk) {
  const ChunkNoise& noise = fills_->buffers[static_cast<std::size_t>(chunk % fills_->buffer_count)];
  for (int r = 0; r < kChunkRows; ++r) {
    const int x = chunk * kChunkRows + r;
    const CoverNoiseRow row = row_of(noise, r);
    RngCursor rng;
    for (int y = 0; y < MAP_Y; ++y) {
      // Far from a regeneration, which is all but a few columns in a
      // hundred, the column draws unchecked.
      if (rng.can_read_ahead(kMostColumnDraws)) [[likely]] {
        RngStretch stretch(rng);
        dress_column_with(stretch, x, y, row);
      } else {
        dress_column_with(rng, x, y, row);
      }
    }
  }
}

void add_surface_detail() {
  const int buffers = 2 * core_count();
  SurfaceDetailPass pass(buffers);
  for_pieces_in_order(
      SurfaceDetailPass::kChunks, buffers, [&pass](int chunk, int slot) { pass.fill_chunk(chunk, slot); },
      [&pass](int chunk) { pass.dress_chunk(chunk); });
}

}  // namespace vxlforge
