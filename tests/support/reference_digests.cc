#include "support/reference_digests.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace vxlforge::testing {

namespace {

struct List {
  std::vector<ReferenceRun> runs;
  std::string error;
};

// A list with no runs and the reason, naming the line at fault.
List malformed(const char* path, int line, const std::string& what) {
  return {{}, std::string(path) + ":" + std::to_string(line) + ": " + what};
}

// The list, or the reason it cannot be read.
List read_list(const char* path) {
  List list;
  std::ifstream in(path);
  if (!in) {
    list.error = std::string("cannot read ") + path;
    return list;
  }
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string seed_text;
    std::string flags;
    std::string name;
    std::string value;
    std::string extra;
    std::int32_t seed = 0;
    if (!(words >> seed_text >> flags >> name >> value) || (words >> extra) ||
        (flags != "-" && flags != "-d")) {
      return malformed(path, number, "not SEED FLAGS NAME VALUE");
    }
    const auto parsed = std::from_chars(seed_text.data(), seed_text.data() + seed_text.size(), seed);
    if (parsed.ec != std::errc() || parsed.ptr != seed_text.data() + seed_text.size()) {
      return malformed(path, number, "bad seed " + seed_text);
    }
    const bool debug = flags == "-d";
    ReferenceRun* run = nullptr;
    for (ReferenceRun& r : list.runs) {
      if (r.seed == seed && r.debug_regions == debug) run = &r;
    }
    if (run == nullptr) {
      run = &list.runs.emplace_back();
      run->seed = seed;
      run->debug_regions = debug;
    }
    if (!run->value(name).empty()) {
      return malformed(path, number, name + " repeated");
    }
    run->values.emplace_back(name, value);
  }
  return list;
}

const List& list() {
  static const List read = read_list(VXLFORGE_REFERENCE_DIGESTS);
  return read;
}

}  // namespace

std::string ReferenceRun::value(std::string_view name) const {
  for (const auto& [n, v] : values) {
    if (n == name) return v;
  }
  return "";
}

const std::vector<ReferenceRun>& reference_runs() { return list().runs; }

const std::string& reference_list_error() { return list().error; }

std::string run_name(const ReferenceRun& run) {
  const std::int64_t seed = run.seed;
  return "Seed" + (seed < 0 ? "Minus" + std::to_string(-seed) : std::to_string(seed)) +
         (run.debug_regions ? "Debug" : "");
}

}  // namespace vxlforge::testing
