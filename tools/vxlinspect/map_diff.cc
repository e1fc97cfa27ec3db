#include "vxlinspect/map_diff.h"

#include <cstdio>

namespace vxlforge {

namespace {

constexpr Colour kRgb = 0x00ffffff;

enum class VoxelDifference { kNone, kVoxel, kFourthByteOnly };

VoxelDifference compare_voxels(const MapVoxels& a, const MapVoxels& b, int i) {
  if (a.solid[i] != b.solid[i]) return VoxelDifference::kVoxel;
  if (!a.coloured[i] || !b.coloured[i] || a.colour[i] == b.colour[i]) {
    return VoxelDifference::kNone;
  }
  return ((a.colour[i] ^ b.colour[i]) & kRgb) != 0 ? VoxelDifference::kVoxel
                                                   : VoxelDifference::kFourthByteOnly;
}

}  // namespace

MapDiff diff_maps(const MapVoxels& a, const MapVoxels& b, std::size_t max_listed) {
  MapDiff diff;
  for (int y = 0; y < MAP_Y; ++y) {
    for (int x = 0; x < MAP_X; ++x) {
      bool differs = false;
      std::size_t fourth_byte = 0;
      for (int h = 0; h < MAP_Z; ++h) {
        const int i = map_voxel_index(x, y, h);
        const VoxelDifference kind = compare_voxels(a, b, i);
        if (kind == VoxelDifference::kFourthByteOnly) ++fourth_byte;
        if (kind != VoxelDifference::kVoxel || differs) continue;
        differs = true;
        ++diff.columns;
        if (diff.listed.size() < max_listed) {
          ColumnDifference d;
          d.x = x;
          d.y = y;
          d.h = h;
          d.a_solid = a.solid[i] != 0;
          d.b_solid = b.solid[i] != 0;
          d.solid_differs = d.a_solid != d.b_solid;
          d.a_colour = a.colour[i];
          d.b_colour = b.colour[i];
          diff.listed.push_back(d);
        }
      }
      diff.fourth_byte_voxels += fourth_byte;
      if (fourth_byte > 0) ++diff.fourth_byte_columns;
    }
  }
  return diff;
}

std::string describe_difference(const ColumnDifference& d) {
  char line[128];
  if (d.solid_differs) {
    std::snprintf(line, sizeof(line), "column (%d, %d) height %d: %s in A, %s in B", d.x, d.y,
                  d.h, d.a_solid ? "solid" : "air", d.b_solid ? "solid" : "air");
  } else {
    std::snprintf(line, sizeof(line), "column (%d, %d) height %d: colour %08x in A, %08x in B",
                  d.x, d.y, d.h, static_cast<unsigned>(d.a_colour),
                  static_cast<unsigned>(d.b_colour));
  }
  return line;
}

}  // namespace vxlforge
