// Helpers of the level-toolchain tests (see levels_support.h).
#include "tests/support/levels_support.h"

#include <algorithm>

PngPicture DecodePng(const std::vector<uint8_t>& png) {
  struct Reader {
    const std::vector<uint8_t>* bytes;
    size_t at;
  } reader{&png, 0};
  cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(
      [](void* closure, unsigned char* data, unsigned int length) {
        auto* r = static_cast<Reader*>(closure);
        if (r->at + length > r->bytes->size()) return CAIRO_STATUS_READ_ERROR;
        std::copy_n(r->bytes->data() + r->at, length, data);
        r->at += length;
        return CAIRO_STATUS_SUCCESS;
      },
      &reader);
  PngPicture picture;
  if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
    picture.width = cairo_image_surface_get_width(surface);
    picture.height = cairo_image_surface_get_height(surface);
    picture.format = cairo_image_surface_get_format(surface);
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < picture.height; ++y) {
      const auto* row = reinterpret_cast<const uint32_t*>(data + y * stride);
      picture.pixels.insert(picture.pixels.end(), row, row + picture.width);
    }
  }
  cairo_surface_destroy(surface);
  return picture;
}
