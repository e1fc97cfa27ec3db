#include "random/fast_noise_fill.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "base/cpu_features.h"
#include "random/noise.h"
#include "random/noise_rounding.h"
#ifdef VXLFORGE_HAVE_AVX2_KERNELS
#include <immintrin.h>
#endif
#ifdef VXLFORGE_HAVE_AVX512_KERNELS
#define VXLFORGE_AVX512_TARGET \
  __attribute__((target("avx2,fma,avx512f,avx512dq,avx512vl,avx512bw")))
#endif

namespace vxlforge {

namespace {

using noise_rounding::AxisPoint;
using noise_rounding::lerp;
using noise_rounding::split;

// What one fill shares between all its cells.
struct Octave {
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
  // The same for blocks of 16 columns (0 to 15, from the segment of the
  // block's first column, block_segment[2 * b]).
  alignas(64) std::int32_t wide_block_offsets[FIELD_SIZE / 16][16];
  alignas(32) float dy[2][FIELD_SIZE];  // fraction for j = 0 and j = 1
  double fade_y[FIELD_SIZE];
  // Along the third coordinate, constant for the fill.
  std::int32_t z_index[2];
  float dz[2];
  double fade_z;
  // The gradient of corner k for each hash h of the first two coordinates
  // (0 to 255): its gx, gy and dz[k] * gz. The third coordinate is the same
  // for every cell, so the last step of each corner's hash, and the choice
  // of its gradient, are looked up instead of worked out per segment.
  struct CornerGradient {
    float gx, gy, gz_term;
  };
  CornerGradient corner_gradient[2][256];
  // Along the rows: each row's point, and the slots (see TermCache) of the
  // gradient terms of its lattice row's two indexes.
  AxisPoint row_point[FIELD_SIZE];
  std::int32_t row_slot[FIELD_SIZE][2];
  std::vector<std::int32_t> slot_index;  // the masked lattice index of each slot
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
  alignas(32) float partial[4][FIELD_SIZE];
  alignas(32) float gx[4][FIELD_SIZE];
};

// The gradient of one corner of every segment, as the three components the
// terms need: gx, gy and dz * gz (exact, as gz is -1, 0 or 1). Sixteen
// entries past the last segment are read, never used.
constexpr int kSegmentPadding = 16;
struct SegmentGradients {
  alignas(32) float gx[FIELD_SIZE + kSegmentPadding];
  alignas(32) float gy[FIELD_SIZE + kSegmentPadding];
  alignas(32) float gz_term[FIELD_SIZE + kSegmentPadding];
};

void hash_gradients(const Octave& o, std::int32_t x_index, SegmentGradients (&g)[4]) {
  const int hx = perm_table[x_index];
  const int segments = static_cast<int>(o.segments.size());
  for (int s = 0; s < segments; ++s) {
    const Octave::Segment& segment = o.segments[static_cast<std::size_t>(s)];
    for (int j = 0; j < 2; ++j) {
      // Neighbouring segments share the corners between them: those at
      // j = 0 are the previous segment's at j = 1, hashed already.
      if (j == 0 && s > 0 &&
          segment.y_index[0] == o.segments[static_cast<std::size_t>(s - 1)].y_index[1]) {
        for (int k = 0; k < 2; ++k) {
          SegmentGradients& corner = g[2 * k];
          const SegmentGradients& shared = g[1 + 2 * k];
          corner.gx[s] = shared.gx[s - 1];
          corner.gy[s] = shared.gy[s - 1];
          corner.gz_term[s] = shared.gz_term[s - 1];
        }
        continue;
      }
      const int hxy = perm_table[hx + segment.y_index[j]];
      for (int k = 0; k < 2; ++k) {
        const Octave::CornerGradient& gradient = o.corner_gradient[k][hxy];
        SegmentGradients& corner = g[j + 2 * k];
        corner.gx[s] = gradient.gx;
        corner.gy[s] = gradient.gy;
        corner.gz_term[s] = gradient.gz_term;
      }
    }
  }
  for (SegmentGradients& corner : g) {
    std::fill(corner.gx + segments, corner.gx + segments + kSegmentPadding, 0.0f);
    std::fill(corner.gy + segments, corner.gy + segments + kSegmentPadding, 0.0f);
    std::fill(corner.gz_term + segments, corner.gz_term + segments + kSegmentPadding, 0.0f);
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

#ifdef VXLFORGE_HAVE_AVX512_KERNELS
// Sixteen columns at a time, each picking its segment's gradient out of
// the sixteen segments from its block's first one. The picks are written
// with an all-lanes mask, like the conversions below, for GCC 12's
// warnings.
VXLFORGE_AVX512_TARGET void spread_terms_avx512(const Octave& o, const SegmentGradients (&g)[4],
                                                LatticeHalf* half) {
  for (int corner = 0; corner < 4; ++corner) {
    const float* dy = o.dy[corner & 1];
    const SegmentGradients& gc = g[corner];
    constexpr __mmask16 kAllColumns = 0xFFFF;
    for (int b = 0; b < FIELD_SIZE / 16; ++b) {
      const int s = o.block_segment[2 * b];
      const __m512i pick = _mm512_load_si512(o.wide_block_offsets[b]);
      const __m512 gx = _mm512_maskz_permutexvar_ps(kAllColumns, pick, _mm512_loadu_ps(gc.gx + s));
      const __m512 gy = _mm512_maskz_permutexvar_ps(kAllColumns, pick, _mm512_loadu_ps(gc.gy + s));
      const __m512 gz_term =
          _mm512_maskz_permutexvar_ps(kAllColumns, pick, _mm512_loadu_ps(gc.gz_term + s));
      const __m512 product = _mm512_mul_ps(_mm512_loadu_ps(dy + 16 * b), gy);
      _mm512_storeu_ps(half->partial[corner] + 16 * b, _mm512_add_ps(product, gz_term));
      _mm512_storeu_ps(half->gx[corner] + 16 * b, gx);
    }
  }
}
#endif

// Both wide kernels of the fill, spread_terms_wide and the wide copy of
// fill_columns, are checked together against their plain twins on a known
// octave; the check is defined at the end of the file.
bool wide_noise_fill_agrees();
constinit const WideKernelGate wide_noise_fill("noise fill", wide_noise_fill_agrees);

// The AVX-512 copies of spread_terms and fill_columns have a gate of their
// own, so that where they fail their check the AVX2 copies still run.
bool avx512_noise_fill_agrees();
constinit const WideKernelGate avx512_noise_fill("noise fill, AVX-512", avx512_noise_fill_agrees,
                                                 KernelIsa::kAvx512);

// The widest kernel for building terms that may run now: the AVX-512 copy
// only where the AVX2 copy passed its check too.
KernelIsa terms_isa() {
  if (!wide_noise_fill.open()) return KernelIsa::kPlain;
  return avx512_noise_fill.open() ? KernelIsa::kAvx512 : KernelIsa::kAvx2;
}

void spread_terms_for(const Octave& o, const SegmentGradients (&g)[4], LatticeHalf* half,
                      KernelIsa isa) {
#ifdef VXLFORGE_HAVE_AVX512_KERNELS
  if (isa == KernelIsa::kAvx512) {
    spread_terms_avx512(o, g, half);
    return;
  }
#endif
#ifdef VXLFORGE_HAVE_AVX2_KERNELS
  if (isa != KernelIsa::kPlain) {
    spread_terms_wide(o, g, half);
    return;
  }
#endif
  (void)isa;
  spread_terms(o, g, half);
}

void build_half(const Octave& o, std::int32_t x_index, SegmentGradients (&gradients)[4],
                LatticeHalf* half) {
  hash_gradients(o, x_index, gradients);
  spread_terms_for(o, gradients, half, terms_isa());
}

// The gradient terms of one octave, one LatticeHalf per lattice index along
// the rows, shared by every thread that fills the octave: the first fill
// that needs an index builds its terms, the others use them, and they are
// freed once every row that needs them has been filled. Chunks of rows
// share the indexes at their edges, and coarse octaves share a few indexes
// between all chunks, so this builds each once instead of once per chunk;
// rows filled in order on a few threads keep only the terms of the rows in
// flight. Terms depend only on the octave and the index, so which thread
// builds them cannot change a bit.
class TermCache {
 public:
  // One slot per masked lattice index; uses[s] is the number of rows whose
  // lattice row needs slot s.
  explicit TermCache(const std::vector<int>& uses) : slots_(uses.size()) {
    for (std::size_t s = 0; s < uses.size(); ++s) slots_[s].remaining = slots_[s].uses = uses[s];
  }

  // The terms of slot `slot`, built now with the working space `gradients`
  // if no other fill holds them. Each acquire is followed by a release.
  const LatticeHalf* acquire(const Octave& o, int slot, SegmentGradients (&gradients)[4]) {
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (s.half != nullptr) {
        ++s.active;
        return s.half.get();
      }
    }
    // Built without the lock, so that other threads build other terms at
    // the same time; if another built the same ones meanwhile, those are
    // kept and these dropped. Every term is written, so the block is not
    // cleared first.
    PooledPtr<LatticeHalf> fresh = make_pooled_for_overwrite<LatticeHalf>();
    build_half(o, o.slot_index[static_cast<std::size_t>(slot)], gradients, fresh.get());
    const std::lock_guard<std::mutex> lock(mutex_);
    if (s.half == nullptr) {
      s.half = std::move(fresh);
      ++built_;
      ++held_;
    }
    ++s.active;
    return s.half.get();
  }

  // `rows` rows that need slot `slot` are filled (acquired: whether the
  // terms were acquired for them). Once all of them are, the terms are
  // freed, and the count starts again for a later fill of the same rows.
  // Their block goes back to its pool, where the next terms built, of this
  // octave or another, find it with its pages in place.
  void release(int slot, int rows, bool acquired) {
    PooledPtr<LatticeHalf> done;  // given back after the lock
    const std::lock_guard<std::mutex> lock(mutex_);
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    if (acquired) --s.active;
    s.remaining -= rows;
    if (s.active == 0 && s.remaining <= 0) {
      s.remaining = s.uses;
      if (s.half != nullptr) {
        --held_;
        done = std::move(s.half);
      }
    }
  }

  NoiseOctave::TermCounts counts() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return {built_, held_};
  }

 private:
  struct Slot {
    int uses = 0;
    int remaining = 0;
    int active = 0;  // fills using the terms now
    PooledPtr<LatticeHalf> half;
  };
  std::mutex mutex_;
  std::vector<Slot> slots_;
  int built_ = 0;
  int held_ = 0;
};

// The terms of one slot for one lattice row's rows, released when done
// (also when the fill stops on an exception).
class TermLease {
 public:
  TermLease(TermCache* cache, int slot, int rows) : cache_(cache), slot_(slot), rows_(rows) {}
  TermLease(const TermLease&) = delete;
  TermLease& operator=(const TermLease&) = delete;
  ~TermLease() { cache_->release(slot_, rows_, half_ != nullptr); }

