#include "vxl/map_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "driver/generate_map.h"
#include "mapgen/start_regions.h"
#include "mapgen/volume.h"
#include "random/rng.h"
#include "vxl/vxl_writer.h"

namespace vxlforge {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kAirColumn[] = {0x00, 0x40, 0x3f, 0x00};

// A whole map of all-air columns but for the records given, each placed at
// its column's position in file order (y outer, x inner).
struct Column {
  int x;
  int y;
  Bytes record;
};

Bytes map_with(const std::vector<Column>& special) {
  Bytes file;
  for (int y = 0; y < MAP_Y; ++y) {
    for (int x = 0; x < MAP_X; ++x) {
      const Bytes* record = nullptr;
      for (const Column& c : special) {
        if (c.x == x && c.y == y) record = &c.record;
      }
      if (record != nullptr) {
        file.insert(file.end(), record->begin(), record->end());
      } else {
        file.insert(file.end(), std::begin(kAirColumn), std::end(kAirColumn));
      }
    }
  }
  return file;
}

void append_colour(Colour c, Bytes* out) {
  for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<std::uint8_t>(c >> shift));
}

// Offset of column (x, y) in a map whose earlier columns are all air.
std::size_t air_offset(int x, int y) { return static_cast<std::size_t>(y * MAP_X + x) * 4; }

class MapReaderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { voxels_ = new MapVoxels(); }
  static void TearDownTestSuite() {
    delete voxels_;
    voxels_ = nullptr;
  }

  // Decodes `file`, expecting the given fault at the given place.
  static void expect_fault(const Bytes& file, MapFault fault, std::size_t offset, int x, int y) {
    MapError error;
    ASSERT_FALSE(decode_map(file.data(), file.size(), voxels_, nullptr, &error))
        << "accepted a malformed map";
    EXPECT_EQ(error.fault, fault) << describe_map_error(error);
    EXPECT_EQ(error.offset, offset) << describe_map_error(error);
    EXPECT_EQ(error.x, x) << describe_map_error(error);
    EXPECT_EQ(error.y, y) << describe_map_error(error);
    EXPECT_FALSE(error.what.empty());
  }

  static MapVoxels* voxels_;
};

MapVoxels* MapReaderTest::voxels_ = nullptr;

TEST_F(MapReaderTest, AllAirMapIsValidWithOneSpanPerColumn) {
  const Bytes file = map_with({});
  MapStats stats;
  MapError error;
  ASSERT_TRUE(decode_map(file.data(), file.size(), voxels_, &stats, &error))
      << describe_map_error(error);
  EXPECT_EQ(stats.bytes, 1048576u);
  EXPECT_EQ(stats.spans, 262144u);
  EXPECT_EQ(stats.lowest_surface, 0);
  EXPECT_EQ(stats.highest_surface, 0);
  EXPECT_EQ(std::memchr(voxels_->solid.data(), 1, voxels_->solid.size()), nullptr);
}

// The cave example of the file layout: a first span with top, hidden and
// bottom voxels, then a span whose air run starts where those bottom
// colours end, and a hidden stretch to the bottom.
TEST_F(MapReaderTest, PlacesTopHiddenAndBottomVoxelsOfEverySpan) {
  const Colour c1 = 0x80112233, c2 = 0x80445566, c3 = 0x80778899;
  Bytes record = {0x03, 53, 53, 0};
  append_colour(c1, &record);
  append_colour(c2, &record);
  record.insert(record.end(), {0x00, 59, 59, 57});
  append_colour(c3, &record);
  const Bytes file = map_with({{7, 300, record}, {6, 300, {0x00, 61, 60, 0}}});
  MapStats stats;
  MapError error;
  ASSERT_TRUE(decode_map(file.data(), file.size(), voxels_, &stats, &error))
      << describe_map_error(error);
  EXPECT_EQ(stats.spans, 262145u);
  EXPECT_EQ(stats.lowest_surface, 0);
  EXPECT_EQ(stats.highest_surface, 11);

  auto solid_at = [&](int h) { return voxels_->solid[map_voxel_index(7, 300, h)]; };
  auto coloured_at = [&](int h) { return voxels_->coloured[map_voxel_index(7, 300, h)]; };
  auto colour_at = [&](int h) { return voxels_->colour[map_voxel_index(7, 300, h)]; };
  for (int h = 0; h < MAP_Z; ++h) {
    const bool expect_solid = (h >= 53 && h <= 56) || h >= 59;
    const bool expect_coloured = h == 53 || h == 56 || h == 59;
    EXPECT_EQ(solid_at(h), expect_solid ? 1 : 0) << "height " << h;
    EXPECT_EQ(coloured_at(h), expect_coloured ? 1 : 0) << "height " << h;
  }
  EXPECT_EQ(colour_at(53), c1);
  EXPECT_EQ(colour_at(56), c2);
  EXPECT_EQ(colour_at(59), c3);
  // A span with no top colours (top_end = top_start - 1): hidden to the bottom.
  for (int h = 0; h < MAP_Z; ++h) {
    EXPECT_EQ(voxels_->solid[map_voxel_index(6, 300, h)], h >= 61 ? 1 : 0) << "height " << h;
  }
}

