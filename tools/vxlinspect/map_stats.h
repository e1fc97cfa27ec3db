#ifndef VXLFORGE_TOOLS_VXLINSPECT_MAP_STATS_H_
#define VXLFORGE_TOOLS_VXLINSPECT_MAP_STATS_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "vxl/map_reader.h"

namespace vxlforge {

// The figures a map maker picks a map by: is it fit to play, and are the
// two sides fair.
//
// Terms. A column's surface height is the number of voxels from its bottom
// up to and including its topmost solid voxel (0 for an all-air column), as
// `check` defines it. The bottom layer is each column's lowest voxel (file
// height 63). A column is land when the voxel directly above the bottom
// layer (file height 62) is solid: players are placed only on such columns
// and fall back to water elsewhere. The two start regions are x 0..127 and
// x 384..511, each with y 128..383, where the teams start. The grid divides
// the map into 8 x 8 squares of 64 x 64 columns, letters A..H along x,
// digits 1..8 along y from y = 0, so "C4" is x 128..191, y 192..255.
struct MapFigures {
  std::size_t bytes = 0;   // the file's size
  std::string sha256;      // lower-case hex SHA-256 of the file's bytes

  int surface_min = 0;        // voxels
  double surface_mean = 0.0;  // voxels, over all 262,144 columns
  int surface_max = 0;        // voxels
  // Columns per surface height 0..64.
  std::array<std::uint32_t, MAP_Z + 1> surface_histogram{};

  // Land shares, as fractions 0..1 of the columns counted.
  double land_share = 0.0;        // of the whole map
  double land_share_left = 0.0;   // of the start region at low x
  double land_share_right = 0.0;  // of the start region at high x
  double land_share_smaller = 0.0;     // the smaller of left and right
  double land_share_difference = 0.0;  // |left - right|: 0 is fair

  double mean_surface_left = 0.0;   // voxels, over the start region's columns
  double mean_surface_right = 0.0;  // voxels

  // Solid voxels with air directly below them: cover lifted over roads,
  // overhangs, anything floating. The bottom layer never counts.
  std::uint64_t floating_voxels = 0;

  // The highest column (surface_max), the first in file order (y, then x)
  // when several share it, and its grid square.
  int highest_x = 0;
  int highest_y = 0;
  std::string highest_square;  // e.g. "C4"
};

// The figures of a decoded map; `bytes`/`size` are the file's bytes, for
// its size and SHA-256 only. For callers that already hold the voxels.
MapFigures measure_map(const MapVoxels& voxels, const std::uint8_t* bytes, std::size_t size);

// The same figures straight from a file's bytes, without decoding its
// voxels: several times faster, and what `stats` runs. Returns false with
// `error` filled when the file is malformed (figures then untouched).
bool measure_map_file(const std::uint8_t* bytes, std::size_t size, MapFigures* figures,
                      MapError* error);

// The grid square of column (x, y), e.g. "C4".
std::string grid_square(int x, int y);

// One JSON Lines object: "map" (`name`) and every figure under a stable
// snake_case key, the keys in alphabetical order (README lists them with
// their units). Shares and means are exact: every one is a count divided by
// a power of two.
nlohmann::json map_figures_json(const MapFigures& figures, const std::string& name);

// The text block `stats` prints for one map: its name on the first line,
// then one aligned line per figure, each ending in a newline.
std::string describe_map_figures(const MapFigures& figures, const std::string& name);

}  // namespace vxlforge

#endif  // VXLFORGE_TOOLS_VXLINSPECT_MAP_STATS_H_
