#include "vxlinspect/map_preview.h"

#include <png.h>
#include <sys/wait.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "driver/generate_map.h"
#include "mapgen/start_regions.h"
#include "random/rng.h"
#include "support/read_file.h"
#include "vxl/vxl_writer.h"
#include "vxlinspect/iso_view.h"
#include "vxlinspect/overview.h"

namespace vxlforge {
namespace {

constexpr Colour kGround = 0x80406080;
constexpr Colour kMarked = 0x80c01020;
constexpr Colour kCover = 0x8020e040;
constexpr int kScale = 2;

using Rgb = std::array<int, 3>;

Rgb rgb_of(Colour c) {
  return {static_cast<int>((c >> 16) & 0xff), static_cast<int>((c >> 8) & 0xff),
          static_cast<int>(c & 0xff)};
}

// A flat map, solid from height 40 down, its top voxels coloured kGround,
// with one column marked in another colour, one all-air column and one
// column whose top voxel floats over a gap of air.
std::unique_ptr<MapVoxels> flat_map() {
  auto voxels = std::make_unique<MapVoxels>();
  for (int x = 0; x < MAP_X; ++x) {
    for (int y = 0; y < MAP_Y; ++y) {
      for (int h = 0; h < MAP_Z; ++h) {
        const int i = map_voxel_index(x, y, h);
        voxels->solid[i] = h >= 40;
        voxels->coloured[i] = h == 40;
        voxels->colour[i] = h == 40 ? kGround : 0;
      }
    }
  }
  voxels->colour[map_voxel_index(37, 401, 40)] = kMarked;
  for (int h = 0; h < MAP_Z; ++h) voxels->solid[map_voxel_index(200, 10, h)] = 0;
  voxels->solid[map_voxel_index(300, 300, 41)] = 0;
  voxels->colour[map_voxel_index(300, 300, 40)] = kCover;
  return voxels;
}

struct DecodedPng {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
  Rgb pixel(int px, int py) const {
    const std::size_t i = (static_cast<std::size_t>(py) * width + px) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
  }
};

// Reads the PNG back with libpng, as any viewer would.
bool decode_png(const std::vector<std::uint8_t>& png, DecodedPng* out, std::string* message) {
  png_image image;
  std::memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) {
    *message = image.message;
    return false;
  }
  image.format = PNG_FORMAT_RGB;
  out->width = static_cast<int>(image.width);
  out->height = static_cast<int>(image.height);
  out->rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, out->rgb.data(), 0, nullptr)) {
    *message = image.message;
    return false;
  }
  return true;
}

TEST(MapPreviewTest, PngShowsEachColumnsTopColourAsAScaledBlock) {
  const std::unique_ptr<MapVoxels> voxels = flat_map();
  std::vector<std::uint8_t> png;
  std::string reason;
  ASSERT_TRUE(encode_png(render_preview(*voxels, kScale), &png, &reason)) << reason;
  DecodedPng decoded;
  ASSERT_TRUE(decode_png(png, &decoded, &reason)) << reason;
  ASSERT_EQ(decoded.width, MAP_X * kScale);
  ASSERT_EQ(decoded.height, MAP_Y * kScale);

  // Flat ground at the map's highest level keeps its stored colour, over
  // the whole block of the column: x across, y down.
  for (int dy = 0; dy < kScale; ++dy) {
    for (int dx = 0; dx < kScale; ++dx) {
      EXPECT_EQ(decoded.pixel(37 * kScale + dx, 401 * kScale + dy), rgb_of(kMarked));
    }
  }
  EXPECT_EQ(decoded.pixel(38 * kScale, 401 * kScale), rgb_of(kGround));
  EXPECT_EQ(decoded.pixel(401 * kScale, 37 * kScale), rgb_of(kGround));
  EXPECT_EQ(decoded.pixel(200 * kScale, 10 * kScale), (Rgb{0, 0, 0})) << "all-air column";

  // Ground floating over air is drawn darker than its colour, not black.
  const Rgb cover = decoded.pixel(300 * kScale, 300 * kScale);
  for (int k = 0; k < 3; ++k) {
    EXPECT_LT(cover[k], rgb_of(kCover)[k]);
    EXPECT_GT(cover[k], 0);
  }
}

