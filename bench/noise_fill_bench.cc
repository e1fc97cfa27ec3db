// The reference per-cell fill against the fast fill, for the cell counts the
// generator uses. Arg 0 is the cell count; the fast fill's second arg is
// its thread count, its third is 1 for a sharpened fill, 0 for a linear
// one (most of the generator's fills are linear), and its fourth the widest
// kernels allowed: 0 plain, 1 AVX2, 2 AVX-512 (as far as the processor has
// them).
#include <benchmark/benchmark.h>

#include <memory>

#include "base/cpu_features.h"
#include "base/parallel_rows.h"
#include "random/fast_noise_fill.h"
#include "random/noise.h"

namespace vxlforge {
namespace {

void BM_ReferenceFill(benchmark::State& state) {
  auto field = std::make_unique<Field>();
  const int cells = static_cast<int>(state.range(0));
  for (auto _ : state) {
    fill_noise_field(*field, cells, cells, -1.0f, 1.0f, 0.4f, 37.25f, 101.5f, 12.75f);
    benchmark::DoNotOptimize(field->data());
  }
  state.SetItemsProcessed(state.iterations() * FIELD_CELLS);
}
BENCHMARK(BM_ReferenceFill)->RangeMultiplier(4)->Range(2, 128)->Unit(benchmark::kMillisecond);

void BM_FastFill(benchmark::State& state) {
  auto field = std::make_unique<Field>();
  const int cells = static_cast<int>(state.range(0));
  const int threads = static_cast<int>(state.range(1));
  const float sharpen = state.range(2) != 0 ? 0.4f : 0.0f;
  set_widest_kernels(static_cast<KernelIsa>(state.range(3)));
  for (auto _ : state) {
    const NoiseOctave octave(cells, cells, -1.0f, 1.0f, sharpen, 37.25f, 101.5f, 12.75f);
    for_row_slices(FIELD_SIZE, threads, [&](int, int first, int last) {
      thread_local NoiseOctave::Scratch scratch;
      octave.fill_rows(*field, first, last, &scratch);
    });
    benchmark::DoNotOptimize(field->data());
  }
  set_widest_kernels(KernelIsa::kAvx512);
  state.SetItemsProcessed(state.iterations() * FIELD_CELLS);
}
BENCHMARK(BM_FastFill)
    ->ArgsProduct({{2, 8, 32, 128, 256}, {1, 2}, {0, 1}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace vxlforge
