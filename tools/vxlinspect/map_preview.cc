#include "vxlinspect/map_preview.h"

#include <png.h>

#include <cstring>

#include "vxlinspect/iso_view.h"
#include "vxlinspect/overview.h"
#include "vxlinspect/top_view.h"

namespace vxlforge {

int max_preview_scale(PreviewView view) {
  return view == PreviewView::kIso ? kMaxIsoScale : kMaxPreviewScale;
}

Preview render_preview(const MapVoxels& voxels, int scale, PreviewView view) {
  switch (view) {
    case PreviewView::kOverview: {
      Preview preview = render_top_view(voxels, scale);
      draw_overview_marks(scale, &preview);
      return preview;
    }
    case PreviewView::kIso:
      return render_iso_view(voxels, scale);
    case PreviewView::kTop:
      break;
  }
  return render_top_view(voxels, scale);
}

bool encode_png(const Preview& preview, std::vector<std::uint8_t>* png, std::string* reason) {
  // libpng's simplified interface reports errors through the image struct,
  // with no longjmp across our frames.
  png_image image;
  std::memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(preview.width);
  image.height = static_cast<png_uint_32>(preview.height);
  image.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, preview.rgb.data(), 0, nullptr)) {
    *reason = image.message;
    png_image_free(&image);
    return false;
  }
  png->resize(size);
  if (!png_image_write_to_memory(&image, png->data(), &size, 0, preview.rgb.data(), 0,
                                 nullptr)) {
    *reason = image.message;
    png_image_free(&image);
    return false;
  }
  png->resize(size);
  return true;
}

}  // namespace vxlforge
