#ifndef VXLFORGE_TOOLS_VXLINSPECT_TOP_VIEW_H_
#define VXLFORGE_TOOLS_VXLINSPECT_TOP_VIEW_H_

#include "vxlinspect/map_preview.h"

namespace vxlforge {

// The map from above: column (x, y) becomes the scale x scale block whose
// top-left pixel is (x * scale, y * scale), in the colour of its topmost
// solid voxel. That colour is dimmed a little (to no less than 0.8 of it)
// the lower the ground around the column lies against the map's own range
// of heights, lit or shaded by up to a fifth by the step toward the light
// at the top-left, and drawn at 0.7 where the voxel floats over air, so
// that relief, cover and the roads beneath cover show while the colours
// stay recognisable: on generated and hand-made maps alike, the picture's
// mean brightness stays above 0.75 of the surface colours' own. A topmost
// voxel without a stored colour shows grey, an all-air column black.
// `scale` must be 1..kMaxPreviewScale.
Preview render_top_view(const MapVoxels& voxels, int scale);

}  // namespace vxlforge

#endif  // VXLFORGE_TOOLS_VXLINSPECT_TOP_VIEW_H_
