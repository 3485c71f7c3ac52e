// Fonts and 2D drawing off the screen: the font table, the raster targets over image and sprite
// pixels (boxes and picture blits), and vector drawing with cairo and pango on images.
// Depends on the image table, pango/cairo, and GDK for the screen resolution when it is known.
#include "runtime/display/drawing.h"

#include <gdk/gdk.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <memory>

#include "runtime/display/image.h"
#include "runtime/runtime.h"

namespace {

// ---- Constants ----

// Dots per inch when the display reports no resolution (or there is no display).
constexpr double kDefaultResolution = 96.0;
constexpr double kPointsPerInch = 72.0;
constexpr double kMillimetresPerInch = 25.4;

// ---- Types ----

struct FontObject {
  PangoFontDescription* description = nullptr;
  FontObject() = default;
  FontObject(const FontObject&) = delete;
  FontObject& operator=(const FontObject&) = delete;
  ~FontObject() {
    if (description) pango_font_description_free(description);
  }
};

struct VectorState {
  cairo_surface_t* surface = nullptr;  // made from the image; null when there is no target
  int64_t image = 0;                   // handle of the image written back at stop
  double width = 0, height = 0;        // the image size, in output units
  double resolution_x = kDefaultResolution, resolution_y = kDefaultResolution;
  int output_unit = kUnitPixel;
  int drawing_unit = kUnitPixel;
  cairo_t* cairo = nullptr;
  PangoLayout* layout = nullptr;
  bool layout_dirty = false;
  bool active = false;
};

// ---- State ----

struct DrawingState {
  ObjectTable<FontObject> fonts;
  VectorState vector;
};

DrawingState Drawing;
thread_local std::unique_ptr<DrawingTarget> CurrentTarget;

// ---- Raster helpers ----

uint8_t* PixelAt(DrawingTarget& target, int x, int y) {
  const int row = target.bottom_up ? target.height - 1 - y : y;
  return target.pixels + target.pitch * row + int64_t{x} * target.bytes_per_pixel;
}

// ---- Vector helpers ----

double ToInches(double value, int unit, double resolution) {
  switch (unit) {
    case kUnitPixel: return value / resolution;
    case kUnitPoint: return value / kPointsPerInch;
    case kUnitMillimetre: return value / kMillimetresPerInch;
    default: return value;
  }
}

double FromInches(double value, int unit, double resolution) {
  switch (unit) {
    case kUnitPixel: return value * resolution;
    case kUnitPoint: return value * kPointsPerInch;
    case kUnitMillimetre: return value * kMillimetresPerInch;
    default: return value;
  }
}

double ConvertUnits(double value, int from, int to, double resolution) {
  if (from == to) return value;
  return FromInches(ToInches(value, from, resolution), to, resolution);
}

double ScreenResolution() {
  GdkScreen* screen = gdk_screen_get_default();
  const double resolution = screen ? gdk_screen_get_resolution(screen) : -1;
  return resolution > 0 ? resolution : kDefaultResolution;
}

// The picture's pixels as cairo wants them: native 32-bit words, premultiplied when with alpha.
void CopyIntoSurface(GdkPixbuf* picture, cairo_surface_t* surface) {
  const bool alpha = gdk_pixbuf_get_has_alpha(picture);
  const int channels = gdk_pixbuf_get_n_channels(picture);
  const int width = gdk_pixbuf_get_width(picture), height = gdk_pixbuf_get_height(picture);
  const int from_stride = gdk_pixbuf_get_rowstride(picture);
  const uint8_t* from_pixels = gdk_pixbuf_read_pixels(picture);
  cairo_surface_flush(surface);
  uint8_t* to_pixels = cairo_image_surface_get_data(surface);
  const int to_stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < height; ++y) {
    const uint8_t* from = from_pixels + int64_t{from_stride} * y;
    auto* to = reinterpret_cast<uint32_t*>(to_pixels + int64_t{to_stride} * y);
    for (int x = 0; x < width; ++x, from += channels) {
      uint32_t red = from[0], green = from[1], blue = from[2], a = 255;
      if (alpha) {
        a = from[3];
        red = red * a / 255;
        green = green * a / 255;
        blue = blue * a / 255;
      }
      to[x] = a << 24 | red << 16 | green << 8 | blue;
    }
  }
  cairo_surface_mark_dirty(surface);
}

