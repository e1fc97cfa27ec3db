#include "vxl/vxl_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "mapgen/volume.h"
#include "support/clear_volume.h"

namespace vxlforge {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr Colour kGreen = 0x8030d030;
constexpr Colour kC1 = 0x80112233;
constexpr Colour kC2 = 0x80445566;
constexpr Colour kC3 = 0x80778899;

void append_colour(Colour c, Bytes* out) {
  for (int shift = 0; shift < 32; shift += 8) {
    out->push_back(static_cast<std::uint8_t>(c >> shift));
  }
}

// The Volume is process-wide; every test starts from and leaves it empty.
class VxlWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { clear(); }
  void TearDown() override { clear(); }

  static void clear() { testing::clear_volume(); }

  // Level ground of height `top` (upward z) over a block of columns.
  static void flat(int x0, int x1, int y0, int y1, int top, Colour c) {
    for (int x = x0; x <= x1; ++x) {
      for (int y = y0; y <= y1; ++y) fill_column(x, y, 0, top, c);
    }
  }

  static Bytes record_of(int x, int y) {
    Bytes out;
    encode_column(x, y, &out);
    return out;
  }
};

TEST_F(VxlWriterTest, FlatColumnIsOneSpanWithItsSurfaceColour) {
  flat(99, 101, 99, 101, 10, kGreen);
  const Bytes expected = {0x00, 0x35, 0x35, 0x00, 0x30, 0xd0, 0x30, 0x80};
  EXPECT_EQ(record_of(100, 100), expected);
}

TEST_F(VxlWriterTest, CaveGivesBottomColoursAndASecondSpan) {
  flat(99, 101, 99, 101, 10, kGreen);
  for (int x = 99; x <= 101; ++x) {
    for (int y = 99; y <= 101; ++y) fill_column(x, y, 5, 6, 0);
  }
  fill_column(100, 100, 10, 10, kC1);
  fill_column(100, 100, 7, 7, kC2);
  fill_column(100, 100, 4, 4, kC3);
  Bytes expected = {0x03, 0x35, 0x35, 0x00};
  append_colour(kC1, &expected);
  append_colour(kC2, &expected);
  for (std::uint8_t b : {0x00, 0x3b, 0x3b, 0x39}) expected.push_back(b);
  append_colour(kC3, &expected);
  EXPECT_EQ(record_of(100, 100), expected);
}

TEST_F(VxlWriterTest, ExposedRunReachingTheBottomGetsALastSpanOfItsOwn) {
  flat(99, 101, 99, 101, 10, kGreen);
  fill_column(99, 100, 0, 3, 0);  // air beside file heights 60..63
  for (int z = 0; z <= 3; ++z) fill_column(100, 100, z, z, kC1 + z);
  Bytes expected = {0x02, 0x35, 0x35, 0x00};
  append_colour(kGreen, &expected);
  for (std::uint8_t b : {0x00, 0x3c, 0x3f, 0x3c}) expected.push_back(b);
  for (int z = 3; z >= 0; --z) append_colour(kC1 + z, &expected);
  EXPECT_EQ(record_of(100, 100), expected);
}

TEST_F(VxlWriterTest, AllAirColumnIsASingleEmptySpan) {
  EXPECT_EQ(record_of(7, 9), (Bytes{0x00, 0x40, 0x3f, 0x00}));
}

TEST_F(VxlWriterTest, NeighboursOffTheMapCountAsSolid) {
  // The whole map level: corner and edge columns must encode like inner ones.
  flat(0, MAP_X - 1, 0, MAP_Y - 1, 10, kGreen);
  const Bytes expected = {0x00, 0x35, 0x35, 0x00, 0x30, 0xd0, 0x30, 0x80};
  for (const auto& [x, y] : {std::pair{0, 0}, std::pair{511, 511},
                             std::pair{0, 300}, std::pair{511, 0},
                             std::pair{200, 511}}) {
    Bytes out;
    encode_column(x, y, &out);
    EXPECT_EQ(out, expected) << "column " << x << ", " << y;
  }
}

TEST_F(VxlWriterTest, LowestVoxelIsExposedOnlyThroughAirBesideOrAbove) {
  fill_column(5, 5, 0, 0, kC1);  // one voxel on the floor, air beside it
  Bytes expected = {0x00, 0x3f, 0x3f, 0x00};
  append_colour(kC1, &expected);
  EXPECT_EQ(record_of(5, 5), expected);
}

TEST_F(VxlWriterTest, SolidVoxelAtTheTopOfTheMapCountsAsExposed) {
  // Full columns all round: the top voxel touches no air in the map, yet it
  // must be a top colour so that top_end never wraps to 0xff.
  flat(9, 11, 9, 11, 63, kGreen);
  fill_column(10, 10, 63, 63, kC1);
  Bytes expected = {0x00, 0x00, 0x00, 0x00};
  append_colour(kC1, &expected);
  EXPECT_EQ(record_of(10, 10), expected);
  EXPECT_TRUE(is_exposed(10, 10, 0));
  EXPECT_FALSE(is_exposed(10, 10, 1));
}

