// The pages vxlinspect writes, on the map of one seed generated in memory:
// what one map costs `sheet` (which must do 200 maps in 60 s on two
// cores), step by step. Processor time, so that other work on the machine
// counts less.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "seed_map.h"
#include "vxl/map_reader.h"
#include "vxlinspect/map_page.h"
#include "vxlinspect/map_preview.h"
#include "vxlinspect/map_stats.h"
#include "vxlinspect/page_encoding.h"
#include "vxlinspect/sheet_entry.h"
#include "vxlinspect/top_view.h"

namespace vxlforge {
namespace {

using bench::map_file;
using bench::map_voxels;

void BM_DeflateMapForPage(benchmark::State& state) {
  const std::vector<std::uint8_t>& bytes = map_file();
  for (auto _ : state) {
    const std::vector<std::uint8_t> packed = deflate_bytes(bytes.data(), bytes.size(), kPageDeflateLevel);
    benchmark::DoNotOptimize(packed.data());
  }
}
BENCHMARK(BM_DeflateMapForPage)->Unit(benchmark::kMillisecond);

void BM_Thumbnail(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<std::uint8_t> png;
    std::string reason;
    if (!encode_png(shrink_preview(render_top_view(map_voxels(), 1), kThumbnailShrink), &png, &reason)) {
      std::abort();
    }
    benchmark::DoNotOptimize(png.data());
  }
}
BENCHMARK(BM_Thumbnail)->Unit(benchmark::kMillisecond);

// The whole page from a map's top view: overview marks, deflate, base64, slots.
void BM_MapPage(benchmark::State& state) {
  const MapFigures figures = measure_map(map_voxels(), map_file().data(), map_file().size());
  MapPageInput input;
  input.name = "seed-42.vxl";
  input.file = map_file().data();
  input.file_size = map_file().size();
  const Preview top_view = render_top_view(map_voxels(), 1);
  input.top_view = &top_view;
  input.figures = &figures;
  for (auto _ : state) {
    std::string page;
    std::string reason;
    if (!build_map_page(input, &page, &reason)) std::abort();
    benchmark::DoNotOptimize(page.data());
  }
}
BENCHMARK(BM_MapPage)->Unit(benchmark::kMillisecond);

// What `sheet` does per map: read, decode, measure, thumbnail, page, write.
void BM_SheetEntry(benchmark::State& state) {
  char folder[] = "/tmp/vxlinspect-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) std::abort();
  const std::string outdir = folder;
  std::system(("mkdir -p '" + outdir + "/maps' '" + outdir + "/thumbs'").c_str());
  const std::string path = outdir + "/seed-42.vxl";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(map_file().data()),
             static_cast<std::streamsize>(map_file().size()));
  const SheetEntry entry{path, "seed-42.vxl", "seed-42"};
  SheetScratch scratch;
  for (auto _ : state) {
    std::string reason;
    benchmark::DoNotOptimize(make_sheet_entry(outdir, entry, &scratch, &reason));
    if (!reason.empty()) std::abort();
  }
  std::system(("rm -rf '" + outdir + "'").c_str());
}
BENCHMARK(BM_SheetEntry)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vxlforge

namespace vxlforge {
namespace {

void BM_OverviewRender(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(render_preview(map_voxels(), 1, PreviewView::kOverview).rgb.data());
}
BENCHMARK(BM_OverviewRender)->Unit(benchmark::kMillisecond);

void BM_OverviewEncode(benchmark::State& state) {
  const Preview p = render_preview(map_voxels(), 1, PreviewView::kOverview);
  for (auto _ : state) {
    std::vector<std::uint8_t> png;
    std::string reason;
    encode_png(p, &png, &reason);
    benchmark::DoNotOptimize(png.data());
  }
}
BENCHMARK(BM_OverviewEncode)->Unit(benchmark::kMillisecond);

void BM_DecodeVoxels(benchmark::State& state) {
  auto v = std::make_unique<MapVoxels>();
  for (auto _ : state) decode_map(map_file().data(), map_file().size(), v.get(), nullptr, nullptr);
}
BENCHMARK(BM_DecodeVoxels)->Unit(benchmark::kMillisecond);

void BM_MeasureVoxels(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(measure_map(map_voxels(), map_file().data(), map_file().size()).bytes);
}
BENCHMARK(BM_MeasureVoxels)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vxlforge
