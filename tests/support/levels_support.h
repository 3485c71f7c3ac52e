// Helpers of the level-toolchain tests: decoding the PNG pictures the tools draw.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <vector>

struct PngPicture {
  int width = 0, height = 0;  // zeros when the bytes are no PNG picture
  cairo_format_t format = CAIRO_FORMAT_INVALID;  // RGB24 for pictures without alpha
  std::vector<uint32_t> pixels;  // premultiplied ARGB, row by row
};

PngPicture DecodePng(const std::vector<uint8_t>& png);
