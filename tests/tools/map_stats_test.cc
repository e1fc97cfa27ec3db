// The figures of `vxlinspect stats`, on maps built here with known answers
// and on a generated map counted from the generator's own Volume; and the
// command as a process: output, exit status, memory.
#include "vxlinspect/map_stats.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "driver/generate_map.h"
#include "mapgen/start_regions.h"
#include "mapgen/volume.h"
#include "random/rng.h"
#include "support/clear_volume.h"
#include "support/process.h"
#include "support/read_file.h"
#include "support/reference_digests.h"
#include "support/scratch_folder.h"
#include "support/sha256.h"
#include "vxl/map_reader.h"
#include "vxl/vxl_writer.h"
#include "vxlinspect/column_solidity.h"

namespace vxlforge {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr Colour kGround = 0x80507030;

// Maps are built in the generator's Volume (z up from the bottom) and
// encoded by its writer, so the figures are read back through a real file.
class MapStatsTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::clear_volume(); }
  void TearDown() override { testing::clear_volume(); }

  // Every column solid from the bottom up to (but not including) `surface`.
  static void flat(int surface) {
    for (int x = 0; x < MAP_X; ++x) {
      for (int y = 0; y < MAP_Y; ++y) fill_column(x, y, 0, surface - 1, kGround);
    }
  }

  static MapFigures measure() {
    Bytes file;
    encode_vxl(&file);
    MapFigures figures;
    MapError error;
    EXPECT_TRUE(measure_map_file(file.data(), file.size(), &figures, &error))
        << describe_map_error(error);
    EXPECT_EQ(figures.bytes, file.size());
    return figures;
  }
};

TEST_F(MapStatsTest, LandOnlyInTheLeftStartRegion) {
  // Water everywhere (the bottom layer alone), land 5 high on x 0..127,
  // y 128..383.
  flat(1);
  for (int x = 0; x < 128; ++x) {
    for (int y = 128; y < 384; ++y) fill_column(x, y, 0, 4, kGround);
  }
  const MapFigures f = measure();
  EXPECT_DOUBLE_EQ(f.land_share, 0.125);  // 128 * 256 of 512 * 512 columns
  EXPECT_DOUBLE_EQ(f.land_share_left, 1.0);
  EXPECT_DOUBLE_EQ(f.land_share_right, 0.0);
  EXPECT_DOUBLE_EQ(f.land_share_smaller, 0.0);
  EXPECT_DOUBLE_EQ(f.land_share_difference, 1.0);
  EXPECT_DOUBLE_EQ(f.mean_surface_left, 5.0);
  EXPECT_DOUBLE_EQ(f.mean_surface_right, 1.0);
  EXPECT_EQ(f.surface_min, 1);
  EXPECT_EQ(f.surface_max, 5);
  EXPECT_DOUBLE_EQ(f.surface_mean, 1.5);  // 7/8 at 1 and 1/8 at 5
  std::array<std::uint32_t, MAP_Z + 1> histogram{};
  histogram[1] = MAP_COLUMNS - 128 * 256;
  histogram[5] = 128 * 256;
  EXPECT_EQ(f.surface_histogram, histogram);
  EXPECT_EQ(f.floating_voxels, 0u);
  // The first highest column in file order (y, then x).
  EXPECT_EQ(f.highest_x, 0);
  EXPECT_EQ(f.highest_y, 128);
  EXPECT_EQ(f.highest_square, "A3");

  const std::string text = describe_map_figures(f, "left.vxl");
  EXPECT_EQ(text.rfind("left.vxl\n", 0), 0u) << text;
  EXPECT_NE(text.find("\n  land             12.50% of the map; start regions: left 100.00%, "
                      "right 0.00%\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\n  fairness         smaller 0.00%, difference 100.00 points\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\n  highest point    5 voxels at (0, 128), square A3\n"), std::string::npos)
      << text;
}

