#ifndef VXLFORGE_TESTS_SUPPORT_PAGE_ADVICE_H_
#define VXLFORGE_TESTS_SUPPORT_PAGE_ADVICE_H_

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

namespace vxlforge::testing {

// Whether the mapping that holds `address` carries the huge-page advice,
// read from the kernel's list of this process's mappings (Linux only).
inline bool huge_page_advised(std::uintptr_t address) {
  std::ifstream maps("/proc/self/smaps");
  std::string line;
  bool inside = false;
  while (std::getline(maps, line)) {
    std::uintptr_t from = 0;
    std::uintptr_t to = 0;
    char dash = 0;
    std::istringstream range(line);
    if (range >> std::hex >> from >> dash >> to && dash == '-') {
      inside = from <= address && address < to;
    } else if (inside && line.rfind("VmFlags:", 0) == 0) {
      return line.find(" hg") != std::string::npos;
    }
  }
  return false;
}

}  // namespace vxlforge::testing

#endif  // VXLFORGE_TESTS_SUPPORT_PAGE_ADVICE_H_
