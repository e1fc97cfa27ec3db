// Runs vxlinspect as a process on small hand-made maps, and compares a
// generated map with its debug version through the diff logic.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "driver/generate_map.h"
#include "mapgen/start_regions.h"
#include "random/rng.h"
#include "support/read_file.h"
#include "vxl/map_reader.h"
#include "vxl/vxl_writer.h"
#include "vxlinspect/map_diff.h"

namespace vxlforge {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};


// An all-air map; with `column_bottom` the column at file offset order
// index 4 * 512 + 3, i.e. (3, 4), gets a solid, coloured bottom voxel.
Bytes small_map(bool column_bottom) {
  Bytes file;
  for (int i = 0; i < MAP_COLUMNS; ++i) {
    if (column_bottom && i == 4 * MAP_X + 3) {
      file.insert(file.end(), {0x00, 63, 63, 0, 0x10, 0x20, 0x30, 0x80});
    } else {
      file.insert(file.end(), {0x00, 64, 63, 0});
    }
  }
  return file;
}

class VxlinspectProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char work[] = "/tmp/vxlinspect-test-XXXXXX";
    ASSERT_NE(mkdtemp(work), nullptr);
    work_ = work;
  }
  void TearDown() override { std::system(("rm -rf '" + work_ + "'").c_str()); }

  std::string put(const std::string& name, const Bytes& bytes) {
    const std::string path = work_ + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  Outcome run(const std::string& args) {
    const std::string out = work_ + "/stdout";
    const std::string err = work_ + "/stderr";
    const std::string command =
        "'" VXLINSPECT_BINARY "' " + args + " >'" + out + "' 2>'" + err + "'";
    const int raw = std::system(command.c_str());
    Outcome o;
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    o.out = testing::read_file(out);
    o.err = testing::read_file(err);
    return o;
  }

  std::string work_;
};

TEST_F(VxlinspectProgramTest, CheckSaysValidMalformedOrUnreadable) {
  const std::string good = put("good.vxl", small_map(true));
  Outcome o = run("check " + good);
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, good + ": valid, 1048580 bytes, 262144 spans, surface heights 0..1\n");

  Bytes cut = small_map(false);
  cut.pop_back();
  const std::string bad = put("bad.vxl", cut);
  o = run("check " + bad);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, bad + ": malformed: byte 1048572, column (511, 511): file ends 3 bytes into a "
                         "span header of 4\n");

  o = run("check " + work_ + "/missing.vxl");
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("cannot read"), std::string::npos) << o.err;
}

TEST_F(VxlinspectProgramTest, DiffExitsZeroWhenEqualOneWhenDifferentTwoWhenUnreadable) {
  const std::string a = put("a.vxl", small_map(false));
  const std::string b = put("b.vxl", small_map(true));
  EXPECT_EQ(run("diff " + a + " " + a).status, 0);
  const Outcome o = run("diff " + a + " " + b);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "1 column differs\ncolumn (3, 4) height 63: air in A, solid in B\n");
  EXPECT_EQ(run("diff " + a + " " + work_ + "/missing.vxl").status, 2);
}

TEST_F(VxlinspectProgramTest, PngWritesAScaledPreview) {
  const std::string map = put("map.vxl", small_map(true));
  const std::string png = work_ + "/map.png";
  ASSERT_EQ(run("png " + map + " " + png + " --scale 3").status, 0);
  const std::string bytes = testing::read_file(png);
  ASSERT_GE(bytes.size(), 24u);
  EXPECT_EQ(bytes.substr(1, 3), "PNG");
  // Width and height, big-endian, in the header chunk.
  auto be32 = [&](std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < 4; ++k) v = v << 8 | static_cast<unsigned char>(bytes[at + k]);
    return v;
  };
  EXPECT_EQ(be32(16), 1536u);
  EXPECT_EQ(be32(20), 1536u);

  EXPECT_EQ(run("png " + map + " " + png + " --scale 0").status, 2);
  EXPECT_EQ(run("png " + map + " " + work_ + "/no/such/folder.png").status, 1);
}

TEST_F(VxlinspectProgramTest, UsageHelpAndVersion) {
  Outcome o = run("");
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err.rfind("usage: vxlinspect", 0), 0u) << o.err;
  EXPECT_EQ(run("check").status, 2);
  EXPECT_EQ(run("frobnicate x.vxl").status, 2);
  o = run("--help");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out.rfind("usage: vxlinspect", 0), 0u) << o.out;
  o = run("--version");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out.rfind("vxlinspect ", 0), 0u) << o.out;
  EXPECT_NE(o.out.find_first_of("0123456789"), std::string::npos) << o.out;
}

// Painting the start regions changes colours of the painted columns and
// nothing else: diff sees exactly those columns, and no solidity change.
TEST(MapDiffTest, DebugMapDiffersFromPlainMapOnlyInPaintedColumns) {
  auto decode_generated = [](int debug) {
    rng_seed(42);
    debug_regions = debug;
    generate_map();
    debug_regions = 0;
    Bytes file;
    encode_vxl(&file);
    auto voxels = std::make_unique<MapVoxels>();
    MapError error;
    EXPECT_TRUE(decode_map(file.data(), file.size(), voxels.get(), nullptr, &error))
        << describe_map_error(error);
    return voxels;
  };
  const std::unique_ptr<MapVoxels> plain = decode_generated(0);
  const std::unique_ptr<MapVoxels> debug = decode_generated(1);

  std::set<std::pair<int, int>> painted;
  for (int y = 128; y <= 383; ++y) {
    painted.insert({128, y});
    painted.insert({384, y});
  }
  for (int x = 16; x <= 127; ++x) {
    painted.insert({x, 128});
    painted.insert({x, 384});
    painted.insert({x + 368, 128});
    painted.insert({x + 368, 384});
  }

  const MapDiff diff = diff_maps(*plain, *debug, MAP_COLUMNS);
  EXPECT_EQ(diff.columns, painted.size());
  ASSERT_EQ(diff.listed.size(), diff.columns);
  for (const ColumnDifference& d : diff.listed) {
    EXPECT_TRUE(painted.count({d.x, d.y})) << describe_difference(d);
    EXPECT_FALSE(d.solid_differs) << describe_difference(d);
  }
  EXPECT_EQ(diff_maps(*plain, *plain, 10).columns, 0u);
}

}  // namespace
}  // namespace vxlforge
