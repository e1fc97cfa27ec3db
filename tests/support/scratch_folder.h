#ifndef VXLFORGE_TESTS_SUPPORT_SCRATCH_FOLDER_H_
#define VXLFORGE_TESTS_SUPPORT_SCRATCH_FOLDER_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace vxlforge::testing {

// A test with a fresh folder of its own under /tmp, removed afterwards, for
// the files a program under test reads and writes.
class ScratchFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char work[] = "/tmp/vxlforge-test-XXXXXX";
    ASSERT_NE(mkdtemp(work), nullptr);
    work_ = work;
  }
  void TearDown() override { std::system(("rm -rf '" + work_ + "'").c_str()); }

  // Writes `bytes` to the file `name` in the folder; returns its path.
  std::string put(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    const std::string path = work_ + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  std::string work_;
};

}  // namespace vxlforge::testing

#endif  // VXLFORGE_TESTS_SUPPORT_SCRATCH_FOLDER_H_
