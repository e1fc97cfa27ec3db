#include "vxlinspect/sheet_entry.h"

#include <memory>
#include <new>
#include <set>

#include <nlohmann/json.hpp>

#include "base/file_output.h"
#include "vxl/map_input.h"
#include "vxl/map_reader.h"
#include "vxlinspect/inspect.h"
#include "vxlinspect/map_page.h"
#include "vxlinspect/map_stats.h"
#include "vxlinspect/page_encoding.h"
#include "vxlinspect/top_view.h"

namespace vxlforge {

std::vector<std::string> sheet_stems(const std::vector<std::string>& paths) {
  std::vector<std::string> stems;
  std::set<std::string> taken;
  for (const std::string& path : paths) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".vxl") == 0) name.resize(name.size() - 4);
    std::string stem;
    for (char c : name) {
      const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                         c == '-' || c == '_' || (c == '.' && !stem.empty());
      stem += plain ? c : '_';
    }
    if (stem.empty()) stem = "map";
    std::string unique = stem;
    for (int k = 2; taken.count(unique) != 0; ++k) unique = stem + "-" + std::to_string(k);
    taken.insert(unique);
    stems.push_back(unique);
  }
  return stems;
}

Preview shrink_preview(const Preview& preview, int factor) {
  Preview small;
  small.width = preview.width / factor;
  small.height = preview.height / factor;
  small.rgb.resize(static_cast<std::size_t>(small.width) * small.height * 3);
  const int area = factor * factor;
  for (int y = 0; y < small.height; ++y) {
    for (int x = 0; x < small.width; ++x) {
      for (int k = 0; k < 3; ++k) {
        int sum = 0;
        for (int dy = 0; dy < factor; ++dy) {
          const std::uint8_t* row =
              &preview.rgb[(static_cast<std::size_t>(y * factor + dy) * preview.width) * 3];
          for (int dx = 0; dx < factor; ++dx) sum += row[(x * factor + dx) * 3 + k];
        }
        small.rgb[(static_cast<std::size_t>(y) * small.width + x) * 3 + k] =
            static_cast<std::uint8_t>((sum + area / 2) / area);
      }
    }
  }
  return small;
}

namespace {

// The figures the sheet's columns show and sort by.
nlohmann::json row_figures(const MapFigures& f) {
  nlohmann::json j;
  j["land_share"] = f.land_share;
  j["land_share_left"] = f.land_share_left;
  j["land_share_right"] = f.land_share_right;
  j["land_share_smaller"] = f.land_share_smaller;
  j["land_share_difference"] = f.land_share_difference;
  j["surface_mean"] = f.surface_mean;
  j["surface_max"] = f.surface_max;
  j["floating_voxels"] = f.floating_voxels;
  return j;
}

// Writes the page and thumbnail; returns "" or why not.
std::string write_entry(const std::string& outdir, const SheetEntry& entry, SheetScratch* scratch,
                        nlohmann::json* row) {
  std::vector<std::uint8_t>& bytes = scratch->bytes;
  std::string reason;
  switch (read_map_input(entry.path, &bytes, &reason)) {
    case MapRead::kUnreadable:
      return "cannot read: " + reason;
    case MapRead::kTooLarge:
      return "malformed: " + reason;
    case MapRead::kRead:
      break;
  }
  if (!scratch->voxels) scratch->voxels = std::make_unique<MapVoxels>();
  const MapVoxels* voxels = scratch->voxels.get();
  MapError error;
  if (!decode_map(bytes.data(), bytes.size(), scratch->voxels.get(), nullptr, &error)) {
    return "malformed: " + describe_map_error(error);
  }
  // From the spans: a third of the time of measuring the voxels.
  MapFigures figures;
  if (!measure_map_file(bytes.data(), bytes.size(), &figures, &error)) {
    return "malformed: " + describe_map_error(error);
  }

  const Preview top_view = render_top_view(*voxels, 1);
  std::vector<std::uint8_t> png;
  if (!encode_png(shrink_preview(top_view, kThumbnailShrink), &png, &reason)) {
    return "cannot encode the thumbnail: " + reason;
  }
  const std::string thumb = "thumbs/" + entry.stem + ".png";
  if (!write_file_replacing((outdir + "/" + thumb).c_str(), png.data(), png.size(), &reason)) {
    return "cannot write " + thumb + ": " + reason;
  }

  MapPageInput input;
  input.name = entry.name;
  input.file = bytes.data();
  input.file_size = bytes.size();
  input.top_view = &top_view;
  input.figures = &figures;
  input.back_link = "../index.html";
  std::string page;
  if (!build_map_page(input, &page, &reason)) return "cannot encode the overview: " + reason;
  const std::string page_path = "maps/" + entry.stem + ".html";
  if (!write_file_replacing((outdir + "/" + page_path).c_str(), page.data(), page.size(), &reason)) {
    return "cannot write " + page_path + ": " + reason;
  }
  (*row)["page"] = page_path;
  (*row)["thumb"] = thumb;
  (*row)["figures"] = row_figures(figures);
  return "";
}

}  // namespace

std::string make_sheet_entry(const std::string& outdir, const SheetEntry& entry,
                             SheetScratch* scratch, std::string* reason) {
  nlohmann::json row;
  row["name"] = entry.name;
  try {
    *reason = write_entry(outdir, entry, scratch, &row);
  } catch (const std::bad_alloc&) {
    *reason = "out of memory";
  }
  if (!reason->empty()) {
    row.erase("page");
    row.erase("thumb");
    row.erase("figures");
    row["error"] = *reason;
  }
  return row.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace vxlforge
