// Runs vxlinspect as a process on small hand-made maps, and compares a
// generated map with its debug version through the diff logic.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "driver/generate_map.h"
#include "mapgen/start_regions.h"
#include "random/rng.h"
#include "support/process.h"
#include "support/read_file.h"
#include "support/scratch_folder.h"
#include "support/temporary_files.h"
#include "vxl/map_reader.h"
#include "vxl/vxl_writer.h"
#include "vxlinspect/map_diff.h"

namespace vxlforge {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::files_in;
using testing::ProcessOptions;
using testing::ProcessResult;

constexpr std::size_t kBottomColumn = 4 * MAP_X + 3;  // column (3, 4)

// An all-air map; with `column_bottom` column (3, 4) gets a solid bottom
// voxel coloured 0x80102030 (its fourth byte `fourth`).
Bytes small_map(bool column_bottom, std::uint8_t fourth = 0x80) {
  Bytes file;
  for (std::size_t i = 0; i < MAP_COLUMNS; ++i) {
    if (column_bottom && i == kBottomColumn) {
      file.insert(file.end(), {0x00, 63, 63, 0, 0x30, 0x20, 0x10, fourth});
    } else {
      file.insert(file.end(), {0x00, 64, 63, 0});
    }
  }
  return file;
}

std::string text_of(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// The first line of `text`, and whether the usage follows it.
std::string first_line(const std::string& text) { return text.substr(0, text.find('\n')); }
bool usage_follows(const std::string& text) {
  return text.find("\nusage: vxlinspect check MAP...\n") != std::string::npos;
}

class VxlinspectProgramTest : public testing::ScratchFolderTest {
 protected:
  std::string path(const std::string& name) const { return work_ + "/" + name; }

  ProcessResult run(const std::vector<std::string>& args, ProcessOptions options = {}) {
    options.working_directory = work_;
    options.argv0 = "vxlinspect";
    return testing::run_process(testing::vxlinspect_binary(), args, options);
  }

  ProcessResult run_with_input(const std::vector<std::string>& args, const Bytes& input) {
    ProcessOptions options;
    options.feed_stdin = true;
    options.stdin_data = text_of(input);
    return run(args, options);
  }

};

TEST_F(VxlinspectProgramTest, CheckSaysValidMalformedOrUnreadable) {
  const std::string good = put("good.vxl", small_map(true));
  ProcessResult o = run({"check", good});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, good + ": valid, 1048580 bytes, 262144 spans, surface heights 0..1\n");

  Bytes cut = small_map(false);
  cut.pop_back();
  const std::string bad = put("bad.vxl", cut);
  o = run({"check", bad});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, bad + ": malformed: byte 1048572, column (511, 511): file ends 3 bytes into a "
                         "span header of 4\n");

  o = run({"check", path("missing.vxl")});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "vxlinspect: cannot read '" + path("missing.vxl") +
                       "': No such file or directory\n");
}

TEST_F(VxlinspectProgramTest, CheckTakesSeveralMapsOneLineEach) {
  const std::string good = put("good.vxl", small_map(true));
  Bytes cut = small_map(false);
  cut.pop_back();
  const std::string bad = put("bad.vxl", cut);
  ProcessResult o = run({"check", good, good});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, good + ": valid, 1048580 bytes, 262144 spans, surface heights 0..1\n" + good +
                       ": valid, 1048580 bytes, 262144 spans, surface heights 0..1\n");
  o = run({"check", good, bad, "missing.vxl"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out.rfind(good + ": valid", 0), 0u) << o.out;
  EXPECT_NE(o.out.find("\n" + bad + ": malformed: byte 1048572"), std::string::npos) << o.out;
  EXPECT_EQ(o.err, "vxlinspect: cannot read 'missing.vxl': No such file or directory\n");
}

TEST_F(VxlinspectProgramTest, DashReadsAMapFromStandardInput) {
  const Bytes map = small_map(true);
  ProcessResult o = run_with_input({"check", "-"}, map);
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "-: valid, 1048580 bytes, 262144 spans, surface heights 0..1\n");

  const std::string other = put("air.vxl", small_map(false));
  o = run_with_input({"diff", "-", other}, map);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "1 column differs\ncolumn (3, 4) height 63: solid in A, air in B\n");

  o = run_with_input({"png", "-", "out.png"}, map);
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(testing::read_file(path("out.png")).substr(1, 3), "PNG");

  // Standard input holds one map only.
  o = run_with_input({"check", "-", "-"}, map);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "vxlinspect: cannot read '-': standard input was read already\n");
}

