#include <cstdio>
#include <exception>
#include <new>

#include "driver/run.h"

// Nothing escapes: running out of memory ends the run with one line and
// status 1, after the unwinding has removed any temporary file, so that any
// earlier map at the path stays as it was.
int main(int argc, char** argv) {
  try {
    return vxlforge::run_program(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fputs("vxlforge: out of memory; no map written\n", stderr);
  } catch (const std::exception& e) {  // std::system_error among them
    std::fprintf(stderr, "vxlforge: %s; no map written\n", e.what());
  } catch (...) {
    std::fputs("vxlforge: internal error; no map written\n", stderr);
  }
  return 1;
}
