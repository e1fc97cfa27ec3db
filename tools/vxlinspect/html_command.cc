#include "vxlinspect/html_command.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "base/file_output.h"
#include "vxl/map_reader.h"
#include "vxlinspect/inspect.h"
#include "vxlinspect/map_page.h"
#include "vxlinspect/map_stats.h"
#include "vxlinspect/top_view.h"

namespace vxlforge {

std::string map_display_name(const std::string& path) {
  if (path == "-") return "standard input";
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace {

// Reads, decodes and pages one map; returns "" or why not.
std::string html_page_of(const std::string& path, std::string* page) {
  std::vector<std::uint8_t> bytes;
  const LoadedMap read = read_map_bytes(path, &bytes);
  if (read.verdict != MapVerdict::kValid) return read.message;
  std::string reason;
  auto voxels = std::make_unique<MapVoxels>();
  MapError error;
  if (!decode_map(bytes.data(), bytes.size(), voxels.get(), nullptr, &error)) {
    return path + ": malformed: " + describe_map_error(error);
  }
  const MapFigures figures = measure_map(*voxels, bytes.data(), bytes.size());
  const Preview top_view = render_top_view(*voxels, 1);
  MapPageInput input;
  input.name = map_display_name(path);
  input.file = bytes.data();
  input.file_size = bytes.size();
  input.top_view = &top_view;
  input.figures = &figures;
  if (!build_map_page(input, page, &reason)) return "cannot encode the overview: " + reason;
  return "";
}

}  // namespace

int run_html_command(const ParsedCommand& parsed, StandardOutput&) {
  const std::string& map_path = parsed.arguments[0];
  const std::string& out_path = parsed.arguments[1];
  std::string page;
  std::string reason;
  try {
    reason = html_page_of(map_path, &page);
  } catch (const std::bad_alloc&) {
    reason = "vxlinspect: out of memory";
  }
  if (reason.empty() && !write_file_replacing(out_path.c_str(), page.data(), page.size(), &reason)) {
    reason = "vxlinspect: cannot write '" + out_path + "': " + reason;
  }
  if (!reason.empty()) {
    std::fprintf(stderr, "%s\n", reason.c_str());
    return kInspectFailed;
  }
  return kInspectOk;
}

}  // namespace vxlforge
