#include "mapgen/shared_fields.h"

namespace vxlforge {

Field height_field;
Field base_field;
Field detail_field;

}  // namespace vxlforge
