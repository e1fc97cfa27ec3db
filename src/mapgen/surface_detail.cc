#include "mapgen/surface_detail.h"

#include <algorithm>
#include <vector>

#include "mapgen/roads.h"
#include "mapgen/shared_fields.h"
#include "mapgen/volume.h"
#include "random/fast_noise_fill.h"
#include "random/noise.h"
#include "random/parallel_rows.h"
#include "random/rng.h"

namespace vxlforge {

Field start_falloff_field;
Field floor_gate_field;
Field land_cover_field;
Field floor_cover_field;
Field land_span_fine_field;
Field land_span_coarse_field;
Field floor_span_fine_field;
Field floor_span_coarse_field;
Field cover_red_field;
Field cover_green_field;
Field cover_blue_field;

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

// Which columns the column loop reads a Field at.
enum class Ground {
  kAny,
  kFloor,   // floor-level columns only (top 0)
  kRaised,  // raised columns only
};

// One of the pass's noise fills, prepared but not yet filled.
struct DetailFill {
  Field* field;
  Ground ground;
  NoiseOctave octave;
};

// Each fill draws its offsets unscaled, z first, then y, then x.
DetailFill detail_fill(Field& field, Ground ground, int cells, float lo, float hi,
                       float sharpen) {
  const float offset_z = static_cast<float>(rng_unit());
  const float offset_y = static_cast<float>(rng_unit());
  const float offset_x = static_cast<float>(rng_unit());
  return {&field, ground, NoiseOctave(cells, cells, lo, hi, sharpen, offset_x, offset_y, offset_z)};
}

// The eleven fills in order, with their 33 draws. The fills draw nothing
// else and read nothing the column loop writes, so all draws can be made
// first and the rows filled later.
std::vector<DetailFill> prepare_detail_fills() {
  std::vector<DetailFill> fills;
  fills.push_back(detail_fill(floor_gate_field, Ground::kFloor, 32, -0.5f, 0.5f, 0.0f));
  fills.push_back(detail_fill(detail_field, Ground::kFloor, 64, -1.0f, 1.0f, 0.0f));
  fills.push_back(detail_fill(land_cover_field, Ground::kRaised, 32, 0.75f, 0.95f, 0.0f));
  fills.push_back(detail_fill(floor_cover_field, Ground::kFloor, 16, 0.25f, 0.75f, 0.0f));
  fills.push_back(detail_fill(land_span_fine_field, Ground::kRaised, 32, 6.0f, 33.0f, 0.4f));
  fills.push_back(detail_fill(land_span_coarse_field, Ground::kRaised, 16, 6.0f, 33.0f, 0.4f));
  fills.push_back(detail_fill(floor_span_fine_field, Ground::kFloor, 32, 3.0f, 41.0f, 0.3f));
  fills.push_back(detail_fill(floor_span_coarse_field, Ground::kFloor, 16, 4.0f, 42.0f, 0.7f));
  fills.push_back(detail_fill(cover_red_field, Ground::kAny, 16, 64.0f, 192.0f, 0.0f));
  fills.push_back(detail_fill(cover_green_field, Ground::kAny, 16, 100.0f, 240.0f, 0.0f));
  fills.push_back(detail_fill(cover_blue_field, Ground::kAny, 16, 64.0f, 192.0f, 0.0f));
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

// Rows of every Field the column loop reads, at the columns it reads them:
// a floor-level Field is read only at floor-level columns, a raised one
// only at raised columns, so each is filled only there (the Fields are not
// read after the pass), which saves about a third of the noise. The floor
// gate is the sum of the first two fills.
void fill_detail_rows(const std::vector<DetailFill>& fills, int first, int last,
                      NoiseOctave::Scratch* scratch) {
  build_start_falloff_rows(first, last);
  const GroundRuns runs = ground_runs(first, last);
  for (const DetailFill& fill : fills) {
    if (fill.ground == Ground::kAny) {
      fill.octave.fill_rows(*fill.field, first, last, scratch);
    } else {
      fill.octave.fill_row_runs(*fill.field, first, last,
                                fill.ground == Ground::kFloor ? runs.floor : runs.raised, scratch);
    }
  }
  for (int x = first; x < last; ++x) {
    for (const ColumnRun& run : runs.floor[static_cast<std::size_t>(x - first)]) {
      field_add_scaled_cells(floor_gate_field, detail_field, 1.0f, field_index(x, run.first),
                             field_index(x, run.last));
    }
  }
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

int scaled_draw(int lo, int hi, float w) {
  return static_cast<int>(static_cast<double>(rng_range(lo, hi)) * static_cast<double>(w));
}

}  // namespace

Colour clump_colour(int base_red, int base_green, int base_blue, int red_variation,
                    int green_variation, int blue_variation) {
  return make_colour(std::min(255, base_red + red_variation),
                     std::min(255, base_green + green_variation),
                     std::min(255, base_blue + blue_variation));
}

void place_clump(int x, int y, int top) {
  const int ztop = top + rng_range(1, 2);
  const int x0 = x + rng_range(-1, 0);
  const int y0 = y + rng_range(-1, 0);
  const int x1 = x + rng_range(0, 1);
  const int y1 = y + rng_range(0, 1);
  const int base_red = rng_range(50, 220);
  const int base_green = rng_range(50, 200);
  const int base_blue = rng_range(50, 220);
  // Cells off the map still make their draws; fill_column skips them.
  for (int cx = x0; cx <= x1; ++cx) {
    for (int cy = y0; cy <= y1; ++cy) {
      if (rng_unit() >= 0.85) continue;
      const int red_variation = rng_range(0, 40);
      const int green_variation = rng_range(0, 20);
      const int blue_variation = rng_range(0, 40);
      fill_column(cx, cy, 0, ztop,
                  clump_colour(base_red, base_green, base_blue, red_variation,
                               green_variation, blue_variation));
    }
  }
}

void dress_column(int x, int y) {
  const int i = column_index(x, y);
  const int top = column_top[i];
  const std::uint8_t road = road_mask[i];
  const bool floor = top == 0;

  const double u1 = rng_unit();
  const float w = static_cast<float>((u1 + 1.0) * 0.5);

  int zlow = top + road_bonus(road) + rng_range(0, 2) - 2;

  const bool fine = (rng_next() & 8) != 0;
  float f;
  float p;
  if (!floor) {
    f = fine ? land_span_fine_field[i] : land_span_coarse_field[i];
    p = land_cover_field[i];
  } else {
    f = fine ? floor_span_fine_field[i] : floor_span_coarse_field[i];
    const float g = floor_gate_field[i] < 0.0f ? 0.0f : floor_cover_field[i];
    p = static_cast<float>(static_cast<double>(g) * floor_y_factor(y));
  }

  const float a = p > 0.5f ? p : 0.5f;
  const double u2 = rng_unit();
  float h = static_cast<float>(static_cast<double>(f) *
                               (static_cast<double>(a) + u2 * (1.0 - static_cast<double>(a))));
  if (!floor) h = static_cast<float>(static_cast<double>(top) + static_cast<double>(h));

  int red;
  int green;
  int blue;
  if ((rng_next() & 4) != 0) {
    red = scaled_draw(100, 150, w);
    green = scaled_draw(150, 255, w);
    blue = scaled_draw(100, 150, w);
  } else {
    red = static_cast<int>(cover_red_field[i]);
    green = static_cast<int>(cover_green_field[i]);
    blue = static_cast<int>(cover_blue_field[i]);
  }

  const float chance = static_cast<float>(static_cast<double>(p) *
                                          static_cast<double>(start_falloff_field[i]));
  if (rng_unit() < static_cast<double>(chance)) {
    if (floor) {
      zlow = 0;
      red = (red + rng_range(128, 255)) / 2;
      blue = (blue + rng_range(20, 100)) / 2;
    }
    h = std::min(h, 63.0f);
    fill_column(x, y, zlow, static_cast<int>(h), make_colour(red, green, blue));
  }

  const double c1 = floor ? 0.01 : 1.0;
  const double c2 = road == ROAD_INTERIOR ? 0.05 : 0.005;
  if (rng_unit() < c1 * c2) place_clump(x, y, top);
}

void build_start_falloff_rows(int first, int last) {
  for (int x = first; x < last; ++x) {
    const int dx = falloff_dx(x);
    for (int y = 0; y < MAP_Y; ++y) {
      const int dy = falloff_dy(y);
      start_falloff_field[field_index(x, y)] = static_cast<float>(std::min(
          1.0, static_cast<double>(dx * dx + dy * dy) * static_cast<double>(kInverse576) * 0.75 +
                   0.25));
    }
  }
}

void build_start_falloff() { build_start_falloff_rows(0, MAP_X); }

namespace {

void dress_row(int x) {
  for (int y = 0; y < MAP_Y; ++y) dress_column(x, y);
}

}  // namespace

void add_surface_detail() {
  const std::vector<DetailFill> fills = prepare_detail_fills();
  // The column loop is serial, as every draw depends on the ones before,
  // and a column reads the Fields only at its own cell. So Field rows are
  // filled in chunks on every core, and the loop dresses each chunk's rows
  // as soon as they are ready.
  constexpr int kChunkRows = 8;
  std::vector<NoiseOctave::Scratch> scratch(static_cast<std::size_t>(core_count()));
  for_pieces_in_order(
      MAP_X / kChunkRows,
      [&fills, &scratch](int chunk, int slot) {
        fill_detail_rows(fills, chunk * kChunkRows, (chunk + 1) * kChunkRows,
                         &scratch[static_cast<std::size_t>(slot)]);
      },
      [](int chunk) {
        for (int x = chunk * kChunkRows; x < (chunk + 1) * kChunkRows; ++x) dress_row(x);
      });
}

}  // namespace vxlforge
