// Sprites: each one a rectangle texture of the screen's GL context (rows bottom-up, 8-bit RGBA)
// drawn as one immediate-mode quad. Depends on the screen (context, size, texture target), the
// image codecs (decoding PNG data, encoding screenshots) and the raster drawing targets.
#include "runtime/display/sprite.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "runtime/display/drawing.h"
#include "runtime/display/image.h"
#include "runtime/display/screen.h"
#include "runtime/runtime.h"

namespace {

// ---- Constants ----

// Every texture holds 8-bit RGBA texels, filled from and read back into 8-bit RGBA bytes whose
// rows (4 bytes a pixel) are always 4-byte aligned.
constexpr GLint kTextureFormat = GL_RGBA;
constexpr GLenum kPixelFormat = GL_RGBA;
constexpr GLenum kPixelType = GL_UNSIGNED_BYTE;
constexpr GLint kRowAlignment = 4;

// ---- Types ----

struct Corner {
  float x = 0, y = 0;
};

struct SpriteObject {
  GLuint texture = 0;
  int width = 0, height = 0;  // displayed size
  int depth = 0;
  int flags = 0;
  int texture_width = 0, texture_height = 0;
  int clip_x = 0, clip_y = 0, clip_width = 0, clip_height = 0;
  bool geometry_valid = false;
  float angle = 0;  // radians, counter-clockwise in GL's y-up space
  uint32_t key_colour = 0;
  MemoryBlock mask;           // 1 where opaque; only with kSpriteMask
  Corner corners[4];          // bottom-left, bottom-right, top-right, top-left
  GLint filter = 0;           // the filters last set on the texture, 0 before any