// What was drawn goes back into the picture; premultiplied colours are divided out again, and a
// pixel left fully transparent comes back as 0, 0, 0, 0.
void CopyBackFromSurface(cairo_surface_t* surface, GdkPixbuf* picture) {
  cairo_surface_flush(surface);
  const bool surface_alpha = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32;
  const bool alpha = gdk_pixbuf_get_has_alpha(picture);
  const int channels = gdk_pixbuf_get_n_channels(picture);
  // The image may have been resized or replaced while drawing: only the common part goes back.
  const int width = std::min(gdk_pixbuf_get_width(picture), cairo_image_surface_get_width(surface));
  const int height = std::min(gdk_pixbuf_get_height(picture), cairo_image_surface_get_height(surface));
  const int to_stride = gdk_pixbuf_get_rowstride(picture);
  uint8_t* to_pixels = gdk_pixbuf_get_pixels(picture);
  const uint8_t* from_pixels = cairo_image_surface_get_data(surface);
  const int from_stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < height; ++y) {
    const auto* from = reinterpret_cast<const uint32_t*>(from_pixels + int64_t{from_stride} * y);
    uint8_t* to = to_pixels + int64_t{to_stride} * y;
    for (int x = 0; x < width; ++x, to += channels) {
      const uint32_t word = from[x];
      uint32_t colour[3] = {(word >> 16) & 0xFF, (word >> 8) & 0xFF, word & 0xFF};
      const uint32_t a = word >> 24;
      if (surface_alpha && alpha) {
        for (uint32_t& c : colour) c = a == 0 ? 0 : std::min<uint32_t>(255, static_cast<uint32_t>(c * 255.0 / a + 0.5));
      }
      for (int c = 0; c < 3; ++c) to[c] = static_cast<uint8_t>(colour[c]);
      if (alpha) to[3] = static_cast<uint8_t>(surface_alpha ? a : 255);
    }
  }
}

void ResetVector() {
  VectorState& v = Drawing.vector;
  if (v.surface) {
    if (const ImageObject* image = image_find(v.image); image && image->pixbuf) CopyBackFromSurface(v.surface, image->pixbuf);
    cairo_surface_destroy(v.surface);
  }
  if (v.layout) g_object_unref(v.layout);
  if (v.cairo) cairo_destroy(v.cairo);
  v = VectorState{};
}

// The layout with `text` set and brought up to date with the context; null outside drawing.
PangoLayout* LayoutWith(const Text& text) {
  VectorState& v = Drawing.vector;
  if (!v.active || !v.layout) return nullptr;
  pango_layout_set_text(v.layout, text_to_utf8(text).c_str(), -1);
  if (v.layout_dirty) {
    pango_cairo_update_layout(v.cairo, v.layout);
    v.layout_dirty = false;
  }
  return v.layout;
}

double Measure(const Text& text, int flags, bool horizontal) {
  PangoLayout* layout = LayoutWith(text);
  if (!layout) return 0;
  if (!horizontal && (flags & kMeasureBaseline)) return pango_layout_get_baseline(layout) / double{PANGO_SCALE};
  PangoRectangle ink{}, logical{};
  pango_layout_get_extents(layout, &ink, &logical);
  const PangoRectangle& r = (flags & kMeasureInk) ? ink : logical;
  const int value = (flags & kMeasureOffset) ? (horizontal ? r.x : r.y) : (horizontal ? r.width : r.height);
  return value / double{PANGO_SCALE};
}

}  // namespace

// ---- Colours ----

