#ifndef VXLFORGE_BENCH_SEED_MAP_H_
#define VXLFORGE_BENCH_SEED_MAP_H_

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "driver/generate_map.h"
#include "random/rng.h"
#include "vxl/map_reader.h"
#include "vxl/vxl_writer.h"

namespace vxlforge::bench {

// The map file of seed 42, generated in memory once per benchmark program,
// so that vxlinspect's benchmarks measure a real map without a file.
inline const std::vector<std::uint8_t>& map_file() {
  static const std::vector<std::uint8_t> bytes = [] {
    rng_seed(42);
    generate_map();
    std::vector<std::uint8_t> out;
    encode_vxl(&out);
    return out;
  }();
  return bytes;
}

// The same map decoded.
inline const MapVoxels& map_voxels() {
  static const std::unique_ptr<MapVoxels> voxels = [] {
    auto v = std::make_unique<MapVoxels>();
    if (!decode_map(map_file().data(), map_file().size(), v.get(), nullptr, nullptr)) std::abort();
    return v;
  }();
  return *voxels;
}

}  // namespace vxlforge::bench

#endif  // VXLFORGE_BENCH_SEED_MAP_H_