TEST_F(MapStatsTest, RegionsEndAtTheirEdges) {
  // Land on the columns just outside both regions only: x 128 and 383,
  // rows 127 and 384. No region column is land.
  flat(1);
  for (int y = 0; y < MAP_Y; ++y) {
    fill_column(128, y, 0, 3, kGround);
    fill_column(383, y, 0, 3, kGround);
  }
  for (int x = 0; x < MAP_X; ++x) {
    fill_column(x, 127, 0, 3, kGround);
    fill_column(x, 384, 0, 3, kGround);
  }
  // And one land column inside each, at opposite corners.
  fill_column(0, 128, 0, 1, kGround);
  fill_column(511, 383, 0, 1, kGround);
  const MapFigures f = measure();
  EXPECT_DOUBLE_EQ(f.land_share_left, 1.0 / 32768);
  EXPECT_DOUBLE_EQ(f.land_share_right, 1.0 / 32768);
  EXPECT_DOUBLE_EQ(f.land_share_difference, 0.0);
  EXPECT_DOUBLE_EQ(f.mean_surface_left, 1.0 + 1.0 / 32768);
  EXPECT_DOUBLE_EQ(f.land_share, (2.0 * 512 + 2 * 512 - 4 + 2) / MAP_COLUMNS);
}

TEST_F(MapStatsTest, FloatingVoxelsAreTheLowestOfEachLiftedRun) {
  flat(10);
  // A block of 3 x 4 columns, 2 voxels tall, over a gap of 3 voxels: 12
  // voxels with air below them.
  for (int x = 200; x < 203; ++x) {
    for (int y = 300; y < 304; ++y) fill_column(x, y, 13, 14, kGround);
  }
  // A column with two separate lifted runs, one of them at the very top.
  fill_column(10, 10, 12, 12, kGround);
  fill_column(10, 10, 20, 63, kGround);
  // An overhang hanging from a pillar: a column solid from the ground up to
  // 30 with air at 15..16 floats once.
  fill_column(400, 50, 0, 30, kGround);
  fill_column(400, 50, 15, 16, 0);
  const MapFigures f = measure();
  EXPECT_EQ(f.floating_voxels, 12u + 2u + 1u);
  EXPECT_EQ(f.surface_max, 64);
  EXPECT_EQ(f.highest_square, "A1");
  EXPECT_EQ(f.surface_histogram[15], 12u);
  EXPECT_EQ(f.surface_histogram[31], 1u);
  EXPECT_EQ(f.surface_histogram[10], static_cast<std::uint32_t>(MAP_COLUMNS - 14));
  EXPECT_DOUBLE_EQ(f.land_share, 1.0);
}

TEST_F(MapStatsTest, EmptyAndFullMaps) {
  MapFigures f = measure();  // all air
  EXPECT_EQ(f.surface_min, 0);
  EXPECT_EQ(f.surface_max, 0);
  EXPECT_EQ(f.surface_histogram[0], static_cast<std::uint32_t>(MAP_COLUMNS));
  EXPECT_DOUBLE_EQ(f.land_share, 0.0);
  EXPECT_EQ(f.floating_voxels, 0u);
  EXPECT_EQ(f.highest_square, "A1");

  flat(64);
  f = measure();
  EXPECT_EQ(f.surface_min, 64);
  EXPECT_DOUBLE_EQ(f.surface_mean, 64.0);
  EXPECT_EQ(f.surface_histogram[64], static_cast<std::uint32_t>(MAP_COLUMNS));
  EXPECT_DOUBLE_EQ(f.land_share, 1.0);
  EXPECT_EQ(f.floating_voxels, 0u);
}

TEST(MapStatsGridTest, SquaresAreLettersAcrossAndDigitsDown) {
  EXPECT_EQ(grid_square(0, 0), "A1");
  EXPECT_EQ(grid_square(128, 192), "C4");
  EXPECT_EQ(grid_square(191, 255), "C4");
  EXPECT_EQ(grid_square(63, 64), "A2");
  EXPECT_EQ(grid_square(511, 511), "H8");
}

