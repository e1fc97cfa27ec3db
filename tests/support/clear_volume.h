#ifndef VXLFORGE_TESTS_SUPPORT_CLEAR_VOLUME_H_
#define VXLFORGE_TESTS_SUPPORT_CLEAR_VOLUME_H_

#include <cstring>

#include "mapgen/volume.h"

namespace vxlforge::testing {

// The Volume is process-wide: tests that build voxels by hand start from,
// and leave behind, an all-air Volume with zero colours and tops.
inline void clear_volume() {
  std::memset(column_solid, 0, sizeof(column_solid));
  clear_colours();
  std::memset(column_top, 0, sizeof(column_top));
}

}  // namespace vxlforge::testing

#endif  // VXLFORGE_TESTS_SUPPORT_CLEAR_VOLUME_H_
