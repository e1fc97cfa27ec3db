// The two ways `stats` shows a map's figures: a block for people and a JSON
// object for programs.
#include <algorithm>
#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "vxlinspect/map_stats.h"

namespace vxlforge {

nlohmann::json map_figures_json(const MapFigures& f, const std::string& name) {
  nlohmann::json j;
  j["map"] = name;
  j["bytes"] = f.bytes;
  j["sha256"] = f.sha256;
  j["surface_min"] = f.surface_min;
  j["surface_mean"] = f.surface_mean;
  j["surface_max"] = f.surface_max;
  j["surface_histogram"] = f.surface_histogram;
  j["land_share"] = f.land_share;
  j["land_share_left"] = f.land_share_left;
  j["land_share_right"] = f.land_share_right;
  j["land_share_smaller"] = f.land_share_smaller;
  j["land_share_difference"] = f.land_share_difference;
  j["mean_surface_left"] = f.mean_surface_left;
  j["mean_surface_right"] = f.mean_surface_right;
  j["floating_voxels"] = f.floating_voxels;
  j["highest_x"] = f.highest_x;
  j["highest_y"] = f.highest_y;
  j["highest_square"] = f.highest_square;
  return j;
}

namespace {

std::string format(const char* pattern, auto... values) {
  char line[256];
  std::snprintf(line, sizeof(line), pattern, values...);
  return line;
}

double percent(double share) { return 100.0 * share; }

// The histogram in bands of eight heights (the last also holds 64), as
// shares of the map, up to the band of the highest point: enough to see at
// a glance where the ground lies.
std::string height_bands(const MapFigures& f) {
  std::string bands;
  const int last_band = std::min(7, f.surface_max / 8);
  for (int band = 0; band <= last_band; ++band) {
    const int first = band * 8;
    const int last = band == 7 ? MAP_Z : first + 7;
    std::uint64_t columns = 0;
    for (int h = first; h <= last; ++h) columns += f.surface_histogram[h];
    if (band > 0) bands += "  ";
    bands += format("%d-%d %.1f%%", first, last,
                    percent(static_cast<double>(columns) / MAP_COLUMNS));
  }
  return bands;
}

}  // namespace

std::string describe_map_figures(const MapFigures& f, const std::string& name) {
  std::string text = name + "\n";
  text += "  sha256           " + f.sha256 + "\n";
  text += format("  size             %zu bytes\n", f.bytes);
  text += format("  surface height   min %d, mean %.2f, max %d voxels\n", f.surface_min,
                 f.surface_mean, f.surface_max);
  text += "  height bands     " + height_bands(f) + "\n";
  text += format("  land             %.2f%% of the map; start regions: left %.2f%%, right %.2f%%\n",
                 percent(f.land_share), percent(f.land_share_left), percent(f.land_share_right));
  text += format("  fairness         smaller %.2f%%, difference %.2f points\n",
                 percent(f.land_share_smaller), percent(f.land_share_difference));
  text += format("  start heights    left %.2f, right %.2f voxels\n", f.mean_surface_left,
                 f.mean_surface_right);
  text += format("  floating voxels  %llu\n", static_cast<unsigned long long>(f.floating_voxels));
  text += format("  highest point    %d voxels at (%d, %d), square %s\n", f.surface_max,
                 f.highest_x, f.highest_y, f.highest_square.c_str());
  return text;
}

}  // namespace vxlforge