// A hand-made file can end a span with no solid voxel at all: its next span
// starts its air where this one's top would be. The surface is still the
// topmost solid voxel, and the shape read from the spans is the decoder's.
TEST(MapStatsFileTest, ShapeFromSpansMatchesTheDecoder) {
  Bytes file;
  for (int c = 0; c < MAP_COLUMNS; ++c) {
    if (c == 5) {
      // Span 1: air 0..9, no colours, no solid; span 2: air 10..19, one
      // colour at 20, solid to the bottom.
      file.insert(file.end(), {1, 10, 9, 0, 0, 20, 20, 10, 0x10, 0x20, 0x30, 0x00});
    } else if (c == 6) {
      // Top colour at 40 with a hidden run below and two bottom colours
      // over an air gap 50..51, then solid from 52.
      file.insert(file.end(), {4, 40, 40, 0, 1, 2, 3, 0x80, 4, 5, 6, 0x80, 7, 8, 9, 0x80,
                               0, 52, 52, 50, 1, 1, 1, 0x80});
    } else {
      file.insert(file.end(), {0, 63, 63, 0, 1, 2, 3, 0x80});
    }
  }
  auto voxels = std::make_unique<MapVoxels>();
  MapError error;
  ASSERT_TRUE(decode_map(file.data(), file.size(), voxels.get(), nullptr, &error))
      << describe_map_error(error);
  const ColumnSolidity from_spans = solidity_of_valid_file(file.data(), file.size());
  EXPECT_EQ(from_spans, solidity_of_voxels(*voxels));
  EXPECT_EQ(from_spans[5], ~std::uint64_t{0} << 20);
  EXPECT_EQ(from_spans[6], (~std::uint64_t{0} << 52) | (((std::uint64_t{1} << 10) - 1) << 40));

  MapFigures f;
  ASSERT_TRUE(measure_map_file(file.data(), file.size(), &f, &error));
  EXPECT_EQ(f.surface_max, 44);
  EXPECT_EQ(f.highest_x, 5);
  EXPECT_EQ(f.floating_voxels, 1u);  // height 49, over the gap
  EXPECT_EQ(f.sha256, testing::sha256_hex(file.data(), file.size()));

  // A malformed file has no figures.
  file.pop_back();
  f = MapFigures{};
  EXPECT_FALSE(measure_map_file(file.data(), file.size(), &f, &error));
  EXPECT_EQ(error.fault, MapFault::kTruncated);
  EXPECT_TRUE(f.sha256.empty());
}

