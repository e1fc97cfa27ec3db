#include "vxlinspect/inspect.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/file_output.h"
#include "vxl/map_input.h"
#include "vxlinspect/command_line.h"
#include "vxlinspect/html_command.h"
#include "vxlinspect/map_diff.h"
#include "vxlinspect/map_preview.h"
#include "vxlinspect/sheet_command.h"
#include "vxlinspect/standard_output.h"
#include "vxlinspect/stats_command.h"

#ifndef VXLFORGE_VERSION
#define VXLFORGE_VERSION "unknown"
#endif

namespace vxlforge {

namespace {

constexpr std::size_t kListedDifferences = 10;

// One command: what it takes, a line (or a few, the later ones indented)
// for the usage text, and what runs it.
struct Command {
  CommandSyntax syntax;
  const char* summary;
  int (*run)(const ParsedCommand& parsed, StandardOutput& out);
};

int run_check(const ParsedCommand& parsed, StandardOutput& out);
int run_png(const ParsedCommand& parsed, StandardOutput& out);
int run_diff(const ParsedCommand& parsed, StandardOutput& out);

// To add a command: an entry here and its run function below.
const std::vector<Command>& commands() {
  static const std::vector<Command> table = {
      {{"check", "MAP...", "", 1, kAnyNumber, {}},
       "decode each map and say whether it is valid, one line per map",
       run_check},
      {{"stats", "MAP...", "[--json]", 1, kAnyNumber, {{"--json", false}}},
       "the figures of each map: surface heights, land shares of the map and of\n"
       "the two start regions, floating voxels, SHA-256, highest point; --json\n"
       "prints one JSON object per map per line",
       run_stats_command},
      {{"png", "MAP OUT", "[--scale N] [--view top|overview|iso]", 2, 2,
        {{"--scale", true}, {"--view", true}}},
       "write a preview: top (default) from above, N x N pixels per column\n"
       "(N = 1..16, default 1); overview, the top view with the grid and the\n"
       "start regions; iso, the whole map seen from a corner (N = 1..4)",
       run_png},
      {{"diff", "A B", "[--exact]", 2, 2, {{"--exact", false}}},
       "count the columns whose voxels differ and list the first ten; the fourth\n"
       "byte of a colour word is counted apart, and decides only with --exact",
       run_diff},
      {{"html", "MAP OUT.html", "", 2, 2, {}},
       "write one page that shows the map in 3D, with its overview and figures",
       run_html_command},
      {{"sheet", "OUTDIR MAP...", "", 2, kAnyNumber, {}},
       "write OUTDIR/index.html comparing the maps, and a 3D page for each",
       run_sheet_command},
  };
  return table;
}

std::string usage_text() {
  std::string text;
  for (const Command& c : commands()) {
    text += text.empty() ? "usage: " : "       ";
    text += "vxlinspect " + c.syntax.name + " " + c.syntax.arguments;
    if (!c.syntax.options_usage.empty()) text += " " + c.syntax.options_usage;
    text += "\n";
  }
  text += "       vxlinspect --help | --version\n\n";
  for (const Command& c : commands()) {
    std::string name = c.syntax.name;
    name.resize(7, ' ');
    std::string summary = c.summary;
    for (std::string::size_type at = summary.find('\n'); at != std::string::npos;
         at = summary.find('\n', at + 1)) {
      summary.insert(at + 1, "       ");
    }
    text += name + summary + "\n";
  }
  text +=
      "\n"
      "A MAP of - is read from standard input, an OUT of - goes to standard output.\n"
      "Options may stand anywhere after the command, as --scale 2 or --scale=2.\n"
      "\n"
      "Exit status: 0 all maps valid, preview or pages written, maps equal; 1 a map\n"
      "malformed or unreadable, a preview, page or standard output not written, the\n"
      "maps different (diff), out of memory; 2 wrong usage, png's OUT is its MAP, or\n"
      "diff could not read a map.\n";
  return text;
}

void print_usage(StandardOutput& out) {
  const std::string text = usage_text();
  out.bytes(text.data(), text.size());
}

// Standard input can be read once; sheet reads its maps on several threads.
std::atomic<bool> standard_input_taken{false};

// Device and inode of what `path` names, or of standard input or output
// for "-"; false when it does not exist.
bool identify(const std::string& path, int standard_fd, struct stat* info) {
  return path == "-" ? fstat(standard_fd, info) == 0 : stat(path.c_str(), info) == 0;
}

int run_check(const ParsedCommand& parsed, StandardOutput& out) {
  int status = kInspectOk;
  for (const std::string& path : parsed.arguments) {
    MapStats stats;
    const LoadedMap map = load_map(path, nullptr, &stats);
    if (map.verdict == MapVerdict::kValid) {
      out.line(path + ": valid, " + std::to_string(stats.bytes) + " bytes, " +
               std::to_string(stats.spans) + " spans, surface heights " +
               std::to_string(stats.lowest_surface) + ".." +
               std::to_string(stats.highest_surface));
      continue;
    }
    // A malformed map is check's answer; an unreadable one is an error.
    if (map.verdict == MapVerdict::kMalformed) {
      out.line(map.message);
    } else {
      std::fprintf(stderr, "%s\n", map.message.c_str());
    }
    status = kInspectFailed;
  }
  return status;
}

// A whole decimal number in 1..`max`, or 0.
int parse_scale(const std::string& text, int max) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || end == text.c_str() || *end != '\0' || value < 1 || value > max) return 0;
  return static_cast<int>(value);
}

