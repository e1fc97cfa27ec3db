#include "random/fast_noise_fill.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/cpu_features.h"
#include "base/parallel_rows.h"
#include "random/noise.h"

namespace vxlforge {
namespace {

struct Offsets {
  float x, y, z;
};

// Fills the whole Field with `octave` in `slices` slices of rows, shared
// out over the worker threads as the passes share out their rows; every
// slice has its own working space.
void fill_in_slices(Field& field, const NoiseOctave& octave, int slices) {
  for_row_slices(FIELD_SIZE, slices, [&](int, int first, int last) {
    NoiseOctave::Scratch scratch;
    octave.fill_rows(field, first, last, &scratch);
  });
}

class FastNoiseFillTest : public ::testing::Test {
 protected:
  std::unique_ptr<Field> reference = std::make_unique<Field>();
  std::unique_ptr<Field> fast = std::make_unique<Field>();

  // Index of the first cell whose bits differ, or -1.
  int first_difference() const {
    for (int i = 0; i < FIELD_CELLS; ++i) {
      if (std::memcmp(&(*reference)[i], &(*fast)[i], sizeof(float)) != 0) return i;
    }
    return -1;
  }

  void expect_same(int cells, float lo, float hi, float sharpen, Offsets o, int slices) {
    fill_noise_field(*reference, cells, cells, lo, hi, sharpen, o.x, o.y, o.z);
    fill_in_slices(*fast, NoiseOctave(cells, cells, lo, hi, sharpen, o.x, o.y, o.z), slices);
    const int i = first_difference();
    EXPECT_EQ(i, -1) << "cells " << cells << " offsets " << o.x << "," << o.y << "," << o.z
                     << " slices " << slices << ": cell " << i << " reference "
                     << (i >= 0 ? (*reference)[i] : 0.0f) << " fast " << (i >= 0 ? (*fast)[i] : 0.0f);
  }
};

TEST_F(FastNoiseFillTest, EqualsTheReferenceForEveryCellCount) {
  // Offsets as the passes draw them (0..256, 0..64 and 0..1), offsets on
  // and just beside lattice boundaries, and fractions so small beside the
  // third one that a corner's two-term sum is inexact even in double
  // precision, where the rounding to single precision happens twice.
  const Offsets offsets[] = {
      {37.25f, 101.5f, 12.75f},   {0.0f, 0.0f, 0.0f},
      {0.99999994f, 1.0f, 63.99999f}, {255.99998f, 127.99999f, 1.0000001f},
      {0.3721f, 0.9184f, 0.0519f}, {211.0371f, 5.5003f, 47.4986f},
      {3.7e-11f, 1.3e-9f, 0.70710677f},
  };
  for (int cells = 2; cells <= 256; cells *= 2) {
    for (const Offsets& o : offsets) expect_same(cells, -3.0f, 3.0f, 0.0f, o, 1);
  }
}

// Runs `body` once for every kernel family the processor has, each time
// with the wider ones closed, so that the plain, AVX2 and AVX-512 kernels
// are all compared with the reference in one build.
template <typename Body>
void for_each_kernel_isa(const Body& body) {
  for (const KernelIsa isa : {KernelIsa::kPlain, KernelIsa::kAvx2, KernelIsa::kAvx512}) {
    if (!cpu_has(isa)) continue;
    set_widest_kernels(isa);
    SCOPED_TRACE(::testing::Message() << "widest kernels " << static_cast<int>(isa));
    body();
  }
  set_widest_kernels(KernelIsa::kAvx512);
}

TEST_F(FastNoiseFillTest, EveryKernelFamilyGivesTheSameBits) {
  // Where the processor has AVX2 or AVX-512 the terms and the cells are
  // worked out by wide kernels; their narrower twins serve the others and
  // must agree.
  for_each_kernel_isa([&] {
    for (int cells : {2, 16, 64, 128, 256}) {
      expect_same(cells, -3.0f, 3.0f, 0.0f, {37.25f, 101.5f, 12.75f}, 1);
      expect_same(cells, 0.0f, 8.0f, 0.5f, {0.3721f, 0.9184f, 0.0519f}, 2);
    }
  });
}

TEST(FastNoiseFillKernelTest, Avx512KernelRunsWhereTheProcessorHasIt) {
  // Otherwise the comparisons above would compare the AVX2 path with
  // itself on such a processor.
  if (!cpu_has_avx512()) GTEST_SKIP() << "this processor lacks AVX-512";
  auto field = std::make_unique<Field>();
  NoiseOctave::Scratch scratch;
  NoiseOctave(16, 16, 0.0f, 1.0f, 0.0f, 1.5f, 2.5f, 3.5f).fill_rows(*field, 0, 8, &scratch);
  const std::vector<std::string> in_use = wide_kernels_in_use();
  EXPECT_NE(std::find(in_use.begin(), in_use.end(), "noise fill, AVX-512"), in_use.end());
  const std::vector<std::string> refused = wide_kernels_refused();
  EXPECT_EQ(std::find(refused.begin(), refused.end(), "noise fill, AVX-512"), refused.end());
}

TEST_F(FastNoiseFillTest, EqualsTheReferenceForRangesAndSharpening) {
  expect_same(32, 0.0f, 8.0f, 0.5f, {12.5f, 200.25f, 30.125f}, 2);
  expect_same(16, 4.0f, 42.0f, 0.7f, {0.25f, 0.75f, 0.5f}, 2);
  expect_same(256, 0.0f, -1.0f, 0.0f, {0.0f, 0.0f, 17.3f}, 2);
  expect_same(8, 2.5f, 2.5f, 0.4f, {3.0f, 3.0f, 3.0f}, 2);
}

TEST_F(FastNoiseFillTest, SliceCountDoesNotChangeTheField) {
  const NoiseOctave octave(64, 64, -1.0f, 1.0f, 0.3f, 9.75f, 81.5f, 3.25f);
  fill_in_slices(*reference, octave, 1);
  for (int slices : {2, 3, 7, 512}) {
    fill_in_slices(*fast, octave, slices);
    EXPECT_EQ(first_difference(), -1) << slices << " slices";
  }
}

TEST_F(FastNoiseFillTest, PreparedOctaveFilledRowByRowInAnyOrderMatches) {
  for (int cells : {2, 16, 256}) {
    fill_noise_field(*reference, cells, cells, 0.0f, 8.0f, 0.5f, 12.5f, 200.25f, 30.125f);
    const NoiseOctave octave(cells, cells, 0.0f, 8.0f, 0.5f, 12.5f, 200.25f, 30.125f);
    const NoiseOctave other(8, 8, -1.0f, 1.0f, 0.0f, 1.5f, 2.5f, 3.5f);
    auto scratch_field = std::make_unique<Field>();
    NoiseOctave::Scratch scratch;
    // Upper half one row at a time, then the lower half backwards in
    // chunks, with another octave sharing the scratch in between, so kept
    // lattice rows are used again, left and taken over.
    for (int r = 256; r < 512; ++r) octave.fill_rows(*fast, r, r + 1, &scratch);
    for (int r = 256; r > 0; r -= 32) {
      other.fill_rows(*scratch_field, r - 1, r, &scratch);
      octave.fill_rows(*fast, r - 32, r, &scratch);
    }
    EXPECT_EQ(first_difference(), -1) << cells << " cells";
  }
}

TEST_F(FastNoiseFillTest, SlicesOnAllThreadsBuildEachLatticeIndexOnceAndKeepNone) {
  // The rows cover the whole period along them, so each of its `cells`
  // indexes is needed, by rows of neighbouring slices at the slice edges,
  // and by every slice for the coarsest octaves.
  for (int cells : {2, 16, 64, 256}) {
    fill_noise_field(*reference, cells, cells, -1.0f, 1.0f, 0.0f, 0.5f, 3.25f, 7.5f);
    const NoiseOctave octave(cells, cells, -1.0f, 1.0f, 0.0f, 0.5f, 3.25f, 7.5f);
    fill_in_slices(*fast, octave, 16);
    EXPECT_EQ(first_difference(), -1) << cells << " cells";
    EXPECT_EQ(octave.term_counts().built, cells);
    EXPECT_EQ(octave.term_counts().held, 0) << cells << " cells";
  }
}

TEST_F(FastNoiseFillTest, RowsFilledAgainOrByTwoFillsAtOnceStillMatch) {
  // Terms are freed once as many rows as need them have been filled, so
  // filling rows twice frees some early; the fills that still need them
  // must build them again, not read freed ones.
  const NoiseOctave octave(64, 64, 0.0f, 8.0f, 0.5f, 12.5f, 200.25f, 30.125f);
  fill_noise_field(*reference, 64, 64, 0.0f, 8.0f, 0.5f, 12.5f, 200.25f, 30.125f);
  NoiseOctave::Scratch scratch;
  octave.fill_rows(*fast, 0, 100, &scratch);
  EXPECT_GT(octave.term_counts().held, 0) << "rows 99 and 100 share a lattice row";
  octave.fill_rows(*fast, 0, FIELD_SIZE, &scratch);
  EXPECT_EQ(first_difference(), -1);
  auto second = std::make_unique<Field>();
  for_row_slices(FIELD_SIZE, 2, [&](int slice, int, int) {
    NoiseOctave::Scratch own;
    octave.fill_rows(slice == 0 ? *fast : *second, 0, FIELD_SIZE, &own);
  });
  EXPECT_EQ(first_difference(), -1);
  EXPECT_EQ(std::memcmp(second->data(), reference->data(), sizeof(float) * FIELD_CELLS), 0);
}

TEST_F(FastNoiseFillTest, RunsFillExactlyTheirCellsAsTheReference) {
  // Runs of every length, odd starts and ends, at tile edges and row ends,
  // differing per row; one row has none. Linear and sharpened octaves take
  // different cell kernels.
  constexpr float kUntouched = 12345.0f;
  std::vector<std::vector<ColumnRun>> runs(FIELD_SIZE);
  for (int r = 0; r < FIELD_SIZE; ++r) {
    if (r == 7) continue;
    const int shift = r % 5;
    runs[static_cast<std::size_t>(r)] = {{0, 1 + shift},     {63, 65},  {100, 101 + r % 61},
                                         {200 + shift, 264}, {300, 303}, {511 - shift, 512}};
  }
  const auto expect_runs_match = [&](int cells, float sharpen) {
    fill_noise_field(*reference, cells, cells, -5.0f, 5.0f, sharpen, 37.25f, 101.5f, 12.75f);
    const NoiseOctave octave(cells, cells, -5.0f, 5.0f, sharpen, 37.25f, 101.5f, 12.75f);
    NoiseOctave::Scratch scratch;
    fast->fill(kUntouched);
    octave.fill_row_runs(*fast, 0, 256, std::span(runs).subspan(0, 256), &scratch);
    octave.fill_row_runs(*fast, 256, 512, std::span(runs).subspan(256), &scratch);
    int wrong = 0;
    for (int r = 0; r < FIELD_SIZE; ++r) {
      std::vector<bool> in_run(FIELD_SIZE, false);
      for (const ColumnRun& run : runs[static_cast<std::size_t>(r)]) {
        for (int c = run.first; c < run.last; ++c) in_run[static_cast<std::size_t>(c)] = true;
      }
      for (int c = 0; c < FIELD_SIZE; ++c) {
        const int i = field_index(r, c);
        const float expected = in_run[static_cast<std::size_t>(c)] ? (*reference)[i] : kUntouched;
        if (std::memcmp(&expected, &(*fast)[i], sizeof(float)) != 0) ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0) << cells << " cells, sharpen " << sharpen;
  };
  for_each_kernel_isa([&] {
    for (int cells : {2, 16, 64, 256}) {
      expect_runs_match(cells, 0.0f);
      expect_runs_match(cells, 0.4f);
    }
  });
}

TEST_F(FastNoiseFillTest, RandomOffsetsMatchTheReference) {
  std::uint32_t state = 12345;
  const auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return static_cast<float>(state >> 8) / 16777216.0f;
  };
  for (int round = 0; round < 8; ++round) {
    const int cells = 2 << (round % 8);
    expect_same(cells, -5.0f, 5.0f, next(), {next() * 256.0f, next() * 256.0f, next() * 64.0f}, 2);
  }
}

}  // namespace
}  // namespace vxlforge
