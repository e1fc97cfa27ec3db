#include "vxlinspect/web_files.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace vxlforge {

std::string_view web_file(std::string_view name) {
  for (std::size_t i = 0; i < kWebFileCount; ++i) {
    if (kWebFiles[i].name == name) return kWebFiles[i].text;
  }
  std::fprintf(stderr, "vxlinspect: internal error: no embedded page file '%s'\n",
               std::string(name).c_str());
  std::abort();
}

}  // namespace vxlforge
