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

std::uint64_t ValidFileColumns::next() {
  // A span is air from air_start to top_start - 1, then solid down to the
  // next span's air_start, or to the bottom after the last span.
  std::uint64_t word = 0;
  int solid_from = -1;
  for (;;) {
    if (size_ - pos_ < 4) return word;  // not an accepted file; never read past it
    const std::uint8_t* span = bytes_ + pos_;
    const int span_length = span[0];
    const int top_start = span[1];
    const int top_end = span[2];
    const int air_start = span[3];
    if (solid_from >= 0) word |= height_bits(solid_from, air_start);
    if (span_length == 0) {
      word |= height_bits(top_start, 64);
      pos_ += 4 + 4 * static_cast<std::size_t>(top_end - top_start + 1);
      return word;
    }
    solid_from = top_start;
    pos_ += 4 * static_cast<std::size_t>(span_length);
  }
}

ColumnSolidity solidity_of_valid_file(const std::uint8_t* bytes, std::size_t size) {
  ColumnSolidity words(MAP_COLUMNS);
  ValidFileColumns columns(bytes, size);
  for (std::uint64_t& word : words) word = columns.next();
  return words;
}

std::uint64_t column_solidity(const MapVoxels& voxels, int x, int y) {
  const std::uint8_t* solid = &voxels.solid[map_voxel_index(x, y, 0)];
  std::uint64_t word = 0;
  for (int h = 0; h < MAP_Z; ++h) word |= static_cast<std::uint64_t>(solid[h] != 0) << h;
  return word;
}

ColumnSolidity solidity_of_voxels(const MapVoxels& voxels) {
  ColumnSolidity words(MAP_COLUMNS);
  for (int x = 0; x < MAP_X; ++x) {
    for (int y = 0; y < MAP_Y; ++y) words[y * MAP_X + x] = column_solidity(voxels, x, y);
  }
  return words;
}

}  // namespace vxlforge
