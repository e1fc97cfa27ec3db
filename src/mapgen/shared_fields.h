#ifndef VXLFORGE_MAPGEN_SHARED_FIELDS_H_
#define VXLFORGE_MAPGEN_SHARED_FIELDS_H_

#include "random/field.h"

namespace vxlforge {

// Fields that several passes share. height_field ends as the terrain height
// in voxels that voxelise and the colouring read; base_field and
// detail_field are working space of the heightmap pass, and detail_field is
// scratch again for the surface detail pass.
extern Field height_field;
extern Field base_field;
extern Field detail_field;

}  // namespace vxlforge

#endif  // VXLFORGE_MAPGEN_SHARED_FIELDS_H_
