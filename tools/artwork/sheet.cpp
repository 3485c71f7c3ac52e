// The contact sheet: every picture of the asset folder on one page, the title screens composed
// as the game shows them, so the pictures can be looked at together.
#include <cmath>

#include "tools/artwork/artwork.h"

namespace artwork {
namespace {

// Loads a PNG; with keyed set, pure black pixels become transparent as in the game.
cairo_surface_t* Load(const std::string& path, bool keyed) {
  cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
  if (cairo_surface_status(png) != CAIRO_STATUS_SUCCESS || !keyed) return png;
  int w = cairo_image_surface_get_width(png), h = cairo_image_surface_get_height(png);
  cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_t* cr = cairo_create(out);
  cairo_set_source_surface(cr, png, 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(out);
  unsigned char* data = cairo_image_surface_get_data(out);
  int stride = cairo_image_surface_get_stride(out);
  for (int y = 0; y < h; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(data + y * stride);
    for (int x = 0; x < w; ++x) {
      if ((row[x] & 0xffffff) == 0) row[x] = 0;
    }
  }
  cairo_surface_mark_dirty(out);
  cairo_surface_destroy(png);
  return out;
}

// Paints a picture scaled to width w at (x, y).
void Place(cairo_t* cr, cairo_surface_t* picture, double x, double y, double w) {
  double scale = w / cairo_image_surface_get_width(picture);
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_scale(cr, scale, scale);
  cairo_set_source_surface(cr, picture, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
  cairo_paint(cr);
  cairo_restore(cr);
}

// The title screen at width w: the background zoomed to 1.2 times the width, centred on the
// title picture's lower middle and tilted, then the title picture over it.
void TitleScreen(cairo_t* cr, cairo_surface_t* back, cairo_surface_t* title, double x, double y,
                 double w, double tilt) {
  double h = w * cairo_image_surface_get_height(title) / cairo_image_surface_get_width(title);
  double bw = 1.2 * w;
  double bh = bw * cairo_image_surface_get_height(back) / cairo_image_surface_get_width(back);
  cairo_save(cr);
  cairo_rectangle(cr, x, y, w, h);
  cairo_clip(cr);
  cairo_save(cr);
  cairo_translate(cr, x + w / 2, y + h);
  cairo_rotate(cr, tilt * 3.14159265358979 / 180);
  cairo_scale(cr, bw / cairo_image_surface_get_width(back), bh / cairo_image_surface_get_height(back));
  cairo_set_source_surface(cr, back, -cairo_image_surface_get_width(back) / 2.0,
                           -cairo_image_surface_get_height(back) / 2.0);
  cairo_paint(cr);
  cairo_restore(cr);
  Place(cr, title, x, y, w);
  cairo_restore(cr);
}

}  // namespace

bool WriteContactSheet(const std::string& folder, const std::string& path) {
  const double kCell = 600;
  artstyle::Canvas sheet(int(kCell * 3 + 40), 1560);
  cairo_t* cr = sheet.cr();
  artstyle::SetColour(cr, {40, 40, 44});
  cairo_paint(cr);
  cairo_surface_t* back = Load(folder + "/titleback_c.png", false);
  double y = 10, row_height = 0;
  for (size_t i = 0; i < AspectShapes().size(); ++i) {
    const AspectShape& shape = AspectShapes()[i];
    cairo_surface_t* title = Load(folder + "/title_" + shape.suffix + ".png", true);
    double x = 10 + (i % 3) * (kCell + 10);
    TitleScreen(cr, back, title, x, y, kCell, i % 2 ? 3 : -3);
    row_height = std::max(row_height, kCell * shape.height / shape.width);
    cairo_surface_destroy(title);
    if (i % 3 == 2) y += row_height + 10, row_height = 0;
  }
  for (size_t i = 0; i < AspectShapes().size(); ++i) {
    cairo_surface_t* splash = Load(folder + "/tgs_" + std::string(AspectShapes()[i].suffix) + ".png", false);
    Place(cr, splash, 10 + i * 300, y, 290);
    cairo_surface_destroy(splash);
  }
  y += 230;
  const char* small[] = {"crate.png",     "tile_01.png",  "idle_left.png", "idle_right.png",
                         "idle_up.png",   "idle_down.png", "push_left.png", "push_right.png",
                         "push_up.png",   "push_down.png", "locked.png"};
  double x = 10;
  for (const char* name : small) {
    cairo_surface_t* picture = Load(folder + "/" + name, false);
    artstyle::SetColour(cr, artstyle::kFloor);
    cairo_rectangle(cr, x, y, 128, 128);
    cairo_fill(cr);
    Place(cr, picture, x, y, 128);
    cairo_surface_destroy(picture);
    x += 138;
    if (x > kCell * 3 - 128) x = 10, y += 138;
  }
  Place(cr, back, 10, y + 140, 200);
  cairo_surface_destroy(back);
  return artstyle::WritePng(sheet, artstyle::PngKind::Opaque, path);
}

}  // namespace artwork
