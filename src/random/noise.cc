#include "random/noise.h"

#include <cmath>

namespace vxlforge {

namespace {

// 5/6 rounded to single precision (bits 0x3F555555): maps noise values of
// -1.2..1.2 onto 0..1.
constexpr float kNoiseToUnit = 0.8333333f;
constexpr float kInverseFieldSize = 0.001953125f;  // 1/512

std::int32_t wrap_mask(std::int32_t period) {
  return period >= 256 ? 255 : period - 1;
}

// 6t^5 - 15t^4 + 10t^3 in exactly this nesting. `first` is the value of the
// leading t * 6 factor; it differs from t only for a negative coordinate,
// whose fraction may need one bit more than single precision holds.
float fade(double first, float t) {
  const double td = static_cast<double>(t);
  return static_cast<float>(((((first * 6.0 - 15.0) * td + 10.0) * td) * td) * td);
}

float grad(int hash, float dx, float dy, float dz) {
  const float* g = grad_basis[grad_index_table[hash & 63]];
  return static_cast<float>(
      ((static_cast<double>(dy) * static_cast<double>(g[1])) +
       (static_cast<double>(dz) * static_cast<double>(g[2]))) +
      (static_cast<double>(dx) * static_cast<double>(g[0])));
}

double lerp(float a, float b, float t) {
  return ((static_cast<double>(b) - static_cast<double>(a)) *
          static_cast<double>(t)) +
         static_cast<double>(a);
}

}  // namespace

double noise3(float x, float y, float z, std::int32_t wrap_x,
              std::int32_t wrap_y, std::int32_t wrap_z) {
  const std::int32_t mask_x = wrap_mask(wrap_x);
  const std::int32_t mask_y = wrap_mask(wrap_y);
  const std::int32_t mask_z = wrap_mask(wrap_z);

  const std::int32_t X = static_cast<std::int32_t>(std::floor(static_cast<double>(x)));
  const std::int32_t Y = static_cast<std::int32_t>(std::floor(static_cast<double>(y)));
  const std::int32_t Z = static_cast<std::int32_t>(std::floor(static_cast<double>(z)));

  const double exact_fx = static_cast<double>(x) - static_cast<double>(X);
  const double exact_fy = static_cast<double>(y) - static_cast<double>(Y);
  const float fx = static_cast<float>(exact_fx);
  const float fy = static_cast<float>(exact_fy);
  const float fz = static_cast<float>(static_cast<double>(z) - static_cast<double>(Z));

  const float u = fade(exact_fx, fx);
  const float v = fade(exact_fy, fy);
  const float w = fade(static_cast<double>(fz), fz);

  // The first coordinate is hashed first, then the second, then the third;
  // a corner's offset is added before masking so the last cell of a period
  // is followed by cell 0.
  const int hx0 = perm_table[X & mask_x];
  const int hx1 = perm_table[(X + 1) & mask_x];
  const int h00 = perm_table[hx0 + (Y & mask_y)];
  const int h10 = perm_table[hx1 + (Y & mask_y)];
  const int h01 = perm_table[hx0 + ((Y + 1) & mask_y)];
  const int h11 = perm_table[hx1 + ((Y + 1) & mask_y)];
  const int z0 = Z & mask_z;
  const int z1 = (Z + 1) & mask_z;

  const float fx1 = static_cast<float>(static_cast<double>(fx) - 1.0);
  const float fy1 = static_cast<float>(static_cast<double>(fy) - 1.0);
  const float fz1 = static_cast<float>(static_cast<double>(fz) - 1.0);

  const float g000 = grad(perm_table[h00 + z0], fx, fy, fz);
  const float g100 = grad(perm_table[h10 + z0], fx1, fy, fz);
  const float g010 = grad(perm_table[h01 + z0], fx, fy1, fz);
  const float g110 = grad(perm_table[h11 + z0], fx1, fy1, fz);
  const float g001 = grad(perm_table[h00 + z1], fx, fy, fz1);
  const float g101 = grad(perm_table[h10 + z1], fx1, fy, fz1);
  const float g011 = grad(perm_table[h01 + z1], fx, fy1, fz1);
  const float g111 = grad(perm_table[h11 + z1], fx1, fy1, fz1);

  const float a00 = static_cast<float>(lerp(g000, g100, u));
  const float a01 = static_cast<float>(lerp(g001, g101, u));
  const float a10 = static_cast<float>(lerp(g010, g110, u));
  const float a11 = static_cast<float>(lerp(g011, g111, u));
  const float b0 = static_cast<float>(lerp(a00, a10, v));
  const float b1 = static_cast<float>(lerp(a01, a11, v));
  return lerp(b0, b1, w);
}

void fill_noise_field(Field& field, std::int32_t cells_x, std::int32_t cells_y,
                      float lo, float hi, float sharpen, float offset_x,
                      float offset_y, float offset_z) {
  const float step_x = static_cast<float>(static_cast<double>(cells_x) *
                                          static_cast<double>(kInverseFieldSize));
  const float step_y = static_cast<float>(static_cast<double>(cells_y) *
                                          static_cast<double>(kInverseFieldSize));
  const float span = static_cast<float>(static_cast<double>(hi) - static_cast<double>(lo));
  for (int r = 0; r < FIELD_SIZE; ++r) {
    const float x = static_cast<float>(static_cast<double>(r) * static_cast<double>(step_x) +
                                       static_cast<double>(offset_x));
    for (int c = 0; c < FIELD_SIZE; ++c) {
      const float y = static_cast<float>(static_cast<double>(c) * static_cast<double>(step_y) +
                                         static_cast<double>(offset_y));
      const double n = noise3(x, y, offset_z, cells_x, cells_y, 0);
      const double t = (n * static_cast<double>(kNoiseToUnit) + 1.0) * 0.5;
      field[field_index(r, c)] = static_cast<float>(
          (((t * t) * t - t) * static_cast<double>(sharpen) + t) * static_cast<double>(span) +
          static_cast<double>(lo));
    }
  }
}

void field_add_scaled(Field& dst, const Field& src, float k) {
  add_scaled(dst.data(), src.data(), k, FIELD_CELLS);
}

void add_scaled(float* dst, const float* src, float k, int count) {
  for (int i = 0; i < count; ++i) {
    dst[i] = static_cast<float>(static_cast<double>(k) * static_cast<double>(src[i]) +
                                static_cast<double>(dst[i]));
  }
}

double smoothstep01(float v) {
  if (v < 0.0f) return 0.0;
  if (v > 1.0f) return 1.0;
  const double d = static_cast<double>(v);
  return ((d * d) * 3.0) - (((d * d) * d) * 2.0);
}

}  // namespace vxlforge