// Seed 42 measured from its file against counts taken voxel by voxel in the
// generator's own Volume, with heights counted upward from the bottom.
TEST(MapStatsGeneratedTest, FiguresMatchACountOverTheVolume) {
  rng_seed(42);
  debug_regions = 0;
  generate_map();

  std::uint64_t land = 0, left_land = 0, right_land = 0, floating = 0;
  std::uint64_t left_height = 0, right_height = 0, total_height = 0;
  int lowest = 99, highest = -1, highest_x = -1, highest_y = -1;
  std::array<std::uint32_t, MAP_Z + 1> histogram{};
  for (int y = 0; y < MAP_Y; ++y) {
    for (int x = 0; x < MAP_X; ++x) {
      int surface = 0;
      for (int z = 0; z < MAP_Z; ++z) {
        if (!voxel_solid(x, y, z)) continue;
        surface = z + 1;
        if (z > 0 && !voxel_solid(x, y, z - 1)) ++floating;
      }
      const bool is_land = voxel_solid(x, y, 1) != 0;
      land += is_land;
      total_height += static_cast<std::uint64_t>(surface);
      ++histogram[surface];
      lowest = std::min(lowest, surface);
      if (surface > highest) {
        highest = surface;
        highest_x = x;
        highest_y = y;
      }
      if (y >= 128 && y <= 383 && x <= 127) {
        left_land += is_land;
        left_height += static_cast<std::uint64_t>(surface);
      }
      if (y >= 128 && y <= 383 && x >= 384) {
        right_land += is_land;
        right_height += static_cast<std::uint64_t>(surface);
      }
    }
  }

  Bytes file;
  encode_vxl(&file);
  MapFigures f;
  MapError error;
  ASSERT_TRUE(measure_map_file(file.data(), file.size(), &f, &error)) << describe_map_error(error);
  EXPECT_EQ(f.floating_voxels, floating);
  EXPECT_GT(floating, 1000u) << "seed 42 has cover lifted over its roads";
  EXPECT_EQ(f.surface_histogram, histogram);
  EXPECT_EQ(f.surface_min, lowest);
  EXPECT_EQ(f.surface_max, highest);
  EXPECT_EQ(f.highest_x, highest_x);
  EXPECT_EQ(f.highest_y, highest_y);
  EXPECT_DOUBLE_EQ(f.surface_mean, static_cast<double>(total_height) / MAP_COLUMNS);
  EXPECT_DOUBLE_EQ(f.land_share, static_cast<double>(land) / MAP_COLUMNS);
  EXPECT_DOUBLE_EQ(f.land_share_left, static_cast<double>(left_land) / 32768);
  EXPECT_DOUBLE_EQ(f.land_share_right, static_cast<double>(right_land) / 32768);
  EXPECT_DOUBLE_EQ(f.mean_surface_left, static_cast<double>(left_height) / 32768);
  EXPECT_DOUBLE_EQ(f.mean_surface_right, static_cast<double>(right_height) / 32768);
  EXPECT_DOUBLE_EQ(f.land_share_difference,
                   std::abs(f.land_share_left - f.land_share_right));
  EXPECT_DOUBLE_EQ(f.land_share_smaller, std::min(f.land_share_left, f.land_share_right));
  const auto& runs = testing::reference_runs();
  const auto seed42 = std::find_if(runs.begin(), runs.end(), [](const testing::ReferenceRun& run) {
    return run.seed == 42 && !run.debug_regions;
  });
  ASSERT_NE(seed42, runs.end()) << testing::reference_list_error();
  EXPECT_EQ(f.sha256, seed42->value("file"));

  // Through decoded voxels, the same figures.
  auto voxels = std::make_unique<MapVoxels>();
  ASSERT_TRUE(decode_map(file.data(), file.size(), voxels.get(), nullptr, &error));
  const MapFigures g = measure_map(*voxels, file.data(), file.size());
  EXPECT_EQ(map_figures_json(g, "x"), map_figures_json(f, "x"));

  // The JSON object: every figure under its key, nothing else.
  const nlohmann::json j = map_figures_json(f, "seed42.vxl");
  std::vector<std::string> keys;
  for (const auto& item : j.items()) keys.push_back(item.key());
  const std::vector<std::string> expected = {
      "bytes", "floating_voxels", "highest_square", "highest_x", "highest_y",
      "land_share", "land_share_difference", "land_share_left", "land_share_right",
      "land_share_smaller", "map", "mean_surface_left", "mean_surface_right", "sha256",
      "surface_histogram", "surface_max", "surface_mean", "surface_min"};
  EXPECT_EQ(keys, expected);
  EXPECT_EQ(j["map"], "seed42.vxl");
  EXPECT_EQ(j["floating_voxels"].get<std::uint64_t>(), floating);
  EXPECT_EQ(j["surface_histogram"].size(), 65u);
  EXPECT_EQ(j["surface_histogram"][highest].get<std::uint32_t>(), histogram[highest]);
  EXPECT_EQ(j["land_share_left"].get<double>(), f.land_share_left);
  EXPECT_EQ(j["bytes"].get<std::size_t>(), file.size());
}

// The command as a user runs it.
class StatsCommandTest : public testing::ScratchFolderTest {
 protected:
  struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
  };

  // An all-air map; with `column` a one-voxel column at (3, 4) on its bottom.
  std::string put_map(const std::string& name, bool column, bool cut = false) {
    Bytes file;
    for (int i = 0; i < MAP_COLUMNS; ++i) {
      if (column && i == 4 * MAP_X + 3) {
        file.insert(file.end(), {0x00, 63, 63, 0, 0x10, 0x20, 0x30, 0x80});
      } else {
        file.insert(file.end(), {0x00, 64, 63, 0});
      }
    }
    if (cut) file.pop_back();
    const std::string path = work_ + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    return path;
  }

  // Runs vxlinspect with `args`.
  static Outcome run(const std::vector<std::string>& args,
                     const testing::ProcessOptions& options = {}) {
    const testing::ProcessResult r = testing::run_process(testing::vxlinspect_binary(), args, options);
    return {r.status, r.out, r.err};
  }

  static testing::ProcessOptions input_from(const std::string& path) {
    testing::ProcessOptions options;
    options.stdin_path = path;
    return options;
  }

  static std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
  }

};

