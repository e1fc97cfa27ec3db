#ifndef VXLFORGE_TOOLS_VXLINSPECT_ISO_VIEW_H_
#define VXLFORGE_TOOLS_VXLINSPECT_ISO_VIEW_H_

#include <cstdint>

#include "vxlinspect/map_preview.h"

namespace vxlforge {

// The whole map seen from beyond its corner (511, 511), looking down at
// about 30 degrees: what a player sees of the ground, cliffs and floating
// cover, which the top view cannot show.
//
// Projection. A point at column coordinates (X, Y), 0..512, and height Z
// above the map's bottom, 0..64 (the voxel at file height h spans
// Z = 63 - h .. 64 - h), lands at pixel coordinates
//   px = m + (X - Y + 512) * 2 * scale
//   py = m + (X + Y) * scale + (64 - Z) * 5 * scale / 2
// with the margin m = kIsoMargin * scale: x runs down to the right, y down
// to the left, and a column's top face is a 4 x 2 scale-pixel diamond. A
// pixel shows what lies under its centre, and with these numbers no pixel
// centre ever falls on the edge of a face, so faces meet without gaps or
// doubled pixels. The image is iso_width(scale) x iso_height(scale), the
// whole map with room for its full 64 voxels of height, on
// kIsoBackground.
//
// Faces. Only the three faces turned toward the viewer can show: the top
// (toward Z up), the side toward +x and the side toward +y. Each is drawn
// where the voxel beyond it is air, and at the map's near edges (x = 511,
// y = 511) always, showing the map's cut sides. A face has its voxel's
// colour times its shade (kIsoTopShade, kIsoSideXShade, kIsoSideYShade:
// the sun stands high over the map's low-x, high-y side). A voxel without a
// stored colour, as inside the cut sides, takes the nearest stored colour
// above it in its column times kIsoHiddenShade, or grey.
//
// Occlusion. Voxels are drawn in order of x, then y, then height upward:
// a voxel with a greater x, a greater y at the same x, or a greater height
// in the same column can never be hidden by one drawn before it, so each
// pixel ends with the nearest face.
constexpr int kIsoMargin = 16;
constexpr std::uint8_t kIsoBackground[3] = {0x20, 0x24, 0x2a};
constexpr double kIsoTopShade = 1.0;
constexpr double kIsoSideYShade = 0.8;
constexpr double kIsoSideXShade = 0.62;
constexpr double kIsoHiddenShade = 0.75;

inline int iso_width(int scale) { return (2 * kIsoMargin + 2048) * scale; }
inline int iso_height(int scale) { return (2 * kIsoMargin + 1024 + 160) * scale; }

// `scale` must be 1..kMaxIsoScale.
Preview render_iso_view(const MapVoxels& voxels, int scale);

}  // namespace vxlforge

#endif  // VXLFORGE_TOOLS_VXLINSPECT_ISO_VIEW_H_
