#include "vxlinspect/page_template.h"

#include <cstdio>
#include <cstdlib>

#include "vxlinspect/page_encoding.h"
#include "vxlinspect/web_files.h"

namespace vxlforge {

std::string fill_page(std::string_view page, std::initializer_list<PageSlot> slots) {
  std::string out;
  std::size_t room = page.size();
  for (const PageSlot& slot : slots) room += slot.text.size();
  out.reserve(room);
  std::size_t at = 0;
  for (;;) {
    const std::size_t open = page.find("{{", at);
    if (open == std::string_view::npos) break;
    const std::size_t close = page.find("}}", open + 2);
    if (close == std::string_view::npos) break;
    const std::string_view name = page.substr(open + 2, close - open - 2);
    const PageSlot* found = nullptr;
    for (const PageSlot& slot : slots) {
      if (slot.name == name) found = &slot;
    }
    if (found == nullptr) {
      std::fprintf(stderr, "vxlinspect: internal error: nothing for the page's slot '%s'\n",
                   std::string(name).c_str());
      std::abort();
    }
    out.append(page.substr(at, open - at));
    out.append(found->text);
    at = close + 2;
  }
  out.append(page.substr(at));
  return out;
}

std::string page_policy(std::string_view script, std::string_view style,
                        std::string_view images) {
  std::string policy = "default-src 'none'; script-src 'sha256-";
  policy += sha256_base64(script);
  policy += "'; style-src 'sha256-";
  policy += sha256_base64(style);
  policy += "'; img-src data:";
  if (!images.empty()) {
    policy += ' ';
    policy += images;
  }
  policy += "; base-uri 'none'; form-action 'none'";
  return policy;
}

std::string join_web_files(std::initializer_list<std::string_view> names) {
  std::string text;
  for (std::string_view name : names) {
    text += web_file(name);
    if (text.empty() || text.back() != '\n') text += '\n';
  }
  return text;
}

}  // namespace vxlforge
