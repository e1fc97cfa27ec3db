#include "driver/run.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <new>
#include <string>

#include "base/file_output.h"
#include "base/parallel_rows.h"
#include "base/signal_cleanup.h"
#include "driver/generate_map.h"
#include "driver/growable_array.h"
#include "driver/options.h"
#include "driver/print_message.h"
#include "driver/seed_text.h"
#include "mapgen/fixed_arrays.h"
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

// Where the two messages go: standard output, unless the map goes there
// too (-o /dev/stdout, or the FIFO or file that standard output is), where
// they would land among the map's bytes; then standard error, unless the
// map goes there as well, and then nowhere. On Windows only files on a disk
// are told apart this way (see names_open_file).
FILE* message_stream(const char* output_path) {
  if (!names_open_file(output_path, 1)) return stdout;
  if (!names_open_file(output_path, 2)) return stderr;
  return nullptr;
}

// Applies the options in command-line order, later ones overriding earlier
// ones, then generates and writes the map.
int run_with_options(char** options, const char* program_name,
                     std::int32_t seed) {
  const char* output_path = DEFAULT_OUTPUT_PATH;
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

  FILE* messages = message_stream(output_path);
  print_message(messages, "Generating to '%s' using seed '%d'\n", output_path,
                static_cast<int>(seed));
  {
    // The workers inherit the held signals, so an interrupt always reaches
    // this thread, which holds it back while the map is renamed into place.
    HeldSignals held;
    start_workers();
  }
  rng_seed(seed);
  generate_map();
  std::string reason;
  if (!write_vxl(output_path, &reason)) {
    std::fprintf(stderr, "vxlforge: cannot write '%s': %s\n", output_path,
                 reason.c_str());
    return 1;
  }
  print_message(messages, "Finished\n");
  return 0;
}

}  // namespace

int run_program(int argc, char** argv) {
  // First of all: a page of the map's arrays written before the advice
  // keeps small pages.
  advise_fixed_arrays();
  // The clock is read first on every run, also when -s follows.
  const std::int32_t seed = clock_seed();
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

  const int status = run_with_options(options, program_name, seed);
  void* list = options;
  array_free_all(&list);  // the output path pointed into it
  return status;
}

int run_catching(const std::function<int()>& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    std::fputs("vxlforge: out of memory; no map written\n", stderr);
  } catch (const std::exception& e) {  // std::system_error among them
    std::fprintf(stderr, "vxlforge: %s; no map written\n", e.what());
  } catch (...) {
    std::fputs("vxlforge: internal error; no map written\n", stderr);
  }
  return 1;
}

}  // namespace vxlforge
