// The shared look of Cratevale's pictures: one warm palette and the cairo drawings of the board
// pieces (floor, targets, walls, ground outside the walls, crate, keeper), plus the PNG writer
// every picture tool uses. The asset pictures and the map pack's tiles and thumbnails are drawn
// with these procedures so that the menus, the board and the level cards share one style.
//
// Every piece is drawn into the square (0, 0)-(size, size) of the cairo context's current user
// space, so a caller may translate and scale freely (a thumbnail draws whole boards with small
// sizes). Nothing here draws pure black (0, 0, 0): pictures loaded without their alpha channel
// are colour-keyed on it, so the darkest ink is kInk.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

namespace artstyle {

struct Colour {
  int r, g, b;
};

// Interface colours shared with the game's panels.
inline constexpr Colour kOrange{232, 106, 23};
inline constexpr Colour kDeepOrange{166, 74, 15};
inline constexpr Colour kGrey{86, 86, 86};
inline constexpr Colour kDarkGrey{74, 74, 74};

// Picture palette.
inline constexpr Colour kInk{42, 28, 20};          // outlines: warm, dark, never pure black
inline constexpr Colour kNearBlack{1, 1, 1};        // darkest opaque colour of keyed pictures
inline constexpr Colour kCream{252, 240, 214};
inline constexpr Colour kFloor{222, 196, 152};      // sandstone floor slab
inline constexpr Colour kFloorShade{198, 168, 122};
inline constexpr Colour kWoodLight{226, 150, 70};   // crate planks
inline constexpr Colour kWood{196, 114, 44};
inline constexpr Colour kWoodDark{128, 66, 24};
inline constexpr Colour kStone{112, 106, 100};      // walls: warm slate
inline constexpr Colour kStoneLight{150, 142, 132};
inline constexpr Colour kStoneDark{70, 64, 60};
inline constexpr Colour kGround{92, 120, 64};       // grass outside the walls
inline constexpr Colour kGroundDark{72, 98, 50};
inline constexpr Colour kSkin{244, 200, 156};
inline constexpr Colour kOveralls{44, 112, 150};    // the keeper's blue overalls
inline constexpr Colour kOverallsDark{30, 80, 112};
inline constexpr Colour kBoot{88, 52, 30};

enum class Facing { Left, Right, Up, Down };

// Neighbour bits for wall pieces: a set bit joins the piece to the wall next to it.
inline constexpr unsigned kJoinUp = 1;
inline constexpr unsigned kJoinRight = 2;
inline constexpr unsigned kJoinDown = 4;
inline constexpr unsigned kJoinLeft = 8;

void SetColour(cairo_t* cr, Colour colour, double alpha = 1.0);
// Adds a rounded rectangle to the current path.
void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double radius);
// Sets a top-to-bottom gradient from y0 to y1 as the source.
void VerticalGradient(cairo_t* cr, double y0, double y1, Colour top, Colour bottom);
Colour Mix(Colour a, Colour b, double t);  // t = 0 gives a, 1 gives b

// Board pieces. The variant of floor and ground (any integer) picks one of a few deterministic
// patterns so that large areas do not look stamped. Ground tiles of any variants laid side by
// side join without a visible edge.
void DrawFloor(cairo_t* cr, double size, int variant);
void DrawTargetMark(cairo_t* cr, double size);  // the orange target ring alone, over anything
void DrawTarget(cairo_t* cr, double size);      // floor with the target ring
void DrawWall(cairo_t* cr, double size, unsigned joins);
// Grass outside the walls. A cell lying on whole pixels is drawn once per variant and size and
// then copied, with the same pixels, which keeps pictures of many grass cells quick.
void DrawGround(cairo_t* cr, double size, int variant);
void DrawCrate(cairo_t* cr, double size);
void DrawKeeper(cairo_t* cr, double size, Facing facing, bool pushing);

// A picture being drawn: an ARGB32 cairo surface and its context, released together.
class Canvas {
 public:
  Canvas(int width, int height);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  cairo_t* cr() const { return cr_; }
  cairo_surface_t* surface() const { return surface_; }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  cairo_surface_t* surface_;
  cairo_t* cr_;
  int width_, height_;
};

// How a picture is stored:
// - Opaque: RGB; transparent parts are laid on kNearBlack; no pixel is pure black.
// - Keyed: RGB; fully transparent pixels become pure black (the runtime's see-through key),
//   every other pixel is laid on kNearBlack and never pure black.
// - Alpha: RGBA with straight (not premultiplied) colour.
enum class PngKind { Opaque, Keyed, Alpha };

// Encodes the canvas as PNG bytes (no time stamp, fixed compression: the same picture always
// gives the same bytes). Empty on failure.
std::vector<uint8_t> EncodePng(const Canvas& canvas, PngKind kind);
// Writes EncodePng's bytes to a file; false on failure.
bool WritePng(const Canvas& canvas, PngKind kind, const std::string& path);

}  // namespace artstyle
