#include "vxlinspect/column_solidity.h"

namespace vxlforge {

namespace {

// Bits first..last-1, for 0 <= first <= last <= 64.
std::uint64_t height_bits(int first, int last) {
  const std::uint64_t below_last = last == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << last) - 1;
  const std::uint64_t below_first =
      first == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << first) - 1;
  return below_last & ~below_first;
}

}  // namespace

ColumnSolidity solidity_of_valid_file(const std::uint8_t* bytes, std::size_t size) {
  ColumnSolidity words(MAP_COLUMNS, 0);
  std::size_t pos = 0;
  for (int c = 0; c < MAP_COLUMNS; ++c) {
    // A span is air from air_start to top_start - 1, then solid down to the
    // next span's air_start, or to the bottom after the last span.
    std::uint64_t word = 0;
    int solid_from = -1;
    for (;;) {
      if (size - pos < 4) return words;  // not an accepted file; never read past it
      const int span_length = bytes[pos];
      const int top_start = bytes[pos + 1];
      const int top_end = bytes[pos + 2];
      const int air_start = bytes[pos + 3];
      if (solid_from >= 0) word |= height_bits(solid_from, air_start);
      if (span_length == 0) {
        word |= height_bits(top_start, 64);
        pos += 4 + 4 * static_cast<std::size_t>(top_end - top_start + 1);
        break;
      }
      solid_from = top_start;
      pos += 4 * static_cast<std::size_t>(span_length);
    }
    words[c] = word;
  }
  return words;
}

ColumnSolidity solidity_of_voxels(const MapVoxels& voxels) {
  ColumnSolidity words(MAP_COLUMNS, 0);
  for (int x = 0; x < MAP_X; ++x) {
    for (int y = 0; y < MAP_Y; ++y) {
      const std::uint8_t* solid = &voxels.solid[map_voxel_index(x, y, 0)];
      std::uint64_t word = 0;
      for (int h = 0; h < MAP_Z; ++h) word |= static_cast<std::uint64_t>(solid[h] != 0) << h;
      words[y * MAP_X + x] = word;
    }
  }
  return words;
}

}  // namespace vxlforge
