// vxlinspect's stats and previews on the map of one seed, generated in
// memory: stats must take at most 40 ms a map, the isometric view 1 s.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "seed_map.h"
#include "vxl/map_reader.h"
#include "vxlinspect/map_preview.h"
#include "vxlinspect/map_stats.h"

namespace vxlforge {
namespace {

using bench::map_file;
using bench::map_voxels;

// What `stats` runs per map: check the file, measure it from its spans.
void BM_StatsFromFile(benchmark::State& state) {
  const std::vector<std::uint8_t>& bytes = map_file();
  for (auto _ : state) {
    MapFigures figures;
    if (!measure_map_file(bytes.data(), bytes.size(), &figures, nullptr)) std::abort();
    benchmark::DoNotOptimize(figures.floating_voxels);
  }
}
BENCHMARK(BM_StatsFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// The other way there: decode every voxel first, then measure.
void BM_StatsByDecodingVoxels(benchmark::State& state) {
  const std::vector<std::uint8_t>& bytes = map_file();
  auto voxels = std::make_unique<MapVoxels>();
  for (auto _ : state) {
    if (!decode_map(bytes.data(), bytes.size(), voxels.get(), nullptr, nullptr)) std::abort();
    const MapFigures figures = measure_map(*voxels, bytes.data(), bytes.size());
    benchmark::DoNotOptimize(figures.floating_voxels);
  }
}
BENCHMARK(BM_StatsByDecodingVoxels)->Unit(benchmark::kMillisecond)->UseRealTime();

// Decoding alone, which every preview starts with.
void BM_DecodeVoxels(benchmark::State& state) {
  const std::vector<std::uint8_t>& bytes = map_file();
  auto voxels = std::make_unique<MapVoxels>();
  for (auto _ : state) {
    if (!decode_map(bytes.data(), bytes.size(), voxels.get(), nullptr, nullptr)) std::abort();
    benchmark::DoNotOptimize(voxels->solid.data());
  }
}
BENCHMARK(BM_DecodeVoxels)->Unit(benchmark::kMillisecond)->UseRealTime();

// Rendering a view (argument: 0 top, 1 overview, 2 iso) at scale 1.
void BM_RenderView(benchmark::State& state) {
  const MapVoxels& voxels = map_voxels();
  const auto view = static_cast<PreviewView>(state.range(0));
  for (auto _ : state) {
    const Preview preview = render_preview(voxels, 1, view);
    benchmark::DoNotOptimize(preview.rgb.data());
  }
}
BENCHMARK(BM_RenderView)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// Encoding the isometric view's PNG (libpng's default compression).
void BM_EncodeIsoPng(benchmark::State& state) {
  const Preview preview = render_preview(map_voxels(), 1, PreviewView::kIso);
  for (auto _ : state) {
    std::vector<std::uint8_t> png;
    std::string reason;
    if (!encode_png(preview, &png, &reason)) std::abort();
    benchmark::DoNotOptimize(png.data());
  }
}
BENCHMARK(BM_EncodeIsoPng)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole isometric preview from the file's bytes to the PNG's.
void BM_IsoPngFromFile(benchmark::State& state) {
  const std::vector<std::uint8_t>& bytes = map_file();
  auto voxels = std::make_unique<MapVoxels>();
  for (auto _ : state) {
    if (!decode_map(bytes.data(), bytes.size(), voxels.get(), nullptr, nullptr)) std::abort();
    std::vector<std::uint8_t> png;
    std::string reason;
    if (!encode_png(render_preview(*voxels, 1, PreviewView::kIso), &png, &reason)) std::abort();
    benchmark::DoNotOptimize(png.data());
  }
}
BENCHMARK(BM_IsoPngFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace vxlforge