  SpriteObject() = default;
  SpriteObject(const SpriteObject&) = delete;
  SpriteObject& operator=(const SpriteObject&) = delete;
  ~SpriteObject() {
    // Textures die with their context; a sprite outliving the screen has nothing left to delete.
    if (texture && screen_is_open()) glDeleteTextures(1, &texture);
  }
};

// ---- State ----

struct SpriteState {
  uint32_t default_key = 0;  // black
  int quality = 0;           // 0 nearest, 1 linear
  // The GL colour last set, or colour_known false. Setting the colour makes the driver validate
  // its state again at the next quad, which costs more than the quad itself when done per sprite.
  bool colour_known = false;
  float colour[4] = {0, 0, 0, 0};
  ObjectTable<SpriteObject> sprites;
};

SpriteState Sprites;

void SetColour(float red, float green, float blue, float alpha) {
  const float wanted[4] = {red, green, blue, alpha};
  if (Sprites.colour_known && std::equal(wanted, wanted + 4, Sprites.colour)) return;
  std::copy(wanted, wanted + 4, Sprites.colour);
  Sprites.colour_known = true;
  glColor4f(red, green, blue, alpha);
}

// ---- Pixels ----

using Pixels = MemoryBlock;  // RGBA, rows bottom-up

// Alpha 0 where red, green and blue equal the key colour, 255 elsewhere.
void ColourKey(uint8_t* pixels, size_t count, uint32_t key) {
  const uint8_t red = key & 0xFF, green = (key >> 8) & 0xFF, blue = (key >> 16) & 0xFF;
  for (size_t i = 0; i < count; ++i, pixels += 4) {
    pixels[3] = pixels[0] == red && pixels[1] == green && pixels[2] == blue ? 0 : 255;
  }
}

// False when the mask's memory cannot be had (the sprite then has none).
bool BuildMask(SpriteObject& sprite, const Pixels& pixels) {
  sprite.mask = memory_allocate(static_cast<int64_t>(pixels.size() / 4));
  for (size_t i = 0; i < sprite.mask.size(); ++i) sprite.mask[i] = pixels[i * 4 + 3] == 255 ? 1 : 0;
  return !sprite.mask.empty();
}

bool HasFlag(const SpriteObject& sprite, int flag) { return (sprite.flags & flag) != 0; }

// Zero-filled room for the sprite's texture; empty when it cannot be had.
Pixels TextureBuffer(int width, int height) { return memory_allocate(int64_t{width} * height * 4); }

// The texture's pixels read back, bottom-up; empty on failure.
Pixels ReadTexture(const SpriteObject& sprite) {
  Pixels pixels = TextureBuffer(sprite.texture_width, sprite.texture_height);
  if (pixels.empty()) return pixels;
  glBindTexture(screen_texture_target(), sprite.texture);
  glPixelStorei(GL_PACK_ALIGNMENT, kRowAlignment);
  glGetTexImage(screen_texture_target(), 0, kPixelFormat, kPixelType, pixels.data());
  return pixels;
}

// Sets the bound texture's filters from the filtering mode. A texture keeps its filters, so they
// are set only when the mode changed since: setting them again costs the driver a revalidation.
void SetFilter(SpriteObject& sprite) {
  const GLint filter = Sprites.quality == 1 ? GL_LINEAR : GL_NEAREST;
  if (sprite.filter == filter) return;
  sprite.filter = filter;
  glTexParameteri(screen_texture_target(), GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(screen_texture_target(), GL_TEXTURE_MAG_FILTER, filter);
}

// Uploads the whole texture. False when GL refuses it (a size beyond the driver's limit).
bool Upload(SpriteObject& sprite, const uint8_t* pixels) {
  const GLenum target = screen_texture_target();
  while (glGetError() != GL_NO_ERROR) {
  }
  glBindTexture(target, sprite.texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, kRowAlignment);
  glTexImage2D(target, 0, kTextureFormat, sprite.texture_width, sprite.texture_height, 0, kPixelFormat, kPixelType,
               pixels);
  sprite.filter = 0;
  SetFilter(sprite);
  return glGetError() == GL_NO_ERROR;
}

// ---- Records ----

// A fresh record of the given texture size with its texture name, or null (the number is then
// empty) without a screen or with a size that is not positive.
SpriteObject* NewSprite(int64_t number, int width, int height, int depth, int flags, int64_t* handle) {
  GLint largest = 0;
  if (screen_is_open()) glGetIntegerv(GL_MAX_RECTANGLE_TEXTURE_SIZE_ARB, &largest);
  // A size the driver cannot hold fails before its pixels are allocated.
  if (!screen_is_open() || width <= 0 || height <= 0 || width > largest || height > largest) {
    if (number != kNewObject) Sprites.sprites.Free(number);
    return nullptr;
  }
  // A number or the handle of a sprite: the sprite there is replaced by the new one.
  SpriteObject* sprite = Sprites.sprites.Create(number, handle);
  if (!sprite) return nullptr;
  sprite->depth = depth;
  sprite->flags = flags;
  sprite->width = sprite->texture_width = sprite->clip_width = width;
  sprite->height = sprite->texture_height = sprite->clip_height = height;
  sprite->key_colour = Sprites.default_key;
  glGenTextures(1, &sprite->texture);
  return sprite;
}

// Uploads the new sprite's pixels and returns its handle, or frees it and returns 0 (also when
// its pixels or its mask could not be had).
int64_t Finish(int64_t handle, SpriteObject* sprite, const Pixels& pixels) {
  const bool made = !pixels.empty() && (!HasFlag(*sprite, kSpriteMask) || BuildMask(*sprite, pixels));
  if (made && Upload(*sprite, pixels.data())) return handle;
  Sprites.sprites.Free(handle);
  return 0;
}

// ---- Drawing ----

void ComputeCorners(SpriteObject& sprite) {
  const float w = static_cast<float>(sprite.width), h = static_cast<float>(sprite.height);
  const Corner plain[4] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
  for (int i = 0; i < 4; ++i) sprite.corners[i] = plain[i];
  if (sprite.angle != 0) {
    float sin_a = 0, cos_a = 0;
    sincosf(sprite.angle, &sin_a, &cos_a);
    const float cx = w / 2, cy = h / 2;
    for (Corner& corner : sprite.corners) {
      const float dx = corner.x - cx, dy = corner.y - cy;
      corner = {cx + dx * cos_a - dy * sin_a, cy + dx * sin_a + dy * cos_a};
    }
  }
  sprite.geometry_valid = true;
}

// The sprite to draw at (x, y), bound; null when it is missing or wholly off the screen.
SpriteObject* PrepareDisplay(int64_t number, int x, int y) {
  SpriteObject* sprite = Sprites.sprites.Find(number);
  if (!sprite || !sprite->texture) return nullptr;
  if (x >= screen_width() || y >= screen_height() || x <= -sprite->width || y <= -sprite->height) return nullptr;
  glBindTexture(screen_texture_target(), sprite->texture);
  glEnable(GL_BLEND);
  return sprite;
}

void DrawQuad(SpriteObject& sprite, int x, int y) {
  if (!sprite.geometry_valid) ComputeCorners(sprite);
  const float origin_x = static_cast<float>(x);
  const float origin_y = static_cast<float>(screen_height() - y - sprite.height);
  SetFilter(sprite);
  // Texture rows are bottom-up, so the picture's top edge is at texel row T - clip_y.
  const float left = static_cast<float>(sprite.clip_x);
  const float right = static_cast<float>(sprite.clip_x + sprite.clip_width);
  const float top = static_cast<float>(sprite.texture_height - sprite.clip_y);
  const float bottom = static_cast<float>(sprite.texture_height - sprite.clip_y - sprite.clip_height);
  const Corner* c = sprite.corners;
  glBegin(GL_QUADS);
  glTexCoord2f(left, top);
  glVertex3f(origin_x + c[3].x, origin_y + c[3].y, 0);
  glTexCoord2f(right, top);
  glVertex3f(origin_x + c[2].x, origin_y + c[2].y, 0);
  glTexCoord2f(right, bottom);
  glVertex3f(origin_x + c[1].x, origin_y + c[1].y, 0);
  glTexCoord2f(left, bottom);
  glVertex3f(origin_x + c[0].x, origin_y + c[0].y, 0);
  glEnd();
}

// The drawing target's pixels go back into the sprite's texture.
void FinishOutput(int64_t handle, DrawingTarget& target, bool commit) {
  SpriteObject* sprite = Sprites.sprites.Find(handle);
  if (!commit || !sprite || !screen_is_open()) return;
  Pixels& pixels = target.owned;
  if (!HasFlag(*sprite, kSpriteKeepAlpha)) ColourKey(pixels.data(), pixels.size() / 4, sprite->key_colour);
  if (HasFlag(*sprite, kSpriteMask)) BuildMask(*sprite, pixels);
  Upload(*sprite, pixels.data());
}

}  // namespace

// ---- Public functions ----

int sprite_init() { return 1; }

void sprite_shutdown() { Sprites.sprites.Free(kAllObjects); }

int64_t sprite_load_from_memory(int64_t number, std::span<const uint8_t> data, int flags) {
  // Decoded bottom row first, which is the order the texture wants.
  DecodedPicture picture;
  if (!screen_is_open() || !image_decode_memory(data, kImageBottomUp, &picture)) {
    if (number != kNewObject) Sprites.sprites.Free(number);
    return 0;
  }
  int64_t handle = 0;
  SpriteObject* sprite = NewSprite(number, picture.width, picture.height, picture.depth, flags, &handle);
  if (!sprite) return 0;
  Pixels pixels = TextureBuffer(picture.width, picture.height);
  if (pixels.empty()) return Finish(handle, sprite, pixels);
  const size_t count = static_cast<size_t>(picture.width) * picture.height;
  if (picture.depth == 32 && (flags & kSpriteKeepAlpha)) {
    pixels.assign(picture.pixels.begin(), picture.pixels.begin() + count * 4);
  } else {
    const int step = picture.depth == 32 ? 4 : 3;
    for (size_t i = 0; i < count; ++i) {
      for (int c = 0; c < 3; ++c) pixels[i * 4 + c] = picture.pixels[i * step + c];
    }
    sprite->flags &= ~kSpriteKeepAlpha;
    ColourKey(pixels.data(), count, sprite->key_colour);
  }
  return Finish(handle, sprite, pixels);
}

int64_t sprite_create(int64_t number, int width, int height, int flags) {
  int64_t handle = 0;
  SpriteObject* sprite = NewSprite(number, width, height, 32, flags, &handle);
  if (!sprite) return 0;
  Pixels pixels = TextureBuffer(width, height);
  if (!(flags & kSpriteKeepAlpha)) ColourKey(pixels.data(), pixels.size() / 4, sprite->key_colour);
  return Finish(handle, sprite, pixels);
}

int64_t sprite_copy(int64_t source_number, int64_t target, int flags) {
  const SpriteObject* source = Sprites.sprites.Find(source_number);
  if (!source || !screen_is_open()) return 0;
  // Read before the target is freed: source and target may be the same sprite.
  Pixels pixels = ReadTexture(*source);
  const int source_flags = source->flags;
  const int width = source->texture_width, height = source->texture_height;
  if (pixels.empty()) return 0;
  if (flags == -1) flags = source_flags;
  if (source_flags & kSpriteNoSave) flags |= kSpriteNoSave;  // a copy is no way round the refusal
  int64_t handle = 0;
  SpriteObject* sprite = NewSprite(target, width, height, 0, flags, &handle);
  if (!sprite) return 0;
  return Finish(handle, sprite, pixels);
}

int64_t sprite_grab(int64_t number, int x, int y, int width, int height, int flags) {
  int64_t handle = 0;
  SpriteObject* sprite = NewSprite(number, width, height, 0, flags, &handle);
  if (!sprite) return 0;
  Pixels pixels = TextureBuffer(width, height);
  // Read rows come bottom-up, as the texture wants them.
  glPixelStorei(GL_PACK_ALIGNMENT, kRowAlignment);
  if (!pixels.empty()) {
    glReadPixels(x, screen_height() - y - height, width, height, kPixelFormat, kPixelType, pixels.data());
  }
  ColourKey(pixels.data(), pixels.size() / 4, Sprites.default_key);
  return Finish(handle, sprite, pixels);
}

void sprite_free(int64_t number) {
  Sprites.sprites.Free(number);
  // Every sprite goes when the screen closes; the next screen's context starts afresh.
  if (number == kAllObjects) Sprites.colour_known = false;
}

void sprite_display(int64_t number, int x, int y) {
  SpriteObject* sprite = PrepareDisplay(number, x, y);
  if (!sprite) return;
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  SetColour(1, 1, 1, 1);
  glBlendFunc(GL_SRC_ALPHA, GL_ZERO);
  DrawQuad(*sprite, x, y);
}

void sprite_display_blended(int64_t number, int x, int y, int intensity, int64_t colour) {
  SpriteObject* sprite = PrepareDisplay(number, x, y);
  if (!sprite) return;
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  const float alpha = static_cast<float>(intensity) / 255.0f;
  // Colours are 32-bit values: "no colour" is -1 in 32 bits, which is also rgba(255, 255, 255, 255).
  if (static_cast<uint32_t>(colour) == 0xFFFFFFFFu) {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    SetColour(1, 1, 1, alpha);
  } else {
    // The colour replaces the texture's; the alpha stays the texture's times the intensity.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_PREVIOUS);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB, GL_SRC_COLOR);
    SetColour(static_cast<float>(colour & 0xFF) / 255.0f, static_cast<float>((colour >> 8) & 0xFF) / 255.0f,
              static_cast<float>((colour >> 16) & 0xFF) / 255.0f, alpha);
  }
  DrawQuad(*sprite, x, y);
}

void sprite_zoom(int64_t number, int width, int height) {
  SpriteObject* sprite = Sprites.sprites.Find(number);
  if (!sprite) return;
  sprite->width = width == -1 ? sprite->clip_width : width;
  sprite->height = height == -1 ? sprite->clip_height : height;
  sprite->geometry_valid = false;
}

void sprite_rotate(int64_t number, int mode, float degrees) {
  SpriteObject* sprite = Sprites.sprites.Find(number);
  if (!sprite) return;
  const float radians = static_cast<float>(-static_cast<double>(degrees) * std::numbers::pi * 2 / 360);
  sprite->angle = mode == kRotateSet ? radians : sprite->angle + radians;
  sprite->geometry_valid = false;
}

void sprite_quality(int mode) {
  Sprites.quality = mode;
  if ((mode == 0 || mode == 1) && screen_is_open()) {
    const GLint filter = mode == 1 ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(screen_texture_target(), GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(screen_texture_target(), GL_TEXTURE_MAG_FILTER, filter);
  }
  // Whichever texture was bound has changed behind its record's back.
  Sprites.sprites.ForEach([](int64_t, SpriteObject& sprite) { sprite.filter = 0; });
}

void sprite_transparent_color(int64_t number, uint32_t colour) {
  if (number == -1) {
    Sprites.default_key = colour;
    return;
  }
  SpriteObject* sprite = Sprites.sprites.Find(number);
  if (!sprite || sprite->key_colour == colour || !screen_is_open()) return;
  sprite->key_colour = colour;
  Pixels pixels = ReadTexture(*sprite);
  if (pixels.empty()) return;
  ColourKey(pixels.data(), pixels.size() / 4, colour);
  if (HasFlag(*sprite, kSpriteMask)) BuildMask(*sprite, pixels);
  Upload(*sprite, pixels.data());
}

int sprite_width(int64_t number) {
  const SpriteObject* sprite = Sprites.sprites.Find(number);
  return sprite ? sprite->width : 0;
}

int sprite_height(int64_t number) {
  const SpriteObject* sprite = Sprites.sprites.Find(number);
  return sprite ? sprite->height : 0;
}

DrawingTarget* sprite_output(int64_t number) {
  const SpriteObject* sprite = Sprites.sprites.Find(number);
  if (!sprite || !screen_is_open()) return nullptr;
  while (glGetError() != GL_NO_ERROR) {
  }
  Pixels pixels = ReadTexture(*sprite);
  if (pixels.empty() || glGetError() != GL_NO_ERROR) return nullptr;
  DrawingTarget* target = drawing_make_target();
  target->owned = std::move(pixels);
  target->pixels = target->owned.data();
  target->pitch = int64_t{sprite->texture_width} * 4;
  target->width = sprite->texture_width;
  target->height = sprite->texture_height;
  target->bytes_per_pixel = 4;
  target->bottom_up = true;
  target->depth = 32;
  const int64_t handle = Sprites.sprites.HandleOf(number);
  target->finish = [handle](DrawingTarget& finished, bool commit) { FinishOutput(handle, finished, commit); };
  return target;
}

int sprite_save(int64_t number, const Text& file_name, int32_t format, int option) {
  const SpriteObject* sprite = Sprites.sprites.Find(number);
  if (file_name.empty() || !sprite || HasFlag(*sprite, kSpriteNoSave) || !screen_is_open()) return 0;
  const Pixels pixels = ReadTexture(*sprite);
  if (pixels.empty()) return 0;
  PixelRows rows;
  rows.bytes = pixels;
  rows.width = sprite->texture_width;
  rows.height = sprite->texture_height;
  rows.pitch = int64_t{sprite->texture_width} * 4;
  rows.depth = 32;
  rows.flags = kImageBottomUp;
  return image_encode(file_name, format, rows, option, 32);
}