TEST(MapPreviewTest, LowerGroundIsDarkerThanHigherGround) {
  std::unique_ptr<MapVoxels> voxels = flat_map();
  // Sink a 20 x 20 block by ten voxels, same colour.
  for (int x = 100; x < 120; ++x) {
    for (int y = 100; y < 120; ++y) {
      for (int h = 40; h < 50; ++h) {
        const int i = map_voxel_index(x, y, h);
        voxels->solid[i] = 0;
        voxels->coloured[i] = 0;
      }
      const int i = map_voxel_index(x, y, 50);
      voxels->coloured[i] = 1;
      voxels->colour[i] = kGround;
    }
  }
  const Preview preview = render_preview(*voxels, 1);
  auto green = [&](int x, int y) { return preview.rgb[(y * preview.width + x) * 3 + 1]; };
  EXPECT_LT(green(110, 110), green(60, 60));
}

// Mean of red + green + blue over the columns' topmost coloured voxels,
// raw, and over the same columns' pixels in the top view at scale 1.
struct Brightness {
  double surface = 0.0;
  double preview = 0.0;
};

Brightness brightness_of(const MapVoxels& voxels) {
  const Preview preview = render_preview(voxels, 1, PreviewView::kTop);
  double surface = 0.0, drawn = 0.0;
  int columns = 0;
  for (int y = 0; y < MAP_Y; ++y) {
    for (int x = 0; x < MAP_X; ++x) {
      int h = 0;
      while (h < MAP_Z && !voxels.solid[map_voxel_index(x, y, h)]) ++h;
      if (h == MAP_Z) continue;
      const Rgb c = rgb_of(voxels.colour[map_voxel_index(x, y, h)]);
      surface += c[0] + c[1] + c[2];
      const std::size_t i = (static_cast<std::size_t>(y) * MAP_X + x) * 3;
      drawn += preview.rgb[i] + preview.rgb[i + 1] + preview.rgb[i + 2];
      ++columns;
    }
  }
  return {surface / columns, drawn / columns};
}

std::unique_ptr<MapVoxels> generated_map(std::int32_t seed) {
  rng_seed(seed);
  debug_regions = 0;
  generate_map();
  std::vector<std::uint8_t> file;
  encode_vxl(&file);
  auto voxels = std::make_unique<MapVoxels>();
  MapError error;
  EXPECT_TRUE(decode_map(file.data(), file.size(), voxels.get(), nullptr, &error))
      << describe_map_error(error);
  return voxels;
}

// Solid, coloured voxels from upward height z0 to z1 (0 the bottom voxel).
void fill(MapVoxels* voxels, int x, int y, int z0, int z1, Colour c) {
  for (int z = z0; z <= z1; ++z) {
    const int i = map_voxel_index(x, y, MAP_Z - 1 - z);
    voxels->solid[i] = 1;
    voxels->coloured[i] = 1;
    voxels->colour[i] = c;
  }
}

std::unique_ptr<MapVoxels> empty_map() {
  auto voxels = std::make_unique<MapVoxels>();
  std::fill(voxels->solid.begin(), voxels->solid.end(), 0);
  std::fill(voxels->coloured.begin(), voxels->coloured.end(), 0);
  std::fill(voxels->colour.begin(), voxels->colour.end(), 0);
  return voxels;
}

TEST(MapPreviewTest, TopViewKeepsThreeQuartersOfTheSurfaceBrightness) {
  const Brightness generated = brightness_of(*generated_map(42));
  EXPECT_GE(generated.preview, 0.75 * generated.surface)
      << generated.preview / generated.surface;

  // A flat hand-made map of mottled colours with one tall pillar, which
  // stretches the range of heights: the floor must not go dark for it.
  auto voxels = empty_map();
  for (int x = 0; x < MAP_X; ++x) {
    for (int y = 0; y < MAP_Y; ++y) {
      const int k = (x * 7 + y * 13) % 5;
      fill(voxels.get(), x, y, 0, 19, make_colour(60 + 30 * k, 150 - 20 * k, 90));
    }
  }
  fill(voxels.get(), 250, 250, 20, 60, make_colour(200, 200, 200));
  const Brightness flat = brightness_of(*voxels);
  EXPECT_GE(flat.preview, 0.75 * flat.surface) << flat.preview / flat.surface;
}

