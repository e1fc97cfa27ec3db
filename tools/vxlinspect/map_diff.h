#ifndef VXLFORGE_TOOLS_VXLINSPECT_MAP_DIFF_H_
#define VXLFORGE_TOOLS_VXLINSPECT_MAP_DIFF_H_

#include <cstddef>
#include <string>
#include <vector>

#include "vxl/map_reader.h"

namespace vxlforge {

// The first voxel, from the top, at which a column of map A differs from
// the same column of map B.
struct ColumnDifference {
  int x = 0;
  int y = 0;
  int h = 0;  // height in the file's orientation, 0 = top
  bool solid_differs = false;  // otherwise both colour it, differently
  bool a_solid = false;
  bool b_solid = false;
  Colour a_colour = 0;
  Colour b_colour = 0;
};

struct MapDiff {
  std::size_t columns = 0;                 // columns that differ
  std::vector<ColumnDifference> listed;    // the first of them, in file order
  // Voxels that differ only in the fourth byte of their colour words, and
  // the columns that hold them.
  std::size_t fourth_byte_voxels = 0;
  std::size_t fourth_byte_columns = 0;
};

// Compares two decoded maps column by column, in file order (y outer, x
// inner). Voxels differ when one is solid and the other air, or when both
// files store a colour for them and its red, green or blue differ. A colour
// stored in only one file is no difference: another writer may colour
// hidden voxels that this one leaves bare, and the map looks the same. The
// fourth byte of a colour word is no part of the colour (this system writes
// 0x80, other programs 0x7f, 0xff or shading values), so voxels whose words
// differ only there are counted apart. Lists at most `max_listed` columns.
MapDiff diff_maps(const MapVoxels& a, const MapVoxels& b, std::size_t max_listed);

// "column (X, Y) height H: solid in A, air in B" or
// "column (X, Y) height H: colour 80112233 in A, 80445566 in B".
std::string describe_difference(const ColumnDifference& d);

}  // namespace vxlforge

#endif  // VXLFORGE_TOOLS_VXLINSPECT_MAP_DIFF_H_