uint32_t rgb(int red, int green, int blue) {
  return static_cast<uint32_t>(red & 0xFF) | static_cast<uint32_t>(green & 0xFF) << 8 |
         static_cast<uint32_t>(blue & 0xFF) << 16;
}

uint32_t rgba(int red, int green, int blue, int alpha) {
  return rgb(red, green, blue) | static_cast<uint32_t>(alpha & 0xFF) << 24;
}

// ---- Fonts ----

void font_init() {}

int64_t font_load(int64_t number, const Text& name, double size, int style) {
  PangoFontDescription* description = pango_font_description_from_string(text_to_utf8(name).c_str());
  if (!description) {
    if (number != kNewObject) Drawing.fonts.Free(number);
    return 0;
  }
  pango_font_description_set_size(description, static_cast<gint>(size * PANGO_SCALE));
  if (style & kFontBold) pango_font_description_set_weight(description, PANGO_WEIGHT_BOLD);
  if (style & kFontItalic) pango_font_description_set_style(description, PANGO_STYLE_ITALIC);
  int64_t handle = 0;
  FontObject* font = Drawing.fonts.Create(number, &handle);
  if (!font) {
    pango_font_description_free(description);
    return 0;
  }
  font->description = description;
  return handle;
}

PangoFontDescription* font_handle(int64_t number) {
  const FontObject* font = Drawing.fonts.Find(number);
  return font ? font->description : nullptr;
}

void font_free(int64_t number) { Drawing.fonts.Free(number); }

void font_shutdown() { Drawing.fonts.Free(kAllObjects); }

// ---- Raster drawing ----

void drawing_init() {}

DrawingTarget* drawing_make_target() {
  if (CurrentTarget && CurrentTarget->finish) CurrentTarget->finish(*CurrentTarget, false);
  CurrentTarget = std::make_unique<DrawingTarget>();
  return CurrentTarget.get();
}

DrawingTarget* image_output(int64_t image_number) {
  const ImageObject* image = image_find(image_number);
  if (!image || !image->pixbuf) return nullptr;
  DrawingTarget* target = drawing_make_target();
  target->pixels = gdk_pixbuf_get_pixels(image->pixbuf);
  target->pitch = gdk_pixbuf_get_rowstride(image->pixbuf);
  target->width = gdk_pixbuf_get_width(image->pixbuf);
  target->height = gdk_pixbuf_get_height(image->pixbuf);
  target->bytes_per_pixel = gdk_pixbuf_get_has_alpha(image->pixbuf) ? 4 : 3;
  target->depth = image->depth;
  // The pixels stay alive until drawing stops, even if the image is freed or resized before.
  GdkPixbuf* pixbuf = GDK_PIXBUF(g_object_ref(image->pixbuf));
  target->finish = [pixbuf](DrawingTarget&, bool) { g_object_unref(pixbuf); };
  return target;
}

uintptr_t drawing_start(DrawingTarget* target) {
  if (!target) return 0;
  if (target != CurrentTarget.get() || !target->pixels) {
    // Not the current target (already stopped) or no pixels: nothing can be drawn on it.
    if (target == CurrentTarget.get()) {
      if (target->finish) target->finish(*target, false);
      CurrentTarget.reset();
    }
    return 0;
  }
  return reinterpret_cast<uintptr_t>(target->pixels);
}

void drawing_stop() {
  if (!CurrentTarget) return;
  std::unique_ptr<DrawingTarget> target = std::move(CurrentTarget);
  if (target->finish) target->finish(*target, true);
}

