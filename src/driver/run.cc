#include "driver/run.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "driver/generate_map.h"
#include "driver/options.h"
#include "driver/seed_text.h"
#include "mapgen/start_regions.h"
#include "random/rng.h"
#include "vxl/vxl_writer.h"

namespace vxlforge {

namespace {

constexpr const char* kUsage =
    "Usage: %s {options}\n"
    "Options:\n"
    "   -s {seed}      Random seed; always generates the same map for a seed\n"
    "   -o {filename}  Filename to write to\n"
    "   -d             Debug; draws green & blue start regions\n"
    "\n"
    "If no seed is specified, a random one is generated.\n"
    "If no filename is written, writes to "
    "'c:/program files/vantrell/vxl/kelmap.vxl\n";

// Whole seconds since 1970, wrapped to 32 bits like any other seed.
std::int32_t clock_seed() {
  const auto now = static_cast<std::int64_t>(std::time(nullptr));
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(now));
}

}  // namespace

int run_program(int argc, char** argv) {
  std::int32_t seed = clock_seed();
  const char* output_path = DEFAULT_OUTPUT_PATH;
  const char* program_name = argc > 0 ? argv[0] : "vxlforge";

  // The parser only fails on a missing value when a value letter ends the
  // last word, so that word tells which letter it was.
  const char* last_word = argc > 1 ? argv[argc - 1] : "";
  char** options = parse_options(&argc, argv, "so");
  if (options == nullptr) {
    if (argc == 0) {
      const char letter = last_word[std::strlen(last_word) - 1];
      std::fprintf(stderr, "vxlforge: option -%c requires a value\n", letter);
      return 2;
    }
    std::fprintf(stderr, "vxlforge: out of memory reading the options\n");
    return 1;
  }

  // The list lives until the process ends; output_path points into it.
  for (char** entry = options; *entry != nullptr; ++entry) {
    const char* value = *entry + 1;
    switch (**entry) {
      case '?':
      case 'h':
        std::printf(kUsage, program_name);
        return 0;
      case 'd':
        debug_regions = 1;
        break;
      case 'o':
        output_path = value;
        break;
      case 's':
        seed = seed_from_text(value);
        break;
      default:
        break;
    }
  }

  std::printf("Generating to '%s' using seed '%d'\n", output_path,
              static_cast<int>(seed));
  // Shown before the long generation, and ahead of the map when the map
  // goes to standard output too.
  std::fflush(stdout);
  rng_seed(seed);
  generate_map();
  std::string reason;
  if (!write_vxl(output_path, &reason)) {
    std::fflush(stdout);
    std::fprintf(stderr, "vxlforge: cannot write '%s': %s\n", output_path,
                 reason.c_str());
    return 1;
  }
  std::printf("Finished\n");
  return 0;
}

}  // namespace vxlforge
