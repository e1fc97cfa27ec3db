#include "vxlinspect/html_command.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "vxl/file_output.h"
#include "vxl/map_reader.h"
#include "vxlinspect/inspect.h"
#include "vxlinspect/map_file.h"
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
  std::string reason;
  if (!read_map_file(path, &bytes, &reason)) return "cannot read '" + path + "': " + reason;
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

int run_html_command(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: vxlinspect html MAP.vxl OUT.html\n", stderr);
    return kInspectUsage;
  }
  const std::string map_path = argv[0];
  const std::string out_path = argv[1];
  std::string page;
  std::string reason;
  try {
    reason = html_page_of(map_path, &page);
  } catch (const std::bad_alloc&) {
    reason = "out of memory";
  }
  if (reason.empty() && !write_file_replacing(out_path.c_str(), page.data(), page.size(), &reason)) {
    reason = "cannot write '" + out_path + "': " + reason;
  }
  if (!reason.empty()) {
    std::fprintf(stderr, "vxlinspect: %s\n", reason.c_str());
    return kInspectFailed;
  }
  return kInspectOk;
}

}  // namespace vxlforge
