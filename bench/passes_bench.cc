// Each generation pass and the writer on their own, and the whole run from
// seed to encoded file. Passes run on the state the earlier passes leave,
// so each benchmark first builds what its pass reads.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "base/cpu_features.h"
#include "driver/generate_map.h"
#include "mapgen/heightmap.h"
#include "mapgen/roads.h"
#include "mapgen/surface_detail.h"
#include "random/rng.h"
#include "vxl/vxl_writer.h"

namespace vxlforge {
namespace {

constexpr std::int32_t kSeed = 42;

void BM_Heightmap(benchmark::State& state) {
  for (auto _ : state) {
    rng_seed(kSeed);
    build_heightmap();
  }
}
BENCHMARK(BM_Heightmap)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RoadMask(benchmark::State& state) {
  rng_seed(kSeed);
  build_heightmap();
  for (auto _ : state) build_road_mask();
}
BENCHMARK(BM_RoadMask)->Unit(benchmark::kMillisecond)->UseRealTime();

// The state the surface detail pass starts from.
void build_until_surface_detail() {
  rng_seed(kSeed);
  build_heightmap();
  build_road_mask();
}

void BM_SurfaceDetail(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    build_until_surface_detail();
    state.ResumeTiming();
    add_surface_detail();
  }
}
BENCHMARK(BM_SurfaceDetail)->Unit(benchmark::kMillisecond)->UseRealTime();

// The cover pass's serial column loop alone, on one thread: every chunk's
// noise is filled first, outside the timing. The loop is the longest chain
// of work that cannot be shared between cores.
void BM_CoverColumnLoop(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    build_until_surface_detail();
    SurfaceDetailPass pass(SurfaceDetailPass::kChunks);
    for (int chunk = 0; chunk < SurfaceDetailPass::kChunks; ++chunk) pass.fill_chunk(chunk, 0);
    state.ResumeTiming();
    for (int chunk = 0; chunk < SurfaceDetailPass::kChunks; ++chunk) pass.dress_chunk(chunk);
  }
}
BENCHMARK(BM_CoverColumnLoop)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_EncodeFile(benchmark::State& state) {
  rng_seed(kSeed);
  generate_map();
  std::vector<std::uint8_t> bytes;
  for (auto _ : state) {
    encode_vxl(&bytes);
    benchmark::DoNotOptimize(bytes.data());
  }
}
BENCHMARK(BM_EncodeFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WholeRunInMemory(benchmark::State& state) {
  std::vector<std::uint8_t> bytes;
  for (auto _ : state) {
    rng_seed(kSeed);
    generate_map();
    encode_vxl(&bytes);
    benchmark::DoNotOptimize(bytes.data());
  }
}
BENCHMARK(BM_WholeRunInMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same with every wide kernel's plain twin: what the wide kernels save,
// and what a processor without AVX2 takes.
void BM_WholeRunPlainKernels(benchmark::State& state) {
  set_plain_kernels_only(true);
  BM_WholeRunInMemory(state);
  set_plain_kernels_only(false);
}
BENCHMARK(BM_WholeRunPlainKernels)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace vxlforge
