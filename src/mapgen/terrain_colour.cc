#include "mapgen/terrain_colour.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/cpu_features.h"
#include "base/parallel_rows.h"
#include "mapgen/shared_fields.h"
#include "random/noise.h"
#ifdef VXLFORGE_HAVE_AVX2_KERNELS
#include <immintrin.h>
#endif

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

namespace {

// What the colours of one row x depend on: its heights, the heights of row
// x - 1 (wrapping) and its column tops, each indexed by y.
struct RowInputs {
  const float* heights;
  const float* west;
  const std::uint8_t* tops;
};

// Colours of columns first..last-1 of a row, one at a time.
void colour_columns(const RowInputs& row, int first, int last, std::int32_t low,
                    std::int32_t high, Colour* out) {
  for (int y = first; y < last; ++y) {
    out[y] = terrain_column_colour(row.heights[y], row.west[y], row.heights[(y - 1) & 511],
                                   row.tops[y] == 0, low, high);
  }
}

#ifdef VXLFORGE_HAVE_AVX2_KERNELS

// The same arithmetic as terrain_column_colour, four columns at a time in
// double precision, each step rounded where the scalar code rounds it; a
// clamp or a choice between the branches is a blend of values worked out
// for every lane. Floor-level and raised colours are both worked out, and
// each column takes the one its top selects.
__attribute__((target("avx2"))) __m256d clamp01_wide(__m256d v) {
  const __m256d zero = _mm256_setzero_pd();
  const __m256d one = _mm256_set1_pd(1.0);
  v = _mm256_blendv_pd(v, zero, _mm256_cmp_pd(v, zero, _CMP_LT_OQ));
  return _mm256_blendv_pd(v, one, _mm256_cmp_pd(one, v, _CMP_LT_OQ));
}

// smoothstep01 of single-precision inputs, held as doubles.
__attribute__((target("avx2"))) __m256d ease_wide(__m256d v) {
  const __m256d zero = _mm256_setzero_pd();
  const __m256d one = _mm256_set1_pd(1.0);
  const __m256d square = _mm256_mul_pd(v, v);
  __m256d eased = _mm256_sub_pd(_mm256_mul_pd(square, _mm256_set1_pd(3.0)),
                                _mm256_mul_pd(_mm256_mul_pd(square, v), _mm256_set1_pd(2.0)));
  eased = _mm256_blendv_pd(eased, zero, _mm256_cmp_pd(v, zero, _CMP_LT_OQ));
  return _mm256_blendv_pd(eased, one, _mm256_cmp_pd(v, one, _CMP_GT_OQ));
}

// Rounds to single precision and back.
__attribute__((target("avx2"))) __m256d to_float(__m256d v) {
  return _mm256_cvtps_pd(_mm256_cvtpd_ps(v));
}

__attribute__((target("avx2"))) __m128i raised_component_wide(double base_start,
                                                               double base_gain,
                                                               __m256d height_t, __m256d slope_t,
                                                               __m256d shade) {
  const __m128i base = _mm256_cvttpd_epi32(
      _mm256_add_pd(_mm256_set1_pd(base_start), _mm256_mul_pd(_mm256_set1_pd(base_gain), height_t)));
  const __m256d base_d = _mm256_cvtepi32_pd(base);
  const __m256d to_grey = _mm256_cvtepi32_pd(_mm_sub_epi32(_mm_set1_epi32(120), base));
  const __m128i pulled = _mm256_cvttpd_epi32(_mm256_add_pd(base_d, _mm256_mul_pd(to_grey, slope_t)));
  return _mm256_cvttpd_epi32(_mm256_mul_pd(_mm256_cvtepi32_pd(pulled), shade));
}

// 0x80000000 + red * 65536 + green * 256 + blue, wrapping like Colour.
__attribute__((target("avx2"))) __m128i make_colour_wide(__m128i red, __m128i green,
                                                          __m128i blue) {
  __m128i c = _mm_add_epi32(_mm_set1_epi32(static_cast<int>(0x80000000u)), _mm_slli_epi32(red, 16));
  c = _mm_add_epi32(c, _mm_slli_epi32(green, 8));
  return _mm_add_epi32(c, blue);
}

__attribute__((target("avx2"))) void colour_columns_wide(const RowInputs& row, std::int32_t low,
                                                         std::int32_t high, Colour* out) {
  const float* h_row = row.heights;
  const float* west_row = row.west;
  const std::uint8_t* top_row = row.tops;
  const __m256d low_d = _mm256_set1_pd(static_cast<double>(static_cast<float>(low)));
  const __m256d range = _mm256_set1_pd(static_cast<double>(high - low));
  const __m256d shade_scale = _mm256_set1_pd(static_cast<double>(kShadeScale));
  // Column 0's neighbour at y - 1 wraps to 511: the scalar loop takes the
  // first four columns.
  colour_columns(row, 0, 4, low, high, out);
  for (int y = 4; y < MAP_Y; y += 4) {
    const __m256d h = _mm256_cvtps_pd(_mm_loadu_ps(h_row + y));
    const __m256d west = _mm256_cvtps_pd(_mm_loadu_ps(west_row + y));
    const __m256d south = _mm256_cvtps_pd(_mm_loadu_ps(h_row + y - 1));

    const __m256d depth_w = clamp01_wide(_mm256_sub_pd(
        _mm256_set1_pd(1.0),
        _mm256_mul_pd(_mm256_add_pd(h, _mm256_set1_pd(0.5)), _mm256_set1_pd(0.3333333333333333))));
    const __m128i floor_colour = make_colour_wide(
        _mm256_cvttpd_epi32(_mm256_sub_pd(_mm256_set1_pd(144.0), _mm256_mul_pd(_mm256_set1_pd(14.0), depth_w))),
        _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_set1_pd(160.0), _mm256_mul_pd(_mm256_set1_pd(10.0), depth_w))),
        _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_set1_pd(104.0), _mm256_mul_pd(_mm256_set1_pd(96.0), depth_w))));

    const __m256d d1 = to_float(_mm256_sub_pd(h, west));
    const __m256d d2 = _mm256_sub_pd(h, south);
    const __m256d slope = to_float(_mm256_add_pd(_mm256_mul_pd(d2, d2), _mm256_mul_pd(d1, d1)));
    const __m256d height_t =
        to_float(ease_wide(to_float(_mm256_div_pd(_mm256_sub_pd(h, low_d), range))));
    const __m256d slope_t =
        to_float(ease_wide(to_float(_mm256_mul_pd(slope, _mm256_set1_pd(0.625)))));
    const __m256d light = clamp01_wide(_mm256_div_pd(
        _mm256_add_pd(_mm256_mul_pd(_mm256_set1_pd(0.6), d1), _mm256_set1_pd(0.8)),
        _mm256_sqrt_pd(_mm256_add_pd(slope, _mm256_set1_pd(1.0)))));
    const __m256d shade =
        clamp01_wide(_mm256_add_pd(_mm256_mul_pd(shade_scale, light), _mm256_set1_pd(0.3)));
    const __m128i raised_colour =
        make_colour_wide(raised_component_wide(144.0, 76.0, height_t, slope_t, shade),
                         raised_component_wide(160.0, 60.0, height_t, slope_t, shade),
                         raised_component_wide(104.0, 116.0, height_t, slope_t, shade));

    std::int32_t four_tops;
    std::memcpy(&four_tops, top_row + y, sizeof(four_tops));
    const __m128i floor_level =
        _mm_cmpeq_epi32(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(four_tops)), _mm_setzero_si128());
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + y),
                     _mm_blendv_epi8(raised_colour, floor_colour, floor_level));
  }
}
#endif