// The view named `text`; false when it names none.
bool parse_view(const std::string& text, PreviewView* view) {
  if (text == "top") {
    *view = PreviewView::kTop;
  } else if (text == "overview") {
    *view = PreviewView::kOverview;
  } else if (text == "iso") {
    *view = PreviewView::kIso;
  } else {
    return false;
  }
  return true;
}

int run_png(const ParsedCommand& parsed, StandardOutput& out) {
  const std::string& map_path = parsed.arguments[0];
  const std::string& png_path = parsed.arguments[1];
  PreviewView view = PreviewView::kTop;
  const std::string view_text = parsed.value("--view", "top");
  if (!parse_view(view_text, &view)) {
    return usage_error("png: --view takes top, overview or iso, not '" + view_text + "'");
  }
  const std::string scale_text = parsed.value("--scale", "1");
  const int scale = parse_scale(scale_text, max_preview_scale(view));
  if (scale == 0) {
    return usage_error("png: --scale takes a whole number from 1 to " +
                       std::to_string(max_preview_scale(view)) + ", not '" + scale_text + "'");
  }
  struct stat map_info;
  struct stat png_info;
  if (identify(map_path, 0, &map_info) && identify(png_path, 1, &png_info) &&
      map_info.st_dev == png_info.st_dev && map_info.st_ino == png_info.st_ino) {
    std::fprintf(stderr, "vxlinspect: png: '%s' is the map '%s' itself; not replacing it\n",
                 png_path.c_str(), map_path.c_str());
    return kInspectUsage;
  }

  auto voxels = std::make_unique<MapVoxels>();
  const LoadedMap map = load_map(map_path, voxels.get(), nullptr);
  if (map.verdict != MapVerdict::kValid) {
    std::fprintf(stderr, "%s\n", map.message.c_str());
    return kInspectFailed;
  }
  const Preview preview = render_preview(*voxels, scale, view);
  voxels.reset();
  std::vector<std::uint8_t> png;
  std::string reason;
  if (!encode_png(preview, &png, &reason)) {
    std::fprintf(stderr, "vxlinspect: cannot encode PNG: %s\n", reason.c_str());
    return kInspectFailed;
  }
  if (png_path == "-") {
    out.bytes(png.data(), png.size());
    return kInspectOk;  // a failed write is reported with the others
  }
  if (!write_file_replacing(png_path.c_str(), png.data(), png.size(), &reason)) {
    std::fprintf(stderr, "vxlinspect: cannot write '%s': %s\n", png_path.c_str(),
                 reason.c_str());
    return kInspectFailed;
  }
  return kInspectOk;
}

