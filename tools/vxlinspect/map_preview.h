#ifndef VXLFORGE_TOOLS_VXLINSPECT_MAP_PREVIEW_H_
#define VXLFORGE_TOOLS_VXLINSPECT_MAP_PREVIEW_H_

#include <cstdint>
#include <string>
#include <vector>

#include "vxl/map_reader.h"

namespace vxlforge {

constexpr int kMaxPreviewScale = 16;
// The isometric view is about 2,000 pixels wide at scale 1 and grows with
// the square of the scale; 4 keeps it near 150 MB.
constexpr int kMaxIsoScale = 4;

// What a preview shows.
//  - kTop: the map from above, one scale x scale block per column.
//  - kOverview: the top view with the grid players name places by (8 x 8
//    squares of 64 columns, letters A..H along the top edge, digits 1..8
//    down the left) and the two start regions outlined.
//  - kIso: the whole map seen from above one corner, every exposed face in
//    its voxel's colour and one of three shades, nearer voxels hiding
//    farther ones.
enum class PreviewView { kTop, kOverview, kIso };

// The largest scale `view` takes.
int max_preview_scale(PreviewView view);

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

// `scale` must be 1..max_preview_scale(view). The same voxels always give
// the same pixels. Only the red, green and blue bytes of a stored colour
// are used: the fourth byte, whatever a hand-made map holds there, is
// ignored.
Preview render_preview(const MapVoxels& voxels, int scale, PreviewView view = PreviewView::kTop);

// The 8-bit RGB PNG of `preview`. Returns false with libpng's message in
// `reason` when encoding fails.
bool encode_png(const Preview& preview, std::vector<std::uint8_t>* png, std::string* reason);

}  // namespace vxlforge

#endif  // VXLFORGE_TOOLS_VXLINSPECT_MAP_PREVIEW_H_
