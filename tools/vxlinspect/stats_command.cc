#include "vxlinspect/stats_command.h"

#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "vxlinspect/inspect.h"
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
    const LoadedMap read = read_map_bytes(path, bytes);
    if (read.verdict != MapVerdict::kValid) return read.message;
    MapError error;
    if (!measure_map_file(bytes->data(), bytes->size(), figures, &error)) {
      return path + ": malformed: " + describe_map_error(error);
    }
    return "";
  } catch (const std::bad_alloc&) {
    return "vxlinspect: " + path + ": out of memory";
  }
}

}  // namespace

int run_stats_command(const ParsedCommand& parsed, StandardOutput& out) {
  const bool json = parsed.has("--json");
  int status = kInspectOk;
  bool first_block = true;
  // One buffer for every file in turn: it holds one map at a time.
  std::vector<std::uint8_t> bytes;
  for (const std::string& path : parsed.arguments) {
    MapFigures figures;
    const std::string reason = measure_one(path, &bytes, &figures);
    if (!reason.empty()) {
      status = kInspectFailed;
      std::fprintf(stderr, "%s\n", reason.c_str());
      if (json) {
        nlohmann::json j;
        j["map"] = path;
        j["error"] = reason;
        out.text(json_line(j));
      }
    } else if (json) {
      out.text(json_line(map_figures_json(figures, path)));
    } else {
      if (!first_block) out.text("\n");
      out.text(describe_map_figures(figures, path));
      first_block = false;
    }
  }
  return status;
}

}  // namespace vxlforge
