// The large pictures of the asset pack: the title picture (the game's name over a valley,
// with a see-through sky behind which the turning title background shows), the studio
// splash, the title background itself and the lock mark of locked level cards.
#include <cmath>

#include "tools/artwork/artwork.h"

namespace artwork {
namespace {

using artstyle::Colour;
using artstyle::SetColour;

constexpr double kPi = 3.14159265358979323846;

constexpr Colour kFarHill{178, 104, 86};
constexpr Colour kMidHill{134, 136, 70};
constexpr Colour kGold{255, 204, 96};
constexpr Colour kRayLight{252, 184, 78};
constexpr Colour kRayDark{240, 150, 56};
constexpr Colour kSunCore{255, 240, 196};
constexpr Colour kSplashLight{62, 48, 40};
constexpr Colour kSplashDark{26, 20, 18};

void SetFont(cairo_t* cr, double size) {
  cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, size);
  // Outlines without hinting: the letters do not depend on the screen's font settings.
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}

// Adds the path of text centred on (cx, cy), with extra space between the letters.
void CentredTextPath(cairo_t* cr, const char* text, double cx, double cy, double spacing) {
  std::string letters = text;
  double total = 0;
  std::vector<double> advances;
  for (char c : letters) {
    char one[2] = {c, 0};
    cairo_text_extents_t extents;
    cairo_text_extents(cr, one, &extents);
    advances.push_back(extents.x_advance);
    total += extents.x_advance;
  }
  total += spacing * double(letters.size() - 1);
  cairo_text_extents_t all;
  cairo_text_extents(cr, text, &all);
  double x = cx - total / 2, baseline = cy - (all.y_bearing + all.height / 2);
  for (size_t i = 0; i < letters.size(); ++i) {
    char one[2] = {letters[i], 0};
    cairo_move_to(cr, x, baseline);
    cairo_text_path(cr, one);
    x += advances[i] + spacing;
  }
}

// A rolling ridge across the whole width, filled down to the bottom edge.
void Ridge(cairo_t* cr, double width, double height, double base, double amplitude, double phase,
           Colour top, Colour bottom, double line) {
  cairo_move_to(cr, 0, height + 2);
  for (double x = -8; x <= width + 8; x += 8) {
    double t = x / width;
    double y = base + amplitude * (0.6 * std::sin(2 * kPi * (1.3 * t + phase)) +
                                   0.4 * std::sin(2 * kPi * (3.1 * t + 2 * phase)));
    cairo_line_to(cr, x, y);
  }
  cairo_line_to(cr, width + 8, height + 2);
  cairo_close_path(cr);
  artstyle::VerticalGradient(cr, base - amplitude, height, top, bottom);
  cairo_fill_preserve(cr);
  SetColour(cr, artstyle::kInk);
  cairo_set_line_width(cr, line);
  cairo_stroke(cr);
}

// A crate standing free in a scene: clipped to its rounded outline, without the floor.
void Crate(cairo_t* cr, double x, double y, double size) {
  cairo_save(cr);
  cairo_translate(cr, x, y);
  double inset = size * 0.4 / 64;
  artstyle::RoundedRect(cr, inset, inset, size - 2 * inset, size - 2 * inset, size * 3.5 / 64);
  cairo_clip(cr);
  artstyle::DrawCrate(cr, size);
  cairo_restore(cr);
}

// A pyramid of crates standing on the ground line, its left edge at x.
void CrateStack(cairo_t* cr, double x, double ground, double size, int bottom_row) {
  for (int row = 0; row < bottom_row; ++row) {
    int count = bottom_row - row;
    double left = x + row * size / 2;
    for (int i = 0; i < count; ++i) Crate(cr, left + i * size, ground - (row + 1) * size, size);
  }
}

void Cloud(cairo_t* cr, double cx, double cy, double size) {
  const double puffs[5][3] = {{-0.9, 0.15, 0.45}, {-0.35, -0.2, 0.6}, {0.3, -0.15, 0.55},
                              {0.85, 0.15, 0.4}, {0, 0.2, 0.5}};
  cairo_new_path(cr);
  for (const auto& p : puffs) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx + p[0] * size, cy + p[1] * size, p[2] * size, 0, 2 * kPi);
  }
  SetColour(cr, artstyle::kInk);
  cairo_set_line_width(cr, size * 0.12);
  cairo_stroke_preserve(cr);
  SetColour(cr, artstyle::kCream);
  cairo_fill(cr);
}

}  // namespace