TEST_F(VxlinspectProgramTest, DiffExitsZeroWhenEqualOneWhenDifferentTwoWhenUnreadable) {
  const std::string a = put("a.vxl", small_map(false));
  const std::string b = put("b.vxl", small_map(true));
  EXPECT_EQ(run({"diff", a, a}).status, 0);
  const ProcessResult o = run({"diff", a, b});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "1 column differs\ncolumn (3, 4) height 63: air in A, solid in B\n");
  EXPECT_EQ(run({"diff", a, path("missing.vxl")}).status, 2);
}

// Other programs write 0x7f or 0xff, or shading values, in the fourth byte
// of a colour word: the map is the same, and only --exact says otherwise.
TEST_F(VxlinspectProgramTest, DiffCountsTheFourthColourByteApart) {
  const std::string ours = put("ours.vxl", small_map(true, 0x80));
  const std::string resaved = put("resaved.vxl", small_map(true, 0x7f));
  const std::string fourth_line =
      "1 voxel in 1 column differs only in the fourth byte of the colour word\n";
  ProcessResult o = run({"diff", ours, resaved});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "maps are equal in solidity and colour\n" + fourth_line);
  o = run({"diff", "--exact", ours, resaved});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "maps are equal in solidity and colour\n" + fourth_line);

  // A real difference is listed as before, the fourth byte apart.
  Bytes recoloured = small_map(true, 0x7f);
  recoloured[kBottomColumn * 4 + 4] = 0x31;  // blue
  const std::string other = put("other.vxl", recoloured);
  o = run({"diff", ours, other});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "1 column differs\ncolumn (3, 4) height 63: colour 80102030 in A, 7f102031 in B\n");
}

TEST_F(VxlinspectProgramTest, PngWritesAScaledPreview) {
  const std::string map = put("map.vxl", small_map(true));
  const std::string png = path("map.png");
  auto be32 = [](const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < 4; ++k) v = v << 8 | static_cast<unsigned char>(bytes[at + k]);
    return v;
  };
  // Options anywhere after the command, with their value apart or after =.
  const std::vector<std::vector<std::string>> forms = {{"png", map, png, "--scale", "3"},
                                                       {"png", map, "--scale", "3", png},
                                                       {"png", "--scale=3", map, png}};
  for (const auto& form : forms) {
    std::remove(png.c_str());
    ASSERT_EQ(run(form).status, 0) << form[2];
    const std::string bytes = testing::read_file(png);
    ASSERT_GE(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(1, 3), "PNG");
    EXPECT_EQ(be32(bytes, 16), 1536u);  // width and height in the header chunk
    EXPECT_EQ(be32(bytes, 20), 1536u);
  }
  // "-" is standard output: the same bytes as the file.
  ASSERT_EQ(run({"png", map, png}).status, 0);
  const ProcessResult o = run({"png", map, "-"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, testing::read_file(png));
  EXPECT_EQ(be32(o.out, 16), 512u);

  EXPECT_EQ(run({"png", map, png, "--scale", "0"}).status, 2);
  EXPECT_EQ(run({"png", map, path("no/such/folder.png")}).status, 1);
  EXPECT_EQ(files_in(work_), (std::set<std::string>{"map.vxl", "map.png"}));
}

TEST_F(VxlinspectProgramTest, PngNeverReplacesItsOwnMap) {
  const Bytes bytes = small_map(true);
  const std::string map = put("map.vxl", bytes);
  ASSERT_EQ(symlink("map.vxl", path("alias.png").c_str()), 0);
  for (const std::string& out : {map, path("alias.png")}) {
    const ProcessResult o = run({"png", map, out});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err, "vxlinspect: png: '" + out + "' is the map '" + map +
                         "' itself; not replacing it\n");
  }
  EXPECT_EQ(testing::read_file(map), text_of(bytes));
}

