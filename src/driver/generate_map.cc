#include "driver/generate_map.h"

namespace vxlforge {

void generate_map() {}

}  // namespace vxlforge
