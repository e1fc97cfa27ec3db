// Runs whole generations for the reference seeds and compares what the
// production run shows at each hand-over between passes, and the map file,
// with the digests of tests/reference/digests.txt. The stage checks are
// made in run order, so the first one that fails names the pass that went
// wrong; a draw count that differs means the order or number of draws is
// off. Every check runs twice: with the wide kernels where the processor
// has them, and with their plain twins.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "base/cpu_features.h"
#include "driver/generate_map.h"
#include "mapgen/roads.h"
#include "mapgen/shared_fields.h"
#include "mapgen/stage_observer.h"
#include "mapgen/start_regions.h"
#include "mapgen/volume.h"
#include "random/rng.h"
#include "support/reference_digests.h"
#include "support/sha256.h"
#include "vxl/vxl_writer.h"

namespace vxlforge {
namespace {

using testing::reference_runs;
using testing::ReferenceRun;
using testing::sha256_hex;

template <typename Array>
std::string digest_of(const Array& a) {
  return sha256_hex(&a[0], sizeof(a));
}

// The column tops as the reference holds them: one 32-bit word each, least
// significant byte first, whatever width the program keeps them in.
std::string digest_of_tops() {
  std::vector<std::uint8_t> words;
  words.reserve(std::size(column_top) * 4);
  for (const std::uint8_t top : column_top) {
    const std::uint8_t word[4] = {top, 0, 0, 0};
    words.insert(words.end(), word, word + 4);
  }
  return sha256_hex(words.data(), words.size());
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

std::string digest_of_file() {
  std::vector<std::uint8_t> file;
  encode_vxl(&file);
  return sha256_hex(file.data(), file.size());
}

// What a run showed its observer: the stages in the order they came, and
// the digests and draw counts taken at them, named as in the list.
struct Observed {
  std::vector<Stage> stages;
  std::vector<std::pair<std::string, std::string>> values;
};

Observed observe_run(std::int32_t seed, bool debug) {
  Observed seen;
  debug_regions = debug ? 1 : 0;
  rng_seed(seed);
  const std::uint64_t start = rng_draw_count();
  const auto record = [&seen](const char* name, std::string value) {
    seen.values.emplace_back(name, std::move(value));
  };
  const auto draws = [start] { return std::to_string(rng_draw_count() - start); };
  generate_map([&](Stage stage) {
    seen.stages.push_back(stage);
    switch (stage) {
      case Stage::kVoxelised:
        record("heights_voxelise", digest_of(height_field));
        record("column_top", digest_of_tops());
        break;
      case Stage::kTerrainColoured:
        record("heights_colour", digest_of(height_field));
        record("terrain_colour", digest_of_colours());
        record("draws_heightmap", draws());
        break;
      case Stage::kRoads:
        record("road_mask", digest_of(road_mask));
        record("draws_roads", draws());
        break;
      case Stage::kSurfaceDetail:
        record("detail_solid", digest_of_solid());
        record("detail_colour", digest_of_colours());
        record("draws_detail", draws());
        break;
      case Stage::kStartRegions:
        record("file", digest_of_file());
        break;
    }
  });
  debug_regions = 0;
  return seen;
}

// Runs with every kernel's plain twin while it lives.
class PlainKernels {
 public:
  explicit PlainKernels(bool plain) { set_plain_kernels_only(plain); }
  ~PlainKernels() { set_plain_kernels_only(false); }
  PlainKernels(const PlainKernels&) = delete;
  PlainKernels& operator=(const PlainKernels&) = delete;
};

struct StageRun {
  ReferenceRun run;
  bool plain_kernels;
};

std::vector<StageRun> stage_runs(bool plain_kernels) {
  std::vector<StageRun> runs;
  for (const ReferenceRun& run : reference_runs()) {
    if (!run.value("heights_voxelise").empty()) runs.push_back({run, plain_kernels});
  }
  return runs;
}

void PrintTo(const StageRun& r, std::ostream* out) {
  *out << testing::run_name(r.run) << (r.plain_kernels ? " with plain kernels" : "");
}

class StageDigestTest : public ::testing::TestWithParam<StageRun> {};

TEST_P(StageDigestTest, EveryHandOverMatches) {
  const ReferenceRun& run = GetParam().run;
  const PlainKernels kernels(GetParam().plain_kernels);
  const Observed seen = observe_run(run.seed, run.debug_regions);
  EXPECT_EQ(seen.stages, (std::vector<Stage>{Stage::kVoxelised, Stage::kTerrainColoured,
                                             Stage::kRoads, Stage::kSurfaceDetail,
                                             Stage::kStartRegions}));
  for (const auto& [name, value] : seen.values) EXPECT_EQ(value, run.value(name)) << name;
  for (const auto& [name, value] : run.values) {
    EXPECT_TRUE(std::any_of(seen.values.begin(), seen.values.end(),
                            [&name](const auto& v) { return v.first == name; }))
        << name << " is in the list but no hand-over shows it";
  }
}

std::string stage_run_name(const ::testing::TestParamInfo<StageRun>& info) {
  return testing::run_name(info.param.run);
}

INSTANTIATE_TEST_SUITE_P(WideKernels, StageDigestTest, ::testing::ValuesIn(stage_runs(false)),
                         stage_run_name);
INSTANTIATE_TEST_SUITE_P(PlainKernels, StageDigestTest, ::testing::ValuesIn(stage_runs(true)),
                         stage_run_name);

// Every file line of the list: the map generated without an observer, as
// the program generates it, encoded in memory.
std::vector<ReferenceRun> file_runs() {
  std::vector<ReferenceRun> runs;
  for (const ReferenceRun& run : reference_runs()) {
    if (!run.value("file").empty()) runs.push_back(run);
  }
  return runs;
}

class FileDigestTest : public ::testing::TestWithParam<ReferenceRun> {};

TEST_P(FileDigestTest, WholeFileMatches) {
  const ReferenceRun& run = GetParam();
  debug_regions = run.debug_regions ? 1 : 0;
  rng_seed(run.seed);
  generate_map();
  debug_regions = 0;
  EXPECT_EQ(digest_of_file(), run.value("file"));
}

INSTANTIATE_TEST_SUITE_P(Seeds, FileDigestTest, ::testing::ValuesIn(file_runs()),
                         [](const ::testing::TestParamInfo<ReferenceRun>& run_info) {
                           return testing::run_name(run_info.param);
                         });

TEST(ReferenceListTest, HoldsNineStageRunsAndSeventyThreeFiles) {
  // A list that cannot be read would leave the digest tests with no cases,
  // which would pass unseen.
  ASSERT_EQ(testing::reference_list_error(), "");
  EXPECT_EQ(stage_runs(false).size(), 9u);
  EXPECT_EQ(file_runs().size(), 73u);
}

TEST(WideKernelTest, EveryWideKernelRunsWhereTheProcessorHasAvx2) {
  // Otherwise a check that failed for nothing would quietly slow every run,
  // and the runs with plain kernels would compare the plain path with
  // itself.
  rng_seed(5);
  generate_map();
  const std::vector<std::string> in_use = wide_kernels_in_use();
  const std::vector<std::string> refused = wide_kernels_refused();
  const auto expect_used = [&in_use, &refused](const char* kernel, bool processor_has_it) {
    const auto count = [kernel](const std::vector<std::string>& names) {
      return std::count(names.begin(), names.end(), kernel);
    };
    EXPECT_EQ(count(refused), 0) << kernel << " failed its check against its plain twin";
    EXPECT_EQ(count(in_use), processor_has_it ? 1 : 0) << kernel;
  };
  for (const char* kernel : {"noise fill", "terrain colours", "generator regeneration"}) {
    expect_used(kernel, cpu_has_avx2());
  }
  for (const char* kernel :
       {"noise fill, AVX-512", "terrain colours, AVX-512", "generator regeneration, AVX-512"}) {
    expect_used(kernel, cpu_has_avx512());
  }
}

}  // namespace
}  // namespace vxlforge
