// Fonts and 2D drawing off the screen: font objects (pango font descriptions), raster drawing
// (filled boxes and picture blits written straight into the pixels of an image or a sprite), and
// vector drawing (text, paragraphs and scaled pictures through cairo and pango on an image).
// The game paints each panel into an image this way and then copies it into a sprite.
#pragma once

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <pango/pango.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "runtime/data/text.h"

// ---- Colours: red in bits 0-7, green 8-15, blue 16-23, alpha 24-31 ----

// Alpha 0: such a colour paints nothing in vector drawing.
uint32_t rgb(int red, int green, int blue);
uint32_t rgba(int red, int green, int blue, int alpha);

// ---- Fonts ----

constexpr int kFontBold = 1;
constexpr int kFontItalic = 2;

void font_init();
// A font from a pango description such as "Arial" at `size` points. Returns the handle (non-zero)
// or 0 when the name cannot be parsed (the number is then empty).
int64_t font_load(int64_t number, const Text& name, double size, int style = 0);
PangoFontDescription* font_handle(int64_t number);  // owned by the font, or null
void font_free(int64_t number);                      // -1: every font
void font_shutdown();

// ---- Raster drawing ----

// A block of pixels being drawn on. Made by image_output or sprite_output, current for the
// calling thread until drawing_stop.
struct DrawingTarget {
  uint8_t* pixels = nullptr;   // not owned, except when it points into `owned`
  int64_t pitch = 0;           // bytes per row
  int width = 0, height = 0;   // also the clip limits
  int bytes_per_pixel = 4;     // 4 with an alpha byte, else 3
  bool bottom_up = false;      // row y is stored at row height - 1 - y
  int depth = 32;
  int origin_x = 0, origin_y = 0;
  int mode = 0;                // 0: plain fills and copies
  std::vector<uint8_t> owned;  // a sprite's read-back pixels
  // Run when drawing stops: commit true writes the pixels back, false drops them.
  std::function<void(DrawingTarget& target, bool commit)> finish;
};

void drawing_init();
// A target over the pixels of an image (top-down, 4 bytes per pixel with alpha, else 3), made
// current for this thread; null when the image is missing.
DrawingTarget* image_output(int64_t image);
// Makes `target` (the current one, from image_output or sprite_output) ready. Non-zero on
// success; 0 for a null target or one without pixels (which is then released).
uintptr_t drawing_start(DrawingTarget* target);
// Finishes the current target (a sprite gets its pixels back) and releases it.
void drawing_stop();
// Fills a rectangle with the colour's red, green and blue; alpha bytes stay as they were. A
// negative width or height extends the box to the left or upwards. Clipped to the target.
void draw_box(int x, int y, int width, int height, uint32_t colour);
// Copies a picture's red, green and blue with its top-left at (x, y), clipped to the target.
void draw_image(GdkPixbuf* picture, int x, int y);

// A fresh, empty target made current for this thread (a target that was never stopped is
// dropped without writing back). image_output and sprite_output fill it in.
DrawingTarget* drawing_make_target();

// ---- Vector drawing ----

// Units of vector drawing sizes and positions.
constexpr int kUnitPixel = 1;
constexpr int kUnitPoint = 2;
constexpr int kUnitMillimetre = 4;

// vector_paragraph_draw flags.
constexpr int kParagraphRight = 2;
constexpr int kParagraphCentre = 4;
constexpr int kParagraphJustify = 8;
// vector_text_width / vector_text_height flags.
constexpr int kMeasureInk = 2;       // the inked rectangle instead of the logical one
constexpr int kMeasureOffset = 4;    // the rectangle's x (width) or y (height) instead
constexpr int kMeasureBaseline = 8;  // vector_text_height: the baseline

void vector_init();
// Makes the image the vector target, with positions and sizes in `unit`. 1 on success, 0 when the
// image is missing or no surface can be made for it.
int image_vector_output(int64_t image, int unit);
// The cairo context for drawing (non-zero), or null when there is no target.
cairo_t* vector_drawing_start(int output);
// Writes what was drawn back into the image and forgets the target.
void vector_drawing_stop();
void vector_move_to(double x, double y);
// A colour made with rgb (alpha 0) paints nothing visible.
void vector_source_color(uint32_t colour);
// The font for the texts that follow, `size` pixels high (at 96 dots per inch).
void vector_font(const PangoFontDescription* font, double size);
// One line with its top-left at the current point; the point does not move.
void vector_text_draw(const Text& text);
// Text wrapped at word boundaries in a width x height box at the current point; text that does not
// fit ends with an ellipsis on the last line that fits.
void vector_paragraph_draw(const Text& text, double width, double height, int flags);
// Paints a picture at the current point at width x height (0 or less: its own size) with alpha
// 0..255, then moves the current point to the picture's bottom-right corner.
void vector_image_draw(GdkPixbuf* picture, int alpha, double width, double height);
double vector_text_width(const Text& text, int flags = 0);
double vector_text_height(const Text& text, int flags = 0);