  const LatticeHalf& get(const Octave& o, SegmentGradients (&gradients)[4]) {
    half_ = cache_->acquire(o, slot_, gradients);
    return *half_;
  }

 private:
  TermCache* cache_;
  int slot_;
  int rows_;
  const LatticeHalf* half_ = nullptr;
};

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

#ifdef VXLFORGE_HAVE_AVX512_KERNELS

// The same cells written out for AVX-512, eight at a time: their single
// precision values in a 256-bit register, their double precision ones in a
// 512-bit one, so that widening and rounding take one conversion each and
// no lane has to be moved between halves of a register.
struct Cells8 {
  __m256 dx0, dx1;
  __m512d u, fade_z, to_unit, one, half, span, lo, sharpen;
};

constexpr __mmask8 kAllLanes = 0xFF;

// Conversions of eight lanes. Written with an explicit all-lanes mask: the
// unmasked forms of GCC 12 leave their merge source undefined, which its
// warnings take for an uninitialised read; the instructions are the same.
[[gnu::always_inline]] VXLFORGE_AVX512_TARGET inline __m512d widen_8(__m256 v) {
  return _mm512_maskz_cvtps_pd(kAllLanes, v);
}
[[gnu::always_inline]] VXLFORGE_AVX512_TARGET inline __m256 narrow_8(__m512d v) {
  return _mm512_maskz_cvtpd_ps(kAllLanes, v);
}

template <bool kMasked>
[[gnu::always_inline]] VXLFORGE_AVX512_TARGET inline __m256 load_8(const float* p, __mmask8 mask) {
  return kMasked ? _mm256_maskz_loadu_ps(mask, p) : _mm256_loadu_ps(p);
}

// A corner's value, partial + dx * gx, widened. The multiply and add are
// fused: gx is -1, 0 or 1, so the product is exact, and the fused form
// rounds the same exact sum once, as the separate multiply and add do (a
// zero product keeps its sign in both).
template <bool kMasked>
[[gnu::always_inline]] VXLFORGE_AVX512_TARGET inline __m512d corner_8(const LatticeHalf& h, int i,
                                                                      int c, __m256 dx,
                                                                      __mmask8 mask) {
  return widen_8(_mm256_fmadd_ps(dx, load_8<kMasked>(h.gx[i] + c, mask),
                                 load_8<kMasked>(h.partial[i] + c, mask)));
}

// ((b - a) * t) + a, unfused: the product is not exact.
[[gnu::always_inline]] VXLFORGE_AVX512_TARGET inline __m512d lerp_8(__m512d a, __m512d b,
                                                                    __m512d t) {
  return _mm512_add_pd(_mm512_mul_pd(_mm512_sub_pd(b, a), t), a);
}

// Rounded to single precision and widened again.
[[gnu::always_inline]] VXLFORGE_AVX512_TARGET inline __m512d round_8(__m512d v) {
  return widen_8(narrow_8(v));
}

// The eight corner values of eight cells, widened: corner (i, j, k) of a
// cell, from half i and entry j + 2 * k, at index i + 2 * (j + 2 * k).
using Corners8 = __m512d[8];

// Eight cells from column c, from their corners; with kMasked only those
// that `mask` selects are read or written.
template <bool kLinear, bool kMasked>
[[gnu::always_inline]] VXLFORGE_AVX512_TARGET inline void finish_8_cells(const Octave& o,
                                                                         const Corners8& g,
                                                                         const Cells8& k, int c,
                                                                         __mmask8 mask,
                                                                         float* __restrict out) {
  const __m512d a00 = round_8(lerp_8(g[0], g[1], k.u));
  const __m512d a01 = round_8(lerp_8(g[4], g[5], k.u));
  const __m512d a10 = round_8(lerp_8(g[2], g[3], k.u));
  const __m512d a11 = round_8(lerp_8(g[6], g[7], k.u));
  const __m512d fade_y =
      kMasked ? _mm512_maskz_loadu_pd(mask, o.fade_y + c) : _mm512_loadu_pd(o.fade_y + c);
  const __m512d b0 = round_8(lerp_8(a00, a10, fade_y));
  const __m512d b1 = round_8(lerp_8(a01, a11, fade_y));
  const __m512d n = lerp_8(b0, b1, k.fade_z);
  const __m512d t = _mm512_mul_pd(_mm512_add_pd(_mm512_mul_pd(n, k.to_unit), k.one), k.half);
  __m512d v;
  if constexpr (kLinear) {
    v = t;
  } else {
    const __m512d cubic = _mm512_sub_pd(_mm512_mul_pd(_mm512_mul_pd(t, t), t), t);
    v = _mm512_add_pd(_mm512_mul_pd(cubic, k.sharpen), t);
  }
  const __m256 cell = narrow_8(_mm512_add_pd(_mm512_mul_pd(v, k.span), k.lo));
  if constexpr (kMasked) {
    _mm256_mask_storeu_ps(out + c, mask, cell);
  } else {
    _mm256_storeu_ps(out + c, cell);
  }
}

// Eight cells from column c; with kMasked only those that `mask` selects
// are read or written.
template <bool kLinear, bool kMasked>
[[gnu::always_inline]] VXLFORGE_AVX512_TARGET inline void fill_8_cells(
    const Octave& o, const LatticeHalf& h0, const LatticeHalf& h1, const Cells8& k, int c,
    __mmask8 mask, float* __restrict out) {
  Corners8 g;
  for (int entry = 0; entry < 4; ++entry) {
    g[2 * entry] = corner_8<kMasked>(h0, entry, c, k.dx0, mask);
    g[2 * entry + 1] = corner_8<kMasked>(h1, entry, c, k.dx1, mask);
  }
  finish_8_cells<kLinear, kMasked>(o, g, k, c, mask, out);
}

// Sixteen cells from column c, as two groups of eight whose corner values
// are summed sixteen lanes wide (the same single roundings as corner_8):
// half the loads and corner sums of two calls of fill_8_cells.
template <bool kLinear>
[[gnu::always_inline]] VXLFORGE_AVX512_TARGET inline void fill_16_cells(
    const Octave& o, const LatticeHalf& h0, const LatticeHalf& h1, const Cells8& k, __m512 dx0,
    __m512 dx1, int c, float* __restrict out) {
  Corners8 low;
  Corners8 high;
  const __m512 dx[2] = {dx0, dx1};
  const LatticeHalf* const halves[2] = {&h0, &h1};
  for (int entry = 0; entry < 4; ++entry) {
    for (int i = 0; i < 2; ++i) {
      const __m512 value = _mm512_fmadd_ps(dx[i], _mm512_loadu_ps(halves[i]->gx[entry] + c),
                                           _mm512_loadu_ps(halves[i]->partial[entry] + c));
      low[i + 2 * entry] = widen_8(_mm512_maskz_extractf32x8_ps(kAllLanes, value, 0));
      high[i + 2 * entry] = widen_8(_mm512_maskz_extractf32x8_ps(kAllLanes, value, 1));
    }
  }
  finish_8_cells<kLinear, false>(o, low, k, c, 0, out);
  finish_8_cells<kLinear, false>(o, high, k, c + 8, 0, out);
}

// Sixteen cells a step, then one group of eight, then the last few under a
// mask.
template <bool kLinear>
VXLFORGE_AVX512_TARGET void fill_columns_avx512(const Octave& o, const LatticeHalf& h0,
                                                const LatticeHalf& h1, const AxisPoint& px,
                                                int first, int last, float* __restrict out) {
  const Cells8 k = {_mm256_set1_ps(px.frac),
                    _mm256_set1_ps(px.frac1),
                    _mm512_set1_pd(static_cast<double>(px.fade)),
                    _mm512_set1_pd(o.fade_z),
                    _mm512_set1_pd(static_cast<double>(noise_rounding::kNoiseToUnit)),
                    _mm512_set1_pd(1.0),
                    _mm512_set1_pd(0.5),
                    _mm512_set1_pd(o.span),
                    _mm512_set1_pd(o.lo),
                    _mm512_set1_pd(o.sharpen)};
  int c = first;
  const __m512 dx0 = _mm512_set1_ps(px.frac);
  const __m512 dx1 = _mm512_set1_ps(px.frac1);
  for (; c + 16 <= last; c += 16) fill_16_cells<kLinear>(o, h0, h1, k, dx0, dx1, c, out);
  if (c + 8 <= last) {
    fill_8_cells<kLinear, false>(o, h0, h1, k, c, 0, out);
    c += 8;
  }
  if (c < last) {
    const __mmask8 mask = static_cast<__mmask8>((1u << (last - c)) - 1u);
    fill_8_cells<kLinear, true>(o, h0, h1, k, c, mask, out);
  }
}
#endif

FillColumns* fill_columns_for(bool linear, KernelIsa isa) {
#ifdef VXLFORGE_HAVE_AVX512_KERNELS
  if (isa == KernelIsa::kAvx512) {
    return linear ? fill_columns_avx512<true> : fill_columns_avx512<false>;
  }
#endif
#ifdef VXLFORGE_HAVE_AVX2_KERNELS
  if (isa != KernelIsa::kPlain) return linear ? fill_columns_wide<true> : fill_columns_wide<false>;
#endif
  (void)isa;
  return linear ? fill_columns<true> : fill_columns<false>;
}

// The widest cell kernel that may run now.
KernelIsa fill_columns_isa() {
  if (avx512_noise_fill.open()) return KernelIsa::kAvx512;
  if (wide_noise_fill.open()) return KernelIsa::kAvx2;
  return KernelIsa::kPlain;
}

// Columns per tile: a tile's gradient terms (4 KiB) stay in the first-level
// cache while every row of the lattice row is filled.
constexpr int kTileColumns = 64;

// Rows first..last-1, only the column runs that runs_of(r) lists for row r.
template <typename RunsOf>
void fill_rows(const Octave& o, TermCache* cache, int first, int last, float* rows,
               SegmentGradients (&gradients)[4], const RunsOf& runs_of) {
  FillColumns* const fill_columns = fill_columns_for(o.linear, fill_columns_isa());
  const auto point = [&o](int r) -> const AxisPoint& { return o.row_point[r]; };
  // Rows that share a lattice row share all gradient terms.
  for (int r0 = first; r0 < last;) {
    int r1 = r0 + 1;
    while (r1 < last && point(r1).cell == point(r0).cell) ++r1;
    bool any_cells = false;
    for (int r = r0; r < r1 && !any_cells; ++r) {
      for (const ColumnRun& run : runs_of(r)) any_cells = any_cells || run.first < run.last;
    }
    TermLease lease0(cache, o.row_slot[r0][0], r1 - r0);
    TermLease lease1(cache, o.row_slot[r0][1], r1 - r0);
    if (any_cells) {
      const LatticeHalf& h0 = lease0.get(o, gradients);
      const LatticeHalf& h1 = lease1.get(o, gradients);
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
    }
    r0 = r1;
  }
}

void prepare(Octave* o, std::int32_t cells_x, std::int32_t cells_y, float lo, float hi,
             float sharpen, float offset_x, float offset_y, float offset_z) {
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
    o->wide_block_offsets[c / 16][c % 16] = segment - o->block_segment[c / 16 * 2];
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
  for (int k = 0; k < 2; ++k) {
    for (int hxy = 0; hxy < 256; ++hxy) {
      const float* basis = grad_basis[grad_index_table[perm_table[hxy + o->z_index[k]] & 63]];
      o->corner_gradient[k][hxy] = {basis[0], basis[1], o->dz[k] * basis[2]};
    }
  }
  // Each distinct masked index along the rows gets a slot, in the order
  // the rows first need it.
  // A wrapped axis has at most 256 indexes, looked up directly; an
  // unwrapped one is searched.
  o->slot_index.clear();
  const bool wrapped = o->mask_x >= 0 && o->mask_x <= 255;
  std::vector<std::int32_t> slot_of(wrapped ? 256 : 0, -1);
  const auto slot_for = [o, wrapped, &slot_of](std::int32_t index) {
    if (wrapped && slot_of[static_cast<std::size_t>(index)] >= 0) {
      return slot_of[static_cast<std::size_t>(index)];
    }
    if (!wrapped) {
      const auto found = std::find(o->slot_index.begin(), o->slot_index.end(), index);
      if (found != o->slot_index.end()) {
        return static_cast<std::int32_t>(found - o->slot_index.begin());
      }
    }
    o->slot_index.push_back(index);
    const auto slot = static_cast<std::int32_t>(o->slot_index.size()) - 1;
    if (wrapped) slot_of[static_cast<std::size_t>(index)] = slot;
    return slot;
  };
  for (int r = 0; r < FIELD_SIZE; ++r) {
    const AxisPoint px = split(noise_rounding::lattice_coordinate(r, o->step_x, o->offset_x));
    o->row_point[r] = px;
    for (int i = 0; i < 2; ++i) o->row_slot[r][i] = slot_for((px.cell + i) & o->mask_x);
  }
}

// How many rows need each slot's terms.
std::vector<int> slot_uses(const Octave& o) {
  std::vector<int> uses(o.slot_index.size(), 0);
  for (int r = 0; r < FIELD_SIZE; ++r) {
    for (int i = 0; i < 2; ++i) ++uses[static_cast<std::size_t>(o.row_slot[r][i])];
  }
  return uses;
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
  const PooledPtr<Check> check = make_pooled<Check>();
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
    fill_columns_for(linear, KernelIsa::kPlain)(o, check->plain[0], check->plain[1], px, 0,
                                                FIELD_SIZE, check->plain_cells);
    fill_columns_for(linear, KernelIsa::kAvx2)(o, check->plain[0], check->plain[1], px, 0,
                                               FIELD_SIZE, check->wide_cells);
    if (std::memcmp(check->plain_cells, check->wide_cells, sizeof(check->plain_cells)) != 0) {
      return false;
    }
  }
  return true;
#else
  return false;
#endif
}

// The AVX-512 terms against the plain ones, for segments of 2 to 64
// columns; then the AVX-512 cells against the plain ones, linear and
// sharpened, over whole rows and over runs that start anywhere and end with
// every remainder the mask handles: the same bits in every cell of a run,
// and no cell written outside it. In the later octaves the noise nearly cancels, or the
// fractions are tiny beside the third coordinate, so that an interpolation
// rounded in the wrong place shows in the cells.
bool avx512_noise_fill_agrees() {
#ifdef VXLFORGE_HAVE_AVX512_KERNELS
  struct Check {
    Octave octave;
    SegmentGradients gradients[4];
    LatticeHalf halves[2];
    LatticeHalf wide_halves[2];
    float plain_cells[FIELD_SIZE];
    float wide_cells[FIELD_SIZE];
  };
  struct Known {
    std::int32_t cells;
    float lo, hi, offset_x, offset_y, offset_z;
    int row;
  };
  const PooledPtr<Check> check = make_pooled<Check>();
  const Octave& o = check->octave;
  const ColumnRun runs[] = {{0, FIELD_SIZE}, {1, 510}, {3, 20}, {7, 8}, {16, 31}, {37, 53}};
  for (const Known& known : {Known{64, -3.0f, 5.0f, 37.25f, 101.37f, 12.75f, 5},
                             Known{8, -3.0f, 3.0f, 255.99998f, 127.99999f, 1.0000001f, 445},
                             Known{64, -3.0f, 3.0f, 3.7e-11f, 1.3e-9f, 0.70710677f, 0},
                             Known{200, -1.0f, 1.0f, 0.3721f, 0.9184f, 0.0519f, 77}}) {
    check->octave = Octave();
    prepare(&check->octave, known.cells, known.cells, known.lo, known.hi, 0.4f, known.offset_x,
            known.offset_y, known.offset_z);
    const AxisPoint px = split(noise_rounding::lattice_coordinate(known.row, o.step_x, o.offset_x));
    for (int i = 0; i < 2; ++i) {
      hash_gradients(o, (px.cell + i) & o.mask_x, check->gradients);
      spread_terms(o, check->gradients, &check->halves[i]);
      spread_terms_avx512(o, check->gradients, &check->wide_halves[i]);
      if (!same_terms(check->halves[i], check->wide_halves[i])) return false;
    }
    for (const bool linear : {true, false}) {
      for (const ColumnRun& run : runs) {
        std::fill(std::begin(check->plain_cells), std::end(check->plain_cells), -7.0f);
        std::fill(std::begin(check->wide_cells), std::end(check->wide_cells), -7.0f);
        fill_columns_for(linear, KernelIsa::kPlain)(o, check->halves[0], check->halves[1], px,
                                                    run.first, run.last, check->plain_cells);
        fill_columns_for(linear, KernelIsa::kAvx512)(o, check->halves[0], check->halves[1], px,
                                                     run.first, run.last, check->wide_cells);
        if (std::memcmp(check->plain_cells, check->wide_cells, sizeof(check->plain_cells)) != 0) {
          return false;
        }
      }
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
  std::unique_ptr<TermCache> terms;
};

// The working space for building terms: too large for a thread's stack.
struct NoiseOctave::Scratch::Terms {
  SegmentGradients gradients[4];
};

NoiseOctave::Scratch::Scratch() : terms_(make_pooled_for_overwrite<Terms>()) {}
NoiseOctave::Scratch::~Scratch() = default;
NoiseOctave::Scratch::Scratch(Scratch&&) noexcept = default;
NoiseOctave::Scratch& NoiseOctave::Scratch::operator=(Scratch&&) noexcept = default;

NoiseOctave::NoiseOctave(std::int32_t cells_x, std::int32_t cells_y, float lo, float hi,
                         float sharpen, float offset_x, float offset_y, float offset_z)
    : prepared_(make_pooled<Prepared>()) {
  prepare(&prepared_->octave, cells_x, cells_y, lo, hi, sharpen, offset_x, offset_y, offset_z);
  prepared_->terms = std::make_unique<TermCache>(slot_uses(prepared_->octave));
}

NoiseOctave::~NoiseOctave() = default;
NoiseOctave::NoiseOctave(NoiseOctave&&) noexcept = default;
NoiseOctave& NoiseOctave::operator=(NoiseOctave&&) noexcept = default;

void NoiseOctave::fill_rows(Field& field, int first, int last, Scratch* scratch) const {
  fill_rows(field.data() + field_index(first, 0), first, last, scratch);
}

void NoiseOctave::fill_rows(float* rows, int first, int last, Scratch* scratch) const {
  static const ColumnRun kWholeRow[1] = {{0, FIELD_SIZE}};
  vxlforge::fill_rows(prepared_->octave, prepared_->terms.get(), first, last, rows,
                      scratch->terms_->gradients,
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
  vxlforge::fill_rows(prepared_->octave, prepared_->terms.get(), first, last, rows,
                      scratch->terms_->gradients, [&runs, first](int r) {
                        return std::span<const ColumnRun>(runs[static_cast<std::size_t>(r - first)]);
                      });
}

NoiseOctave::TermCounts NoiseOctave::term_counts() const { return prepared_->terms->counts(); }

void choose_noise_fill_kernels() {
  wide_noise_fill.open();
  avx512_noise_fill.open();
}

}  // namespace vxlforge
