#include "vxlinspect/stats_command.h"

#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "vxlinspect/inspect.h"
#include "vxlinspect/map_file.h"
#include "vxlinspect/map_stats.h"

namespace vxlforge {

namespace {

// A JSON line that any bytes of a file name can go into: names that are not
// UTF-8 get U+FFFD where the bad bytes were, rather than an exception.
std::string json_line(const nlohmann::json& j) {
  return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

// Reads and measures one map; returns "" with `figures` filled, or why not.
std::string measure_one(const std::string& path, std::vector<std::uint8_t>* bytes,
                        MapFigures* figures) {
  try {
    std::string reason;
    if (!read_map_file(path, bytes, &reason)) return "cannot read: " + reason;
    MapError error;
    if (!measure_map_file(bytes->data(), bytes->size(), figures, &error)) {
      return "malformed: " + describe_map_error(error);
    }
    return "";
  } catch (const std::bad_alloc&) {
    return "out of memory";
  }
}

}  // namespace

int run_stats_command(int argc, char** argv) {
  bool json = false;
  std::vector<std::string> maps;
  for (int i = 0; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--json") {
      json = true;
    } else if (word.size() > 1 && word[0] == '-') {
      std::fprintf(stderr, "vxlinspect: stats: unknown option '%s'\n", word.c_str());
      return kInspectUsage;
    } else {
      maps.push_back(word);
    }
  }
  if (maps.empty()) {
    std::fputs("vxlinspect: stats needs at least one map\n", stderr);
    return kInspectUsage;
  }
  int status = kInspectOk;
  bool first_block = true;
  // One buffer for every file in turn: it holds one map at a time.
  std::vector<std::uint8_t> bytes;
  for (const std::string& path : maps) {
    MapFigures figures;
    const std::string reason = measure_one(path, &bytes, &figures);
    if (!reason.empty()) {
      status = kInspectFailed;
      std::fprintf(stderr, "vxlinspect: %s: %s\n", path.c_str(), reason.c_str());
      if (json) {
        nlohmann::json j;
        j["map"] = path;
        j["error"] = reason;
        std::fputs(json_line(j).c_str(), stdout);
      }
    } else if (json) {
      std::fputs(json_line(map_figures_json(figures, path)).c_str(), stdout);
    } else {
      if (!first_block) std::fputs("\n", stdout);
      std::fputs(describe_map_figures(figures, path).c_str(), stdout);
      first_block = false;
    }
    std::fflush(stdout);
  }
  return status;
}

}  // namespace vxlforge
