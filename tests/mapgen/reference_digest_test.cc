// Runs whole generations for the reference seeds and compares the map state
// at each hand-over between passes with digests from an independent
// implementation. Checks go in run order, so the first failure names the
// pass that went wrong; a draw count that differs means the order or number
// of draws is off.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "mapgen/heightmap.h"
#include "mapgen/reference_digests.h"
#include "mapgen/roads.h"
#include "mapgen/shared_fields.h"
#include "mapgen/start_regions.h"
#include "mapgen/surface_detail.h"
#include "mapgen/terrain_colour.h"
#include "mapgen/volume.h"
#include "random/rng.h"
#include "support/sha256.h"
#include "vxl/vxl_writer.h"

namespace vxlforge {
namespace {

using testing::kReferenceRuns;
using testing::ReferenceRun;
using testing::sha256_hex;

template <typename Array>
std::string digest_of(const Array& a) {
  return sha256_hex(&a[0], sizeof(a));
}

// The solid flag of every voxel, in voxel_index order, as one byte each.
std::string digest_of_solid() {
  std::vector<std::uint8_t> flags(MAP_VOXELS);
  for (int x = 0; x < MAP_X; ++x) {
    for (int y = 0; y < MAP_Y; ++y) {
      for (int z = 0; z < MAP_Z; ++z) flags[voxel_index(x, y, z)] = voxel_solid(x, y, z);
    }
  }
  return sha256_hex(flags.data(), flags.size());
}

// The colour of every voxel, in voxel_index order, as one array of words.
std::string digest_of_colours() {
  std::vector<Colour> words(MAP_VOXELS);
  for (int x = 0; x < MAP_X; ++x) {
    for (int y = 0; y < MAP_Y; ++y) {
      for (int z = 0; z < MAP_Z; ++z) words[voxel_index(x, y, z)] = voxel_colour(x, y, z);
    }
  }
  return sha256_hex(words.data(), words.size() * sizeof(Colour));
}

class ReferenceDigestTest : public ::testing::TestWithParam<ReferenceRun> {};

TEST_P(ReferenceDigestTest, EveryStageMatches) {
  const ReferenceRun& run = GetParam();
  rng_seed(run.seed);
  const std::uint64_t start = rng_draw_count();

  build_terrain_heights();
  ASSERT_EQ(digest_of(height_field), run.heights_voxelise) << "heights_voxelise";
  voxelise();
  ASSERT_EQ(digest_of(column_top), run.column_top) << "column_top";
  add_colour_relief();
  ASSERT_EQ(digest_of(height_field), run.heights_colour) << "heights_colour";
  colour_terrain(4, 32);
  ASSERT_EQ(digest_of_colours(), run.terrain_colour) << "terrain_colour";
  ASSERT_EQ(rng_draw_count() - start, run.draws_heightmap) << "draws_heightmap";

  build_road_mask();
  ASSERT_EQ(digest_of(road_mask), run.road_mask) << "road_mask";
  ASSERT_EQ(rng_draw_count() - start, run.draws_roads) << "draws_roads";

  add_surface_detail();
  ASSERT_EQ(digest_of_solid(), run.detail_solid) << "detail_solid";
  ASSERT_EQ(digest_of_colours(), run.detail_colour) << "detail_colour";
  ASSERT_EQ(rng_draw_count() - start, run.draws_detail) << "draws_detail";

  debug_regions = run.debug_regions ? 1 : 0;
  draw_start_regions();
  debug_regions = 0;
  std::vector<std::uint8_t> file;
  encode_vxl(&file);
  EXPECT_EQ(sha256_hex(file.data(), file.size()), run.file) << "file";
}

std::string run_name(const ::testing::TestParamInfo<ReferenceRun>& info) {
  const std::int64_t seed = info.param.seed;
  return (seed < 0 ? "minus" + std::to_string(-seed) : std::to_string(seed)) +
         (info.param.debug_regions ? "_debug" : "");
}

INSTANTIATE_TEST_SUITE_P(Seeds, ReferenceDigestTest, ::testing::ValuesIn(kReferenceRuns), run_name);

}  // namespace
}  // namespace vxlforge