TEST_F(MapReaderTest, ReportsTruncationAndTrailingBytes) {
  Bytes file = map_with({});
  file.resize(file.size() - 2);
  expect_fault(file, MapFault::kTruncated, air_offset(511, 511), 511, 511);

  Bytes cut = {0x00, 62, 63, 0};
  append_colour(0x80010203, &cut);
  append_colour(0x80040506, &cut);
  cut.resize(10);  // header and one and a half colours
  expect_fault(cut, MapFault::kTruncated, 0, 0, 0);

  expect_fault({}, MapFault::kTruncated, 0, 0, 0);

  file = map_with({});
  file.insert(file.end(), {1, 2, 3});
  expect_fault(file, MapFault::kTrailingBytes, 1048576, -1, -1);
}

TEST_F(MapReaderTest, ReportsHeightsPastTheColumnsBottom) {
  // top_start beyond 64, and top_end beyond 63.
  expect_fault(map_with({{3, 2, {0x00, 65, 64, 0}}}), MapFault::kPastBottom,
               air_offset(3, 2) + 1, 3, 2);
  expect_fault(map_with({{3, 2, {0x00, 64, 64, 0}}}), MapFault::kPastBottom,
               air_offset(3, 2) + 2, 3, 2);
  // top_end 0xff with top_start 0 is read literally: 256 colours.
  expect_fault(map_with({{3, 2, {0x00, 0, 0xff, 0}}}), MapFault::kPastBottom,
               air_offset(3, 2) + 2, 3, 2);
  // A further span announced after the top colours reach the bottom.
  Bytes record = {0x02, 63, 63, 0};
  append_colour(0x80000000, &record);
  expect_fault(map_with({{3, 2, record}}), MapFault::kPastBottom, air_offset(3, 2), 3, 2);
  // Bottom colours that leave no room for a next span: top 60, 3 below.
  record = {0x05, 60, 60, 0};
  for (int i = 0; i < 4; ++i) append_colour(0x80000000, &record);
  expect_fault(map_with({{3, 2, record}}), MapFault::kPastBottom, air_offset(3, 2), 3, 2);
}

TEST_F(MapReaderTest, ReportsTopEndBelowTopStartAndShortColourCounts) {
  expect_fault(map_with({{9, 0, {0x00, 10, 8, 0}}}), MapFault::kTopEndBelowStart,
               air_offset(9, 0) + 2, 9, 0);
  // span_length 2 holds one colour; top_start 10 to top_end 12 needs three.
  Bytes record = {0x02, 10, 12, 0};
  append_colour(0x80000000, &record);
  expect_fault(map_with({{0, 1, record}}), MapFault::kColourCount, air_offset(0, 1), 0, 1);
}

