#include <cstdio>
#include <exception>
#include <new>

#include "vxlinspect/inspect.h"

// Nothing escapes: running out of memory or threads ends the run with one
// line and status 1, after the unwinding has removed any temporary file.
int main(int argc, char** argv) {
  try {
    return vxlforge::run_inspect(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fputs("vxlinspect: out of memory\n", stderr);
  } catch (const std::exception& e) {  // std::system_error among them
    std::fprintf(stderr, "vxlinspect: %s\n", e.what());
  } catch (...) {
    std::fputs("vxlinspect: internal error\n", stderr);
  }
  return vxlforge::kInspectFailed;
}
