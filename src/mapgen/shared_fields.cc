#include "mapgen/shared_fields.h"

namespace vxlforge {

Field height_field;

}  // namespace vxlforge
