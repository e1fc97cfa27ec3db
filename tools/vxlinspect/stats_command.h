#ifndef VXLFORGE_TOOLS_VXLINSPECT_STATS_COMMAND_H_
#define VXLFORGE_TOOLS_VXLINSPECT_STATS_COMMAND_H_

namespace vxlforge {

// `vxlinspect stats MAP... [--json]`, given the words after "stats".
// Measures each map in turn, holding one map at a time however many are
// named, and prints its figures: a text block per map, or with --json one
// JSON object per line. A map that cannot be read or is malformed gets one
// line on standard error saying why (and, with --json, an object with
// "map" and "error" in its place); the others are still measured.
// Returns kInspectOk when every map was measured, kInspectFailed when any
// was not, kInspectUsage when no map is named or an option is unknown.
int run_stats_command(int argc, char** argv);

}  // namespace vxlforge

#endif  // VXLFORGE_TOOLS_VXLINSPECT_STATS_COMMAND_H_
