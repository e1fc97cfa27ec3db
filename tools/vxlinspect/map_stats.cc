#include "vxlinspect/map_stats.h"

#include <openssl/sha.h>

#include <algorithm>
#include <bit>
#include <cstdlib>

#include "vxlinspect/column_solidity.h"

namespace vxlforge {

namespace {

constexpr int kRegionWidth = 128;   // x 0..127 and x 384..511
constexpr int kRegionTop = 128;     // y 128..383
constexpr int kRegionBottom = 384;
constexpr int kRegionColumns = kRegionWidth * (kRegionBottom - kRegionTop);
constexpr int kGridSquare = 64;

constexpr int kBottomLayer = MAP_Z - 1;
constexpr int kLandLayer = MAP_Z - 2;

std::string sha256_hex(const std::uint8_t* bytes, std::size_t size) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(bytes, size, digest);
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char b : digest) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

// Sums over a set of columns, made into shares and means at the end.
struct Tally {
  std::uint64_t land = 0;
  std::uint64_t surface = 0;
};

// `word_of(x, y)` gives each column's solidity word, called once per column
// in file order (y, then x).
template <typename WordOf>
MapFigures figures_of(WordOf word_of, const std::uint8_t* bytes, std::size_t size) {
  MapFigures f;
  f.bytes = size;
  f.sha256 = sha256_hex(bytes, size);
  f.surface_min = MAP_Z;
  f.surface_max = -1;
  Tally map, left, right;
  // A voxel floats when the one below it (one height further down) is air;
  // the bottom layer has nothing below it.
  constexpr std::uint64_t kAboveBottom = ~(std::uint64_t{1} << kBottomLayer);
  for (int y = 0; y < MAP_Y; ++y) {
    const bool region_row = y >= kRegionTop && y < kRegionBottom;
    for (int x = 0; x < MAP_X; ++x) {
      const std::uint64_t w = word_of(x, y);
      const int surface = w == 0 ? 0 : MAP_Z - std::countr_zero(w);
      const unsigned land = static_cast<unsigned>(w >> kLandLayer) & 1u;
      f.floating_voxels += static_cast<std::uint64_t>(std::popcount(w & ~(w >> 1) & kAboveBottom));
      ++f.surface_histogram[surface];
      map.land += land;
      map.surface += static_cast<std::uint64_t>(surface);
      if (surface > f.surface_max) {
        f.surface_max = surface;
        f.highest_x = x;
        f.highest_y = y;
      }
      if (surface < f.surface_min) f.surface_min = surface;
      if (region_row && (x < kRegionWidth || x >= MAP_X - kRegionWidth)) {
        Tally& region = x < kRegionWidth ? left : right;
        region.land += land;
        region.surface += static_cast<std::uint64_t>(surface);
      }
    }
  }
  f.surface_mean = static_cast<double>(map.surface) / MAP_COLUMNS;
  f.land_share = static_cast<double>(map.land) / MAP_COLUMNS;
  f.land_share_left = static_cast<double>(left.land) / kRegionColumns;
  f.land_share_right = static_cast<double>(right.land) / kRegionColumns;
  f.land_share_smaller = std::min(f.land_share_left, f.land_share_right);
  // From the counts, so that equal regions give exactly 0.
  f.land_share_difference =
      static_cast<double>(left.land > right.land ? left.land - right.land : right.land - left.land) /
      kRegionColumns;
  f.mean_surface_left = static_cast<double>(left.surface) / kRegionColumns;
  f.mean_surface_right = static_cast<double>(right.surface) / kRegionColumns;
  f.highest_square = grid_square(f.highest_x, f.highest_y);
  return f;
}

}  // namespace

std::string grid_square(int x, int y) {
  std::string square;
  square += static_cast<char>('A' + x / kGridSquare);
  square += static_cast<char>('1' + y / kGridSquare);
  return square;
}

MapFigures measure_map(const MapVoxels& voxels, const std::uint8_t* bytes, std::size_t size) {
  return figures_of([&](int x, int y) { return column_solidity(voxels, x, y); }, bytes, size);
}

bool measure_map_file(const std::uint8_t* bytes, std::size_t size, MapFigures* figures,
                      MapError* error) {
  if (!decode_map(bytes, size, nullptr, nullptr, error)) return false;
  ValidFileColumns columns(bytes, size);
  *figures = figures_of([&](int, int) { return columns.next(); }, bytes, size);
  return true;
}

}  // namespace vxlforge