TEST_F(VxlinspectProgramTest, WrongUsageSaysWhatIsWrongThenShowsTheUsage) {
  const std::string map = put("map.vxl", small_map(true));
  const struct {
    std::vector<std::string> args;
    std::string reason;
  } cases[] = {
      {{}, "vxlinspect: no command given"},
      {{"frobnicate", "x.vxl"}, "vxlinspect: unknown command 'frobnicate'"},
      {{"check"}, "vxlinspect: check takes MAP...; no argument given"},
      {{"png", map}, "vxlinspect: png takes MAP OUT; 1 argument given"},
      {{"png", map, "a.png", "b.png"}, "vxlinspect: png takes MAP OUT; 3 arguments given"},
      {{"png", map, "a.png", "--scale"}, "vxlinspect: png: --scale needs a value"},
      {{"png", map, "a.png", "--scale=x"},
       "vxlinspect: png: --scale takes a whole number from 1 to 16, not 'x'"},
      {{"png", map, "a.png", "--size", "2"}, "vxlinspect: png: unknown option '--size'"},
      {{"diff", map, map, "--exact=yes"}, "vxlinspect: diff: --exact takes no value"},
      {{"--version", "x"}, "vxlinspect: --version takes nothing after it"},
  };
  for (const auto& c : cases) {
    const ProcessResult o = run(c.args);
    EXPECT_EQ(o.status, 2) << c.reason;
    EXPECT_EQ(first_line(o.err), c.reason);
    EXPECT_TRUE(usage_follows(o.err)) << o.err;
    EXPECT_EQ(o.out, "");
  }
  EXPECT_EQ(files_in(work_), std::set<std::string>{"map.vxl"});
}

TEST_F(VxlinspectProgramTest, UsageHelpAndVersion) {
  ProcessResult o = run({"--help"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out.rfind("usage: vxlinspect check MAP...\n", 0), 0u) << o.out;
  EXPECT_EQ(run({"png", "--help"}).out, o.out);
  o = run({"--version"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out.rfind("vxlinspect ", 0), 0u) << o.out;
  EXPECT_NE(o.out.find_first_of("0123456789"), std::string::npos) << o.out;
}

// What vxlinspect prints is its answer: when it cannot be written, the run
// has failed.
TEST_F(VxlinspectProgramTest, FailedStandardOutputExitsOne) {
  const std::string map = put("map.vxl", small_map(true));
  ProcessOptions full;
  full.stdout_path = "/dev/full";
  const std::vector<std::vector<std::string>> commands = {
      {"check", map}, {"diff", map, map}, {"png", map, "-"}, {"--help"}, {"--version"}};
  for (const auto& args : commands) {
    const ProcessResult o = run(args, full);
    EXPECT_EQ(o.status, 1) << args[0];
    EXPECT_EQ(o.err, "vxlinspect: cannot write standard output: No space left on device\n")
        << args[0];
  }
}

// No input makes the reader hold more than the largest map there can be.
TEST_F(VxlinspectProgramTest, EndlessAndHugeInputsAreRefusedWithinBoundedMemory) {
  ProcessOptions bounded;
  if (!testing::kBuiltWithSanitizers) bounded.address_space_limit = rlim_t{1} << 30;
  const std::string too_large =
      "larger than any map of 512 x 512 columns of 64 voxels can be (134217728 bytes)\n";

  ProcessResult o = run({"check", "/dev/zero"}, bounded);
  EXPECT_EQ(o.status, 1) << o.err;
  EXPECT_EQ(o.out, "/dev/zero: malformed: more than 134217728 bytes, " + too_large);

  ProcessOptions endless_stdin = bounded;
  endless_stdin.stdin_path = "/dev/zero";
  o = run({"check", "-"}, endless_stdin);
  EXPECT_EQ(o.status, 1) << o.err;
  EXPECT_EQ(o.out, "-: malformed: more than 134217728 bytes, " + too_large);

  // A sparse file of 20 GiB, refused from its size alone.
  const std::string sparse = path("sparse.vxl");
  const int fd = open(sparse.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, off_t{20} << 30), 0);
  close(fd);
  o = run({"check", sparse}, bounded);
  EXPECT_EQ(o.status, 1) << o.err;
  EXPECT_EQ(o.out, sparse + ": malformed: file is 21474836480 bytes, " + too_large);
  EXPECT_EQ(run({"diff", sparse, sparse}, bounded).status, 2);
}

TEST_F(VxlinspectProgramTest, OutOfMemoryIsReportedAndLeavesNoFileBehind) {
  if (testing::kBuiltWithSanitizers) GTEST_SKIP() << "no address-space limit under sanitizers";
  const std::string map = put("map.vxl", small_map(true));
  put("map.png", {'o', 'l', 'd'});
  constexpr rlim_t kMiB = 1 << 20;
  int out_of_memory = 0;
  bool succeeded = false;
  for (rlim_t limit = 16 * kMiB; limit <= 2048 * kMiB && !succeeded; limit += 16 * kMiB) {
    SCOPED_TRACE("address space " + std::to_string(limit / kMiB) + " MiB");
    ProcessOptions options;
    options.address_space_limit = limit;
    if (run({"--version"}, options).status != 0) continue;  // cannot even start
    const ProcessResult o = run({"png", map, "map.png", "--scale", "4"}, options);
    ASSERT_EQ(o.signal, 0) << o.err;
    EXPECT_EQ(files_in(work_), (std::set<std::string>{"map.vxl", "map.png"}));
    if (o.status == 0) {
      succeeded = true;
      continue;
    }
    ++out_of_memory;
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "vxlinspect: out of memory\n");
    EXPECT_EQ(testing::read_file(path("map.png")), "old");
  }
  EXPECT_TRUE(succeeded);
  EXPECT_GT(out_of_memory, 0);
}

