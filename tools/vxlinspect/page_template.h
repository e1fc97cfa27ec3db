#ifndef VXLFORGE_TOOLS_VXLINSPECT_PAGE_TEMPLATE_H_
#define VXLFORGE_TOOLS_VXLINSPECT_PAGE_TEMPLATE_H_

#include <initializer_list>
#include <string>
#include <string_view>

namespace vxlforge {

// A page file's slot ("{{NAME}}" in the HTML) and what goes there.
struct PageSlot {
  std::string_view name;
  std::string_view text;
};

// `page` with every "{{NAME}}" replaced by its slot's text, in one pass,
// so that text put into a slot (a file name, say) is never searched for
// slots itself. A slot the page holds but `slots` lacks is a programming
// error and aborts.
std::string fill_page(std::string_view page, std::initializer_list<PageSlot> slots);

// The Content-Security-Policy of every page vxlinspect writes: nothing may
// be fetched or connected to ("default-src 'none'"), only the page's own
// script and style, named by their SHA-256, may run or apply, and images
// come only from data: URLs (`images` adds a source for those of the
// sheet, beside it on disk). A name or figure that smuggled markup into
// the page could not run.
std::string page_policy(std::string_view script, std::string_view style,
                        std::string_view images = {});

// The text of the embedded files `names`, one after the other, each ending
// in a newline: the script or style of one page.
std::string join_web_files(std::initializer_list<std::string_view> names);

}  // namespace vxlforge

#endif  // VXLFORGE_TOOLS_VXLINSPECT_PAGE_TEMPLATE_H_
