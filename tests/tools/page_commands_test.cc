// `vxlinspect html` and `vxlinspect sheet` run as processes on small
// hand-made maps: what they write, where, and how they fail.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/process.h"
#include "support/read_file.h"
#include "support/scratch_folder.h"
#include "vxl/map_reader.h"
#include "vxlinspect/sheet_entry.h"

namespace vxlforge {
namespace {

using Bytes = std::vector<std::uint8_t>;

// All air but `solid_columns` columns, from file order index 0, that have
// a coloured bottom voxel: maps that differ and decode fast.
Bytes air_map(int solid_columns) {
  Bytes file;
  for (int i = 0; i < MAP_COLUMNS; ++i) {
    if (i < solid_columns) {
      file.insert(file.end(), {0x00, 63, 63, 0, 0x10, 0x20, 0x30, 0x80});
    } else {
      file.insert(file.end(), {0x00, 64, 63, 0});
    }
  }
  return file;
}

class PageCommandsTest : public testing::ScratchFolderTest {
 protected:
  // Runs vxlinspect with `args`, standard input from `input` ("": none);
  // returns its status and puts its standard error in `err`.
  static int run(const std::vector<std::string>& args, std::string* err = nullptr,
                 const std::string& input = "") {
    testing::ProcessOptions options;
    options.stdin_path = input;
    const testing::ProcessResult r = testing::run_process(testing::vxlinspect_binary(), args, options);
    if (err != nullptr) *err = r.err;
    return r.status;
  }

  // The rows the sheet's index holds, as JSON.
  nlohmann::json index_rows(const std::string& outdir) {
    const std::string index = testing::read_file(outdir + "/index.html");
    const std::string open = "id=\"sheet-rows\">";
    const std::size_t a = index.find(open);
    const std::size_t b = index.find("</script>", a);
    if (a == std::string::npos || b == std::string::npos) return nullptr;
    return nlohmann::json::parse(index.substr(a + open.size(), b - a - open.size()));
  }

  bool exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
  }

};

TEST_F(PageCommandsTest, HtmlWritesOnePageAndLeavesTheOldOneWhenItCannot) {
  const std::string map = put("m.vxl", air_map(3));
  const std::string out = work_ + "/m.html";
  ASSERT_EQ(run({"html", map, out}), 0);
  const std::string page = testing::read_file(out);
  EXPECT_EQ(page.rfind("<!doctype html>", 0), 0u);
  EXPECT_NE(page.find("<title>m.vxl - vxlinspect</title>"), std::string::npos);
  // Standard input works too, under a name that says so.
  ASSERT_EQ(run({"html", "-", work_ + "/stdin.html"}, nullptr, map), 0);
  EXPECT_NE(testing::read_file(work_ + "/stdin.html").find("<title>standard input"),
            std::string::npos);

  Bytes cut = air_map(3);
  cut.resize(cut.size() - 1);
  std::string err;
  EXPECT_EQ(run({"html", put("cut.vxl", cut), out}, &err), 1);
  EXPECT_NE(err.find("malformed: byte"), std::string::npos) << err;
  EXPECT_EQ(run({"html", work_ + "/missing.vxl", out}, &err), 1);
  EXPECT_NE(err.find("cannot read"), std::string::npos) << err;
  EXPECT_EQ(run({"html", map, work_ + "/no/such/folder.html"}, &err), 1);
  EXPECT_NE(err.find("cannot write"), std::string::npos) << err;
  EXPECT_EQ(testing::read_file(out), page) << "a failed run changed the page";
  EXPECT_EQ(run({"html", map}), 2);
  EXPECT_EQ(run({"html", map, "a.html", "b.html"}), 2);
}

TEST_F(PageCommandsTest, SheetListsEveryMapInOrderWithPagesAndThumbnails) {
  mkdir((work_ + "/a").c_str(), 0777);
  mkdir((work_ + "/b").c_str(), 0777);
  std::vector<std::string> maps = {put("a/same.vxl", air_map(1)), put("b/same.vxl", air_map(2)),
                                   put("z.vxl", air_map(3)), put("c d.vxl", air_map(4)),
                                   put("y.vxl", air_map(5))};
  const std::string outdir = work_ + "/sheet";
  std::vector<std::string> args = {"sheet", outdir};
  args.insert(args.end(), maps.begin(), maps.end());
  ASSERT_EQ(run(args), 0);

  const nlohmann::json rows = index_rows(outdir);
  ASSERT_TRUE(rows.is_array());
  ASSERT_EQ(rows.size(), maps.size());
  const std::vector<std::string> names = {"same.vxl", "same.vxl", "z.vxl", "c d.vxl", "y.vxl"};
  const std::vector<std::string> stems = {"same", "same-2", "z", "c_d", "y"};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(names[i]);
    EXPECT_EQ(rows[i]["name"], names[i]);
    EXPECT_EQ(rows[i]["page"], "maps/" + stems[i] + ".html");
    EXPECT_EQ(rows[i]["thumb"], "thumbs/" + stems[i] + ".png");
    EXPECT_TRUE(exists(outdir + "/maps/" + stems[i] + ".html"));
    const std::string png = testing::read_file(outdir + "/thumbs/" + stems[i] + ".png");
    ASSERT_GE(png.size(), 24u);
    EXPECT_EQ(static_cast<unsigned char>(png[18]) << 8 | static_cast<unsigned char>(png[19]), 128);
    // Each map's own figures: the maps differ in their land.
    EXPECT_DOUBLE_EQ(rows[i]["figures"]["land_share"].get<double>(), 0.0);
    EXPECT_EQ(rows[i]["figures"]["surface_max"], 1);
  }
  // Each page leads back to the index.
  EXPECT_NE(testing::read_file(outdir + "/maps/z.html").find("\"back\":\"../index.html\""),
            std::string::npos);
}