#ifdef VXLFORGE_HAVE_AVX512_KERNELS
#define VXLFORGE_COLOUR_AVX512_TARGET __attribute__((target("avx2,avx512f,avx512dq,avx512vl")))

// The same again eight columns at a time: doubles in 512-bit registers,
// their single-precision and integer forms in 256-bit ones, and each blend
// a choice under a comparison's mask. The steps, and so the bits, are
// those of colour_columns_wide. The conversions are written with an
// all-lanes mask: GCC 12's unmasked forms leave their merge source
// undefined, which its warnings take for an uninitialised read.
constexpr __mmask8 kAllLanes = 0xFF;

VXLFORGE_COLOUR_AVX512_TARGET inline __m512d widen_8(__m256 v) {
  return _mm512_maskz_cvtps_pd(kAllLanes, v);
}

VXLFORGE_COLOUR_AVX512_TARGET inline __m512d to_float_8(__m512d v) {
  return widen_8(_mm512_maskz_cvtpd_ps(kAllLanes, v));
}

VXLFORGE_COLOUR_AVX512_TARGET inline __m256i truncate_8(__m512d v) {
  return _mm512_maskz_cvttpd_epi32(kAllLanes, v);
}

VXLFORGE_COLOUR_AVX512_TARGET inline __m512d from_int_8(__m256i v) {
  return _mm512_maskz_cvtepi32_pd(kAllLanes, v);
}

VXLFORGE_COLOUR_AVX512_TARGET inline __m512d clamp01_8(__m512d v) {
  const __m512d zero = _mm512_setzero_pd();
  const __m512d one = _mm512_set1_pd(1.0);
  v = _mm512_mask_blend_pd(_mm512_cmp_pd_mask(v, zero, _CMP_LT_OQ), v, zero);
  return _mm512_mask_blend_pd(_mm512_cmp_pd_mask(one, v, _CMP_LT_OQ), v, one);
}

