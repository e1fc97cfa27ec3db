#ifndef VXLFORGE_TOOLS_VXLINSPECT_INSPECT_H_
#define VXLFORGE_TOOLS_VXLINSPECT_INSPECT_H_

namespace vxlforge {

// Exit statuses of vxlinspect. `check` and `png` end with kFailed on a
// malformed, unreadable or unwritable file; `diff` ends with kFailed when
// the maps differ and with kUsage when it cannot compare them, as cmp does,
// so that a script can tell "different" from "could not look".
constexpr int kInspectOk = 0;
constexpr int kInspectFailed = 1;
constexpr int kInspectUsage = 2;

// Runs the vxlinspect command line: check, png, diff, --help, --version.
// Results go to standard output, errors to standard error.
int run_inspect(int argc, char** argv);

}  // namespace vxlforge

#endif  // VXLFORGE_TOOLS_VXLINSPECT_INSPECT_H_