TEST_F(MapReaderTest, ReportsHeightsOutOfOrder) {
  const std::size_t at = air_offset(5, 5);
  // The first span's air must start at the top.
  expect_fault(map_with({{5, 5, {0x00, 40, 39, 3}}}), MapFault::kHeightOrder, at + 3, 5, 5);
  // Air that would start below the span's own top_start.
  Bytes record = {0x01, 20, 19, 0, 0x00, 30, 29, 31};
  expect_fault(map_with({{5, 5, record}}), MapFault::kHeightOrder, at + 4 + 3, 5, 5);
  // A span that goes back up the column.
  record = {0x01, 20, 19, 0, 0x01, 30, 29, 25, 0x00, 40, 39, 24};
  expect_fault(map_with({{5, 5, record}}), MapFault::kHeightOrder, at + 8 + 3, 5, 5);
  // Two bottom colours ending at 22 would cover the top colour at 21.
  record = {0x04, 21, 21, 0};
  for (int i = 0; i < 3; ++i) append_colour(0x80000000, &record);
  record.insert(record.end(), {0x00, 30, 29, 23});
  expect_fault(map_with({{5, 5, record}}), MapFault::kHeightOrder, at + 16 + 3, 5, 5);
}

// The topmost solid voxel gives the surface, also when the first span
// holds none: it ends at once (top_end = top_start - 1) and the next span's
// air run starts where it would have begun.
TEST_F(MapReaderTest, SurfaceHeightIsTheTopmostSolidVoxelBehindAnEmptyFirstSpan) {
  Bytes plain = {0x00, 20, 20, 0};
  append_colour(0x80102030, &plain);
  Bytes empty_first = {0x01, 10, 9, 0, 0x00, 20, 20, 10};
  append_colour(0x80102030, &empty_first);
  // And a first span whose only solid voxels are its hidden interior.
  Bytes hidden_first = {0x01, 30, 29, 0, 0x00, 40, 40, 35};
  append_colour(0x80102030, &hidden_first);

  MapStats stats;
  MapError error;
  const Bytes reference = map_with({{0, 0, plain}});
  ASSERT_TRUE(decode_map(reference.data(), reference.size(), voxels_, &stats, &error));
  EXPECT_EQ(stats.highest_surface, 44);
  const std::vector<std::uint8_t> solid_reference = voxels_->solid;

  const Bytes file = map_with({{0, 0, empty_first}});
  ASSERT_TRUE(decode_map(file.data(), file.size(), voxels_, &stats, &error))
      << describe_map_error(error);
  EXPECT_EQ(stats.highest_surface, 44);
  EXPECT_EQ(voxels_->solid, solid_reference);

  const Bytes hidden = map_with({{0, 0, hidden_first}});
  ASSERT_TRUE(decode_map(hidden.data(), hidden.size(), voxels_, &stats, &error))
      << describe_map_error(error);
  EXPECT_EQ(stats.highest_surface, 34);  // hidden 30..34 under air 0..29
}

// Maps of another size are whole columns too many or too few: the reader
// says how many, rather than calling them cut off.
TEST_F(MapReaderTest, OtherMapSizesAreNamedByTheirNumberOfColumns) {
  auto air_columns = [](std::size_t count) {
    Bytes file;
    for (std::size_t i = 0; i < count; ++i) {
      file.insert(file.end(), std::begin(kAirColumn), std::end(kAirColumn));
    }
    return file;
  };
  MapError error;
  for (const std::size_t columns : {std::size_t{65536}, std::size_t{100}, std::size_t{1048576}}) {
    const Bytes file = air_columns(columns);
    ASSERT_FALSE(decode_map(file.data(), file.size(), voxels_, nullptr, &error));
    EXPECT_EQ(error.fault, MapFault::kColumnCount) << describe_map_error(error);
    EXPECT_EQ(describe_map_error(error),
              "byte " + std::to_string(file.size()) + ": file holds " + std::to_string(columns) +
                  " complete columns; a map must be 512 x 512 columns of 64 voxels, 262144 "
                  "columns");
  }
  // Whole columns and then a broken one are stray bytes, as before.
  Bytes file = air_columns(MAP_COLUMNS + 3);
  file.insert(file.end(), {0x00, 64});
  ASSERT_FALSE(decode_map(file.data(), file.size(), voxels_, nullptr, &error));
  EXPECT_EQ(error.fault, MapFault::kTrailingBytes);
  EXPECT_EQ(error.what, "14 bytes after the last column");
}

