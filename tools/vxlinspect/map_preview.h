#ifndef VXLFORGE_TOOLS_VXLINSPECT_MAP_PREVIEW_H_
#define VXLFORGE_TOOLS_VXLINSPECT_MAP_PREVIEW_H_

#include <cstdint>
#include <string>
#include <vector>

#include "vxl/map_reader.h"

namespace vxlforge {

constexpr int kMaxPreviewScale = 16;

// A top-down picture of a map: column (x, y) becomes the scale x scale
// block of pixels whose top-left corner is (x * scale, y * scale). Its
// colour is that of the column's topmost solid voxel, darkened the lower
// the ground around it lies (the highest ground, and a flat map, keep the
// stored colour), lit from the top-left, and darker still where it floats
// over air, so that raised ground, cover and the roads beneath cover show.
// A topmost voxel without a stored colour shows grey, an all-air column
// black.
struct Preview {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // width * height * 3 bytes, rows top first
};

// `scale` must be 1..kMaxPreviewScale.
Preview render_preview(const MapVoxels& voxels, int scale);

// The 8-bit RGB PNG of `preview`. Returns false with libpng's message in
// `reason` when encoding fails.
bool encode_png(const Preview& preview, std::vector<std::uint8_t>* png, std::string* reason);

}  // namespace vxlforge

#endif  // VXLFORGE_TOOLS_VXLINSPECT_MAP_PREVIEW_H_
