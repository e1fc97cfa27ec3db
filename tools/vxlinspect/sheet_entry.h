#ifndef VXLFORGE_TOOLS_VXLINSPECT_SHEET_ENTRY_H_
#define VXLFORGE_TOOLS_VXLINSPECT_SHEET_ENTRY_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "vxl/map_reader.h"
#include "vxlinspect/map_preview.h"

namespace vxlforge {

// What `sheet` makes of one map: its 3D page in OUTDIR/maps/, its
// thumbnail in OUTDIR/thumbs/ and its row of the index.

// Thumbnails are the top view, a quarter of the map's width: 128 pixels.
constexpr int kThumbnailShrink = 4;

// The file-name stems of the maps' pages and thumbnails, in the order of
// `paths`: each map's file name without ".vxl", every byte but letters,
// digits, '-', '_' and a '.' that does not lead turned into '_', and made
// unique by "-2", "-3", ... so that two maps never share a page.
std::vector<std::string> sheet_stems(const std::vector<std::string>& paths);

// `preview` shrunk by `factor` in each direction, each pixel the mean of
// the block it stands for. Its width and height must be multiples of
// `factor`.
Preview shrink_preview(const Preview& preview, int factor);

struct SheetEntry {
  std::string path;  // the map as given
  std::string name;  // what the sheet shows: its file name
  std::string stem;  // see sheet_stems
};

// Room that one worker keeps from map to map: a decoded map takes about
// 100 MB, which a fresh allocation would have the system hand out zeroed
// every time.
struct SheetScratch {
  std::vector<std::uint8_t> bytes;
  std::unique_ptr<MapVoxels> voxels;
};

// Reads, decodes and measures `entry`'s map, using `scratch`, writes its page (with a link
// back to ../index.html) and its thumbnail under `outdir`, each replaced
// only once complete, and returns its index row as JSON text: name, page,
// thumb and the sorted-by figures, or name and error when it failed. On
// failure `*reason` says why, for standard error; on success it is "".
std::string make_sheet_entry(const std::string& outdir, const SheetEntry& entry,
                             SheetScratch* scratch, std::string* reason);

}  // namespace vxlforge

#endif  // VXLFORGE_TOOLS_VXLINSPECT_SHEET_ENTRY_H_