// Every view, from two separately built copies of one map, gives the same
// PNG bytes; and each has the size its view promises.
TEST(MapPreviewTest, ViewsAreDeterministicAndSized) {
  const std::unique_ptr<MapVoxels> a = flat_map();
  const std::unique_ptr<MapVoxels> b = flat_map();
  struct Case {
    PreviewView view;
    int scale, width, height;
  };
  for (const Case& c : {Case{PreviewView::kTop, 2, 1024, 1024},
                        Case{PreviewView::kOverview, 1, 512, 512},
                        Case{PreviewView::kIso, 1, 2080, 1216},
                        Case{PreviewView::kIso, 2, 4160, 2432}}) {
    std::vector<std::uint8_t> png_a, png_b;
    std::string reason;
    const Preview preview = render_preview(*a, c.scale, c.view);
    EXPECT_EQ(preview.width, c.width);
    EXPECT_EQ(preview.height, c.height);
    ASSERT_TRUE(encode_png(preview, &png_a, &reason)) << reason;
    ASSERT_TRUE(encode_png(render_preview(*b, c.scale, c.view), &png_b, &reason)) << reason;
    EXPECT_TRUE(png_a == png_b) << "view " << static_cast<int>(c.view) << " scale " << c.scale;
  }
  EXPECT_EQ(iso_width(1), 2080);
  EXPECT_EQ(max_preview_scale(PreviewView::kIso), kMaxIsoScale);
  EXPECT_EQ(max_preview_scale(PreviewView::kOverview), kMaxPreviewScale);
}

// Hand-made maps hold anything in a colour's fourth byte; no view may
// depend on it (as an alpha channel, say).
TEST(MapPreviewTest, FourthByteOfColoursIsIgnored) {
  std::unique_ptr<MapVoxels> plain = flat_map();
  // Some relief, so that every kind of shading runs.
  for (int x = 100; x < 140; ++x) {
    for (int y = 50; y < 90; ++y) fill(plain.get(), x, y, 24, 24 + (x + y) % 9, kCover);
  }
  std::unique_ptr<MapVoxels> zero = std::make_unique<MapVoxels>(*plain);
  std::unique_ptr<MapVoxels> full = std::make_unique<MapVoxels>(*plain);
  for (std::size_t i = 0; i < plain->colour.size(); ++i) {
    zero->colour[i] &= 0x00ffffffu;
    full->colour[i] |= 0xff000000u;
  }
  for (PreviewView view : {PreviewView::kTop, PreviewView::kOverview, PreviewView::kIso}) {
    const Preview expected = render_preview(*plain, 1, view);
    EXPECT_TRUE(render_preview(*zero, 1, view).rgb == expected.rgb) << static_cast<int>(view);
    EXPECT_TRUE(render_preview(*full, 1, view).rgb == expected.rgb) << static_cast<int>(view);
  }
}

class OverviewTest : public ::testing::TestWithParam<int> {
 protected:
  static void SetUpTestSuite() { voxels_ = flat_map().release(); }
  static void TearDownTestSuite() {
    delete voxels_;
    voxels_ = nullptr;
  }

  void SetUp() override {
    scale_ = GetParam();
    top_ = render_preview(*voxels_, scale_, PreviewView::kTop);
    overview_ = render_preview(*voxels_, scale_, PreviewView::kOverview);
    ASSERT_EQ(overview_.width, top_.width);
    ASSERT_EQ(overview_.height, top_.height);
  }

  static Rgb at(const Preview& p, int px, int py) {
    const std::size_t i = (static_cast<std::size_t>(py) * p.width + px) * 3;
    return {p.rgb[i], p.rgb[i + 1], p.rgb[i + 2]};
  }
  Rgb top(int px, int py) const { return at(top_, px, py); }
  Rgb overview(int px, int py) const { return at(overview_, px, py); }
  Rgb lightened(int px, int py) const {
    const Rgb c = top(px, py);
    return {(c[0] + 255) / 2, (c[1] + 255) / 2, (c[2] + 255) / 2};
  }

