#ifndef VXLFORGE_RANDOM_FAST_NOISE_FILL_H_
#define VXLFORGE_RANDOM_FAST_NOISE_FILL_H_

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "base/block_pool.h"
#include "random/field.h"

namespace vxlforge {

// Columns first..last-1 of one row of a Field.
struct ColumnRun {
  int first;
  int last;
};

// One octave of noise prepared for filling, bit for bit as fill_noise_field
// gives it, faster: what depends only on the column, only on the row or
// only on the fill is worked out once instead of per cell (at
// construction), and the gradient terms of each lattice index along the
// rows are built once, by whichever fill first needs them, shared by all
// threads and freed once every row that needs them is filled. Every value
// is rounded where the reference rounds it. Its rows can be filled in any
// order, in as many calls and on as many threads as suit the caller. Where
// the processor has AVX2, wide kernels build the gradient terms and the
// cells, and where it has AVX-512 a wider one the cells (see
// base/cpu_features.h).
class NoiseOctave {
 public:
  // Per-thread working space for building gradient terms.
  class Scratch {
   public:
    Scratch();
    ~Scratch();
    Scratch(Scratch&&) noexcept;
    Scratch& operator=(Scratch&&) noexcept;

   private:
    friend class NoiseOctave;
    struct Terms;
    PooledPtr<Terms> terms_;
  };

  NoiseOctave(std::int32_t cells_x, std::int32_t cells_y, float lo, float hi, float sharpen,
              float offset_x, float offset_y, float offset_z);
  ~NoiseOctave();
  NoiseOctave(NoiseOctave&&) noexcept;
  NoiseOctave& operator=(NoiseOctave&&) noexcept;

  // Overwrites rows first..last-1 of `field`. A Scratch serves one thread
  // at a time, for any number of octaves. Any number of threads may fill
  // one octave at the same time.
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

  // How many sets of gradient terms (one per lattice index along the rows)
  // this octave has built so far, and how many it holds now: filling every
  // row once builds each index's once and holds none at its end. Rows
  // filled more than once may build terms again, and leave some held until
  // the octave is destroyed (at most one set per index).
  struct TermCounts {
    int built;
    int held;
  };
  TermCounts term_counts() const;

 private:
  struct Prepared;
  PooledPtr<Prepared> prepared_;
};

// Decides now which kernels the fills use, running the wide kernels' checks
// unless a fill has run them already (about 0.3 ms): for a caller with a
// processor to spare before the first fill, which would otherwise wait for
// them.
void choose_noise_fill_kernels();

}  // namespace vxlforge

#endif  // VXLFORGE_RANDOM_FAST_NOISE_FILL_H_
