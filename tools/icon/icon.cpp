// Draws the game's desktop icon in the shared art style: the keeper pushing a crate in front of
// the sunburst of the title screen, on a rounded tile. Usage: icon <folder> <size>...
// For each size N it writes <folder>/NxN/apps/cratevale.png (the layout of an icon theme), a
// PNG with an alpha channel whose bytes depend only on the drawing and the size.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/artstyle/artstyle.h"

namespace {

using artstyle::Colour;
using artstyle::SetColour;

constexpr double kPi = 3.14159265358979323846;
constexpr double kUnit = 256.0;  // the icon is designed on a 256 x 256 square
constexpr Colour kRayLight{252, 184, 78};
constexpr Colour kRayDark{240, 150, 56};
constexpr Colour kSunCore{255, 240, 196};

// The tile's outline: a rounded square with a small margin, as icon themes expect.
void TilePath(cairo_t* cr) {
  artstyle::RoundedRect(cr, 10, 10, kUnit - 20, kUnit - 20, 46);
}

void Sunburst(cairo_t* cr, double cx, double cy) {
  const int kRays = 16;
  for (int i = 0; i < kRays; ++i) {
    double a0 = 2 * kPi * i / kRays, a1 = 2 * kPi * (i + 1) / kRays;
    cairo_move_to(cr, cx, cy);
    cairo_arc(cr, cx, cy, kUnit * 1.5, a0, a1);
    cairo_close_path(cr);
    SetColour(cr, (i % 2) ? kRayDark : kRayLight);
    cairo_fill(cr);
  }
  cairo_pattern_t* sun = cairo_pattern_create_radial(cx, cy, 0, cx, cy, kUnit * 0.6);
  cairo_pattern_add_color_stop_rgba(sun, 0, kSunCore.r / 255.0, kSunCore.g / 255.0,
                                    kSunCore.b / 255.0, 1.0);
  cairo_pattern_add_color_stop_rgba(sun, 0.4, kSunCore.r / 255.0, kSunCore.g / 255.0,
                                    kSunCore.b / 255.0, 0.45);
  cairo_pattern_add_color_stop_rgba(sun, 1, kSunCore.r / 255.0, kSunCore.g / 255.0,
                                    kSunCore.b / 255.0, 0.0);
  cairo_set_source(cr, sun);
  cairo_paint(cr);
  cairo_pattern_destroy(sun);
}

// The meadow the figures stand on: a gentle hill across the tile.
void Meadow(cairo_t* cr, double top) {
  cairo_move_to(cr, -4, kUnit + 4);
  cairo_line_to(cr, -4, top + 10);
  cairo_curve_to(cr, kUnit * 0.3, top - 8, kUnit * 0.7, top - 6, kUnit + 4, top + 6);
  cairo_line_to(cr, kUnit + 4, kUnit + 4);
  cairo_close_path(cr);
  artstyle::VerticalGradient(cr, top, kUnit, artstyle::kGround, artstyle::kGroundDark);
  cairo_fill_preserve(cr);
  SetColour(cr, artstyle::kInk);
  cairo_set_line_width(cr, 5);
  cairo_stroke(cr);
}

// A crate standing free, clipped to its rounded outline so that no floor shows around it.
void Crate(cairo_t* cr, double x, double y, double size) {
  cairo_save(cr);
  cairo_translate(cr, x, y);
  double inset = size * 0.4 / 64;
  artstyle::RoundedRect(cr, inset, inset, size - 2 * inset, size - 2 * inset, size * 3.5 / 64);
  cairo_clip(cr);
  artstyle::DrawCrate(cr, size);
  cairo_restore(cr);
}

void DrawIcon(artstyle::Canvas& canvas) {
  cairo_t* cr = canvas.cr();
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  cairo_paint(cr);
  cairo_restore(cr);
  cairo_scale(cr, canvas.width() / kUnit, canvas.height() / kUnit);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);

  cairo_save(cr);
  TilePath(cr);
  cairo_clip(cr);
  Sunburst(cr, kUnit * 0.62, kUnit * 0.42);
  double ground = 212;
  Meadow(cr, ground - 18);
  // The crate on the right and the keeper behind it, pushing it to the right.
  double crate = 96;
  double crate_x = 142;
  Crate(cr, crate_x, ground - crate, crate);
  double keeper = crate * 1.6;
  cairo_save(cr);
  cairo_translate(cr, crate_x - keeper * 0.94 + 4, ground - keeper * 0.92);
  artstyle::DrawKeeper(cr, keeper, artstyle::Facing::Right, true);
  cairo_restore(cr);
  cairo_restore(cr);

  // The tile's rim: dark ink outside, a thin cream highlight inside.
  TilePath(cr);
  SetColour(cr, artstyle::kInk);
  cairo_set_line_width(cr, 9);
  cairo_stroke(cr);
  artstyle::RoundedRect(cr, 16, 16, kUnit - 32, kUnit - 32, 40);
  SetColour(cr, artstyle::kCream, 0.55);
  cairo_set_line_width(cr, 2.5);
  cairo_stroke(cr);
}

bool MakeFolder(const std::string& path) {
  std::string prefix;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    prefix = path.substr(0, end);
    if (!prefix.empty() && mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: icon <folder> <size>...\n");
    return 2;
  }
  std::string folder = argv[1];
  int failures = 0;
  for (int i = 2; i < argc; ++i) {
    char* end = nullptr;
    long size = std::strtol(argv[i], &end, 10);
    if (end == argv[i] || *end != '\0' || size < 16 || size > 1024) {
      std::fprintf(stderr, "icon: the size %s is not a number from 16 to 1024\n", argv[i]);
      return 2;
    }
    std::string n = std::to_string(size);
    std::string apps = folder + "/" + n + "x" + n + "/apps";
    artstyle::Canvas canvas{static_cast<int>(size), static_cast<int>(size)};
    DrawIcon(canvas);
    if (!MakeFolder(apps) ||
        !artstyle::WritePng(canvas, artstyle::PngKind::Alpha, apps + "/cratevale.png")) {
      std::fprintf(stderr, "icon: cannot write %s/cratevale.png\n", apps.c_str());
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}
