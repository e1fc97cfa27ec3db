#include "vxlinspect/iso_view.h"

#include <bit>
#include <cmath>
#include <vector>

#include "vxlinspect/column_solidity.h"

namespace vxlforge {

namespace {

struct Rgb {
  double r, g, b;
};

constexpr Rgb kGrey = {128.0, 128.0, 128.0};

Rgb rgb_of(Colour word) {
  return {static_cast<double>((word >> 16) & 0xff), static_cast<double>((word >> 8) & 0xff),
          static_cast<double>(word & 0xff)};
}

// The colour a face of voxel (x, y, h) shows before its shade.
Rgb voxel_rgb(const MapVoxels& voxels, int x, int y, int h) {
  const int i = map_voxel_index(x, y, h);
  if (voxels.coloured[i]) return rgb_of(voxels.colour[i]);
  for (int above = h - 1; above >= 0; --above) {
    const int j = map_voxel_index(x, y, above);
    if (voxels.coloured[j]) {
      const Rgb c = rgb_of(voxels.colour[j]);
      return {c.r * kIsoHiddenShade, c.g * kIsoHiddenShade, c.b * kIsoHiddenShade};
    }
  }
  return kGrey;
}

enum Face { kTop, kSideX, kSideY };

// Whether the centre of pixel (px, py) lies on face `f` of voxel (x, y, h),
// by the header's projection, inverted: X and Y, or the depth 64 - Z, from
// the pixel, then whether they fall within the face.
bool on_face(Face f, int x, int y, int h, int px, int py, int s) {
  const double m = kIsoMargin * s;
  const double cx = px + 0.5 - m;
  const double cy = py + 0.5 - m;
  switch (f) {
    case kTop: {  // Z = 64 - h, X in [x, x + 1), Y in [y, y + 1)
      const double u = cx / (2.0 * s) - 512.0;  // X - Y
      const double w = (cy - 2.5 * h * s) / s;  // X + Y
      return std::floor((u + w) / 2) == x && std::floor((w - u) / 2) == y;
    }
    case kSideX: {  // X = x + 1, Y in [y, y + 1), depth in [h, h + 1)
      const double yy = x + 1 + 512.0 - cx / (2.0 * s);
      const double depth = (cy - (x + 1 + yy) * s) / (2.5 * s);
      return std::floor(yy) == y && std::floor(depth) == h;
    }
    case kSideY: {  // Y = y + 1, X in [x, x + 1), depth in [h, h + 1)
      const double xx = cx / (2.0 * s) - 512.0 + y + 1;
      const double depth = (cy - (xx + y + 1) * s) / (2.5 * s);
      return std::floor(xx) == x && std::floor(depth) == h;
    }
  }
  return false;
}

// A pixel at or above and left of every pixel of face `f` of voxel
// (x, y, h): the face lies within 4 x 5 scale pixels from here.
void face_origin(Face f, int x, int y, int h, int s, int* px0, int* py0) {
  const int m = kIsoMargin * s;
  *px0 = m + (x - y + (f == kSideX ? 512 : 511)) * 2 * s;
  *py0 = m + (x + y + (f == kTop ? 0 : 1)) * s + (5 * h * s) / 2;
}

// Draws faces into an image. A face's pixels, counted from its origin,
// depend only on the face and on whether 5 * h * scale / 2 has a half left
// over, since every other term moves the face by whole pixels: so each
// face's shape is worked out once per phase, with on_face, and stamped.
class IsoCanvas {
 public:
  explicit IsoCanvas(int scale) : s_(scale) {
    image_.width = iso_width(scale);
    image_.height = iso_height(scale);
    image_.rgb.resize(static_cast<std::size_t>(image_.width) * image_.height * 3);
    for (std::size_t i = 0; i < image_.rgb.size(); i += 3) {
      image_.rgb[i] = kIsoBackground[0];
      image_.rgb[i + 1] = kIsoBackground[1];
      image_.rgb[i + 2] = kIsoBackground[2];
    }
    // Reference voxels at (0, 0), heights 0 and 1: phases 0 and, for an
    // odd scale, 1.
    for (int f = kTop; f <= kSideY; ++f) {
      for (int phase = 0; phase < 2; ++phase) {
        const int h = phase;
        int px0, py0;
        face_origin(static_cast<Face>(f), 0, 0, h, s_, &px0, &py0);
        for (int dy = 0; dy < 5 * s_; ++dy) {
          for (int dx = 0; dx < 4 * s_; ++dx) {
            if (on_face(static_cast<Face>(f), 0, 0, h, px0 + dx, py0 + dy, s_)) {
              shapes_[f][phase].push_back({dx, dy});
            }
          }
        }
      }
    }
  }

  void draw(Face f, int x, int y, int h, const Rgb& c) {
    static constexpr double kShade[3] = {kIsoTopShade, kIsoSideXShade, kIsoSideYShade};
    const std::uint8_t rgb[3] = {shade(c.r, kShade[f]), shade(c.g, kShade[f]),
                                 shade(c.b, kShade[f])};
    int px0, py0;
    face_origin(f, x, y, h, s_, &px0, &py0);
    for (const Offset& o : shapes_[f][(h * s_) & 1]) put(px0 + o.dx, py0 + o.dy, rgb);
  }

  Preview take() { return std::move(image_); }

 private:
  struct Offset {
    int dx, dy;
  };

  static std::uint8_t shade(double component, double factor) {
    return static_cast<std::uint8_t>(component * factor);
  }

  void put(int px, int py, const std::uint8_t* rgb) {
    std::uint8_t* q = &image_.rgb[(static_cast<std::size_t>(py) * image_.width + px) * 3];
    q[0] = rgb[0];
    q[1] = rgb[1];
    q[2] = rgb[2];
  }

  int s_;
  Preview image_;
  std::vector<Offset> shapes_[3][2];
};

}  // namespace

Preview render_iso_view(const MapVoxels& voxels, int scale) {
  const ColumnSolidity words = solidity_of_voxels(voxels);
  IsoCanvas canvas(scale);
  for (int x = 0; x < MAP_X; ++x) {
    for (int y = 0; y < MAP_Y; ++y) {
      const std::uint64_t w = words[y * MAP_X + x];
      // Bit h of w << 1 is the voxel above h.
      const std::uint64_t top = w & ~(w << 1);
      const std::uint64_t side_x = x + 1 < MAP_X ? w & ~words[y * MAP_X + x + 1] : w;
      const std::uint64_t side_y = y + 1 < MAP_Y ? w & ~words[(y + 1) * MAP_X + x] : w;
      // Upward is toward height 0: the highest set bit first.
      for (std::uint64_t faces = top | side_x | side_y; faces != 0;) {
        const int h = 63 - std::countl_zero(faces);
        const std::uint64_t bit = std::uint64_t{1} << h;
        faces &= ~bit;
        const Rgb c = voxel_rgb(voxels, x, y, h);
        if (side_x & bit) canvas.draw(kSideX, x, y, h, c);
        if (side_y & bit) canvas.draw(kSideY, x, y, h, c);
        if (top & bit) canvas.draw(kTop, x, y, h, c);
      }
    }
  }
  return canvas.take();
}

}  // namespace vxlforge