void DrawTitle(artstyle::Canvas& canvas) {
  cairo_t* cr = canvas.cr();
  double W = canvas.width(), H = canvas.height(), u = W / 1920.0;
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);  // the sky stays see-through
  cairo_paint(cr);
  cairo_restore(cr);

  Cloud(cr, W * 0.10, H * 0.42, 60 * u);
  Cloud(cr, W * 0.90, H * 0.47, 48 * u);
  Cloud(cr, W * 0.78, H * 0.36, 34 * u);

  // The valley: far hills, nearer green hills and the meadow in front.
  Ridge(cr, W, H, H * 0.70, H * 0.05, 0.10, kFarHill, artstyle::Mix(kFarHill, artstyle::kInk, 0.3),
        4 * u);
  Ridge(cr, W, H, H * 0.79, H * 0.04, 0.55, kMidHill, artstyle::Mix(kMidHill, artstyle::kInk, 0.3),
        4 * u);
  Ridge(cr, W, H, H * 0.88, H * 0.015, 0.3, artstyle::kGround, artstyle::kGroundDark, 4 * u);

  // Crates at both sides and the keeper pushing one of them; the middle stays free for the
  // menus.
  double ground = H * 0.97, size = 150 * u;
  CrateStack(cr, W * 0.02, ground, size, 3);
  CrateStack(cr, W * 0.84, ground, size * 0.85, 2);
  Crate(cr, W * 0.74, ground - size * 0.85, size * 0.85);
  cairo_save(cr);
  double keeper = size * 1.6;
  cairo_translate(cr, W * 0.74 - keeper * 0.94, ground - keeper * 0.92);
  artstyle::DrawKeeper(cr, keeper, artstyle::Facing::Right, true);
  cairo_restore(cr);

  // The game's name: cream letters with a golden foot, a wooden extrusion and a dark outline.
  double font = 230 * u, cx = W / 2, cy = std::max(H * 0.2, font * 0.75);
  SetFont(cr, font);
  double depth = 14 * u, spacing = 10 * u;
  cairo_new_path(cr);
  CentredTextPath(cr, "CRATEVALE", cx, cy + depth, spacing);
  SetColour(cr, artstyle::kInk);
  cairo_set_line_width(cr, 22 * u);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
  for (double d = depth; d > 0; d -= 1.5 * u) {
    cairo_new_path(cr);
    CentredTextPath(cr, "CRATEVALE", cx, cy + d, spacing);
    SetColour(cr, artstyle::Mix(artstyle::kDeepOrange, artstyle::kWoodDark, d / depth));
    cairo_fill(cr);
  }
  cairo_new_path(cr);
  CentredTextPath(cr, "CRATEVALE", cx, cy, spacing);
  SetColour(cr, artstyle::kInk);
  cairo_set_line_width(cr, 8 * u);
  cairo_stroke_preserve(cr);
  artstyle::VerticalGradient(cr, cy - font * 0.36, cy + font * 0.36, artstyle::kCream, kGold);
  cairo_fill(cr);
}

void DrawStudioSplash(artstyle::Canvas& canvas) {
  cairo_t* cr = canvas.cr();
  double W = canvas.width(), H = canvas.height(), s = H / 1080.0;
  cairo_pattern_t* glow = cairo_pattern_create_radial(W / 2, H * 0.42, 0, W / 2, H * 0.42, W * 0.7);
  cairo_pattern_add_color_stop_rgb(glow, 0, kSplashLight.r / 255.0, kSplashLight.g / 255.0,
                                   kSplashLight.b / 255.0);
  cairo_pattern_add_color_stop_rgb(glow, 1, kSplashDark.r / 255.0, kSplashDark.g / 255.0,
                                   kSplashDark.b / 255.0);
  cairo_set_source(cr, glow);
  cairo_paint(cr);
  cairo_pattern_destroy(glow);

  // The studio's mark: a tilted orange tile carrying a crate, like a stamp.
  double mark = 300 * s, mx = W / 2, my = H * 0.35;
  cairo_save(cr);
  cairo_translate(cr, mx, my);
  cairo_rotate(cr, kPi / 4);
  cairo_rectangle(cr, -mark / 2, -mark / 2, mark, mark);
  artstyle::VerticalGradient(cr, -mark / 2, mark / 2, artstyle::kOrange, artstyle::kDeepOrange);
  cairo_fill_preserve(cr);
  SetColour(cr, artstyle::kCream);
  cairo_set_line_width(cr, 8 * s);
  cairo_stroke(cr);
  cairo_restore(cr);
  Crate(cr, mx - mark * 0.35, my - mark * 0.35, mark * 0.7);

  SetFont(cr, 160 * s);
  cairo_new_path(cr);
  CentredTextPath(cr, "Torvelin", W / 2, H * 0.68, 6 * s);
  SetColour(cr, artstyle::kCream);
  cairo_fill(cr);
  SetFont(cr, 60 * s);
  cairo_new_path(cr);
  CentredTextPath(cr, "game studio", W / 2, H * 0.79, 16 * s);
  SetColour(cr, artstyle::kOrange);
  cairo_fill(cr);
  cairo_set_line_width(cr, 4 * s);
  for (double side : {-1.0, 1.0}) {
    cairo_move_to(cr, W / 2 + side * 270 * s, H * 0.79);
    cairo_line_to(cr, W / 2 + side * 420 * s, H * 0.79);
  }
  cairo_stroke(cr);
}

