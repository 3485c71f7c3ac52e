// The shared look of Cratevale's pictures: palette helpers, the board pieces drawn with cairo
// and the deterministic PNG writer. Pieces are designed on a 64-unit square and scaled to the
// size asked for, so the same drawing serves 64-pixel asset tiles and tiny thumbnail cells.
#include "tools/artstyle/artstyle.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace artstyle {
namespace {

constexpr double kUnit = 64.0;  // pieces are designed on a 64 x 64 square
constexpr double kPi = 3.14159265358979323846;

// A small deterministic hash so that variants place their details the same way every run.
uint32_t Scramble(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

double HashUnit(uint32_t seed, uint32_t index) {
  return (Scramble(seed * 0x9e3779b9U + index) & 0xffffff) / double(0x1000000);
}

// Rectangle whose corners each have their own radius (top left, top right, bottom right,
// bottom left; 0 gives a square corner).
void CornerRect(cairo_t* cr, double x, double y, double w, double h, const double radius[4]) {
  struct Corner {
    double cx, cy, dx, dy, from;  // corner point, direction to the arc's centre, start angle
  };
  const Corner corners[4] = {{x + w, y, -1, 1, -kPi / 2},
                             {x + w, y + h, -1, -1, 0},
                             {x, y + h, 1, -1, kPi / 2},
                             {x, y, 1, 1, kPi}};
  const int radius_of[4] = {1, 2, 3, 0};
  cairo_new_sub_path(cr);
  for (int i = 0; i < 4; ++i) {
    const Corner& c = corners[i];
    double r = radius[radius_of[i]];
    if (r <= 0) {
      cairo_line_to(cr, c.cx, c.cy);
    } else {
      cairo_arc(cr, c.cx + c.dx * r, c.cy + c.dy * r, r, c.from, c.from + kPi / 2);
    }
  }
  cairo_close_path(cr);
}

void Outline(cairo_t* cr, double width) {
  SetColour(cr, kInk);
  cairo_set_line_width(cr, width);
  cairo_stroke(cr);
}

// Fills the current path and strokes its edge in another colour.
void FillThenStroke(cairo_t* cr, Colour fill, Colour line, double width) {
  SetColour(cr, fill);
  cairo_fill_preserve(cr);
  SetColour(cr, line);
  cairo_set_line_width(cr, width);
  cairo_stroke(cr);
}

void FillAndOutline(cairo_t* cr, Colour fill, double width) {
  FillThenStroke(cr, fill, kInk, width);
}

// Starts drawing a piece: saves the state and switches to the 64-unit design square.
void BeginPiece(cairo_t* cr, double size) {
  cairo_save(cr);
  cairo_scale(cr, size / kUnit, size / kUnit);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
}

// ---- Keeper ----------------------------------------------------------------------------------

constexpr Colour kShirt{250, 232, 200};
constexpr Colour kHair{120, 70, 36};
constexpr Colour kCheek{236, 150, 130};

void KeeperShadow(cairo_t* cr) {
  cairo_save(cr);
  cairo_translate(cr, 32, 58);
  cairo_scale(cr, 17, 4.5);
  cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
  cairo_restore(cr);
  SetColour(cr, kInk, 0.28);
  cairo_fill(cr);
}

void Hand(cairo_t* cr, double x, double y) {
  cairo_arc(cr, x, y, 3.6, 0, 2 * kPi);
  FillAndOutline(cr, kSkin, 1.4);
}

// An arm from the shoulder to the hand: a thick sleeve line with an outline, then the hand.
void Arm(cairo_t* cr, double sx, double sy, double hx, double hy) {
  cairo_move_to(cr, sx, sy);
  cairo_line_to(cr, hx, hy);
  SetColour(cr, kInk);
  cairo_set_line_width(cr, 7.6);
  cairo_stroke_preserve(cr);
  SetColour(cr, kShirt);
  cairo_set_line_width(cr, 4.8);
  cairo_stroke(cr);
  Hand(cr, hx, hy);
}

void Boot(cairo_t* cr, double x, double y, double w) {
  RoundedRect(cr, x, y, w, 7, 2.5);
  FillAndOutline(cr, kBoot, 1.4);
}

void Overalls(cairo_t* cr, double x, double y, double w, double h) {
  RoundedRect(cr, x, y, w, h, 5);
  VerticalGradient(cr, y, y + h, kOveralls, kOverallsDark);
  cairo_fill_preserve(cr);
  Outline(cr, 1.6);
}

// The cap's crown over the top of the head (centre cx, cy, radius r).
void CapCrown(cairo_t* cr, double cx, double cy, double r) {
  cairo_arc(cr, cx, cy, r + 0.6, kPi * 1.02, kPi * 1.98);
  cairo_close_path(cr);
  VerticalGradient(cr, cy - r, cy, kOrange, kDeepOrange);
  cairo_fill_preserve(cr);
  Outline(cr, 1.5);
  cairo_arc(cr, cx, cy - r * 0.62, 1.8, 0, 2 * kPi);  // the button on top
  SetColour(cr, kDeepOrange);
  cairo_fill(cr);
}

void Head(cairo_t* cr, double cx, double cy, double r) {
  cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
  FillAndOutline(cr, kSkin, 1.6);
}

void FrontFigure(cairo_t* cr, bool pushing) {
  // Pushing towards the viewer: the keeper leans in, arms stretched down to the cell's edge.
  double lean = pushing ? 3 : 0;
  Boot(cr, 22, 50, 9);
  Boot(cr, 33, 50, 9);
  Overalls(cr, 20, 32 + lean, 24, 20);
  if (pushing) {
    Arm(cr, 21, 36 + lean, 20, 59);
    Arm(cr, 43, 36 + lean, 44, 59);
  } else {
    Arm(cr, 20, 36, 15, 48);
    Arm(cr, 44, 36, 49, 48);
  }
  // Straps and buttons of the overalls.
  SetColour(cr, kOverallsDark);
  cairo_set_line_width(cr, 2.4);
  cairo_move_to(cr, 25, 33 + lean);
  cairo_line_to(cr, 26, 40 + lean);
  cairo_move_to(cr, 39, 33 + lean);
  cairo_line_to(cr, 38, 40 + lean);
  cairo_stroke(cr);
  SetColour(cr, kOrange);
  cairo_arc(cr, 26, 41 + lean, 1.4, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_arc(cr, 38, 41 + lean, 1.4, 0, 2 * kPi);
  cairo_fill(cr);

  double hy = 21 + lean;
  Head(cr, 32, hy, 12.5);
  CapCrown(cr, 32, hy - 1, 13);
  RoundedRect(cr, 17, hy - 2.5, 30, 4, 2);  // brim facing the viewer
  FillAndOutline(cr, kDeepOrange, 1.3);
  SetColour(cr, kInk);
  cairo_arc(cr, 27, hy + 4.5, 2.1, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_arc(cr, 37, hy + 4.5, 2.1, 0, 2 * kPi);
  cairo_fill(cr);
  SetColour(cr, kCheek, 0.8);
  cairo_arc(cr, 24, hy + 8, 2, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_arc(cr, 40, hy + 8, 2, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_arc(cr, 32, hy + 7.5, 3, 0.15 * kPi, 0.85 * kPi);  // a small smile
  Outline(cr, 1.3);
}

void BackFigure(cairo_t* cr, bool pushing) {
  // Pushing away from the viewer: arms raised to the cell's top edge.
  double lean = pushing ? -2 : 0;
  Boot(cr, 22, 50, 9);
  Boot(cr, 33, 50, 9);
  Overalls(cr, 20, 32 + lean, 24, 20);
  SetColour(cr, kOverallsDark);  // crossed straps on the back
  cairo_set_line_width(cr, 2.4);
  cairo_move_to(cr, 24, 33 + lean);
  cairo_line_to(cr, 40, 44 + lean);
  cairo_move_to(cr, 40, 33 + lean);
  cairo_line_to(cr, 24, 44 + lean);
  cairo_stroke(cr);
  double hy = 21 + lean;
  if (pushing) {
    Arm(cr, 21, 35 + lean, 19, 5);
    Arm(cr, 43, 35 + lean, 45, 5);
  } else {
    Arm(cr, 20, 36, 15, 48);
    Arm(cr, 44, 36, 49, 48);
  }
  cairo_arc(cr, 19.5, hy + 3, 2.6, 0, 2 * kPi);  // ears on either side
  FillAndOutline(cr, kSkin, 1.1);
  cairo_arc(cr, 44.5, hy + 3, 2.6, 0, 2 * kPi);
  FillAndOutline(cr, kSkin, 1.1);
  cairo_arc(cr, 32, hy, 12.5, 0, 2 * kPi);  // the back of the head is all hair
  FillAndOutline(cr, kHair, 1.6);
  CapCrown(cr, 32, hy + 1, 13);
  RoundedRect(cr, 28, hy - 1, 8, 3, 1.2);  // the cap's strap at the back
  FillAndOutline(cr, kDeepOrange, 1.0);
}

// Seen from the side, facing right; the left-facing pictures mirror it.
void SideFigure(cairo_t* cr, bool pushing) {
  if (pushing) {
    // Lean into the push: the body tilts forward about the feet and the back leg braces.
    Boot(cr, 12, 50, 11);
    Boot(cr, 31, 50, 11);
    cairo_save(cr);
    cairo_translate(cr, 30, 56);
    cairo_rotate(cr, 0.26);
    cairo_translate(cr, -30, -56);
  } else {
    Boot(cr, 24, 50, 12);
    Boot(cr, 28, 51, 12);
  }
  if (!pushing) Arm(cr, 30, 35, 29, 47);  // the far arm, behind the body
  Overalls(cr, 23, 32, 18, 20);
  SetColour(cr, kOverallsDark);
  cairo_set_line_width(cr, 2.4);
  cairo_move_to(cr, 34, 33);
  cairo_line_to(cr, 35, 41);
  cairo_stroke(cr);
  Head(cr, 32, 21, 12.5);
  cairo_arc(cr, 32, 21, 12.5, 0.62 * kPi, 1.15 * kPi);  // hair at the back of the head
  cairo_close_path(cr);
  FillAndOutline(cr, kHair, 1.3);
  CapCrown(cr, 32, 20, 13);
  RoundedRect(cr, 34, 17.5, 17, 4, 2);  // brim pointing where the keeper looks
  FillAndOutline(cr, kDeepOrange, 1.3);
  cairo_arc(cr, 28.5, 24.5, 2.2, 0, 2 * kPi);  // ear
  SetColour(cr, kSkin);
  cairo_fill_preserve(cr);
  SetColour(cr, Mix(kSkin, kInk, 0.45));
  cairo_set_line_width(cr, 0.9);
  cairo_stroke(cr);
  SetColour(cr, kInk);
  cairo_arc(cr, 39, 24.5, 2.1, 0, 2 * kPi);  // eye
  cairo_fill(cr);
  cairo_arc(cr, 44.5, 26.5, 2.3, -0.6 * kPi, 0.6 * kPi);  // nose
  FillAndOutline(cr, kSkin, 1.2);
  SetColour(cr, kCheek, 0.8);
  cairo_arc(cr, 38, 29, 1.8, 0, 2 * kPi);
  cairo_fill(cr);
  if (pushing) {
    cairo_restore(cr);
    // Both arms stretched level to the edge of the cell, where the crate is.
    Arm(cr, 36, 37, 60, 36);
    Arm(cr, 33, 41, 60, 42);
  } else {
    Arm(cr, 33, 36, 34, 48);  // the near arm, hanging
  }
}

// ---- Grass -----------------------------------------------------------------------------------

// Grass is a speck in each cell of a fine grid and a tuft in each cell of a coarse one, each at a
// hashed spot in its cell: one detail per cell keeps the grass equally dense everywhere.
constexpr int kSpeckCells = 16;  // the fine grid has 16 x 16 cells per tile
constexpr int kTuftCells = 8;    // the coarse grid has 8 x 8
constexpr uint32_t kGrassSharedSeed = 0x1fe68e72U;  // the pattern every variant shares
constexpr double kBladeWidth = 1.6;
// How far a tuft reaches from its foot, half a blade's width included.
constexpr double kTuftSide = 4.5, kTuftUp = 6.5, kTuftDown = 1.0;

struct GrassDetail {
  double x, y;      // the speck's centre or the tuft's foot
  double size;      // the speck's radius; unused for a tuft
  bool dark;        // dark green, else light
  double reach[4];  // how far it reaches left, right, up and down from (x, y)
};

GrassDetail GrassDetailOf(uint32_t seed, int cells, int cx, int cy, bool tuft) {
  double cell = kUnit / cells;
  GrassDetail d{(cx + HashUnit(seed, 0)) * cell, (cy + HashUnit(seed, 1)) * cell,
                0.7 + 0.6 * HashUnit(seed, 2), HashUnit(seed, 3) < 0.5, {}};
  const double tuft_reach[4] = {kTuftSide, kTuftSide, kTuftUp, kTuftDown};
  for (int i = 0; i < 4; ++i) d.reach[i] = tuft ? tuft_reach[i] : d.size;
  return d;
}

// Whether any part of the detail lies beyond an edge of the tile.
bool CrossesEdge(const GrassDetail& d) {
  return d.x - d.reach[0] < 0 || d.x + d.reach[1] > kUnit || d.y - d.reach[2] < 0 ||
         d.y + d.reach[3] > kUnit;
}

// Calls draw(x, y) for the detail at (x, y) and for each copy of it shifted by a whole tile that
// still reaches into the tile. Together with the clip to the tile, the copies make a detail cut
// by one edge come back in over the opposite edge.
template <typename Draw>
void ForEachWrap(const GrassDetail& d, Draw draw) {
  for (double dy : {-kUnit, 0.0, kUnit}) {
    if (d.y + dy + d.reach[3] <= 0 || d.y + dy - d.reach[2] >= kUnit) continue;
    for (double dx : {-kUnit, 0.0, kUnit}) {
      if (d.x + dx + d.reach[1] <= 0 || d.x + dx - d.reach[0] >= kUnit) continue;
      draw(d.x + dx, d.y + dy);
    }
  }
}

// Calls draw(detail) for the detail of each cell of a grid of cells x cells. The tile wraps
// around: details that cross an edge come from a pattern shared by every variant, so that any two
// tiles laid side by side join as if drawn in one piece; the others change with the variant. A
// cell takes the shared detail whenever either candidate crosses an edge, which leaves where a
// detail falls equally likely everywhere, so the edges are as dense as the inside.
template <typename Draw>
void ForEachGrassDetail(uint32_t variant_seed, uint32_t grid, int cells, bool tufts, Draw draw) {
  for (int cy = 0; cy < cells; ++cy) {
    for (int cx = 0; cx < cells; ++cx) {
      uint32_t index = grid * 0x10000U + uint32_t(cy * cells + cx);
      GrassDetail shared = GrassDetailOf(Scramble(kGrassSharedSeed + index), cells, cx, cy, tufts);
      GrassDetail own = GrassDetailOf(Scramble(variant_seed + index), cells, cx, cy, tufts);
      draw(CrossesEdge(shared) || CrossesEdge(own) ? shared : own);
    }
  }
}

// Adds a blade of grass to the current path: a thin quadrilateral from (x0, y0) to (x1, y1),
// filled rather than stroked since that is far cheaper for many small shapes.
void AddBlade(cairo_t* cr, double x0, double y0, double x1, double y1) {
  const double half = kBladeWidth / 2;
  double dx = x1 - x0, dy = y1 - y0, length = std::sqrt(dx * dx + dy * dy);
  double nx = -dy / length * half, ny = dx / length * half;
  cairo_move_to(cr, x0 + nx, y0 + ny);
  cairo_line_to(cr, x1 + nx, y1 + ny);
  cairo_line_to(cr, x1 - nx, y1 - ny);
  cairo_line_to(cr, x0 - nx, y0 - ny);
  cairo_close_path(cr);
}

// Adds a detail at (x, y) to the current path: a speck, or a tuft's three short blades fanning
// up from its foot.
void AddGrassDetail(cairo_t* cr, const GrassDetail& d, bool tuft, double x, double y) {
  if (!tuft) {
    cairo_rectangle(cr, x - d.size, y - d.size, 2 * d.size, 2 * d.size);
    return;
  }
  AddBlade(cr, x - 2.5, y, x - 3.5, y - 4);
  AddBlade(cr, x, y, x, y - 5.5);
  AddBlade(cr, x + 2.5, y, x + 3.5, y - 4);
}

// ---- PNG -------------------------------------------------------------------------------------

void PngWriteToVector(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void PngFlushNothing(png_structp) {}

// Converts the canvas's premultiplied pixels into the rows that the PNG stores.
std::vector<uint8_t> PngRows(const Canvas& canvas, PngKind kind) {
  cairo_surface_flush(canvas.surface());
  const unsigned char* data = cairo_image_surface_get_data(canvas.surface());
  int stride = cairo_image_surface_get_stride(canvas.surface());
  int channels = kind == PngKind::Alpha ? 4 : 3;
  std::vector<uint8_t> rows(size_t(canvas.width()) * canvas.height() * channels);
  uint8_t* out = rows.data();
  for (int y = 0; y < canvas.height(); ++y) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(data + size_t(y) * stride);
    for (int x = 0; x < canvas.width(); ++x) {
      uint32_t pixel = row[x];
      int a = pixel >> 24, r = (pixel >> 16) & 255, g = (pixel >> 8) & 255, b = pixel & 255;
      if (kind == PngKind::Alpha) {
        if (a > 0) {
          r = std::min(255, (r * 255 + a / 2) / a);
          g = std::min(255, (g * 255 + a / 2) / a);
          b = std::min(255, (b * 255 + a / 2) / a);
        }
        *out++ = uint8_t(r), *out++ = uint8_t(g), *out++ = uint8_t(b), *out++ = uint8_t(a);
        continue;
      }
      if (kind == PngKind::Keyed && a == 0) {
        *out++ = 0, *out++ = 0, *out++ = 0;
        continue;
      }
      // Lay the pixel on the darkest opaque colour and keep it off the key colour.
      int under = 255 - a;
      r += (kNearBlack.r * under + 127) / 255;
      g += (kNearBlack.g * under + 127) / 255;
      b += (kNearBlack.b * under + 127) / 255;
      if (r == 0 && g == 0 && b == 0) r = g = b = 1;
      *out++ = uint8_t(r), *out++ = uint8_t(g), *out++ = uint8_t(b);
    }
  }
  return rows;
}

}  // namespace

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  r = std::min(r, std::min(w, h) / 2);
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
  cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
  cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
  cairo_close_path(cr);
}

void VerticalGradient(cairo_t* cr, double y0, double y1, Colour top, Colour bottom) {
  cairo_pattern_t* gradient = cairo_pattern_create_linear(0, y0, 0, y1);
  cairo_pattern_add_color_stop_rgb(gradient, 0, top.r / 255.0, top.g / 255.0, top.b / 255.0);
  cairo_pattern_add_color_stop_rgb(gradient, 1, bottom.r / 255.0, bottom.g / 255.0,
                                   bottom.b / 255.0);
  cairo_set_source(cr, gradient);
  cairo_pattern_destroy(gradient);
}

void SetColour(cairo_t* cr, Colour colour, double alpha) {
  if (alpha >= 1.0) {
    cairo_set_source_rgb(cr, colour.r / 255.0, colour.g / 255.0, colour.b / 255.0);
  } else {
    cairo_set_source_rgba(cr, colour.r / 255.0, colour.g / 255.0, colour.b / 255.0, alpha);
  }
}

Colour Mix(Colour a, Colour b, double t) {
  auto channel = [t](int x, int y) { return int(std::lround(x + (y - x) * t)); };
  return {channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b)};
}

void DrawFloor(cairo_t* cr, double size, int variant) {
  BeginPiece(cr, size);
  uint32_t seed = uint32_t(variant) * 2654435761U + 17;
  // Sandstone slab with a light upper-left rim and a grout line at the lower-right edges.
  cairo_rectangle(cr, 0, 0, kUnit, kUnit);
  SetColour(cr, kFloorShade);
  cairo_fill(cr);
  RoundedRect(cr, 1.5, 1.5, 61, 61, 4);
  VerticalGradient(cr, 0, kUnit, Mix(kFloor, kCream, 0.25), kFloor);
  cairo_fill(cr);
  cairo_move_to(cr, 3, 60);
  cairo_line_to(cr, 3, 4);
  cairo_line_to(cr, 60, 4);
  SetColour(cr, kCream, 0.55);
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  // A few pits and a hairline crack, placed by the variant.
  for (uint32_t i = 0; i < 4; ++i) {
    double x = 8 + 48 * HashUnit(seed, i * 3);
    double y = 8 + 48 * HashUnit(seed, i * 3 + 1);
    double r = 0.8 + 1.2 * HashUnit(seed, i * 3 + 2);
    cairo_arc(cr, x, y, r, 0, 2 * kPi);
    SetColour(cr, kFloorShade, 0.8);
    cairo_fill(cr);
  }
  if (HashUnit(seed, 99) < 0.5) {
    double x = 12 + 40 * HashUnit(seed, 100), y = 12 + 40 * HashUnit(seed, 101);
    cairo_move_to(cr, x, y);
    cairo_rel_line_to(cr, 5, 3);
    cairo_rel_line_to(cr, 3, -2);
    cairo_rel_line_to(cr, 4, 4);
    SetColour(cr, Mix(kFloorShade, kWoodDark, 0.3), 0.6);
    cairo_set_line_width(cr, 0.9);
    cairo_stroke(cr);
  }
  cairo_restore(cr);
}

void DrawTargetMark(cairo_t* cr, double size) {
  BeginPiece(cr, size);
  // A soft glow, an orange ring and a diamond in its middle: clear even at thumbnail size.
  cairo_pattern_t* glow = cairo_pattern_create_radial(32, 32, 4, 32, 32, 26);
  cairo_pattern_add_color_stop_rgba(glow, 0, kOrange.r / 255.0, kOrange.g / 255.0,
                                    kOrange.b / 255.0, 0.35);
  cairo_pattern_add_color_stop_rgba(glow, 1, kOrange.r / 255.0, kOrange.g / 255.0,
                                    kOrange.b / 255.0, 0.0);
  cairo_set_source(cr, glow);
  cairo_arc(cr, 32, 32, 26, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(glow);
  cairo_arc(cr, 32, 32, 17, 0, 2 * kPi);
  SetColour(cr, kDeepOrange);
  cairo_set_line_width(cr, 7);
  cairo_stroke_preserve(cr);
  SetColour(cr, kOrange);
  cairo_set_line_width(cr, 4.5);
  cairo_stroke(cr);
  cairo_move_to(cr, 32, 24);
  cairo_line_to(cr, 40, 32);
  cairo_line_to(cr, 32, 40);
  cairo_line_to(cr, 24, 32);
  cairo_close_path(cr);
  FillThenStroke(cr, kOrange, kDeepOrange, 1.5);
  cairo_restore(cr);
}

void DrawTarget(cairo_t* cr, double size) {
  DrawFloor(cr, size, 0);
  DrawTargetMark(cr, size);
}

void DrawWall(cairo_t* cr, double size, unsigned joins) {
  BeginPiece(cr, size);
  bool up = joins & kJoinUp, right = joins & kJoinRight, down = joins & kJoinDown,
       left = joins & kJoinLeft;
  // Dark footing first: it shows as the shadow where the block does not reach the cell edge.
  cairo_rectangle(cr, 0, 0, kUnit, kUnit);
  SetColour(cr, kStoneDark);
  cairo_fill(cr);
  const double inset = 2.5;
  double x0 = left ? 0 : inset, y0 = up ? 0 : inset;
  double x1 = right ? kUnit : kUnit - inset, y1 = down ? kUnit : kUnit - inset;
  const double round = 7;
  double radius[4] = {(!up && !left) ? round : 0, (!up && !right) ? round : 0,
                      (!down && !right) ? round : 0, (!down && !left) ? round : 0};
  CornerRect(cr, x0, y0, x1 - x0, y1 - y0, radius);
  cairo_save(cr);
  cairo_clip_preserve(cr);
  VerticalGradient(cr, 0, kUnit, kStoneLight, kStone);
  cairo_fill(cr);
  // Courses of stone: mortar lines every 16 units, the joints staggered from course to course.
  SetColour(cr, kStoneDark, 0.7);
  cairo_set_line_width(cr, 1.6);
  for (int course = 1; course < 4; ++course) {
    cairo_move_to(cr, 0, course * 16);
    cairo_line_to(cr, kUnit, course * 16);
  }
  for (int course = 0; course < 4; ++course) {
    double shift = (course % 2) ? 16 : 0;
    for (double x = shift; x <= kUnit; x += 32) {
      cairo_move_to(cr, x, course * 16 + 1);
      cairo_line_to(cr, x, course * 16 + 15);
    }
  }
  cairo_stroke(cr);
  SetColour(cr, kCream, 0.18);  // light catching the top of each stone
  cairo_set_line_width(cr, 1.2);
  for (int course = 0; course < 4; ++course) {
    cairo_move_to(cr, 0, course * 16 + 2);
    cairo_line_to(cr, kUnit, course * 16 + 2);
  }
  cairo_stroke(cr);
  cairo_restore(cr);
  // Bevel on the open sides: light above and to the left, shade below and to the right.
  cairo_set_line_width(cr, 3);
  if (!up) {
    cairo_move_to(cr, x0 + radius[0], y0 + 1.5);
    cairo_line_to(cr, x1 - radius[1], y0 + 1.5);
    SetColour(cr, kCream, 0.45);
    cairo_stroke(cr);
  }
  if (!left) {
    cairo_move_to(cr, x0 + 1.5, y0 + radius[0]);
    cairo_line_to(cr, x0 + 1.5, y1 - radius[3]);
    SetColour(cr, kCream, 0.3);
    cairo_stroke(cr);
  }
  if (!down) {
    cairo_move_to(cr, x0 + radius[3], y1 - 2);
    cairo_line_to(cr, x1 - radius[2], y1 - 2);
    SetColour(cr, kInk, 0.45);
    cairo_stroke(cr);
  }
  if (!right) {
    cairo_move_to(cr, x1 - 1.5, y0 + radius[1]);
    cairo_line_to(cr, x1 - 1.5, y1 - radius[2]);
    SetColour(cr, kInk, 0.35);
    cairo_stroke(cr);
  }
  cairo_restore(cr);
}

namespace {

void DrawGrassShapes(cairo_t* cr, double size, int variant) {
  BeginPiece(cr, size);
  cairo_rectangle(cr, 0, 0, kUnit, kUnit);
  cairo_clip_preserve(cr);  // details carried over an edge must not spill into the next cell
  SetColour(cr, kGround);
  cairo_fill(cr);
  const uint32_t variant_seed = uint32_t(variant) * 2246822519U + 3;
  // Each colour's specks, then each colour's tufts, go into one path filled at once: far quicker
  // than a drawing call per detail for the many small cells of a level thumbnail.
  for (bool tufts : {false, true}) {
    for (bool dark : {true, false}) {
      auto add = [&](const GrassDetail& d) {
        if (d.dark != dark) return;
        ForEachWrap(d, [&](double x, double y) { AddGrassDetail(cr, d, tufts, x, y); });
      };
      if (tufts) {
        ForEachGrassDetail(variant_seed, 2, kTuftCells, true, add);
      } else {
        ForEachGrassDetail(variant_seed, 1, kSpeckCells, false, add);
      }
      SetColour(cr, dark ? kGroundDark : Mix(kGround, kCream, 0.25), tufts ? 0.6 : 0.45);
      cairo_fill(cr);
    }
  }
  cairo_restore(cr);
}

// Grass cells already drawn, by variant, size in pixels and smoothing. A level thumbnail lays
// hundreds of grass cells of one size, each of hundreds of shapes; drawn once, a cell is then a
// copy, the same pixels as drawing it again.
struct GrassTile {
  int variant, pixels;
  cairo_antialias_t antialias;
  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface;
};
constexpr int kLargestCachedGrass = 256;  // larger cells are drawn each time
constexpr size_t kMostCachedGrass = 64;   // beyond this many, new kinds of cell too
struct {
  std::vector<GrassTile> tiles;
} GrassCache;

cairo_surface_t* CachedGrass(int variant, int pixels, cairo_antialias_t antialias) {
  for (const GrassTile& tile : GrassCache.tiles) {
    if (tile.variant == variant && tile.pixels == pixels && tile.antialias == antialias) {
      return tile.surface.get();
    }
  }
  if (GrassCache.tiles.size() >= kMostCachedGrass) return nullptr;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixels, pixels);
  cairo_t* cr = cairo_create(surface);
  cairo_set_antialias(cr, antialias);
  DrawGrassShapes(cr, pixels, variant);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  GrassCache.tiles.push_back({variant, pixels, antialias, {surface, &cairo_surface_destroy}});
  return surface;
}

bool IsWhole(double x) { return std::fabs(x - std::round(x)) < 1e-9; }

}  // namespace

void DrawGround(cairo_t* cr, double size, int variant) {
  // A cell lying on whole pixels, unturned, is copied from the cache; any other is drawn.
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  double pixels = size * m.xx;
  if (m.xy == 0 && m.yx == 0 && m.xx == m.yy && m.xx > 0 && IsWhole(pixels) && IsWhole(m.x0) &&
      IsWhole(m.y0) && pixels >= 1 && pixels <= kLargestCachedGrass) {
    int whole = int(std::round(pixels));
    if (cairo_surface_t* tile = CachedGrass(variant, whole, cairo_get_antialias(cr))) {
      cairo_save(cr);
      cairo_identity_matrix(cr);
      cairo_set_source_surface(cr, tile, std::round(m.x0), std::round(m.y0));
      cairo_rectangle(cr, std::round(m.x0), std::round(m.y0), whole, whole);
      cairo_fill(cr);
      cairo_restore(cr);
      return;
    }
  }
  DrawGrassShapes(cr, size, variant);
}

void DrawCrate(cairo_t* cr, double size) {
  BeginPiece(cr, size);
  // Fills the whole cell: the crate is drawn opaque over the floor.
  cairo_rectangle(cr, 0, 0, kUnit, kUnit);
  SetColour(cr, kFloorShade);
  cairo_fill(cr);
  RoundedRect(cr, 1.5, 1.5, 61, 61, 3.5);
  SetColour(cr, kWoodDark);
  cairo_fill_preserve(cr);
  Outline(cr, 2.4);
  // Inner panel of vertical boards.
  cairo_rectangle(cr, 11, 11, 42, 42);
  VerticalGradient(cr, 11, 53, kWood, Mix(kWood, kWoodDark, 0.35));
  cairo_fill(cr);
  SetColour(cr, kWoodDark, 0.8);
  cairo_set_line_width(cr, 1.4);
  for (double x = 21.5; x < 53; x += 10.5) {
    cairo_move_to(cr, x, 11);
    cairo_line_to(cr, x, 53);
  }
  cairo_stroke(cr);
  // Diagonal brace from the lower left to the upper right.
  cairo_move_to(cr, 11, 46);
  cairo_line_to(cr, 46, 11);
  cairo_line_to(cr, 53, 18);
  cairo_line_to(cr, 18, 53);
  cairo_close_path(cr);
  FillThenStroke(cr, kWoodLight, kWoodDark, 1.6);
  // The frame: four boards with a light top edge.
  const double frame[4][4] = {{4, 4, 56, 8}, {4, 52, 56, 8}, {4, 12, 8, 40}, {52, 12, 8, 40}};
  for (const auto& board : frame) {
    cairo_rectangle(cr, board[0], board[1], board[2], board[3]);
    VerticalGradient(cr, board[1], board[1] + board[3], Mix(kWoodLight, kCream, 0.2), kWoodLight);
    cairo_fill_preserve(cr);
    SetColour(cr, kWoodDark);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
  }
  // Nail heads at the corners.
  const double nails[4][2] = {{8, 8}, {56, 8}, {8, 56}, {56, 56}};
  for (const auto& nail : nails) {
    cairo_arc(cr, nail[0], nail[1], 1.6, 0, 2 * kPi);
    SetColour(cr, kInk, 0.85);
    cairo_fill(cr);
  }
  cairo_restore(cr);
}

void DrawKeeper(cairo_t* cr, double size, Facing facing, bool pushing) {
  BeginPiece(cr, size);
  KeeperShadow(cr);
  switch (facing) {
    case Facing::Down:
      FrontFigure(cr, pushing);
      break;
    case Facing::Up:
      BackFigure(cr, pushing);
      break;
    case Facing::Right:
      SideFigure(cr, pushing);
      break;
    case Facing::Left:
      cairo_translate(cr, kUnit, 0);
      cairo_scale(cr, -1, 1);
      SideFigure(cr, pushing);
      break;
  }
  cairo_restore(cr);
}

Canvas::Canvas(int width, int height)
    : surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
      cr_(cairo_create(surface_)),
      width_(width),
      height_(height) {
  cairo_set_antialias(cr_, CAIRO_ANTIALIAS_GOOD);
}

Canvas::~Canvas() {
  cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
}

// Runs libpng over prepared rows; kept apart so that nothing it reads is changed after setjmp.
static bool EncodeRows(std::vector<uint8_t>* out, const uint8_t* rows, int width, int height,
                int colour_type, size_t row_bytes) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, out, PngWriteToVector, PngFlushNothing);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, width, height, 8, colour_type, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) png_write_row(png, rows + size_t(y) * row_bytes);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

std::vector<uint8_t> EncodePng(const Canvas& canvas, PngKind kind) {
  std::vector<uint8_t> out;
  if (cairo_surface_status(canvas.surface()) != CAIRO_STATUS_SUCCESS) return out;
  std::vector<uint8_t> rows = PngRows(canvas, kind);
  bool alpha = kind == PngKind::Alpha;
  if (!EncodeRows(&out, rows.data(), canvas.width(), canvas.height(),
                  alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                  size_t(canvas.width()) * (alpha ? 4 : 3))) {
    out.clear();
  }
  return out;
}

bool WritePng(const Canvas& canvas, PngKind kind, const std::string& path) {
  std::vector<uint8_t> bytes = EncodePng(canvas, kind);
  if (bytes.empty()) return false;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace artstyle
