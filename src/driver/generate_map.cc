#include "driver/generate_map.h"

#include "mapgen/heightmap.h"

namespace vxlforge {

void generate_map() {
  build_heightmap();
}

}  // namespace vxlforge
