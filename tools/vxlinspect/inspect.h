#ifndef VXLFORGE_TOOLS_VXLINSPECT_INSPECT_H_
#define VXLFORGE_TOOLS_VXLINSPECT_INSPECT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "vxl/map_reader.h"

namespace vxlforge {

// Exit statuses of vxlinspect. `check` and `png` end with kFailed on a
// malformed, unreadable or unwritable file; `diff` ends with kFailed when
// the maps differ and with kUsage when it cannot compare them, as cmp does,
// so that a script can tell "different" from "could not look". Any command
// ends with kFailed when its standard output cannot be written.
constexpr int kInspectOk = 0;
constexpr int kInspectFailed = 1;
constexpr int kInspectUsage = 2;

// Runs the vxlinspect command line: the commands, --help, --version.
// Results go to standard output, errors to standard error.
int run_inspect(int argc, char** argv);

// What the commands share.

// Prints `reason` and then the usage text on standard error; returns
// kInspectUsage. For a command line that is wrong in form or value.
int usage_error(const std::string& reason);

enum class MapVerdict { kValid, kMalformed, kUnreadable };

struct LoadedMap {
  MapVerdict verdict = MapVerdict::kUnreadable;
  // Unless valid, one line for people: "PATH: malformed: WHAT" (also for
  // an input larger than any map), or "vxlinspect: cannot read 'PATH':
  // REASON".
  std::string message;
};

// Reads the bytes of the map named by `path` ("-": standard input, which
// can be read only once per run) within the bound on a map's size, without
// decoding them: kValid then means only "read". Every command that takes a
// MAP reads it through this, directly or through load_map.
LoadedMap read_map_bytes(const std::string& path, std::vector<std::uint8_t>* bytes);

// read_map_bytes, then decodes the map into `voxels` and `stats` (either
// may be null).
LoadedMap load_map(const std::string& path, MapVoxels* voxels, MapStats* stats);

}  // namespace vxlforge

#endif  // VXLFORGE_TOOLS_VXLINSPECT_INSPECT_H_