std::string counted(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

int run_diff(const ParsedCommand& parsed, StandardOutput& out) {
  std::unique_ptr<MapVoxels> maps[2];
  for (int i = 0; i < 2; ++i) {
    maps[i] = std::make_unique<MapVoxels>();
    const LoadedMap map = load_map(parsed.arguments[i], maps[i].get(), nullptr);
    if (map.verdict != MapVerdict::kValid) {
      std::fprintf(stderr, "%s\n", map.message.c_str());
      return kInspectUsage;
    }
  }
  const MapDiff diff = diff_maps(*maps[0], *maps[1], kListedDifferences);
  if (diff.columns == 0) {
    out.line(diff.fourth_byte_voxels == 0 ? "maps are equal"
                                          : "maps are equal in solidity and colour");
  } else {
    out.line(counted(diff.columns, "column differs", "columns differ"));
    for (const ColumnDifference& d : diff.listed) out.line(describe_difference(d));
  }
  if (diff.fourth_byte_voxels > 0) {
    out.line(counted(diff.fourth_byte_voxels, "voxel", "voxels") + " in " +
             counted(diff.fourth_byte_columns, "column", "columns") +
             (diff.fourth_byte_voxels == 1 ? " differs" : " differ") +
             " only in the fourth byte of the colour word");
  }
  const bool differ =
      diff.columns > 0 || (parsed.has("--exact") && diff.fourth_byte_voxels > 0);
  return differ ? kInspectFailed : kInspectOk;
}

int run_words(const std::vector<std::string>& words, StandardOutput& out) {
  if (words.empty()) return usage_error("no command given");
  const std::string& first = words[0];
  const bool alone = words.size() == 1;
  if (first == "--help" || first == "-h") {
    if (!alone) return usage_error(first + " takes nothing after it");
    print_usage(out);
    return kInspectOk;
  }
  if (first == "--version") {
    if (!alone) return usage_error("--version takes nothing after it");
    out.line(std::string("vxlinspect ") + VXLFORGE_VERSION);
    return kInspectOk;
  }
  for (const Command& command : commands()) {
    if (command.syntax.name != first) continue;
    ParsedCommand parsed;
    std::string reason;
    if (!parse_command(command.syntax, {words.begin() + 1, words.end()}, &parsed, &reason)) {
      return usage_error(reason);
    }
    if (parsed.help) {
      print_usage(out);
      return kInspectOk;
    }
    return command.run(parsed, out);
  }
  return usage_error("unknown command '" + first + "'");
}

}  // namespace

int usage_error(const std::string& reason) {
  std::fprintf(stderr, "vxlinspect: %s\n%s", reason.c_str(), usage_text().c_str());
  return kInspectUsage;
}

LoadedMap read_map_bytes(const std::string& path, std::vector<std::uint8_t>* bytes) {
  LoadedMap loaded;
  if (path == "-") {
    if (standard_input_taken.exchange(true)) {
      loaded.message = "vxlinspect: cannot read '-': standard input was read already";
      return loaded;
    }
  }
  std::string reason;
  switch (read_map_input(path, bytes, &reason)) {
    case MapRead::kUnreadable:
      loaded.message = "vxlinspect: cannot read '" + path + "': " + reason;
      return loaded;
    case MapRead::kTooLarge:
      loaded.verdict = MapVerdict::kMalformed;
      loaded.message = path + ": malformed: " + reason;
      return loaded;
    case MapRead::kRead:
      break;
  }
  loaded.verdict = MapVerdict::kValid;
  return loaded;
}

LoadedMap load_map(const std::string& path, MapVoxels* voxels, MapStats* stats) {
  std::vector<std::uint8_t> bytes;
  LoadedMap loaded = read_map_bytes(path, &bytes);
  if (loaded.verdict != MapVerdict::kValid) return loaded;
  MapError error;
  if (!decode_map(bytes.data(), bytes.size(), voxels, stats, &error)) {
    loaded.verdict = MapVerdict::kMalformed;
    loaded.message = path + ": malformed: " + describe_map_error(error);
    return loaded;
  }
  loaded.verdict = MapVerdict::kValid;
  return loaded;
}

int run_inspect(int argc, char** argv) {
  standard_input_taken = false;
  StandardOutput out;
  const int status = run_words({argv + std::min(argc, 1), argv + argc}, out);
  if (out.failed()) {
    std::fprintf(stderr, "vxlinspect: cannot write standard output: %s\n", out.reason().c_str());
    return kInspectFailed;
  }
  return status;
}

}  // namespace vxlforge