void DrawTitleBackground(artstyle::Canvas& canvas) {
  cairo_t* cr = canvas.cr();
  double W = canvas.width(), H = canvas.height(), cx = W / 2, cy = H / 2;
  double reach = std::hypot(W, H);
  // Sun rays from the centre, which the game places behind the middle of the horizon.
  const int kRays = 28;
  for (int i = 0; i < kRays; ++i) {
    double a0 = 2 * kPi * i / kRays, a1 = 2 * kPi * (i + 1) / kRays;
    cairo_move_to(cr, cx, cy);
    cairo_arc(cr, cx, cy, reach, a0, a1);
    cairo_close_path(cr);
    SetColour(cr, (i % 2) ? kRayDark : kRayLight);
    cairo_fill(cr);
  }
  // A bright sun at the centre fading out, and a deeper glow towards the edges.
  cairo_pattern_t* sun = cairo_pattern_create_radial(cx, cy, 0, cx, cy, W * 0.55);
  cairo_pattern_add_color_stop_rgba(sun, 0, kSunCore.r / 255.0, kSunCore.g / 255.0,
                                    kSunCore.b / 255.0, 1.0);
  cairo_pattern_add_color_stop_rgba(sun, 0.35, kSunCore.r / 255.0, kSunCore.g / 255.0,
                                    kSunCore.b / 255.0, 0.55);
  cairo_pattern_add_color_stop_rgba(sun, 1, kSunCore.r / 255.0, kSunCore.g / 255.0,
                                    kSunCore.b / 255.0, 0.0);
  cairo_set_source(cr, sun);
  cairo_paint(cr);
  cairo_pattern_destroy(sun);
  cairo_pattern_t* dusk = cairo_pattern_create_radial(cx, cy, W * 0.4, cx, cy, reach / 2);
  cairo_pattern_add_color_stop_rgba(dusk, 0, 0.80, 0.30, 0.12, 0.0);
  cairo_pattern_add_color_stop_rgba(dusk, 1, 0.80, 0.30, 0.12, 0.45);
  cairo_set_source(cr, dusk);
  cairo_paint(cr);
  cairo_pattern_destroy(dusk);
}

void DrawLockMark(artstyle::Canvas& canvas) {
  cairo_t* cr = canvas.cr();
  double s = canvas.width() / 128.0;
  // Drawn on the card's panel grey, so the picture blends in however the card draws it.
  SetColour(cr, artstyle::kDarkGrey);
  cairo_paint(cr);
  cairo_scale(cr, s, s);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_arc(cr, 64, 52, 26, kPi, 2 * kPi);  // the shackle
  cairo_line_to(cr, 90, 64);
  cairo_move_to(cr, 38, 64);
  cairo_line_to(cr, 38, 52);
  SetColour(cr, artstyle::kInk);
  cairo_set_line_width(cr, 17);
  cairo_stroke_preserve(cr);
  SetColour(cr, artstyle::kStoneLight);
  cairo_set_line_width(cr, 10);
  cairo_stroke(cr);
  cairo_new_path(cr);
  artstyle::RoundedRect(cr, 22, 58, 84, 60, 10);  // the body
  artstyle::VerticalGradient(cr, 58, 118, artstyle::kOrange, artstyle::kDeepOrange);
  cairo_fill_preserve(cr);
  SetColour(cr, artstyle::kInk);
  cairo_set_line_width(cr, 4);
  cairo_stroke(cr);
  cairo_arc(cr, 64, 82, 8, 0, 2 * kPi);  // the keyhole
  cairo_move_to(cr, 60, 86);
  cairo_line_to(cr, 68, 86);
  cairo_line_to(cr, 66, 104);
  cairo_line_to(cr, 62, 104);
  cairo_close_path(cr);
  SetColour(cr, artstyle::kInk);
  cairo_fill(cr);
}

}  // namespace artwork