TEST_F(StatsCommandTest, JsonLinesHaveOneObjectPerMapAndBadMapsStillGetALine) {
  const std::string good = put_map("good.vxl", true);
  const std::string cut = put_map("cut.vxl", false, true);
  const std::string missing = work_ + "/missing.vxl";
  const Outcome o = run({"stats", good, missing, "--json", cut});
  EXPECT_EQ(o.status, 1);
  const std::vector<std::string> out = lines(o.out);
  ASSERT_EQ(out.size(), 3u) << o.out;
  const nlohmann::json first = nlohmann::json::parse(out[0]);
  EXPECT_EQ(first["map"], good);
  EXPECT_EQ(first["surface_max"], 1);
  EXPECT_EQ(first["surface_histogram"][1], 1);
  EXPECT_EQ(first["land_share"], 0.0);
  EXPECT_EQ(first["highest_x"], 3);
  EXPECT_EQ(first["highest_y"], 4);
  const nlohmann::json second = nlohmann::json::parse(out[1]);
  EXPECT_EQ(second["map"], missing);
  EXPECT_EQ(second["error"], "vxlinspect: cannot read '" + missing + "': No such file or directory");
  const nlohmann::json third = nlohmann::json::parse(out[2]);
  EXPECT_EQ(third["error"].get<std::string>().rfind(cut + ": malformed: byte 1048572", 0), 0u) << out[2];
  const std::vector<std::string> err = lines(o.err);
  ASSERT_EQ(err.size(), 2u) << o.err;
  EXPECT_EQ(err[0], "vxlinspect: cannot read '" + missing + "': No such file or directory");
}

TEST_F(StatsCommandTest, TextBlocksAndUsage) {
  const std::string a = put_map("a.vxl", true);
  const std::string b = put_map("b.vxl", false);
  Outcome o = run({"stats", a, b});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out.rfind(a + "\n  sha256           ", 0), 0u) << o.out;
  EXPECT_NE(o.out.find("\n\n" + b + "\n"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("  surface height   min 0, mean 0.00, max 0 voxels\n"), std::string::npos)
      << o.out;

  // "-" reads the map from standard input.
  o = run({"stats", "-"}, input_from(a));
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out.rfind("-\n  sha256           ", 0), 0u) << o.out;

  EXPECT_EQ(run({"stats"}).status, 2);
  EXPECT_EQ(run({"stats", a, "--jsn"}).status, 2);
  o = run({"stats", work_});
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("Is a directory"), std::string::npos) << o.err;
}

// No input takes more memory than the largest map could: an endless one
// is cut off there and reported.
TEST_F(StatsCommandTest, EndlessInputIsCutOffAtTheLargestMapSize) {
  const Outcome o = run({"stats", "-"}, input_from("/dev/zero"));
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "-: malformed: more than 134217728 bytes, larger than any map of 512 x 512 columns of 64 "
            "voxels can be (134217728 bytes)\n");
}

// A file name need not be UTF-8; JSON must be. The name's bad bytes become
// U+FFFD instead of an exception ending the program.
TEST_F(StatsCommandTest, NamesThatAreNotUtf8StillGiveValidJson) {
  const std::string map = put_map("bad\xff.vxl", false);
  const Outcome o = run({"stats", "--json", map});
  EXPECT_EQ(o.status, 0) << o.err;
  const nlohmann::json j = nlohmann::json::parse(o.out);
  EXPECT_EQ(j["map"], work_ + "/bad\xef\xbf\xbd.vxl");
}

// Maps are measured one at a time: a hundred maps of 1 MiB each go through
// in 64 MiB of address space, about five times what one takes. (Not under
// AddressSanitizer, which reserves terabytes of address space up front.)
TEST_F(StatsCommandTest, HundredMapsAreNotHeldAtOnce) {
  if (testing::kBuiltWithSanitizers) {
    GTEST_SKIP() << "address space is unbounded under AddressSanitizer";
  }
  std::vector<std::string> args = {"stats", "--json"};
  for (int i = 0; i < 100; ++i) args.push_back(put_map(std::to_string(i) + ".vxl", i % 2 == 1));
  testing::ProcessOptions limited;
  limited.address_space_limit = 64u << 20;
  const Outcome o = run(args, limited);
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(lines(o.out).size(), 100u);
}

}  // namespace
}  // namespace vxlforge
