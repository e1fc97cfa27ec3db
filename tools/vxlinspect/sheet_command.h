#ifndef VXLFORGE_TOOLS_VXLINSPECT_SHEET_COMMAND_H_
#define VXLFORGE_TOOLS_VXLINSPECT_SHEET_COMMAND_H_

#include "vxlinspect/command_line.h"
#include "vxlinspect/standard_output.h"

namespace vxlforge {

// `vxlinspect sheet OUTDIR MAP...`: writes
// OUTDIR/index.html, one page that lists every map (see web/sheet.html),
// with each map's 3D page in OUTDIR/maps/ and its thumbnail in
// OUTDIR/thumbs/ (see sheet_entry.h). OUTDIR is made when missing.
//
// The maps are worked on by one thread per core, each holding one map at a
// time, and their rows go into the index in the order given as soon as
// they are ready; a thread that runs ahead waits, so that memory stays
// bounded whatever the number of maps.
//
// Returns kInspectOk; kInspectFailed when any map could not be read or
// paged (its row says why, the others are still listed; one line each on
// standard error) or OUTDIR or the index cannot be written.
int run_sheet_command(const ParsedCommand& parsed, StandardOutput& out);

}  // namespace vxlforge

#endif  // VXLFORGE_TOOLS_VXLINSPECT_SHEET_COMMAND_H_