VXLFORGE_COLOUR_AVX512_TARGET inline __m512d ease_8(__m512d v) {
  const __m512d square = _mm512_mul_pd(v, v);
  __m512d eased = _mm512_sub_pd(_mm512_mul_pd(square, _mm512_set1_pd(3.0)),
                                _mm512_mul_pd(_mm512_mul_pd(square, v), _mm512_set1_pd(2.0)));
  eased = _mm512_mask_blend_pd(_mm512_cmp_pd_mask(v, _mm512_setzero_pd(), _CMP_LT_OQ), eased,
                               _mm512_setzero_pd());
  return _mm512_mask_blend_pd(_mm512_cmp_pd_mask(v, _mm512_set1_pd(1.0), _CMP_GT_OQ), eased,
                              _mm512_set1_pd(1.0));
}

VXLFORGE_COLOUR_AVX512_TARGET inline __m256i raised_component_8(double base_start, double base_gain,
                                                                __m512d height_t, __m512d slope_t,
                                                                __m512d shade) {
  const __m256i base = truncate_8(_mm512_add_pd(
      _mm512_set1_pd(base_start), _mm512_mul_pd(_mm512_set1_pd(base_gain), height_t)));
  const __m512d to_grey = from_int_8(_mm256_sub_epi32(_mm256_set1_epi32(120), base));
  const __m256i pulled =
      truncate_8(_mm512_add_pd(from_int_8(base), _mm512_mul_pd(to_grey, slope_t)));
  return truncate_8(_mm512_mul_pd(from_int_8(pulled), shade));
}

VXLFORGE_COLOUR_AVX512_TARGET inline __m256i make_colour_8(__m256i red, __m256i green,
                                                           __m256i blue) {
  __m256i c = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(0x80000000u)),
                               _mm256_slli_epi32(red, 16));
  c = _mm256_add_epi32(c, _mm256_slli_epi32(green, 8));
  return _mm256_add_epi32(c, blue);
}

VXLFORGE_COLOUR_AVX512_TARGET void colour_columns_avx512(const RowInputs& row, std::int32_t low,
                                                         std::int32_t high, Colour* out) {
  const float* h_row = row.heights;
  const float* west_row = row.west;
  const std::uint8_t* top_row = row.tops;
  const __m512d low_d = _mm512_set1_pd(static_cast<double>(static_cast<float>(low)));
  const __m512d range = _mm512_set1_pd(static_cast<double>(high - low));
  const __m512d shade_scale = _mm512_set1_pd(static_cast<double>(kShadeScale));
  // Column 0's neighbour at y - 1 wraps to 511: the scalar loop takes the
  // first eight columns.
  colour_columns(row, 0, 8, low, high, out);
  for (int y = 8; y < MAP_Y; y += 8) {
    const __m512d h = widen_8(_mm256_loadu_ps(h_row + y));
    const __m512d west = widen_8(_mm256_loadu_ps(west_row + y));
    const __m512d south = widen_8(_mm256_loadu_ps(h_row + y - 1));

    const __m512d depth_w = clamp01_8(_mm512_sub_pd(
        _mm512_set1_pd(1.0),
        _mm512_mul_pd(_mm512_add_pd(h, _mm512_set1_pd(0.5)), _mm512_set1_pd(0.3333333333333333))));
    const __m256i floor_colour =
        make_colour_8(truncate_8(_mm512_sub_pd(_mm512_set1_pd(144.0),
                                               _mm512_mul_pd(_mm512_set1_pd(14.0), depth_w))),
                      truncate_8(_mm512_add_pd(_mm512_set1_pd(160.0),
                                               _mm512_mul_pd(_mm512_set1_pd(10.0), depth_w))),
                      truncate_8(_mm512_add_pd(_mm512_set1_pd(104.0),
                                               _mm512_mul_pd(_mm512_set1_pd(96.0), depth_w))));

    const __m512d d1 = to_float_8(_mm512_sub_pd(h, west));
    const __m512d d2 = _mm512_sub_pd(h, south);
    const __m512d slope = to_float_8(_mm512_add_pd(_mm512_mul_pd(d2, d2), _mm512_mul_pd(d1, d1)));
    const __m512d height_t =
        to_float_8(ease_8(to_float_8(_mm512_div_pd(_mm512_sub_pd(h, low_d), range))));
    const __m512d slope_t =
        to_float_8(ease_8(to_float_8(_mm512_mul_pd(slope, _mm512_set1_pd(0.625)))));
    const __m512d light = clamp01_8(
        _mm512_div_pd(_mm512_add_pd(_mm512_mul_pd(_mm512_set1_pd(0.6), d1), _mm512_set1_pd(0.8)),
                      _mm512_maskz_sqrt_pd(kAllLanes, _mm512_add_pd(slope, _mm512_set1_pd(1.0)))));
    const __m512d shade =
        clamp01_8(_mm512_add_pd(_mm512_mul_pd(shade_scale, light), _mm512_set1_pd(0.3)));
    const __m256i raised_colour =
        make_colour_8(raised_component_8(144.0, 76.0, height_t, slope_t, shade),
                      raised_component_8(160.0, 60.0, height_t, slope_t, shade),
                      raised_component_8(104.0, 116.0, height_t, slope_t, shade));

    std::int64_t eight_tops;
    std::memcpy(&eight_tops, top_row + y, sizeof(eight_tops));
    const __mmask8 floor_level = _mm256_cmpeq_epi32_mask(
        _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(eight_tops)), _mm256_setzero_si256());
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + y),
                        _mm256_mask_blend_epi32(floor_level, raised_colour, floor_colour));
  }
}
#endif

