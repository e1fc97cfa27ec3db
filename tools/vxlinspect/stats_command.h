#ifndef VXLFORGE_TOOLS_VXLINSPECT_STATS_COMMAND_H_
#define VXLFORGE_TOOLS_VXLINSPECT_STATS_COMMAND_H_

#include "vxlinspect/command_line.h"
#include "vxlinspect/standard_output.h"

namespace vxlforge {

// `vxlinspect stats MAP... [--json]`. Measures each map in turn, holding
// one map at a time however many are named, and prints its figures: a text
// block per map, or with --json one JSON object per line. A map that cannot
// be read or is malformed gets one line on standard error saying why (and,
// with --json, an object with "map" and "error" in its place); the others
// are still measured. Returns kInspectOk when every map was measured,
// kInspectFailed when any was not.
int run_stats_command(const ParsedCommand& parsed, StandardOutput& out);

}  // namespace vxlforge

#endif  // VXLFORGE_TOOLS_VXLINSPECT_STATS_COMMAND_H_
