// What the browser tests compare the pages against: a map decoded by the
// C++ reader, summed up as one JSON object on standard output.
//
//   map_voxels_probe MAP
//
// For a valid map: "valid": true; the SHA-256 of its voxels laid out as
// the reader keeps them (index x * 32768 + y * 64 + h; one byte per voxel
// for solidity and for "the file colours it", four bytes, least
// significant first, per colour word, 0 where none), which the page's
// decoder must reproduce; the exposed faces the page should draw, per
// direction, counted voxel by voxel (an independent count of what the
// page's merged rectangles must cover); and the mean colour of the voxels
// whose top faces are exposed. For a malformed map: "valid": false and the
// reader's error: offset, column and the line describe_map_error gives.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/sha256.h"
#include "vxl/map_reader.h"

namespace vxlforge {
namespace {

bool solid_at(const MapVoxels& v, int x, int y, int h) {
  return v.solid[map_voxel_index(x, y, h)] != 0;
}

// Air for face purposes: outside the map across x and y; the column's
// bottom face (below h = 63) is never drawn, the top of h = 0 always is.
bool air_at(const MapVoxels& v, int x, int y, int h) {
  if (x < 0 || x >= MAP_X || y < 0 || y >= MAP_Y || h < 0) return true;
  return !solid_at(v, x, y, h);
}

nlohmann::json probe(const MapVoxels& v) {
  std::vector<std::uint8_t> colour_bytes(static_cast<std::size_t>(MAP_VOXELS) * 4);
  for (int i = 0; i < MAP_VOXELS; ++i) {
    const Colour c = v.coloured[i] ? v.colour[i] : 0;
    for (int k = 0; k < 4; ++k) colour_bytes[i * 4 + k] = static_cast<std::uint8_t>(c >> (8 * k));
  }
  // Up, down, west (-x), east (+x), north (-y), south (+y).
  constexpr int kSteps[6][3] = {{0, 0, -1}, {0, 0, 1}, {-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}};
  std::uint64_t faces[6] = {};
  double sum[3] = {};
  std::uint64_t tops = 0;
  for (int x = 0; x < MAP_X; ++x) {
    for (int y = 0; y < MAP_Y; ++y) {
      for (int h = 0; h < MAP_Z; ++h) {
        if (!solid_at(v, x, y, h)) continue;
        for (int d = 0; d < 6; ++d) {
          const int nh = h + kSteps[d][2];
          if (nh >= MAP_Z) continue;
          if (air_at(v, x + kSteps[d][0], y + kSteps[d][1], nh)) ++faces[d];
        }
        const int i = map_voxel_index(x, y, h);
        if (air_at(v, x, y, h - 1) && v.coloured[i]) {
          for (int k = 0; k < 3; ++k) sum[k] += (v.colour[i] >> (16 - 8 * k)) & 0xff;
          ++tops;
        }
      }
    }
  }
  nlohmann::json j;
  j["valid"] = true;
  j["solid_sha256"] = testing::sha256_hex(v.solid.data(), v.solid.size());
  j["coloured_sha256"] = testing::sha256_hex(v.coloured.data(), v.coloured.size());
  j["colour_sha256"] = testing::sha256_hex(colour_bytes.data(), colour_bytes.size());
  j["faces"] = faces;
  j["top_colour_mean"] = {tops ? sum[0] / tops : 0, tops ? sum[1] / tops : 0, tops ? sum[2] / tops : 0};
  return j;
}

}  // namespace
}  // namespace vxlforge

int main(int argc, char** argv) {
  using namespace vxlforge;
  if (argc != 2) {
    std::fputs("usage: map_voxels_probe MAP\n", stderr);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "map_voxels_probe: cannot read '%s'\n", argv[1]);
    return 1;
  }
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  auto voxels = std::make_unique<MapVoxels>();
  MapError error;
  nlohmann::json j;
  if (decode_map(bytes.data(), bytes.size(), voxels.get(), nullptr, &error)) {
    j = probe(*voxels);
  } else {
    j["valid"] = false;
    j["offset"] = error.offset;
    j["x"] = error.x;
    j["y"] = error.y;
    j["error"] = describe_map_error(error);
  }
  std::puts(j.dump().c_str());
  return 0;
}
