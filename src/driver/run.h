#ifndef VXLFORGE_DRIVER_RUN_H_
#define VXLFORGE_DRIVER_RUN_H_

namespace vxlforge {

// Where the map goes when -o is not given.
constexpr const char* DEFAULT_OUTPUT_PATH =
    "/program files/vantrell/vxl/kelmap.vxl";

// The whole run of the generator: settings from the clock and the command
// line, the "Generating" line, seeding, generation, writing and "Finished".
// Returns the exit status: 0 on success and after -h or -?; 1 when the map
// cannot be written or memory runs out; 2 when -s or -o lacks its value.
int run_program(int argc, char** argv);

}  // namespace vxlforge

#endif  // VXLFORGE_DRIVER_RUN_H_