// The bound readers hold maps to: a column of 64 one-voxel spans is as long
// as a record can be, a map of them as large as a map can be, and a column
// with a 65th span or colour is malformed.
TEST_F(MapReaderTest, LargestPossibleMapIsValidAndAnythingMoreIsNot) {
  Bytes longest;
  for (int h = 0; h < MAP_Z; ++h) {
    const auto z = static_cast<std::uint8_t>(h);
    longest.insert(longest.end(), {static_cast<std::uint8_t>(h == MAP_Z - 1 ? 0 : 2), z, z, z});
    append_colour(0x80000000u + static_cast<Colour>(h), &longest);
  }
  ASSERT_EQ(longest.size(), kMaxColumnBytes);
  Bytes file;
  file.reserve(kMaxMapBytes);
  for (int i = 0; i < MAP_COLUMNS; ++i) file.insert(file.end(), longest.begin(), longest.end());
  MapStats stats;
  MapError error;
  ASSERT_TRUE(decode_map(file.data(), file.size(), nullptr, &stats, &error))
      << describe_map_error(error);
  EXPECT_EQ(stats.bytes, kMaxMapBytes);
  EXPECT_EQ(stats.spans, static_cast<std::size_t>(MAP_COLUMNS) * MAP_Z);

  // One more span: the last one announces a further span at height 64.
  Bytes more_spans = longest;
  more_spans[longest.size() - 8] = 2;
  more_spans.insert(more_spans.end(), {0x00, 64, 63, 64});
  expect_fault(map_with({{0, 0, more_spans}}), MapFault::kPastBottom, kMaxColumnBytes - 8, 0, 0);
  // One more colour: the last span's colour count past the bottom.
  Bytes more_colours = longest;
  more_colours[longest.size() - 8] = 3;
  append_colour(0x80000000, &more_colours);
  expect_fault(map_with({{0, 0, more_colours}}), MapFault::kPastBottom, kMaxColumnBytes - 8, 0,
               0);
}

TEST_F(MapReaderTest, DescribesWhereTheFaultIs) {
  MapError error;
  error.offset = 1234;
  error.x = 5;
  error.y = 7;
  error.what = "top_end 3 is below top_start 5 - 1";
  EXPECT_EQ(describe_map_error(error), "byte 1234, column (5, 7): top_end 3 is below top_start 5 - 1");
  error.x = error.y = -1;
  error.what = "3 bytes after the last column";
  EXPECT_EQ(describe_map_error(error), "byte 1234: 3 bytes after the last column");
}

// Generated maps, written and read back, must give back the Volume: every
// voxel's solidity, and the colour of every voxel the writer exposes, which
// are exactly the voxels the file colours.
class MapRoundTripTest : public ::testing::TestWithParam<int> {};

TEST_P(MapRoundTripTest, DecodedMapMatchesTheGeneratedVolume) {
  rng_seed(GetParam());
  generate_map();
  Bytes file;
  encode_vxl(&file);

  auto voxels = std::make_unique<MapVoxels>();
  MapStats stats;
  MapError error;
  ASSERT_TRUE(decode_map(file.data(), file.size(), voxels.get(), &stats, &error))
      << describe_map_error(error);
  EXPECT_EQ(stats.bytes, file.size());

  int lowest = MAP_Z, highest = 0;
  int mismatches = 0;
  for (int x = 0; x < MAP_X && mismatches < 10; ++x) {
    for (int y = 0; y < MAP_Y; ++y) {
      int surface = 0;
      for (int z = 0; z < MAP_Z; ++z) {
        const int h = MAP_Z - 1 - z;
        const int after = map_voxel_index(x, y, h);
        if (voxel_solid(x, y, z)) surface = z + 1;
        const bool exposed = is_exposed(x, y, h);
        const bool ok = voxels->solid[after] == voxel_solid(x, y, z) &&
                        voxels->coloured[after] == (exposed ? 1 : 0) &&
                        (!exposed || voxels->colour[after] == voxel_colour(x, y, z));
        if (!ok && ++mismatches <= 10) {
          ADD_FAILURE() << "voxel (" << x << ", " << y << ", z " << z << ") decoded wrongly";
        }
      }
      lowest = std::min(lowest, surface);
      highest = std::max(highest, surface);
    }
  }
  EXPECT_EQ(stats.lowest_surface, lowest);
  EXPECT_EQ(stats.highest_surface, highest);
}

INSTANTIATE_TEST_SUITE_P(Seeds, MapRoundTripTest, ::testing::Values(1, 42, -7));

}  // namespace
}  // namespace vxlforge
