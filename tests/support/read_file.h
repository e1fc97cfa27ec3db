#ifndef VXLFORGE_TESTS_SUPPORT_READ_FILE_H_
#define VXLFORGE_TESTS_SUPPORT_READ_FILE_H_

#include <fstream>
#include <sstream>
#include <string>

namespace vxlforge::testing {

// The whole content of the file at `path`, or "" when it cannot be read.
inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

}  // namespace vxlforge::testing

#endif  // VXLFORGE_TESTS_SUPPORT_READ_FILE_H_
