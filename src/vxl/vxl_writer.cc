#include "vxl/vxl_writer.h"

#include <utility>

#include "mapgen/volume.h"
#include "vxl/file_output.h"

namespace vxlforge {

namespace {

bool is_solid(int x, int y, int z) { return solid[voxel_index(x, y, z)] != 0; }

// Air inside the map; anything off the map counts as solid.
bool is_air_inside(int x, int y, int z) {
  if (x < 0 || x >= MAP_X || y < 0 || y >= MAP_Y || z < 0 || z >= MAP_Z) {
    return false;
  }
  return !is_solid(x, y, z);
}

void write_u32_le(std::uint32_t word, std::vector<std::uint8_t>* out) {
  out->push_back(static_cast<std::uint8_t>(word));
  out->push_back(static_cast<std::uint8_t>(word >> 8));
  out->push_back(static_cast<std::uint8_t>(word >> 16));
  out->push_back(static_cast<std::uint8_t>(word >> 24));
}

}  // namespace

void reverse_columns() {
  for (int column = 0; column < MAP_COLUMNS; ++column) {
    const int base = column * MAP_Z;
    for (int i = 0; i < MAP_Z / 2; ++i) {
      std::swap(colour[base + i], colour[base + MAP_Z - 1 - i]);
      std::swap(solid[base + i], solid[base + MAP_Z - 1 - i]);
    }
  }
}

bool is_exposed(int x, int y, int z) {
  if (!is_solid(x, y, z)) return false;
  if (z == 0) return true;
  return is_air_inside(x - 1, y, z) || is_air_inside(x + 1, y, z) ||
         is_air_inside(x, y - 1, z) || is_air_inside(x, y + 1, z) ||
         is_air_inside(x, y, z - 1) || is_air_inside(x, y, z + 1);
}

void encode_column(int x, int y, std::vector<std::uint8_t>* out) {
  const Colour* column_colour = &colour[voxel_index(x, y, 0)];
  int k = 0;
  for (;;) {
    const int air_start = k;
    while (k < MAP_Z && !is_solid(x, y, k)) ++k;
    const int top_start = k;
    while (k < MAP_Z && is_exposed(x, y, k)) ++k;
    const int top_end = k - 1;
    while (k < MAP_Z && is_solid(x, y, k) && !is_exposed(x, y, k)) ++k;
    const int bottom_start = k;
    int j = k;
    while (j < MAP_Z && is_exposed(x, y, j)) ++j;
    // An exposed run that reaches the bottom becomes the top colours of a
    // span of its own instead of this span's bottom colours.
    if (j < MAP_Z) k = j;
    const int top_count = top_end - top_start + 1;
    const int bottom_count = k - bottom_start;

    out->push_back(k == MAP_Z ? 0
                              : static_cast<std::uint8_t>(1 + top_count +
                                                          bottom_count));
    out->push_back(static_cast<std::uint8_t>(top_start));
    out->push_back(static_cast<std::uint8_t>(top_end));
    out->push_back(static_cast<std::uint8_t>(air_start));
    for (int z = top_start; z <= top_end; ++z) {
      write_u32_le(column_colour[z], out);
    }
    for (int z = bottom_start; z < k; ++z) write_u32_le(column_colour[z], out);
    if (k == MAP_Z) return;
  }
}

void encode_vxl(std::vector<std::uint8_t>* out) {
  out->clear();
  for (int y = 0; y < MAP_Y; ++y) {
    for (int x = 0; x < MAP_X; ++x) encode_column(x, y, out);
  }
}

bool write_vxl(const char* path, std::string* reason) {
  reverse_columns();
  std::vector<std::uint8_t> bytes;
  encode_vxl(&bytes);
  return write_file_replacing(path, bytes.data(), bytes.size(), reason);
}

}  // namespace vxlforge