void draw_box(int x, int y, int width, int height, uint32_t colour) {
  DrawingTarget* target = CurrentTarget.get();
  if (!target || !target->pixels) return;
  int64_t left = int64_t{x} + target->origin_x, top = int64_t{y} + target->origin_y;
  int64_t w = width, h = height;
  if (w < 0) {
    left += w;
    w = -w;
  }
  if (h < 0) {
    top += h;
    h = -h;
  }
  const int64_t x0 = std::max<int64_t>(left, 0), y0 = std::max<int64_t>(top, 0);
  const int64_t x1 = std::min<int64_t>(left + w, target->width), y1 = std::min<int64_t>(top + h, target->height);
  if (x0 >= x1 || y0 >= y1) return;
  const uint8_t red = colour & 0xFF, green = (colour >> 8) & 0xFF, blue = (colour >> 16) & 0xFF;
  for (int64_t row = y0; row < y1; ++row) {
    uint8_t* pixel = PixelAt(*target, static_cast<int>(x0), static_cast<int>(row));
    for (int64_t column = x0; column < x1; ++column, pixel += target->bytes_per_pixel) {
      pixel[0] = red;
      pixel[1] = green;
      pixel[2] = blue;
    }
  }
}

void draw_image(GdkPixbuf* picture, int x, int y) {
  DrawingTarget* target = CurrentTarget.get();
  if (!target || !target->pixels || !picture) return;
  const int width = gdk_pixbuf_get_width(picture), height = gdk_pixbuf_get_height(picture);
  const int channels = gdk_pixbuf_get_n_channels(picture);
  const int stride = gdk_pixbuf_get_rowstride(picture);
  const uint8_t* source = gdk_pixbuf_read_pixels(picture);
  const int64_t left = int64_t{x} + target->origin_x, top = int64_t{y} + target->origin_y;
  // Source pixels left of or above the target are skipped.
  const int64_t skip_x = std::max<int64_t>(0, -left), skip_y = std::max<int64_t>(0, -top);
  const int64_t columns = std::min<int64_t>(width, target->width - left) - skip_x;
  const int64_t rows = std::min<int64_t>(height, target->height - top) - skip_y;
  if (columns <= 0 || rows <= 0) return;
  for (int64_t row = 0; row < rows; ++row) {
    const uint8_t* from = source + stride * (skip_y + row) + channels * skip_x;
    uint8_t* to = PixelAt(*target, static_cast<int>(left + skip_x), static_cast<int>(top + skip_y + row));
    for (int64_t column = 0; column < columns; ++column, from += channels, to += target->bytes_per_pixel) {
      to[0] = from[0];
      to[1] = from[1];
      to[2] = from[2];
    }
  }
}

// ---- Vector drawing ----

void vector_init() { ResetVector(); }

int image_vector_output(int64_t image_number, int unit) {
  ResetVector();
  const ImageObject* image = image_find(image_number);
  if (!image || !image->pixbuf) return 0;
  const bool alpha = gdk_pixbuf_get_has_alpha(image->pixbuf);
  const int width = gdk_pixbuf_get_width(image->pixbuf), height = gdk_pixbuf_get_height(image->pixbuf);
  cairo_surface_t* surface = cairo_image_surface_create(alpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, width, height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return 0;
  }
  CopyIntoSurface(image->pixbuf, surface);
  VectorState& v = Drawing.vector;
  v.surface = surface;
  v.image = image_number;
  v.width = width;
  v.height = height;
  v.resolution_x = v.resolution_y = ScreenResolution();
  v.output_unit = kUnitPixel;
  v.drawing_unit = unit;
  return 1;
}

cairo_t* vector_drawing_start(int output) {
  VectorState& v = Drawing.vector;
  if (!output || !v.surface) return nullptr;
  if (v.cairo) cairo_destroy(v.cairo);
  if (v.layout) g_object_unref(v.layout);
  v.cairo = cairo_create(v.surface);
  const double width = ConvertUnits(v.width, v.output_unit, v.drawing_unit, v.resolution_x);
  const double height = ConvertUnits(v.height, v.output_unit, v.drawing_unit, v.resolution_y);
  if (width != 0 && height != 0) {
    cairo_matrix_t matrix;
    cairo_matrix_init_scale(&matrix, v.width / width, v.height / height);
    cairo_set_matrix(v.cairo, &matrix);
  }
  v.layout = pango_cairo_create_layout(v.cairo);
  v.layout_dirty = false;
  v.active = true;
  return v.cairo;
}

void vector_drawing_stop() { ResetVector(); }

