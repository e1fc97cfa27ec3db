#ifndef VXLFORGE_TESTS_SUPPORT_REFERENCE_DIGESTS_H_
#define VXLFORGE_TESTS_SUPPORT_REFERENCE_DIGESTS_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vxlforge::testing {

// The reference digests of tests/reference/digests.txt, from an independent
// implementation: for a seed, with or without -d, the SHA-256 of the map
// file and, for some runs, the digests of the map state at each hand-over
// between passes and the words drawn by then. Lines read
// "SEED FLAGS NAME VALUE", FLAGS being - or -d; lines starting with # are
// comments.
struct ReferenceRun {
  std::int32_t seed = 0;
  bool debug_regions = false;
  // NAME and VALUE of each of the run's lines, in the list's order.
  std::vector<std::pair<std::string, std::string>> values;

  // The value named `name`, or "" when the run has none.
  std::string value(std::string_view name) const;
};

// The runs in the order in which each seed and flags first appear, read
// from the list once. When the list cannot be read or a line is malformed
// there are none, and reference_list_error() says why.
const std::vector<ReferenceRun>& reference_runs();
const std::string& reference_list_error();

// The run's name for test names: "Seed42", "Seed1Debug", "SeedMinus1".
std::string run_name(const ReferenceRun& run);

// Test messages show a run by its name.
inline void PrintTo(const ReferenceRun& run, std::ostream* out) { *out << run_name(run); }

}  // namespace vxlforge::testing

#endif  // VXLFORGE_TESTS_SUPPORT_REFERENCE_DIGESTS_H_
