#include "vxlinspect/map_preview.h"

#include <png.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

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

}  // namespace
}  // namespace vxlforge
