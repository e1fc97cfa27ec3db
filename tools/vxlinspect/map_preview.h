#ifndef VXLFORGE_TOOLS_VXLINSPECT_MAP_PREVIEW_H_
#define VXLFORGE_TOOLS_VXLINSPECT_MAP_PREVIEW_H_

#include <cstdint>
#include <string>
#include <vector>

#include "vxl/map_reader.h"

namespace vxlforge {

constexpr int kMaxPreviewScale = 16;
// The isometric view is 2080 x 1216 pixels at scale 1 and grows with the
// square of the scale; 4 keeps its pixels near 120 MB.
constexpr int kMaxIsoScale = 4;

// What a preview shows (each view's header gives its details).
//  - kTop: the map from above, one scale x scale block per column
//    (top_view.h).
//  - kOverview: the top view with the grid players name places by (8 x 8
//    squares of 64 columns, letters A..H along the top edge, digits 1..8
//    down the left) and the two start regions outlined (overview.h).
//  - kIso: the whole map seen from beyond one corner, every exposed face in
//    its voxel's colour and one of three shades, nearer voxels hiding
//    farther ones (iso_view.h).
enum class PreviewView { kTop, kOverview, kIso };

// The largest scale `view` takes.
int max_preview_scale(PreviewView view);

// A picture of a map, made to be written as PNG.
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
