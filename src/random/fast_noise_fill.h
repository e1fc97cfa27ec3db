#ifndef VXLFORGE_RANDOM_FAST_NOISE_FILL_H_
#define VXLFORGE_RANDOM_FAST_NOISE_FILL_H_

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "random/field.h"

namespace vxlforge {

// Columns first..last-1 of one row of a Field.
struct ColumnRun {
  int first;
  int last;
};

// One octave of noise prepared for filling, bit for bit as fill_noise_field
// gives it, faster: what depends only on the column, only on the row or
// only on the fill is worked out once instead of per cell (the column and
// fill parts at construction), and the corner gradients are kept while the
// lattice row stays the same. Every value is rounded where the reference
// rounds it. Its rows can be filled in any order, in as many calls and on
// as many threads as suit the caller. Where the processor has AVX2, wide
// kernels build the gradient terms and the cells, and where it has AVX-512
// a wider one the cells (see base/cpu_features.h).
class NoiseOctave {
 public:
  // Per-thread working space: the gradient terms of the lattice row last
  // used, kept so that the next rows of the same lattice row reuse them.
  class Scratch {
   public:
    Scratch();
    ~Scratch();
    Scratch(Scratch&&) noexcept;
    Scratch& operator=(Scratch&&) noexcept;

   private:
    friend class NoiseOctave;
    struct Terms;
    std::unique_ptr<Terms> terms_;
  };

  NoiseOctave(std::int32_t cells_x, std::int32_t cells_y, float lo, float hi, float sharpen,
              float offset_x, float offset_y, float offset_z);
  ~NoiseOctave();
  NoiseOctave(NoiseOctave&&) noexcept;
  NoiseOctave& operator=(NoiseOctave&&) noexcept;

  // Overwrites rows first..last-1 of `field`. A Scratch serves one thread
  // at a time, for any number of octaves.
  void fill_rows(Field& field, int first, int last, Scratch* scratch) const;

  // The same into rows kept elsewhere: row r of the Field at
  // rows + (r - first) * FIELD_SIZE.
  void fill_rows(float* rows, int first, int last, Scratch* scratch) const;

  // Like fill_rows, but overwrites only the cells of the runs given for
  // each row: runs[r - first] for row r, in increasing order and not
  // overlapping. Every other cell keeps what it held. For callers that read
  // a Field only where some condition holds.
  void fill_row_runs(Field& field, int first, int last,
                     std::span<const std::vector<ColumnRun>> runs, Scratch* scratch) const;
  void fill_row_runs(float* rows, int first, int last,
                     std::span<const std::vector<ColumnRun>> runs, Scratch* scratch) const;

 private:
  struct Prepared;
  std::unique_ptr<Prepared> prepared_;
};

}  // namespace vxlforge

#endif  // VXLFORGE_RANDOM_FAST_NOISE_FILL_H_
