#include "vxlinspect/inspect.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "vxl/file_output.h"
#include "vxl/map_reader.h"
#include "vxlinspect/map_diff.h"
#include "vxlinspect/map_preview.h"
#include "vxlinspect/html_command.h"
#include "vxlinspect/sheet_command.h"
#include "vxlinspect/stats_command.h"

#ifndef VXLFORGE_VERSION
#define VXLFORGE_VERSION "unknown"
#endif

namespace vxlforge {

namespace {

constexpr std::size_t kListedDifferences = 10;

const char kUsage[] =
    "usage: vxlinspect check MAP.vxl\n"
    "       vxlinspect stats MAP.vxl... [--json]\n"
    "       vxlinspect png MAP.vxl OUT.png [--scale N] [--view top|overview|iso]\n"
    "       vxlinspect diff A.vxl B.vxl\n"
    "       vxlinspect html MAP.vxl OUT.html\n"
    "       vxlinspect sheet OUTDIR MAP.vxl...\n"
    "       vxlinspect --help | --version\n"
    "\n"
    "check  decode the whole map and say whether it is valid\n"
    "stats  the figures of each map: surface heights, land shares of the map and\n"
    "       of the two start regions, floating voxels, SHA-256, highest point;\n"
    "       --json prints one JSON object per map per line\n"
    "png    write a preview: top (default) from above, N x N pixels per column\n"
    "       (N = 1..16, default 1); overview, the top view with the grid and the\n"
    "       start regions; iso, the whole map seen from a corner (N = 1..4)\n"
    "diff   count the columns whose voxels differ and list the first ten\n"
    "html   write one page that shows the map in 3D, with its overview and figures\n"
    "sheet  write OUTDIR/index.html comparing the maps, and a 3D page for each\n"
    "\n"
    "Exit status: 0 valid, written or equal; 1 malformed, unreadable or\n"
    "unwritable (check, stats, png, html, sheet) or different (diff); 2 wrong usage,\n"
    "or diff could not read a map.\n";

int usage_error() {
  std::fputs(kUsage, stderr);
  return kInspectUsage;
}

// Reads all of `path`; on failure returns false with the system's reason.
bool read_whole_file(const char* path, std::vector<std::uint8_t>* bytes, std::string* reason) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *reason = std::strerror(errno);
    return false;
  }
  bytes->clear();
  std::uint8_t buffer[1 << 16];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof(buffer));
    if (n < 0) {
      if (errno == EINTR) continue;
      *reason = std::strerror(errno);
      close(fd);
      return false;
    }
    if (n == 0) break;
    bytes->insert(bytes->end(), buffer, buffer + n);
  }
  close(fd);
  return true;
}

// Reads and decodes `path`. A file that cannot be read is reported on
// standard error; a malformed one on `malformed`, which for `check` is its
// answer and so standard output.
bool load_map(const char* path, MapVoxels* voxels, MapStats* stats, FILE* malformed) {
  std::vector<std::uint8_t> bytes;
  std::string reason;
  if (!read_whole_file(path, &bytes, &reason)) {
    std::fprintf(stderr, "vxlinspect: cannot read '%s': %s\n", path, reason.c_str());
    return false;
  }
  MapError error;
  if (!decode_map(bytes.data(), bytes.size(), voxels, stats, &error)) {
    std::fprintf(malformed, "%s: malformed: %s\n", path, describe_map_error(error).c_str());
    return false;
  }
  return true;
}

int run_check(const char* path) {
  MapStats stats;
  if (!load_map(path, nullptr, &stats, stdout)) return kInspectFailed;
  std::printf("%s: valid, %zu bytes, %zu spans, surface heights %d..%d\n", path, stats.bytes,
              stats.spans, stats.lowest_surface, stats.highest_surface);
  return kInspectOk;
}

// A whole decimal number in 1..kMaxPreviewScale, or 0.
int parse_scale(const char* text) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || value < 1 || value > kMaxPreviewScale) {
    return 0;
  }
  return static_cast<int>(value);
}

int run_png(const char* map_path, const char* png_path, int scale, PreviewView view) {
  auto voxels = std::make_unique<MapVoxels>();
  if (!load_map(map_path, voxels.get(), nullptr, stderr)) return kInspectFailed;
  const Preview preview = render_preview(*voxels, scale, view);
  std::vector<std::uint8_t> png;
  std::string reason;
  if (!encode_png(preview, &png, &reason)) {
    std::fprintf(stderr, "vxlinspect: cannot encode PNG: %s\n", reason.c_str());
    return kInspectFailed;
  }
  if (!write_file_replacing(png_path, png.data(), png.size(), &reason)) {
    std::fprintf(stderr, "vxlinspect: cannot write '%s': %s\n", png_path, reason.c_str());
    return kInspectFailed;
  }
  return kInspectOk;
}

int run_diff(const char* a_path, const char* b_path) {
  auto a = std::make_unique<MapVoxels>();
  auto b = std::make_unique<MapVoxels>();
  if (!load_map(a_path, a.get(), nullptr, stderr)) return kInspectUsage;
  if (!load_map(b_path, b.get(), nullptr, stderr)) return kInspectUsage;
  const MapDiff diff = diff_maps(*a, *b, kListedDifferences);
  if (diff.columns == 0) {
    std::printf("maps are equal\n");
    return kInspectOk;
  }
  std::printf("%zu column%s differ%s\n", diff.columns, diff.columns == 1 ? "" : "s",
              diff.columns == 1 ? "s" : "");
  for (const ColumnDifference& d : diff.listed) {
    std::printf("%s\n", describe_difference(d).c_str());
  }
  return kInspectFailed;
}

}  // namespace

int run_inspect(int argc, char** argv) {
  if (argc < 2) return usage_error();
  const std::string command = argv[1];
  if (command == "--help" || command == "-h") {
    if (argc != 2) return usage_error();
    std::fputs(kUsage, stdout);
    return kInspectOk;
  }
  if (command == "--version") {
    if (argc != 2) return usage_error();
    std::printf("vxlinspect %s\n", VXLFORGE_VERSION);
    return kInspectOk;
  }
  if (command == "check" && argc == 3) return run_check(argv[2]);
  if (command == "diff" && argc == 4) return run_diff(argv[2], argv[3]);
  if (command == "stats") return run_stats_command(argc - 2, argv + 2);
  if (command == "html") return run_html_command(argc - 2, argv + 2);
  if (command == "sheet") return run_sheet_command(argc - 2, argv + 2);
  if (command == "png" && argc >= 4 && argc % 2 == 0) {
    int scale = 1;
    PreviewView view = PreviewView::kTop;
    for (int i = 4; i < argc; i += 2) {
      const std::string option = argv[i];
      const std::string value = argv[i + 1];
      if (option == "--scale") {
        scale = parse_scale(argv[i + 1]);
      } else if (option == "--view" && value == "top") {
        view = PreviewView::kTop;
      } else if (option == "--view" && value == "overview") {
        view = PreviewView::kOverview;
      } else if (option == "--view" && value == "iso") {
        view = PreviewView::kIso;
      } else if (option == "--view") {
        std::fprintf(stderr, "vxlinspect: --view takes top, overview or iso\n");
        return kInspectUsage;
      } else {
        return usage_error();
      }
    }
    if (scale == 0 || scale > max_preview_scale(view)) {
      std::fprintf(stderr, "vxlinspect: --scale takes a whole number from 1 to %d\n",
                   max_preview_scale(view));
      return kInspectUsage;
    }
    return run_png(argv[2], argv[3], scale, view);
  }
  return usage_error();
}

}  // namespace vxlforge
