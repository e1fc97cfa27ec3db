#ifndef VXLFORGE_DRIVER_RUN_H_
#define VXLFORGE_DRIVER_RUN_H_

#include <functional>

namespace vxlforge {

// Where the map goes when -o is not given.
constexpr const char* DEFAULT_OUTPUT_PATH =
    "/program files/vantrell/vxl/kelmap.vxl";

// The whole run of the generator: settings from the clock and the command
// line, the "Generating" line, seeding, generation, writing and "Finished".
// The two lines go to standard output, or to standard error when the map
// itself goes to standard output; failing to print them changes nothing.
// Returns the exit status: 0 on success and after -h or -?; 1 when the map
// cannot be written or memory runs out reading the options; 2 when -s or
// -o lacks its value. Running out of memory elsewhere throws std::bad_alloc
// (main reports it), with no temporary file left.
int run_program(int argc, char** argv);

// Runs `body` (an entry point's work) and returns its status; an exception
// that escapes it, running out of memory or a thread that cannot start,
// ends in one line on standard error and status 1 instead, after the
// unwinding has removed any temporary file, so that an earlier map at the
// path stays as it was.
int run_catching(const std::function<int()>& body);

}  // namespace vxlforge

#endif  // VXLFORGE_DRIVER_RUN_H_