using ColourColumns = void(const RowInputs&, std::int32_t, std::int32_t, Colour*);

// A row of heights that walks gently and now and then jumps (from below
// the floor ramp to above the raised one), beside a row that differs
// everywhere, with floor-level and raised columns mixed, coloured both ways.
[[maybe_unused]] bool colours_agree(ColourColumns* wide_kernel) {
  float heights[MAP_Y];
  float west[MAP_Y];
  std::uint8_t tops[MAP_Y];
  std::uint32_t word = 1;
  const auto next = [&word] {
    word = word * 1664525u + 1013904223u;
    return static_cast<float>(word >> 8) / 16777216.0f;  // 0..1
  };
  float h = 3.0f;
  for (int y = 0; y < MAP_Y; ++y) {
    h = y % 37 == 0 ? next() * 53.0f - 8.0f : h + (next() - 0.5f) * 1.6f;
    heights[y] = h;
    west[y] = h + (next() - 0.5f) * (y % 5 == 0 ? 30.0f : 2.0f);
    tops[y] = static_cast<std::uint8_t>(y % 3 == 0 ? 0 : 1 + y % 30);
  }
  const RowInputs row{heights, west, tops};
  Colour plain[MAP_Y];
  Colour wide[MAP_Y];
  colour_columns(row, 0, MAP_Y, 4, 32, plain);
  wide_kernel(row, 4, 32, wide);
  return std::memcmp(plain, wide, sizeof(plain)) == 0;
}

bool wide_colours_agree() {
#ifdef VXLFORGE_HAVE_AVX2_KERNELS
  return colours_agree(colour_columns_wide);
#else
  return false;
#endif
}

bool avx512_colours_agree() {
#ifdef VXLFORGE_HAVE_AVX512_KERNELS
  return colours_agree(colour_columns_avx512);
#else
  return false;
#endif
}

constinit const WideKernelGate wide_colours("terrain colours", wide_colours_agree);
constinit const WideKernelGate avx512_colours("terrain colours, AVX-512", avx512_colours_agree,
                                              KernelIsa::kAvx512);

void colour_row(int x, std::int32_t low, std::int32_t high, Colour* out) {
  const RowInputs row{&height_field[field_index(x, 0)], &height_field[field_index((x - 1) & 511, 0)],
                      &column_top[column_index(x, 0)]};
#ifdef VXLFORGE_HAVE_AVX2_KERNELS
  // The AVX-512 copy only where the AVX2 copy passed its check too.
  if (wide_colours.open()) {
#ifdef VXLFORGE_HAVE_AVX512_KERNELS
    if (avx512_colours.open()) {
      colour_columns_avx512(row, low, high, out);
      return;
    }
#endif
    colour_columns_wide(row, low, high, out);
    return;
  }
#endif
  colour_columns(row, 0, MAP_Y, low, high, out);
}

}  // namespace

void colour_terrain(std::int32_t low, std::int32_t high) {
  // Every column depends only on the heights and its own top, so rows of x
  // can be coloured in parallel.
  for_row_slices(MAP_X, core_count(), [low, high](int, int first, int last) {
    colour_terrain_rows(first, last, low, high);
  });
}

void colour_terrain_rows(int first, int last, std::int32_t low, std::int32_t high) {
  Colour colours[MAP_Y];
  for (int x = first; x < last; ++x) {
    colour_row(x, low, high, colours);
    for (int y = 0; y < MAP_Y; ++y) set_column_colour(x, y, colours[y]);
  }
}

}  // namespace vxlforge