TEST_F(VxlWriterTest, ExposureNeedsSolidVoxelAndAnAirFaceNeighbour) {
  flat(19, 21, 19, 21, 20, kGreen);
  fill_column(20, 19, 10, 10, 0);  // y - 1 neighbour at upward z 10
  EXPECT_TRUE(is_exposed(20, 20, 53));  // file height of upward z 10
  EXPECT_FALSE(is_exposed(20, 20, 52));
  EXPECT_FALSE(is_exposed(20, 20, 54));
  EXPECT_FALSE(is_exposed(20, 20, 10));  // air is never exposed
  EXPECT_TRUE(is_exposed(20, 20, 43));   // the surface, air above
}

TEST_F(VxlWriterTest, RecordsRunYOuterXInner) {
  fill_column(1, 0, 0, 0, kC1);
  fill_column(0, 1, 0, 0, kC2);
  Bytes file;
  encode_vxl(&file);
  ASSERT_EQ(file.size(), 262144u * 4 + 2 * 4);  // two records carry a colour
  Bytes first = {0x00, 0x3f, 0x3f, 0x00};
  append_colour(kC1, &first);
  EXPECT_EQ(Bytes(file.begin() + 4, file.begin() + 12), first);
  Bytes second = {0x00, 0x3f, 0x3f, 0x00};
  append_colour(kC2, &second);
  const std::size_t at = 512 * 4 + 4;  // after row y = 0, one longer record
  EXPECT_EQ(Bytes(file.begin() + at, file.begin() + at + 8), second);
}

TEST_F(VxlWriterTest, EmptyVolumeFileIsOneAirSpanPerColumn) {
  char folder[] = "/tmp/vxlforge-writer-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string path = std::string(folder) + "/empty.vxl";
  std::string reason;
  ASSERT_TRUE(write_vxl(path.c_str(), &reason)) << reason;
  std::ifstream in(path, std::ios::binary);
  const Bytes file((std::istreambuf_iterator<char>(in)),
                   std::istreambuf_iterator<char>());
  ASSERT_EQ(file.size(), 1048576u);
  std::size_t wrong = 0;
  for (std::size_t i = 0; i < file.size(); i += 4) {
    if (file[i] != 0x00 || file[i + 1] != 0x40 || file[i + 2] != 0x3f ||
        file[i + 3] != 0x00) {
      ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0u);
  std::remove(path.c_str());
  rmdir(folder);
}

TEST_F(VxlWriterTest, WritingLeavesTheVolumeAsItWas) {
  // Encoding reads each column upside down as it goes; a second encoding
  // must see the same Volume and give the same bytes.
  fill_column(3, 4, 0, 1, kC1);
  std::string reason;
  EXPECT_FALSE(write_vxl("/nonexistent-folder-for-test/x.vxl", &reason));
  EXPECT_EQ(reason, "No such file or directory");
  EXPECT_EQ(voxel_solid(3, 4, 0), 1);
  EXPECT_EQ(voxel_solid(3, 4, 1), 1);
  EXPECT_EQ(voxel_solid(3, 4, 63), 0);
  EXPECT_EQ(voxel_colour(3, 4, 1), kC1);
  Bytes first;
  Bytes second;
  encode_vxl(&first);
  encode_vxl(&second);
  EXPECT_EQ(first, second);
}

// Every column's own record, in the file's order: y outer, x inner.
Bytes file_of_columns() {
  Bytes out;
  for (int y = 0; y < 512; ++y) {
    for (int x = 0; x < 512; ++x) encode_column(x, y, &out);
  }
  return out;
}

// Columns of every kind of record: short ones, and long ones (many spans
// and colours) at the map's corners and edges and on both sides of where
// the file's pieces meet.
void varied_volume(int variant) {
  for (int x = 0; x < 512; ++x) {
    for (int y = 0; y < 512; ++y) {
      const int h = (x * 7 + y * 3 + variant) % 40;
      fill_column(x, y, 0, h, make_colour(x & 255, y & 255, h));
    }
  }
  for (int x : {0, 1, 255, 256, 510, 511}) {
    for (int y : {0, 15, 16, 17, 255, 256, 511}) {
      for (int z = 1; z < 63; z += 2) fill_column(x, y, z, z, 0);  // every other voxel air
      for (int z = 0; z < 64; ++z) {
        if (z % 2 == 0) fill_column(x, y, z, z, make_colour(z, variant, 7));
      }
    }
  }
}

TEST_F(VxlWriterTest, TheFileIsEveryColumnsRecordInFileOrder) {
  for (int variant = 0; variant < 2; ++variant) {
    varied_volume(variant);
    Bytes file;
    encode_vxl(&file);
    EXPECT_EQ(file, file_of_columns()) << "map " << variant;
    clear();
  }
}

TEST_F(VxlWriterTest, AMapOfLongRecordsEncodesWhole) {
  // Every other voxel solid in every column: 32 spans a column, about
  // 64 MiB of records, the longest pieces the writer meets.
  for (int x = 0; x < 512; ++x) {
    for (int y = 0; y < 512; ++y) {
      for (int z = 0; z < 64; z += 2) fill_column(x, y, z, z, make_colour(x & 255, y & 255, z));
    }
  }
  const Bytes expected = file_of_columns();
  ASSERT_GT(expected.size(), std::size_t{60} << 20);
  Bytes file;
  encode_vxl(&file);
  EXPECT_TRUE(file == expected);  // not EXPECT_EQ: a failure would print 64 MiB
}

}  // namespace
}  // namespace vxlforge
