#include "vxl/map_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "vxl/map_reader.h"

namespace vxlforge {
namespace {

using Bytes = std::vector<std::uint8_t>;

class MapInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/vxlforge-input-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    folder_ = folder;
  }
  void TearDown() override { std::system(("rm -rf '" + folder_ + "'").c_str()); }

  std::string path(const std::string& name) const { return folder_ + "/" + name; }

  // Reads `size` zero bytes that come through a pipe on standard input.
  MapRead read_piped_zeros(std::size_t size, Bytes* bytes, std::string* reason) {
    int ends[2];
    EXPECT_EQ(pipe(ends), 0);
    std::thread writer([fd = ends[1], size] {
      sigset_t pipe_signal;  // the reader may stop early
      sigemptyset(&pipe_signal);
      sigaddset(&pipe_signal, SIGPIPE);
      pthread_sigmask(SIG_BLOCK, &pipe_signal, nullptr);
      const std::vector<char> zeros(1 << 20, 0);
      for (std::size_t left = size; left > 0;) {
        const ssize_t n = write(fd, zeros.data(), std::min(left, zeros.size()));
        if (n <= 0) break;
        left -= static_cast<std::size_t>(n);
      }
      close(fd);
      const timespec no_wait = {0, 0};
      sigtimedwait(&pipe_signal, nullptr, &no_wait);
    });
    const int saved = dup(0);
    dup2(ends[0], 0);
    close(ends[0]);
    const MapRead result = read_map_input("-", bytes, reason);
    dup2(saved, 0);  // also closes the pipe, so the writer ends
    close(saved);
    writer.join();
    return result;
  }

  std::string folder_;
};

TEST_F(MapInputTest, RegularFileLargerThanAnyMapIsRefusedFromItsSize) {
  for (const off_t size : {static_cast<off_t>(kMaxMapBytes) + 1, off_t{20} << 30}) {
    const int fd = open(path("big.vxl").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, size), 0);
    close(fd);
    Bytes bytes;
    std::string reason;
    EXPECT_EQ(read_map_input(path("big.vxl"), &bytes, &reason), MapRead::kTooLarge);
    EXPECT_EQ(reason, "file is " + std::to_string(size) +
                          " bytes, larger than any map of 512 x 512 columns of 64 voxels can be "
                          "(134217728 bytes)");
    EXPECT_TRUE(bytes.empty());
  }
}

TEST_F(MapInputTest, StreamsAreReadUpToTheLargestMapAndRefusedPastIt) {
  Bytes bytes;
  std::string reason;
  ASSERT_EQ(read_piped_zeros(kMaxMapBytes, &bytes, &reason), MapRead::kRead) << reason;
  EXPECT_EQ(bytes.size(), kMaxMapBytes);
  EXPECT_EQ(read_piped_zeros(kMaxMapBytes + 1, &bytes, &reason), MapRead::kTooLarge);
  EXPECT_EQ(reason,
            "more than 134217728 bytes, larger than any map of 512 x 512 columns of 64 voxels "
            "can be (134217728 bytes)");
  EXPECT_TRUE(bytes.empty());
  // A device without end.
  EXPECT_EQ(read_map_input("/dev/zero", &bytes, &reason), MapRead::kTooLarge);
  ASSERT_EQ(read_piped_zeros(0, &bytes, &reason), MapRead::kRead);
  EXPECT_TRUE(bytes.empty());
}

}  // namespace
}  // namespace vxlforge
