#include "random/fast_noise_fill.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "random/noise.h"
#include "random/parallel_rows.h"

namespace vxlforge {

namespace {

constexpr float kNoiseToUnit = 0.8333333f;
constexpr float kInverseFieldSize = 0.001953125f;
constexpr int kCorners = 8;  // index i + 2 * j + 4 * k for corner (i, j, k)

std::int32_t wrap_mask(std::int32_t period) { return period >= 256 ? 255 : period - 1; }

float fade(double first, float t) {
  const double td = static_cast<double>(t);
  return static_cast<float>(((((first * 6.0 - 15.0) * td + 10.0) * td) * td) * td);
}

// One noise coordinate split into lattice cell, fraction and fade weight,
// exactly as the per-cell noise does it.
struct AxisPoint {
  std::int32_t cell;
  float frac;   // coordinate - cell, rounded
  float frac1;  // frac - 1, rounded
  float fade;
};

AxisPoint split(float coordinate) {
  AxisPoint p;
  p.cell = static_cast<std::int32_t>(std::floor(static_cast<double>(coordinate)));
  const double exact = static_cast<double>(coordinate) - static_cast<double>(p.cell);
  p.frac = static_cast<float>(exact);
  p.frac1 = static_cast<float>(static_cast<double>(p.frac) - 1.0);
  p.fade = fade(exact, p.frac);
  return p;
}

// What one fill shares between all its cells.
struct Octave {
  std::int32_t mask_x;
  float step_x;
  float offset_x;
  double lo;
  double span;
  double sharpen;
  // Along the columns.
  std::int32_t y_lo[FIELD_SIZE];  // masked lattice index of the corner j = 0
  std::int32_t y_hi[FIELD_SIZE];  // and j = 1
  double dy[2][FIELD_SIZE];       // fraction for j = 0 and j = 1
  double fade_y[FIELD_SIZE];
  // Along the third coordinate, constant for the fill.
  std::int32_t z_index[2];
  double dz[2];
  double fade_z;
};

// Per thread: the corners' gradient terms for the current lattice row. For
// corner (i, j, k) and column c, partial = (dy * gy) + (dz * gz), and gx is
// the gradient's x component, so the corner value is partial + dx * gx.
struct LatticeRow {
  std::int32_t cell = 0;
  bool valid = false;
  double partial[kCorners][FIELD_SIZE];
  double gx[kCorners][FIELD_SIZE];
};

void build_lattice_row(const Octave& o, std::int32_t x_cell, LatticeRow* row) {
  const int hx[2] = {perm_table[x_cell & o.mask_x], perm_table[(x_cell + 1) & o.mask_x]};
  for (int corner = 0; corner < kCorners; ++corner) {
    const int i = corner & 1;
    const int j = (corner >> 1) & 1;
    const int k = corner >> 2;
    const std::int32_t* y_index = j == 0 ? o.y_lo : o.y_hi;
    for (int c = 0; c < FIELD_SIZE; ++c) {
      const int hash = perm_table[perm_table[hx[i] + y_index[c]] + o.z_index[k]];
      const float* g = grad_basis[grad_index_table[hash & 63]];
      row->partial[corner][c] = (o.dy[j][c] * static_cast<double>(g[1])) +
                                (o.dz[k] * static_cast<double>(g[2]));
      row->gx[corner][c] = static_cast<double>(g[0]);
    }
  }
  row->cell = x_cell;
  row->valid = true;
}

float corner_value(const LatticeRow& row, int corner, int c, double dx) {
  return static_cast<float>(row.partial[corner][c] + dx * row.gx[corner][c]);
}

double lerp(float a, float b, double t) {
  return ((static_cast<double>(b) - static_cast<double>(a)) * t) + static_cast<double>(a);
}

void fill_row(const Octave& o, int r, LatticeRow* row, float* out) {
  const float x = static_cast<float>(static_cast<double>(r) * static_cast<double>(o.step_x) +
                                     static_cast<double>(o.offset_x));
  const AxisPoint px = split(x);
  if (!row->valid || row->cell != px.cell) build_lattice_row(o, px.cell, row);
  const double dx0 = static_cast<double>(px.frac);
  const double dx1 = static_cast<double>(px.frac1);
  const double u = static_cast<double>(px.fade);
  for (int c = 0; c < FIELD_SIZE; ++c) {
    const float g000 = corner_value(*row, 0, c, dx0);
    const float g100 = corner_value(*row, 1, c, dx1);
    const float g010 = corner_value(*row, 2, c, dx0);
    const float g110 = corner_value(*row, 3, c, dx1);
    const float g001 = corner_value(*row, 4, c, dx0);
    const float g101 = corner_value(*row, 5, c, dx1);
    const float g011 = corner_value(*row, 6, c, dx0);
    const float g111 = corner_value(*row, 7, c, dx1);
    const float a00 = static_cast<float>(lerp(g000, g100, u));
    const float a01 = static_cast<float>(lerp(g001, g101, u));
    const float a10 = static_cast<float>(lerp(g010, g110, u));
    const float a11 = static_cast<float>(lerp(g011, g111, u));
    const float b0 = static_cast<float>(lerp(a00, a10, o.fade_y[c]));
    const float b1 = static_cast<float>(lerp(a01, a11, o.fade_y[c]));
    const double n = lerp(b0, b1, o.fade_z);
    const double t = (n * static_cast<double>(kNoiseToUnit) + 1.0) * 0.5;
    out[c] = static_cast<float>((((t * t) * t - t) * o.sharpen + t) * o.span + o.lo);
  }
}

void fill_rows(const Octave& o, int first, int last, Field& field) {
  auto row = std::make_unique<LatticeRow>();
  for (int r = first; r < last; ++r) fill_row(o, r, row.get(), &field[field_index(r, 0)]);
}

void prepare(Octave* o, std::int32_t cells_x, std::int32_t cells_y, float lo, float hi,
             float sharpen, float offset_x, float offset_y, float offset_z) {
  o->mask_x = wrap_mask(cells_x);
  o->step_x = static_cast<float>(static_cast<double>(cells_x) *
                                 static_cast<double>(kInverseFieldSize));
  o->offset_x = offset_x;
  o->lo = static_cast<double>(lo);
  o->span = static_cast<double>(static_cast<float>(static_cast<double>(hi) - static_cast<double>(lo)));
  o->sharpen = static_cast<double>(sharpen);
  const std::int32_t mask_y = wrap_mask(cells_y);
  const float step_y = static_cast<float>(static_cast<double>(cells_y) *
                                          static_cast<double>(kInverseFieldSize));
  for (int c = 0; c < FIELD_SIZE; ++c) {
    const float y = static_cast<float>(static_cast<double>(c) * static_cast<double>(step_y) +
                                       static_cast<double>(offset_y));
    const AxisPoint py = split(y);
    o->y_lo[c] = py.cell & mask_y;
    o->y_hi[c] = (py.cell + 1) & mask_y;
    o->dy[0][c] = static_cast<double>(py.frac);
    o->dy[1][c] = static_cast<double>(py.frac1);
    o->fade_y[c] = static_cast<double>(py.fade);
  }
  // The third axis is unwrapped: its mask keeps every bit.
  const AxisPoint pz = split(offset_z);
  o->z_index[0] = pz.cell;
  o->z_index[1] = pz.cell + 1;
  o->dz[0] = static_cast<double>(pz.frac);
  o->dz[1] = static_cast<double>(pz.frac1);
  o->fade_z = static_cast<double>(pz.fade);
}

}  // namespace

void fill_noise_field_fast(Field& field, std::int32_t cells_x, std::int32_t cells_y,
                           float lo, float hi, float sharpen, float offset_x,
                           float offset_y, float offset_z, int threads) {
  auto octave = std::make_unique<Octave>();
  prepare(octave.get(), cells_x, cells_y, lo, hi, sharpen, offset_x, offset_y, offset_z);
  for_row_slices(FIELD_SIZE, threads,
                 [&](int, int first, int last) { fill_rows(*octave, first, last, field); });
}

void fill_noise_field_fast(Field& field, std::int32_t cells_x, std::int32_t cells_y,
                           float lo, float hi, float sharpen, float offset_x,
                           float offset_y, float offset_z) {
  fill_noise_field_fast(field, cells_x, cells_y, lo, hi, sharpen, offset_x, offset_y,
                        offset_z, core_count());
}

}  // namespace vxlforge