// Interrupted once its preview is complete in the temporary file but not
// yet in place, png leaves the old preview whole and nothing else.
TEST_F(VxlinspectProgramTest, InterruptedPngLeavesTheOldPreviewAndNoTemporary) {
  const std::string map = put("map.vxl", small_map(true));
  for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGKILL}) {
    for (const bool named : {false, true}) {
      if (named && sig == SIGKILL) continue;  // nothing can remove a named file then
      SCOPED_TRACE(std::string(strsignal(sig)) + (named ? ", named temporary" : ""));
      put("map.png", {'o', 'l', 'd'});
      ProcessOptions options;
      options.working_directory = work_;
      options.refuse_unnamed_files = named;
      ProcessResult o;
      const bool caught = testing::interrupt_at_fsync(testing::vxlinspect_binary(),
                                                      {"png", map, "map.png"}, options, sig, &o);
      if (o.status == testing::kCannotRefuseUnnamedFiles) {
        GTEST_SKIP() << "cannot filter or trace system calls here: " << o.err;
      }
      if (!caught) {
        ADD_FAILURE() << "no temporary file at the sync; status " << o.status;
        continue;
      }
      EXPECT_EQ(o.signal, sig) << o.err;
      EXPECT_EQ(testing::read_file(path("map.png")), "old");
      EXPECT_EQ(files_in(work_), (std::set<std::string>{"map.vxl", "map.png"}));
    }
  }
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
  EXPECT_EQ(diff.fourth_byte_voxels, 0u);
  EXPECT_EQ(diff_maps(*plain, *plain, 10).columns, 0u);

  // The same map with other fourth bytes: no difference, every coloured
  // voxel counted apart.
  auto resaved = std::make_unique<MapVoxels>(*plain);
  std::size_t coloured = 0;
  std::set<std::size_t> columns;
  for (std::size_t i = 0; i < resaved->colour.size(); ++i) {
    if (!resaved->coloured[i]) continue;
    resaved->colour[i] = (resaved->colour[i] & 0x00ffffff) | 0x7f000000;
    ++coloured;
    columns.insert(i / MAP_Z);
  }
  const MapDiff fourth = diff_maps(*plain, *resaved, 10);
  EXPECT_EQ(fourth.columns, 0u);
  EXPECT_TRUE(fourth.listed.empty());
  EXPECT_EQ(fourth.fourth_byte_voxels, coloured);
  EXPECT_EQ(fourth.fourth_byte_columns, columns.size());
}

}  // namespace
}  // namespace vxlforge
