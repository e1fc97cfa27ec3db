#ifndef VXLFORGE_TOOLS_VXLINSPECT_HTML_COMMAND_H_
#define VXLFORGE_TOOLS_VXLINSPECT_HTML_COMMAND_H_

#include <string>

#include "vxlinspect/command_line.h"
#include "vxlinspect/standard_output.h"

namespace vxlforge {

// `vxlinspect html MAP OUT.html`: writes the
// map's 3D page (see map_page.h), replacing OUT.html only once it is
// complete. MAP "-" reads standard input. Returns kInspectOk, kInspectFailed
// (the map cannot be read or is malformed, or the page cannot be written;
// one line on standard error says why).
int run_html_command(const ParsedCommand& parsed, StandardOutput& out);

// The name a page shows for the map at `path`: its file name, or
// "standard input" for "-".
std::string map_display_name(const std::string& path);

}  // namespace vxlforge

#endif  // VXLFORGE_TOOLS_VXLINSPECT_HTML_COMMAND_H_