  static MapVoxels* voxels_;
  int scale_ = 1;
  Preview top_;
  Preview overview_;
};

MapVoxels* OverviewTest::voxels_ = nullptr;

Rgb rgb(const std::uint8_t* c) { return {c[0], c[1], c[2]}; }

TEST_P(OverviewTest, GridLinesLightenTheTopViewBetweenSquares) {
  const int s = scale_;
  const int width = overview_line_width(s);
  EXPECT_EQ(width, s == 3 ? 2 : 1);
  for (int k = 1; k < 8; ++k) {
    const int first = 64 * k * s - width / 2;
    for (int line = first - 1; line <= first + width; ++line) {
      const bool on = line >= first && line < first + width;
      // Down, along rows 450 and 470 (square row 8, clear of labels and
      // regions); across, at column 300 (square E, between the regions).
      for (int row : {450, 470}) {
        const int py = row * s;
        EXPECT_EQ(overview(line, py), on ? lightened(line, py) : top(line, py)) << "line " << k;
      }
      const int px = 300 * s;
      EXPECT_EQ(overview(px, line), on ? lightened(px, line) : top(px, line)) << "line " << k;
    }
  }
  // Where lines cross, the pixel is lightened once.
  EXPECT_EQ(overview(192 * s, 448 * s), lightened(192 * s, 448 * s));
  EXPECT_EQ(overview(320 * s, 64 * s), lightened(320 * s, 64 * s));
  // Inside a square nothing changes; the map's own edges get no line.
  EXPECT_EQ(overview(310 * s, 310 * s), top(310 * s, 310 * s));
  EXPECT_EQ(overview(300 * s, 0), top(300 * s, 0));
  EXPECT_EQ(overview(300 * s, 512 * s - 1), top(300 * s, 512 * s - 1));
}

