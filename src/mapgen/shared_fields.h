#ifndef VXLFORGE_MAPGEN_SHARED_FIELDS_H_
#define VXLFORGE_MAPGEN_SHARED_FIELDS_H_

#include "random/field.h"

namespace vxlforge {

// The Field that several passes share: it ends as the terrain height in
// voxels that voxelise and the colouring read. (The heightmap pass keeps
// its working Fields a chunk of rows at a time, and the surface detail pass
// its own.) Kept with the other per-column arrays, see fixed_arrays.h.
extern Field& height_field;

}  // namespace vxlforge

#endif  // VXLFORGE_MAPGEN_SHARED_FIELDS_H_
