#include "driver/run.h"

int main(int argc, char** argv) {
  return vxlforge::run_catching([&] { return vxlforge::run_program(argc, argv); });
}
