#include "vxlinspect/map_page.h"

#include <vector>

#include <nlohmann/json.hpp>

#include "vxlinspect/map_preview.h"
#include "vxlinspect/overview.h"
#include "vxlinspect/page_encoding.h"
#include "vxlinspect/page_template.h"
#include "vxlinspect/web_files.h"

namespace vxlforge {

namespace {

// In the order they build on one another: each adds to the page's one
// namespace object, and viewer.js starts the page.
std::string viewer_script() {
  return join_web_files({"vxl_decode.js", "mesh.js", "camera.js", "renderer.js", "overview.js",
                         "controls.js", "viewer.js"});
}

}  // namespace

bool build_map_page(const MapPageInput& input, std::string* page, std::string* reason) {
  Preview overview = *input.top_view;
  draw_overview_marks(1, &overview);
  std::vector<std::uint8_t> png;
  if (!encode_png(overview, &png, reason)) return false;
  const std::string overview_url = "data:image/png;base64," + base64(png.data(), png.size());
  const std::vector<std::uint8_t> packed =
      deflate_bytes(input.file, input.file_size, kPageDeflateLevel);
  const std::string map = base64(packed.data(), packed.size());

  nlohmann::json meta;
  meta["name"] = input.name;
  meta["figures"] = map_figures_json(*input.figures, input.name);
  if (!input.back_link.empty()) meta["back"] = input.back_link;
  // Names that are not UTF-8 get U+FFFD where the bad bytes were.
  const std::string meta_text = script_safe_json(
      meta.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));

  const std::string script = viewer_script();
  const std::string style(web_file("viewer.css"));
  *page = fill_page(web_file("viewer.html"),
                    {{"CSP", html_escape(page_policy(script, style))},
                     {"TITLE", html_escape(input.name)},
                     {"STYLE", style},
                     {"META", meta_text},
                     {"MAP", map},
                     {"OVERVIEW", overview_url},
                     {"SCRIPT", script}});
  return true;
}

}  // namespace vxlforge
