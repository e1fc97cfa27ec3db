#include "random/noise.h"

#include "random/noise_rounding.h"

namespace vxlforge {

namespace {

using noise_rounding::AxisPoint;
using noise_rounding::lerp;

float grad(int hash, float dx, float dy, float dz) {
  const float* g = grad_basis[grad_index_table[hash & 63]];
  return static_cast<float>(
      ((static_cast<double>(dy) * static_cast<double>(g[1])) +
       (static_cast<double>(dz) * static_cast<double>(g[2]))) +
      (static_cast<double>(dx) * static_cast<double>(g[0])));
}

}  // namespace

double noise3(float x, float y, float z, std::int32_t wrap_x,
              std::int32_t wrap_y, std::int32_t wrap_z) {
  const std::int32_t mask_x = noise_rounding::wrap_mask(wrap_x);
  const std::int32_t mask_y = noise_rounding::wrap_mask(wrap_y);
  const std::int32_t mask_z = noise_rounding::wrap_mask(wrap_z);

  // The third coordinate is never negative, so its fraction is exact and
  // its fade's leading factor is the rounded fraction, as it must be.
  const AxisPoint px = noise_rounding::split(x);
  const AxisPoint py = noise_rounding::split(y);
  const AxisPoint pz = noise_rounding::split(z);
  const std::int32_t X = px.cell;
  const std::int32_t Y = py.cell;
  const std::int32_t Z = pz.cell;
  const float fx = px.frac;
  const float fy = py.frac;
  const float fz = pz.frac;
  const float u = px.fade;
  const float v = py.fade;
  const float w = pz.fade;

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

  const float fx1 = px.frac1;
  const float fy1 = py.frac1;
  const float fz1 = pz.frac1;

  const float g000 = grad(perm_table[h00 + z0], fx, fy, fz);
  const float g100 = grad(perm_table[h10 + z0], fx1, fy, fz);
  const float g010 = grad(perm_table[h01 + z0], fx, fy1, fz);
  const float g110 = grad(perm_table[h11 + z0], fx1, fy1, fz);
  const float g001 = grad(perm_table[h00 + z1], fx, fy, fz1);
  const float g101 = grad(perm_table[h10 + z1], fx1, fy, fz1);
  const float g011 = grad(perm_table[h01 + z1], fx, fy1, fz1);
  const float g111 = grad(perm_table[h11 + z1], fx1, fy1, fz1);

  const float a00 = static_cast<float>(lerp(g000, g100, static_cast<double>(u)));
  const float a01 = static_cast<float>(lerp(g001, g101, static_cast<double>(u)));
  const float a10 = static_cast<float>(lerp(g010, g110, static_cast<double>(u)));
  const float a11 = static_cast<float>(lerp(g011, g111, static_cast<double>(u)));
  const float b0 = static_cast<float>(lerp(a00, a10, static_cast<double>(v)));
  const float b1 = static_cast<float>(lerp(a01, a11, static_cast<double>(v)));
  return lerp(b0, b1, static_cast<double>(w));
}

void fill_noise_field(Field& field, std::int32_t cells_x, std::int32_t cells_y,
                      float lo, float hi, float sharpen, float offset_x,
                      float offset_y, float offset_z) {
  const float step_x = noise_rounding::lattice_step(cells_x);
  const float step_y = noise_rounding::lattice_step(cells_y);
  const float span = static_cast<float>(static_cast<double>(hi) - static_cast<double>(lo));
  for (int r = 0; r < FIELD_SIZE; ++r) {
    const float x = noise_rounding::lattice_coordinate(r, step_x, offset_x);
    for (int c = 0; c < FIELD_SIZE; ++c) {
      const float y = noise_rounding::lattice_coordinate(c, step_y, offset_y);
      const double n = noise3(x, y, offset_z, cells_x, cells_y, 0);
      const double t = noise_rounding::unit_of_noise(n);
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
