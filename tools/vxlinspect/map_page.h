#ifndef VXLFORGE_TOOLS_VXLINSPECT_MAP_PAGE_H_
#define VXLFORGE_TOOLS_VXLINSPECT_MAP_PAGE_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "vxlinspect/map_preview.h"
#include "vxlinspect/map_stats.h"

namespace vxlforge {

// zlib level for the map embedded in a page. Level 1 makes a generated map
// 1.49 MB where level 9 makes it 1.36 MB, in a quarter of the time: the
// sheet compresses hundreds of maps.
constexpr int kPageDeflateLevel = 1;

// One map as its 3D page shows it.
struct MapPageInput {
  std::string name;             // the title: the map's file name
  const std::uint8_t* file = nullptr;  // the map file's bytes, embedded as they are
  std::size_t file_size = 0;
  // The map's top view at scale 1 (render_top_view), which the page's
  // overview draws its grid and start regions over; the sheet shrinks the
  // same picture for its thumbnails, so each map's voxels are drawn once.
  const Preview* top_view = nullptr;
  const MapFigures* figures = nullptr; // its figures, as `stats` gives them
  std::string back_link;        // a relative URL back to the sheet, or ""
};

// The complete, self-contained page (see web/viewer.html): the map file
// deflated and in base64, the overview as a PNG, the figures as JSON, and
// the page's own script and style, which run the 3D view in the browser.
// Returns false with `reason` when the overview cannot be encoded. Throws
// std::bad_alloc when memory runs out.
bool build_map_page(const MapPageInput& input, std::string* page, std::string* reason);

}  // namespace vxlforge

#endif  // VXLFORGE_TOOLS_VXLINSPECT_MAP_PAGE_H_