void vector_move_to(double x, double y) {
  if (Drawing.vector.cairo) cairo_move_to(Drawing.vector.cairo, x, y);
}

void vector_source_color(uint32_t colour) {
  cairo_t* cairo = Drawing.vector.cairo;
  if (!cairo) return;
  const double red = (colour & 0xFF) / 255.0, green = ((colour >> 8) & 0xFF) / 255.0;
  const double blue = ((colour >> 16) & 0xFF) / 255.0, alpha = (colour >> 24) / 255.0;
  cairo_set_source_rgba(cairo, red, green, blue, alpha);
}

void vector_font(const PangoFontDescription* font, double size) {
  VectorState& v = Drawing.vector;
  if (!font || !v.layout) return;
  const double points = ConvertUnits(size, v.output_unit, kUnitPoint, v.resolution_y);
  PangoFontDescription* copy = pango_font_description_copy(font);
  if (!copy) return;
  pango_font_description_set_size(copy, static_cast<gint>(points * PANGO_SCALE));
  pango_layout_set_font_description(v.layout, copy);
  pango_font_description_free(copy);
  v.layout_dirty = true;
}

void vector_text_draw(const Text& text) {
  if (text.empty()) return;
  PangoLayout* layout = LayoutWith(text);
  if (layout) pango_cairo_show_layout(Drawing.vector.cairo, layout);
}

void vector_paragraph_draw(const Text& text, double width, double height, int flags) {
  VectorState& v = Drawing.vector;
  if (text.empty() || !v.active || !v.layout) return;
  PangoLayout* layout = pango_layout_copy(v.layout);
  pango_layout_set_text(layout, text_to_utf8(text).c_str(), -1);
  pango_layout_set_width(layout, static_cast<int>(PANGO_SCALE * width));
  pango_layout_set_height(layout, static_cast<int>(PANGO_SCALE * height));
  pango_layout_set_wrap(layout, PANGO_WRAP_WORD);
  pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
  if (flags & kParagraphJustify) {
    pango_layout_set_justify(layout, TRUE);
  } else {
    pango_layout_set_justify(layout, FALSE);
    pango_layout_set_alignment(layout, (flags & kParagraphRight)    ? PANGO_ALIGN_RIGHT
                                       : (flags & kParagraphCentre) ? PANGO_ALIGN_CENTER
                                                                    : PANGO_ALIGN_LEFT);
  }
  pango_cairo_update_layout(v.cairo, layout);
  pango_cairo_show_layout(v.cairo, layout);
  g_object_unref(layout);
}

void vector_image_draw(GdkPixbuf* picture, int alpha, double width, double height) {
  VectorState& v = Drawing.vector;
  if (!picture || !v.cairo) return;
  const int picture_width = gdk_pixbuf_get_width(picture), picture_height = gdk_pixbuf_get_height(picture);
  if (picture_width == 0 || picture_height == 0) return;
  if (width <= 0 || height <= 0) {
    width = ConvertUnits(picture_width, kUnitPixel, v.drawing_unit, v.resolution_x);
    height = ConvertUnits(picture_height, kUnitPixel, v.drawing_unit, v.resolution_y);
  }
  double x = 0, y = 0;
  if (cairo_has_current_point(v.cairo)) cairo_get_current_point(v.cairo, &x, &y);
  cairo_save(v.cairo);
  cairo_translate(v.cairo, x, y);
  cairo_scale(v.cairo, width / picture_width, height / picture_height);
  gdk_cairo_set_source_pixbuf(v.cairo, picture, 0, 0);
  if (alpha > 254) {
    cairo_paint(v.cairo);
  } else {
    cairo_paint_with_alpha(v.cairo, alpha / 255.0);
  }
  cairo_restore(v.cairo);
  cairo_move_to(v.cairo, x + width, y + height);
}

double vector_text_width(const Text& text, int flags) { return Measure(text, flags, true); }

double vector_text_height(const Text& text, int flags) { return Measure(text, flags, false); }
