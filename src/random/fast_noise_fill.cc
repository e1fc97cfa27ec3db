#include "random/fast_noise_fill.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "base/cpu_features.h"
#include "random/noise.h"
#include "random/noise_rounding.h"
#ifdef VXLFORGE_HAVE_AVX2_KERNELS
#include <immintrin.h>
#endif

namespace vxlforge {

namespace {

using noise_rounding::AxisPoint;
using noise_rounding::lerp;
using noise_rounding::split;

// What one fill shares between all its cells.
struct Octave {
  // Names this octave to the scratch that caches its gradient terms; an
  // address could be reused by a later octave, a number is not.
  std::uint64_t id;
  std::int32_t mask_x;
  float step_x;
  float offset_x;
  double lo;
  double span;
  double sharpen;
  // sharpen is +0: the cubic term ((t * t) * t - t) * 0 adds a zero to t,
  // which leaves t unchanged (t is never -0, as it is (n * k + 1) * 0.5),
  // so the term can be skipped without changing a bit.
  bool linear;
  // Along the columns: runs of columns that lie in the same lattice cell
  // share their corners' gradients.
  struct Segment {
    int first, last;         // columns first..last-1
    std::int32_t y_index[2];  // masked lattice index of the corners j = 0, 1
  };
  std::vector<Segment> segments;
  // For each block of 8 columns: its first column's segment, and each
  // column's segment counted from that one (0 to 7, as a block of 8
  // columns spans at most 8 segments).
  std::int32_t block_segment[FIELD_SIZE / 8];
  alignas(32) std::int32_t block_offsets[FIELD_SIZE / 8][8];
  alignas(32) float dy[2][FIELD_SIZE];  // fraction for j = 0 and j = 1
  double fade_y[FIELD_SIZE];
  // Along the third coordinate, constant for the fill.
  std::int32_t z_index[2];
  float dz[2];
  double fade_z;
};

// The gradient terms of the four corners (j, k) that share one lattice
// index along the rows, for every column. A gradient has one component 0
// and two of +-1, so a corner value (dy * gy + dz * gz) + dx * gx, summed in
// double precision and rounded, is the single-precision sum of two signed
// fractions: one rounding of an exact two-term sum, which single-precision
// addition gives bit for bit (double precision has more than twice the
// digits plus two). So partial = (dy * gy) + (dz * gz) rounded, gx is the
// gradient's x component, and the corner value is partial + dx * gx in
// single precision. Corner (j, k) is entry j + 2 * k.
struct LatticeHalf {
  std::uint64_t octave = 0;  // the terms are those of `x_index` of this octave
  std::int32_t x_index = -1;  // masked lattice index along the rows
  alignas(32) float partial[4][FIELD_SIZE];
  alignas(32) float gx[4][FIELD_SIZE];
};

// Per thread: the two halves last built. Lattice row X uses the halves of
// the indexes X and X + 1, so the next lattice row X + 1 finds one of its
// halves already built and builds only the other.
struct LatticeRow {
  LatticeHalf halves[2];
  const LatticeHalf* corner_half[2] = {nullptr, nullptr};  // for i = 0 and 1
};

// The gradient of one corner of every segment, as the three components the
// terms need: gx, gy and dz * gz (exact, as gz is -1, 0 or 1). Eight
// entries past the last segment are read, never used.
struct SegmentGradients {
  alignas(32) float gx[FIELD_SIZE + 8];
  alignas(32) float gy[FIELD_SIZE + 8];
  alignas(32) float gz_term[FIELD_SIZE + 8];
};

void hash_gradients(const Octave& o, std::int32_t x_index, SegmentGradients (&g)[4]) {
  const int hx = perm_table[x_index];
  const int segments = static_cast<int>(o.segments.size());
  for (int s = 0; s < segments; ++s) {
    const Octave::Segment& segment = o.segments[static_cast<std::size_t>(s)];
    for (int j = 0; j < 2; ++j) {
      const int hxy = perm_table[hx + segment.y_index[j]];
      for (int k = 0; k < 2; ++k) {
        const float* basis = grad_basis[grad_index_table[perm_table[hxy + o.z_index[k]] & 63]];
        SegmentGradients& corner = g[j + 2 * k];
        corner.gx[s] = basis[0];
        corner.gy[s] = basis[1];
        corner.gz_term[s] = o.dz[k] * basis[2];
      }
    }
  }
  for (SegmentGradients& corner : g) {
    std::fill(corner.gx + segments, corner.gx + segments + 8, 0.0f);
    std::fill(corner.gy + segments, corner.gy + segments + 8, 0.0f);
    std::fill(corner.gz_term + segments, corner.gz_term + segments + 8, 0.0f);
  }
}

// partial = (dy * gy) + (dz * gz) is, like a corner value, one rounding of
// a sum of two signed fractions (or just one of them), so it is summed in
// single precision.
void spread_terms(const Octave& o, const SegmentGradients (&g)[4], LatticeHalf* half) {
  for (int corner = 0; corner < 4; ++corner) {
    const float* dy = o.dy[corner & 1];
    for (const Octave::Segment& segment : o.segments) {
      const int s = static_cast<int>(&segment - o.segments.data());
      for (int c = segment.first; c < segment.last; ++c) {
        half->partial[corner][c] = dy[c] * g[corner].gy[s] + g[corner].gz_term[s];
        half->gx[corner][c] = g[corner].gx[s];
      }
    }
  }
}

#ifdef VXLFORGE_HAVE_AVX2_KERNELS
// The same eight columns at a time: each column picks its segment's
// gradient out of the eight segments from its block's first one. Segments
// are often only 2 or 4 columns long, too short for a loop per segment.
__attribute__((target("avx2"))) void spread_terms_wide(const Octave& o,
                                                       const SegmentGradients (&g)[4],
                                                       LatticeHalf* half) {
  for (int corner = 0; corner < 4; ++corner) {
    const float* dy = o.dy[corner & 1];
    const SegmentGradients& gc = g[corner];
    for (int b = 0; b < FIELD_SIZE / 8; ++b) {
      const int s = o.block_segment[b];
      const __m256i pick =
          _mm256_load_si256(reinterpret_cast<const __m256i*>(o.block_offsets[b]));
      const __m256 gx = _mm256_permutevar8x32_ps(_mm256_loadu_ps(gc.gx + s), pick);
      const __m256 gy = _mm256_permutevar8x32_ps(_mm256_loadu_ps(gc.gy + s), pick);
      const __m256 gz_term = _mm256_permutevar8x32_ps(_mm256_loadu_ps(gc.gz_term + s), pick);
      const __m256 product = _mm256_mul_ps(_mm256_load_ps(dy + 8 * b), gy);
      _mm256_store_ps(half->partial[corner] + 8 * b, _mm256_add_ps(product, gz_term));
      _mm256_store_ps(half->gx[corner] + 8 * b, gx);
    }
  }
}
#endif

// Both wide kernels of the fill, spread_terms_wide and the wide copy of
// fill_columns, are checked together against their plain twins on a known
// octave; the check is defined at the end of the file.
bool wide_noise_fill_agrees();
constinit const WideKernelGate wide_noise_fill("noise fill", wide_noise_fill_agrees);

void spread_terms_for(const Octave& o, const SegmentGradients (&g)[4], LatticeHalf* half,
                      bool wide) {
#ifdef VXLFORGE_HAVE_AVX2_KERNELS
  if (wide) {
    spread_terms_wide(o, g, half);
    return;
  }
#endif
  (void)wide;
  spread_terms(o, g, half);
}

void build_half(const Octave& o, std::int32_t x_index, LatticeHalf* half) {
  SegmentGradients gradients[4];
  hash_gradients(o, x_index, gradients);
  spread_terms_for(o, gradients, half, wide_noise_fill.open());
  half->octave = o.id;
  half->x_index = x_index;
}

// Makes row->corner_half hold the terms of lattice row `x_cell`, building
// only the halves that neither slot holds yet.
void use_lattice_row(const Octave& o, std::int32_t x_cell, LatticeRow* row) {
  const std::int32_t wanted[2] = {x_cell & o.mask_x, (x_cell + 1) & o.mask_x};
  const auto holds = [&o](const LatticeHalf& half, std::int32_t index) {
    return half.octave == o.id && half.x_index == index;
  };
  const LatticeHalf* found[2] = {nullptr, nullptr};
  bool in_use[2] = {false, false};
  for (int i = 0; i < 2; ++i) {
    for (int slot = 0; slot < 2; ++slot) {
      if (holds(row->halves[slot], wanted[i])) {
        found[i] = &row->halves[slot];
        in_use[slot] = true;
        break;
      }
    }
  }
  for (int i = 0; i < 2; ++i) {
    if (found[i] != nullptr) continue;
    const int slot = in_use[0] ? 1 : 0;
    build_half(o, wanted[i], &row->halves[slot]);
    found[i] = &row->halves[slot];
    in_use[slot] = true;
  }
  row->corner_half[0] = found[0];
  row->corner_half[1] = found[1];
}

// dx * gx is exact (gx is -1, 0 or 1), so this adds once and rounds once.
float corner_value(const LatticeHalf& half, int corner, int c, float dx) {
  return half.partial[corner][c] + dx * half.gx[corner][c];
}

// Columns first..last-1 of one row. The loop has no branches and reads only
// contiguous arrays, so it vectorises; compiled a second time for AVX2 it
// uses the wider vectors. The operations, and so the bits, are the same.
template <bool kLinear>
[[gnu::always_inline]] inline void fill_columns_body(const Octave& o, const LatticeHalf& h0,
                                                     const LatticeHalf& h1, const AxisPoint& px,
                                                     int first, int last, float* __restrict out) {
  const float dx0 = px.frac;
  const float dx1 = px.frac1;
  const double u = static_cast<double>(px.fade);
  // `out` never overlaps what the loop reads. Once this body is inlined
  // the compiler no longer sees that from the restrict, and would test for
  // an overlap on every call.
#if defined(__clang__)
#pragma clang loop vectorize(assume_safety)
#elif defined(__GNUC__)
#pragma GCC ivdep
#endif
  for (int c = first; c < last; ++c) {
    const float g000 = corner_value(h0, 0, c, dx0);
    const float g100 = corner_value(h1, 0, c, dx1);
    const float g010 = corner_value(h0, 1, c, dx0);
    const float g110 = corner_value(h1, 1, c, dx1);
    const float g001 = corner_value(h0, 2, c, dx0);
    const float g101 = corner_value(h1, 2, c, dx1);
    const float g011 = corner_value(h0, 3, c, dx0);
    const float g111 = corner_value(h1, 3, c, dx1);
    const float a00 = static_cast<float>(lerp(g000, g100, u));
    const float a01 = static_cast<float>(lerp(g001, g101, u));
    const float a10 = static_cast<float>(lerp(g010, g110, u));
    const float a11 = static_cast<float>(lerp(g011, g111, u));
    const float b0 = static_cast<float>(lerp(a00, a10, o.fade_y[c]));
    const float b1 = static_cast<float>(lerp(a01, a11, o.fade_y[c]));
    const double n = lerp(b0, b1, o.fade_z);
    const double t = noise_rounding::unit_of_noise(n);
    if constexpr (kLinear) {
      out[c] = static_cast<float>(t * o.span + o.lo);
    } else {
      out[c] = static_cast<float>((((t * t) * t - t) * o.sharpen + t) * o.span + o.lo);
    }
  }
}

using FillColumns = void(const Octave&, const LatticeHalf&, const LatticeHalf&, const AxisPoint&,
                         int, int, float*);

template <bool kLinear>
void fill_columns(const Octave& o, const LatticeHalf& h0, const LatticeHalf& h1,
                  const AxisPoint& px, int first, int last, float* __restrict out) {
  fill_columns_body<kLinear>(o, h0, h1, px, first, last, out);
}

#ifdef VXLFORGE_HAVE_AVX2_KERNELS
template <bool kLinear>
__attribute__((target("avx2"))) void fill_columns_wide(const Octave& o, const LatticeHalf& h0,
                                                       const LatticeHalf& h1, const AxisPoint& px,
                                                       int first, int last, float* __restrict out) {
  fill_columns_body<kLinear>(o, h0, h1, px, first, last, out);
}
#endif

FillColumns* fill_columns_for(bool linear, bool wide) {
#ifdef VXLFORGE_HAVE_AVX2_KERNELS
  if (wide) return linear ? fill_columns_wide<true> : fill_columns_wide<false>;
#endif
  (void)wide;
  return linear ? fill_columns<true> : fill_columns<false>;
}

// Columns per tile: a tile's gradient terms (4 KiB) stay in the first-level
// cache while every row of the lattice row is filled.
constexpr int kTileColumns = 64;

// Rows first..last-1, only the column runs that runs_of(r) lists for row r.
// `row` may hold the terms of a lattice row of this octave from an earlier
// call, which are then used again.
template <typename RunsOf>
void fill_rows(const Octave& o, int first, int last, float* rows, LatticeRow* row,
               const RunsOf& runs_of) {
  FillColumns* const fill_columns = fill_columns_for(o.linear, wide_noise_fill.open());
  AxisPoint points[FIELD_SIZE];
  for (int r = first; r < last; ++r) {
    points[r - first] = split(noise_rounding::lattice_coordinate(r, o.step_x, o.offset_x));
  }
  const auto point = [&](int r) -> const AxisPoint& { return points[r - first]; };
  // Rows that share a lattice row share all gradient terms.
  for (int r0 = first; r0 < last;) {
    int r1 = r0 + 1;
    while (r1 < last && point(r1).cell == point(r0).cell) ++r1;
    use_lattice_row(o, point(r0).cell, row);
    const LatticeHalf& h0 = *row->corner_half[0];
    const LatticeHalf& h1 = *row->corner_half[1];
    for (int c = 0; c < FIELD_SIZE; c += kTileColumns) {
      for (int r = r0; r < r1; ++r) {
        for (const ColumnRun& run : runs_of(r)) {
          const int from = std::max(run.first, c);
          const int to = std::min(run.last, c + kTileColumns);
          if (from >= to) continue;
          float* out = rows + static_cast<std::ptrdiff_t>(r - first) * FIELD_SIZE;
          fill_columns(o, h0, h1, point(r), from, to, out);
        }
      }
    }
    r0 = r1;
  }
}

void prepare(Octave* o, std::int32_t cells_x, std::int32_t cells_y, float lo, float hi,
             float sharpen, float offset_x, float offset_y, float offset_z) {
  static std::atomic<std::uint64_t> last_id{0};
  o->id = ++last_id;
  o->mask_x = noise_rounding::wrap_mask(cells_x);
  o->step_x = noise_rounding::lattice_step(cells_x);
  o->offset_x = offset_x;
  o->lo = static_cast<double>(lo);
  o->span = static_cast<double>(static_cast<float>(static_cast<double>(hi) - static_cast<double>(lo)));
  o->sharpen = static_cast<double>(sharpen);
  o->linear = sharpen == 0.0f && !std::signbit(sharpen);
  const std::int32_t mask_y = noise_rounding::wrap_mask(cells_y);
  const float step_y = noise_rounding::lattice_step(cells_y);
  std::int32_t previous_cell = 0;
  for (int c = 0; c < FIELD_SIZE; ++c) {
    const AxisPoint py = split(noise_rounding::lattice_coordinate(c, step_y, offset_y));
    if (c == 0 || py.cell != previous_cell) {
      o->segments.push_back({c, c, {py.cell & mask_y, (py.cell + 1) & mask_y}});
      previous_cell = py.cell;
    }
    o->segments.back().last = c + 1;
    const std::int32_t segment = static_cast<std::int32_t>(o->segments.size()) - 1;
    if (c % 8 == 0) o->block_segment[c / 8] = segment;
    o->block_offsets[c / 8][c % 8] = segment - o->block_segment[c / 8];
    o->dy[0][c] = py.frac;
    o->dy[1][c] = py.frac1;
    o->fade_y[c] = static_cast<double>(py.fade);
  }
  // The third axis is unwrapped: its mask keeps every bit.
  const AxisPoint pz = split(offset_z);
  o->z_index[0] = pz.cell;
  o->z_index[1] = pz.cell + 1;
  o->dz[0] = pz.frac;
  o->dz[1] = pz.frac1;
  o->fade_z = static_cast<double>(pz.fade);
}

#ifdef VXLFORGE_HAVE_AVX2_KERNELS
bool same_terms(const LatticeHalf& a, const LatticeHalf& b) {
  return std::memcmp(a.partial, b.partial, sizeof(a.partial)) == 0 &&
         std::memcmp(a.gx, b.gx, sizeof(a.gx)) == 0;
}
#endif

// Two lattice rows of a sharpened octave whose segments are of every
// length, built and filled both ways, linear and sharpened: every term and
// every cell must have the same bits.
bool wide_noise_fill_agrees() {
#ifdef VXLFORGE_HAVE_AVX2_KERNELS
  struct Check {
    Octave octave;
    LatticeHalf plain[2];
    LatticeHalf wide[2];
    float plain_cells[FIELD_SIZE];
    float wide_cells[FIELD_SIZE];
  };
  const auto check = std::make_unique<Check>();
  const Octave& o = check->octave;
  prepare(&check->octave, 64, 200, -3.0f, 5.0f, 0.4f, 37.25f, 101.37f, 12.75f);
  for (int i = 0; i < 2; ++i) {
    SegmentGradients gradients[4];
    hash_gradients(o, 5 + i, gradients);
    spread_terms(o, gradients, &check->plain[i]);
    spread_terms_wide(o, gradients, &check->wide[i]);
    if (!same_terms(check->plain[i], check->wide[i])) return false;
  }
  const AxisPoint px = split(5.3f);
  for (const bool linear : {true, false}) {
    fill_columns_for(linear, false)(o, check->plain[0], check->plain[1], px, 0, FIELD_SIZE,
                                    check->plain_cells);
    fill_columns_for(linear, true)(o, check->plain[0], check->plain[1], px, 0, FIELD_SIZE,
                                   check->wide_cells);
    if (std::memcmp(check->plain_cells, check->wide_cells, sizeof(check->plain_cells)) != 0) {
      return false;
    }
  }
  return true;
#else
  return false;
#endif
}

}  // namespace

struct NoiseOctave::Prepared {
  Octave octave;
};

struct NoiseOctave::Scratch::Terms {
  LatticeRow row;
};

NoiseOctave::Scratch::Scratch() : terms_(std::make_unique<Terms>()) {}
NoiseOctave::Scratch::~Scratch() = default;
NoiseOctave::Scratch::Scratch(Scratch&&) noexcept = default;
NoiseOctave::Scratch& NoiseOctave::Scratch::operator=(Scratch&&) noexcept = default;

NoiseOctave::NoiseOctave(std::int32_t cells_x, std::int32_t cells_y, float lo, float hi,
                         float sharpen, float offset_x, float offset_y, float offset_z)
    : prepared_(std::make_unique<Prepared>()) {
  prepare(&prepared_->octave, cells_x, cells_y, lo, hi, sharpen, offset_x, offset_y, offset_z);
}

NoiseOctave::~NoiseOctave() = default;
NoiseOctave::NoiseOctave(NoiseOctave&&) noexcept = default;
NoiseOctave& NoiseOctave::operator=(NoiseOctave&&) noexcept = default;

void NoiseOctave::fill_rows(Field& field, int first, int last, Scratch* scratch) const {
  fill_rows(field.data() + field_index(first, 0), first, last, scratch);
}

void NoiseOctave::fill_rows(float* rows, int first, int last, Scratch* scratch) const {
  static const ColumnRun kWholeRow[1] = {{0, FIELD_SIZE}};
  vxlforge::fill_rows(prepared_->octave, first, last, rows, &scratch->terms_->row,
                      [](int) { return std::span<const ColumnRun>(kWholeRow); });
}

void NoiseOctave::fill_row_runs(Field& field, int first, int last,
                                std::span<const std::vector<ColumnRun>> runs,
                                Scratch* scratch) const {
  fill_row_runs(field.data() + field_index(first, 0), first, last, runs, scratch);
}

void NoiseOctave::fill_row_runs(float* rows, int first, int last,
                                std::span<const std::vector<ColumnRun>> runs,
                                Scratch* scratch) const {
  vxlforge::fill_rows(prepared_->octave, first, last, rows, &scratch->terms_->row,
                      [&runs, first](int r) {
                        return std::span<const ColumnRun>(runs[static_cast<std::size_t>(r - first)]);
                      });
}

}  // namespace vxlforge