TEST_F(PageCommandsTest, SheetListsBrokenMapsAndFailsOnlyAtTheEnd) {
  Bytes cut = air_map(1);
  cut.resize(100);
  const std::string outdir = work_ + "/sheet";
  std::string err;
  EXPECT_EQ(run({"sheet", outdir, put("good.vxl", air_map(1)), put("cut.vxl", cut),
                 work_ + "/missing.vxl", put("also.vxl", air_map(2))},
                &err),
            1);
  EXPECT_NE(err.find("cut.vxl: malformed"), std::string::npos) << err;
  EXPECT_NE(err.find("missing.vxl: cannot read"), std::string::npos) << err;
  const nlohmann::json rows = index_rows(outdir);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_TRUE(rows[0].contains("figures"));
  EXPECT_EQ(rows[1]["error"].get<std::string>().rfind("malformed: byte", 0), 0u);
  EXPECT_FALSE(rows[1].contains("page"));
  EXPECT_EQ(rows[2]["error"].get<std::string>().rfind("cannot read", 0), 0u);
  EXPECT_TRUE(rows[3].contains("figures"));
  EXPECT_FALSE(exists(outdir + "/maps/cut.html"));
}

TEST_F(PageCommandsTest, SheetNeedsAFolderItCanMakeAndAMap) {
  const std::string map = put("m.vxl", air_map(1));
  EXPECT_EQ(run({"sheet"}), 2);
  EXPECT_EQ(run({"sheet", work_ + "/out"}), 2);
  std::string err;
  EXPECT_EQ(run({"sheet", work_ + "/no/such/out", map}, &err), 1);
  EXPECT_NE(err.find("cannot make folder"), std::string::npos) << err;
  EXPECT_EQ(run({"sheet", map, map}, &err), 1) << "a file is in the way";
  EXPECT_NE(err.find("cannot make folder"), std::string::npos) << err;
  // An existing folder is used as it is.
  mkdir((work_ + "/there").c_str(), 0777);
  EXPECT_EQ(run({"sheet", work_ + "/there", map}), 0);
  EXPECT_EQ(run({"sheet", work_ + "/there", map}), 0);
}

TEST(SheetEntryTest, StemsAreSafeFileNamesAndNeverShared) {
  EXPECT_EQ(sheet_stems({"a/b/seed-42.vxl", "x/seed-42.vxl", "seed-42.VXL", "../..",
                         ".hidden.vxl", "a b&c.vxl", "/", "seed-42-2.vxl", "\xc3\xa9t\xc3\xa9.vxl"}),
            (std::vector<std::string>{"seed-42", "seed-42-2", "seed-42.VXL", "_.", "_hidden",
                                      "a_b_c", "map", "seed-42-2-2", "__t__"}));
}

TEST(SheetEntryTest, ShrinkingAveragesEachBlockRounded) {
  Preview big;
  big.width = 4;
  big.height = 2;
  // Two blocks of 2 x 2: red 0, 1, 2, 3 (mean 1.5 rounds to 2), then 255s.
  big.rgb = {0, 9, 9, 1, 9, 9, 255, 0, 0, 255, 0, 0,
             2, 9, 9, 3, 9, 9, 255, 0, 0, 255, 0, 1};
  const Preview small = shrink_preview(big, 2);
  EXPECT_EQ(small.width, 2);
  EXPECT_EQ(small.height, 1);
  EXPECT_EQ(small.rgb, (std::vector<std::uint8_t>{2, 9, 9, 255, 0, 0}));
}

}  // namespace
}  // namespace vxlforge
