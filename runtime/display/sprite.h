// Sprites: pictures held as textures of the screen's OpenGL context and drawn as one quad each,
// opaque or blended, dimmed, tinted, zoomed and rotated, in the game's coordinates (origin at
// the top-left, y growing downwards). Closing the screen frees every sprite.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/data/text.h"

struct DrawingTarget;

// Creation flags.
constexpr int kSpriteKeepAlpha = 8;  // keep the picture's alpha; otherwise the key colour decides
constexpr int kSpriteMask = 4;       // keep a collision mask
constexpr int kSpriteNoSave = 2;     // copies inherit it; sprite_save refuses such a sprite

// sprite_rotate modes.
constexpr int kRotateSet = 0;
constexpr int kRotateAdd = 1;

// Every operation that makes a sprite takes a number (0..kMaxObjectNumber; a sprite already there
// is freed first) or -1 for a new one, and returns the sprite's handle (non-zero), which names it
// as well as its number does, or 0 on failure (the number is then empty). They need an open screen.

int sprite_init();      // 1; the table exists from the start
void sprite_shutdown();  // frees every sprite

// A sprite from PNG or BMP bytes (pass the whole memory block). Without kSpriteKeepAlpha, or for
// a picture without alpha, every pixel is opaque except those of the key colour (black unless
// changed), which are fully transparent.
int64_t sprite_load_from_memory(int64_t number, std::span<const uint8_t> data, int flags = 0);
// A blank width x height sprite: black, so fully transparent with the default key colour unless
// kSpriteKeepAlpha is given (then black with alpha 0 as well).
int64_t sprite_create(int64_t number, int width, int height, int flags = 0);
// A sprite of the image's size holding its pixels: the sprite sprite_create would make of that
// size with the image drawn into it at (0, 0) by draw_image (so the image's own alpha is not
// taken). The image stays as it is. 0 when the image does not exist.
int64_t sprite_from_image(int64_t number, int64_t image, int flags = 0);
// A copy of the source's pixels and alpha (not its zoom or rotation); flags -1: the source's.
int64_t sprite_copy(int64_t source, int64_t target, int flags = -1);
// The width x height screen rectangle at (x, y) of the frame being drawn, keyed with the default
// key colour (pure black becomes transparent); with kSpriteKeepAlpha every pixel is kept opaque,
// so that showing the sprite at its own size puts back exactly what was grabbed.
int64_t sprite_grab(int64_t number, int x, int y, int width, int height, int flags = 0);
void sprite_free(int64_t number);  // -1: every sprite

// Draws with the top-left of the (unrotated) sprite at (x, y), replacing what is below: pixels
// with alpha below 255 come out darkened, transparent ones black. A sprite shown at its own size
// without rotation is sampled texel for texel whatever the filtering mode, and a sprite without
// see-through pixels is copied without blending: both give the same pixels for less work.
void sprite_display(int64_t number, int x, int y);
// Draws alpha-blended, with the sprite's alpha times intensity / 255. At its own size without
// rotation, fully transparent parts are skipped and, at full intensity without a colour, opaque
// parts copied without blending: the same pixels for less work. With a colour (0x00BBGGRR)
// instead of -1, the sprite's shape is filled with that flat colour. Only the colour's low 32 bits
// count, so 0xFFFFFFFF (opaque white made with rgba) means no colour, like -1.
void sprite_display_blended(int64_t number, int x, int y, int intensity = 255, int64_t colour = -1);
// Covers: a screen rectangle (top-left origin) that opaque pixels will fill later in the frame.
// Until the covers are dropped, sprites leave it alone, as nothing they would draw there could be
// seen; the caller makes sure the rectangle is filled before the frame is shown.
void sprite_cover(int x, int y, int width, int height);
void sprite_uncover();  // drops every cover
// The largest run of whole picture rows that are fully opaque, for a sprite shown at its own size
// without rotation: its first row (top-down) and row count. 1 when there is one; 0 otherwise, also
// for a missing, zoomed or rotated sprite.
int sprite_opaque_rows(int64_t number, int* y, int* height);
// Sets the displayed size; -1 for a side restores the picture's own.
void sprite_zoom(int64_t number, int width, int height);
// kRotateSet sets the angle, kRotateAdd adds to it. Positive degrees turn clockwise about the
// sprite's centre.
void sprite_rotate(int64_t number, int mode, float degrees);
// 0 nearest-pixel, 1 linear filtering, for every sprite drawn after.
void sprite_quality(int mode);
// Number -1 sets the key colour of sprites made later; otherwise re-keys the sprite with `colour`.
void sprite_transparent_color(int64_t number, uint32_t colour);
int sprite_width(int64_t number);   // displayed size; 0 for a missing sprite
int sprite_height(int64_t number);
// A raster drawing target over the sprite's pixels (upright coordinates); drawing_stop puts the
// pixels back into the texture. Null when the sprite is missing.
DrawingTarget* sprite_output(int64_t number);
// Writes the sprite's pixels into a file with the encoder of `format` (kImageFormatPng): an RGBA
// picture, upright. 1 on success, 0 on failure.
int sprite_save(int64_t number, const Text& file_name, int32_t format, int option = 7);