// The glyphs, drawn here as they should look.
const char* const kC[7] = {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."};
const char* const k4[7] = {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."};

bool ink(const char* const* glyph, int col, int row) {
  return col >= 0 && row >= 0 && col < 5 && row < 7 && glyph[row][col] == '#';
}

// Over the 7 x 9 font pixels around the glyph placed at (left, top): ink
// where the glyph has it, the dark edge next to ink, the map elsewhere.
void expect_label(const OverviewTest& t, const char* const* glyph, int left, int top, int s,
                  const std::function<Rgb(int, int)>& overview,
                  const std::function<Rgb(int, int)>& map) {
  (void)t;
  for (int row = -1; row <= 7; ++row) {
    for (int col = -1; col <= 5; ++col) {
      bool near = false;
      for (int dr = -1; dr <= 1; ++dr) {
        for (int dc = -1; dc <= 1; ++dc) near = near || ink(glyph, col + dc, row + dr);
      }
      for (int dy = 0; dy < s; ++dy) {
        for (int dx = 0; dx < s; ++dx) {
          const int px = left + col * s + dx;
          const int py = top + row * s + dy;
          const Rgb want = ink(glyph, col, row) ? rgb(kLabelInk) : near ? rgb(kLabelEdge) : map(px, py);
          ASSERT_EQ(overview(px, py), want) << "font pixel (" << col << ", " << row << ")";
        }
      }
    }
  }
}

TEST_P(OverviewTest, LabelsNameTheSquaresAlongTheTopAndLeftEdges) {
  const int s = scale_;
  auto ov = [&](int px, int py) { return overview(px, py); };
  auto map = [&](int px, int py) { return top(px, py); };
  // "C", over the middle of x 128..191; "4", beside the middle of y 192..255.
  expect_label(*this, kC, 160 * s - 5 * s / 2, 2 * s, s, ov, map);
  expect_label(*this, k4, 3 * s, 224 * s - 7 * s / 2, s, ov, map);
}

TEST_P(OverviewTest, StartRegionsAreOutlined) {
  const int s = scale_;
  const int band = s < 2 ? 2 : s;
  const Rgb left = rgb(kLeftRegionOutline);
  const Rgb right = rgb(kRightRegionOutline);
  const int mid = 300 * s;  // a row through both regions, clear of labels
  for (int d = 0; d < band; ++d) {
    EXPECT_EQ(overview(d, mid), left);                 // along x = 0
    EXPECT_EQ(overview(128 * s - 1 - d, mid), left);   // along x = 127
    EXPECT_EQ(overview(60 * s, 128 * s + d), left);    // along y = 128
    EXPECT_EQ(overview(60 * s, 384 * s - 1 - d), left);
    EXPECT_EQ(overview(384 * s + d, mid), right);      // along x = 384
    EXPECT_EQ(overview(512 * s - 1 - d, mid), right);  // along x = 511
    EXPECT_EQ(overview(450 * s, 128 * s + d), right);
    EXPECT_EQ(overview(450 * s, 384 * s - 1 - d), right);
  }
  // Just inside the bands, and just outside the regions, the map.
  EXPECT_EQ(overview(band, mid), top(band, mid));
  EXPECT_EQ(overview(128 * s - 1 - band, mid), top(128 * s - 1 - band, mid));
  EXPECT_EQ(overview(384 * s + band, mid), top(384 * s + band, mid));
  const int clear = overview_line_width(s);  // past the grid line on y = 128
  EXPECT_EQ(overview(60 * s, 128 * s - 1 - clear), top(60 * s, 128 * s - 1 - clear));
  EXPECT_EQ(overview(60 * s, 128 * s + band), top(60 * s, 128 * s + band));
  EXPECT_EQ(overview(450 * s, 384 * s + 1), top(450 * s, 384 * s + 1));
  EXPECT_EQ(overview(383 * s, mid), top(383 * s, mid));
}

INSTANTIATE_TEST_SUITE_P(Scales, OverviewTest, ::testing::Values(1, 2, 3));

// Ground 10 voxels high; a block lifted over a gap; a raised plateau whose
// cliff faces the viewer. Each must appear where the projection puts it.
TEST(IsoViewTest, FloatingBlockAndCliffSideAppearWhereTheProjectionSays) {
  constexpr Colour kBlock = 0x80e02010;
  constexpr Colour kCliff = 0x80a08060;
  auto voxels = empty_map();
  for (int x = 0; x < MAP_X; ++x) {
    for (int y = 0; y < MAP_Y; ++y) fill(voxels.get(), x, y, 0, 9, kGround);
  }
  fill(voxels.get(), 100, 100, 14, 14, kBlock);  // over air at 10..13
  fill(voxels.get(), 150, 150, 10, 19, kBlock);  // a pillar on the ground
  for (int x = 250; x < 300; ++x) {
    for (int y = 200; y < 261; ++y) fill(voxels.get(), x, y, 10, 29, kCliff);
  }
  constexpr int s = 2;
  const Preview p = render_preview(*voxels, s, PreviewView::kIso);
  // The pixel under a point (X, Y, Z) of the map, Z up from the bottom.
  auto seen = [&](double X, double Y, double Z) {
    const double m = 16.0 * s;
    const int px = static_cast<int>(m + (X - Y + 512) * 2 * s);
    const int py = static_cast<int>(m + (X + Y) * s + (64 - Z) * 2.5 * s);
    const std::size_t i = (static_cast<std::size_t>(py) * p.width + px) * 3;
    return Rgb{p.rgb[i], p.rgb[i + 1], p.rgb[i + 2]};
  };
  auto shaded = [](Colour c, double shade) {
    const Rgb raw = rgb_of(c);
    return Rgb{static_cast<int>(raw[0] * shade), static_cast<int>(raw[1] * shade),
               static_cast<int>(raw[2] * shade)};
  };
  EXPECT_EQ(seen(100.5, 100.5, 15), shaded(kBlock, kIsoTopShade));
  EXPECT_EQ(seen(101, 100.5, 14.5), shaded(kBlock, kIsoSideXShade));
  EXPECT_EQ(seen(100.5, 101, 14.5), shaded(kBlock, kIsoSideYShade));
  // Through the gap under the block, on the plane of its side, the ground
  // beyond shows: the block floats.
  EXPECT_EQ(seen(101, 100.5, 12), shaded(kGround, kIsoTopShade));
  EXPECT_EQ(seen(100.5, 101, 11), shaded(kGround, kIsoTopShade));

  EXPECT_EQ(seen(275.5, 230.5, 30), shaded(kCliff, kIsoTopShade));
  EXPECT_EQ(seen(300, 230.5, 20), shaded(kCliff, kIsoSideXShade));
  EXPECT_EQ(seen(300, 230.5, 10.5), shaded(kCliff, kIsoSideXShade));
  EXPECT_EQ(seen(275.5, 261, 20), shaded(kCliff, kIsoSideYShade));
  // Near its foot, the pillar's sides cover the ground behind them, that of
  // the column before it in y (for the +x side) and in x (for the +y side).
  EXPECT_EQ(seen(151, 150.2, 10.3), shaded(kBlock, kIsoSideXShade));
  EXPECT_EQ(seen(150.2, 151, 10.3), shaded(kBlock, kIsoSideYShade));
  // Ground behind the plateau is hidden by it (the line of sight meets its
  // +x side first, at X = 300); ground in the open is not.
  EXPECT_EQ(seen(280.5, 190.5, 10), shaded(kCliff, kIsoSideXShade));
  EXPECT_EQ(seen(150.5, 400.5, 10), shaded(kGround, kIsoTopShade));
  // The map's near edges show its cut sides; beyond the map, background.
  EXPECT_EQ(seen(512, 300.5, 5), shaded(kGround, kIsoSideXShade));
  EXPECT_EQ(seen(300.5, 512, 5), shaded(kGround, kIsoSideYShade));
  EXPECT_EQ(seen(0, 0, 30), rgb(kIsoBackground));
}

// `png --view`: the option in either place, and refused values.
TEST(MapPreviewProgramTest, PngTakesAViewAndAScaleInEitherOrder) {
  char work[] = "/tmp/vxlinspect-preview-XXXXXX";
  ASSERT_NE(mkdtemp(work), nullptr);
  const std::string dir = work;
  std::vector<std::uint8_t> file;
  for (int i = 0; i < MAP_COLUMNS; ++i) file.insert(file.end(), {0x00, 62, 63, 0, 1, 2, 3, 0, 4, 5, 6, 0});
  const std::string map = dir + "/map.vxl";
  std::ofstream(map, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  auto run = [&](const std::string& args) {
    const int raw = std::system(("'" VXLINSPECT_BINARY "' " + args + " 2>/dev/null").c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  };
  auto png_size = [&](const std::string& path) {
    const std::string bytes = testing::read_file(path);
    auto be32 = [&](std::size_t at) {
      std::uint32_t v = 0;
      for (std::size_t k = 0; k < 4; ++k) v = v << 8 | static_cast<unsigned char>(bytes[at + k]);
      return v;
    };
    return bytes.size() < 24 ? std::array<std::uint32_t, 2>{0, 0}
                             : std::array<std::uint32_t, 2>{be32(16), be32(20)};
  };
  EXPECT_EQ(run("png " + map + " " + dir + "/iso.png --view iso"), 0);
  EXPECT_EQ(png_size(dir + "/iso.png"), (std::array<std::uint32_t, 2>{2080, 1216}));
  EXPECT_EQ(run("png " + map + " " + dir + "/ov.png --view overview --scale 2"), 0);
  EXPECT_EQ(png_size(dir + "/ov.png"), (std::array<std::uint32_t, 2>{1024, 1024}));
  EXPECT_EQ(run("png " + map + " " + dir + "/ov3.png --scale 3 --view top"), 0);
  EXPECT_EQ(png_size(dir + "/ov3.png"), (std::array<std::uint32_t, 2>{1536, 1536}));
  EXPECT_EQ(run("png " + map + " " + dir + "/x.png --view side"), 2);
  EXPECT_EQ(run("png " + map + " " + dir + "/x.png --view iso --scale 5"), 2);
  EXPECT_EQ(run("png " + map + " " + dir + "/x.png --view"), 2);
  EXPECT_TRUE(testing::read_file(dir + "/x.png").empty());
  std::system(("rm -rf '" + dir + "'").c_str());
}

}  // namespace
}  // namespace vxlforge
