// Sprites: each one a rectangle texture of the screen's GL context (rows bottom-up, 8-bit RGBA)
// drawn as one immediate-mode quad. Depends on the screen (context, size, texture target), the
// image codecs (decoding PNG data, encoding screenshots) and the raster drawing targets.
#include "runtime/display/sprite.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

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

// What the texels of a part of a texture are: all fully transparent, all opaque, or some neither.
enum class CellKind { Clear, Opaque, Mixed };

// A texel rectangle ([left, right) x [bottom, top), rows bottom-up) of a sprite's texture whose
// texels are all of one kind. A texture's patches tile it.
struct Patch {
  int left = 0, right = 0, bottom = 0, top = 0;
  CellKind kind = CellKind::Mixed;
};

// A screen rectangle, top-left origin, [x0, x1) x [y0, y1).
struct Rect {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool Empty() const { return x0 >= x1 || y0 >= y1; }
};

// How a draw combines the texture with what is below. The GL state is changed only when the kind
// of draw changes: every change makes a software renderer prepare its pixel path again.
enum class Blend { Unknown, Replace, Darken, Mix, Tint };

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
  bool opaque = false;        // every texel has alpha 255
  std::vector<Patch> patches;  // the texture by the kind of its texels
  int opaque_bottom = 0, opaque_top = 0;  // the longest run of wholly opaque texel rows

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
  Blend blend = Blend::Unknown;  // the kind of draw the GL state is set up for
  std::vector<Rect> covers;      // screen parts that opaque pixels will fill later in the frame
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

// Sets up blending and the texture environment for a kind of draw, unless they already are.
// Replace: the texture as it is, blending off, for opaque texels at full intensity, where it gives
// exactly what either blended draw would. Darken: the texture times its alpha replaces the
// background. Mix: alpha blending, the colour modulating the texture. Tint: alpha blending with
// the texture's colour replaced by the GL colour.
void SetBlend(Blend blend) {
  if (Sprites.blend == blend) return;
  Sprites.blend = blend;
  if (blend == Blend::Replace) {
    glDisable(GL_BLEND);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    return;
  }
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, blend == Blend::Darken ? GL_ZERO : GL_ONE_MINUS_SRC_ALPHA);
  if (blend != Blend::Tint) {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    return;
  }
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_REPLACE);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_PREVIOUS);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, GL_TEXTURE);
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_SRC_COLOR);
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB, GL_SRC_COLOR);
}

// Forgets the GL state: a new context starts from its defaults.
void ForgetGlState() {
  Sprites.colour_known = false;
  Sprites.blend = Blend::Unknown;
  Sprites.covers.clear();
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

// Shown at its own size without rotation, each screen pixel's centre falls on a texel's centre,
// where linear filtering gives the texel itself: nearest sampling then gives the same for less.
bool Unscaled(const SpriteObject& sprite) {
  return sprite.angle == 0 && sprite.width == sprite.clip_width && sprite.height == sprite.clip_height;
}

// Sets the bound texture's filters from the filtering mode. A texture keeps its filters, so they
// are set only when the mode changed since: setting them again costs the driver a revalidation.
void SetFilter(SpriteObject& sprite) {
  const GLint filter = Sprites.quality == 1 && !Unscaled(sprite) ? GL_LINEAR : GL_NEAREST;
  if (sprite.filter == filter) return;
  sprite.filter = filter;
  glTexParameteri(screen_texture_target(), GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(screen_texture_target(), GL_TEXTURE_MAG_FILTER, filter);
}

// The texture is sorted in cells of this many texels: rows of cells from the bottom, each cell
// fully transparent, opaque, or mixed, and neighbours alike merged into patches.
constexpr int kCellWidth = 32;
constexpr int kCellHeight = 16;
// More patches than this and the sprite is one mixed patch: so many quads would cost more than
// the pixels they spare.
constexpr size_t kMaxPatches = 1024;

CellKind KindOf(const uint8_t* pixels, int width, int left, int right, int bottom, int top) {
  bool any = false, all = true;
  for (int row = bottom; row < top; ++row) {
    const uint8_t* texel = pixels + (size_t{4} * width * row + size_t{4} * left) + 3;
    for (int x = left; x < right; ++x, texel += 4) {
      any |= *texel != 0;
      all &= *texel == 255;
    }
  }
  return all ? CellKind::Opaque : any ? CellKind::Mixed : CellKind::Clear;
}

// The longest run of texel rows whose every texel is opaque.
void FindOpaqueRows(SpriteObject& sprite, const uint8_t* pixels) {
  const int width = sprite.texture_width, height = sprite.texture_height;
  sprite.opaque_bottom = sprite.opaque_top = 0;
  int run_start = 0;
  for (int row = 0; row <= height; ++row) {
    bool opaque_row = row < height;
    const uint8_t* texel = pixels + size_t{4} * static_cast<size_t>(width) * static_cast<size_t>(std::min(row, height - 1)) + 3;
    for (int x = 0; opaque_row && x < width; ++x, texel += 4) opaque_row = *texel == 255;
    if (opaque_row) continue;
    if (row - run_start > sprite.opaque_top - sprite.opaque_bottom) {
      sprite.opaque_bottom = run_start;
      sprite.opaque_top = row;
    }
    run_start = row + 1;
  }
}

// Finds the texture's patches, cell row by cell row from the bottom, and its longest run of
// opaque rows.
void FindPatches(SpriteObject& sprite, const uint8_t* pixels) {
  const int width = sprite.texture_width, height = sprite.texture_height;
  sprite.patches.clear();
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  sprite.opaque = true;
  for (size_t i = 0; i < count && sprite.opaque; ++i) sprite.opaque = pixels[4 * i + 3] == 255;
  if (sprite.opaque) {
    sprite.patches.assign(1, Patch{0, width, 0, height, CellKind::Opaque});
    sprite.opaque_bottom = 0;
    sprite.opaque_top = height;
    return;
  }
  for (int bottom = 0; bottom < height && sprite.patches.size() <= kMaxPatches; bottom += kCellHeight) {
    const int top = std::min(bottom + kCellHeight, height);
    const auto row_start = static_cast<std::ptrdiff_t>(sprite.patches.size());
    for (int left = 0; left < width;) {
      const CellKind kind = KindOf(pixels, width, left, std::min(left + kCellWidth, width), bottom, top);
      int right = std::min(left + kCellWidth, width);
      while (right < width && KindOf(pixels, width, right, std::min(right + kCellWidth, width), bottom, top) == kind) {
        right = std::min(right + kCellWidth, width);
      }
      // A patch of the rows below with the same columns and kind grows upwards instead.
      const auto end = sprite.patches.begin() + row_start;
      const auto below = std::find_if(sprite.patches.begin(), end, [&](const Patch& p) {
        return p.left == left && p.right == right && p.kind == kind && p.top == bottom;
      });
      if (below != end) {
        below->top = top;
      } else {
        sprite.patches.push_back(Patch{left, right, bottom, top, kind});
      }
      left = right;
    }
  }
  if (sprite.patches.size() > kMaxPatches) sprite.patches.assign(1, Patch{0, width, 0, height, CellKind::Mixed});
  FindOpaqueRows(sprite, pixels);
}

// Uploads the whole texture. False when GL refuses it (a size beyond the driver's limit).
bool Upload(SpriteObject& sprite, const uint8_t* pixels) {
  FindPatches(sprite, pixels);
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

// More pieces than this and a draw is made whole: the pieces would cost more than they spare.
constexpr size_t kMaxPieces = 12;

// The parts of `box` that no cover holds, appended to `pieces`; false when there are too many.
bool Uncovered(const Rect& box, std::vector<Rect>& pieces) {
  pieces.assign(1, box);
  for (const Rect& cover : Sprites.covers) {
    std::vector<Rect> left;
    for (const Rect& piece : pieces) {
      const Rect overlap{std::max(piece.x0, cover.x0), std::max(piece.y0, cover.y0), std::min(piece.x1, cover.x1),
                         std::min(piece.y1, cover.y1)};
      if (overlap.Empty()) {
        left.push_back(piece);
        continue;
      }
      const Rect around[] = {{piece.x0, piece.y0, piece.x1, overlap.y0},
                             {piece.x0, overlap.y1, piece.x1, piece.y1},
                             {piece.x0, overlap.y0, overlap.x0, overlap.y1},
                             {overlap.x1, overlap.y0, piece.x1, overlap.y1}};
      for (const Rect& part : around) {
        if (!part.Empty()) left.push_back(part);
      }
    }
    pieces = std::move(left);
    if (pieces.size() > kMaxPieces) return false;
  }
  return true;
}

// Makes `draw` (which covers at most `box`) leave the covers alone: once for each uncovered part
// of the box, cut to it by the scissor test, or not at all when the covers hold all of it.
template <typename Draw>
void DrawUncovered(Rect box, Draw&& draw) {
  box = Rect{std::max(box.x0, 0), std::max(box.y0, 0), std::min(box.x1, screen_width()),
             std::min(box.y1, screen_height())};
  std::vector<Rect> pieces;
  if (Sprites.covers.empty() || !Uncovered(box, pieces)) {
    draw();
    return;
  }
  if (pieces.size() == 1 && pieces[0].x0 == box.x0 && pieces[0].y0 == box.y0 && pieces[0].x1 == box.x1 &&
      pieces[0].y1 == box.y1) {
    draw();
    return;
  }
  if (pieces.empty()) return;
  glEnable(GL_SCISSOR_TEST);
  for (const Rect& piece : pieces) {
    glScissor(piece.x0, screen_height() - piece.y1, piece.x1 - piece.x0, piece.y1 - piece.y0);
    draw();
  }
  glDisable(GL_SCISSOR_TEST);
}

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
  return sprite;
}

// The whole quad, its corners placed from the origin.
void DrawWholeQuad(const SpriteObject& sprite, float origin_x, float origin_y) {
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

void DrawQuad(SpriteObject& sprite, int x, int y) {
  if (!sprite.geometry_valid) ComputeCorners(sprite);
  const float origin_x = static_cast<float>(x);
  const float origin_y = static_cast<float>(screen_height() - y - sprite.height);
  SetFilter(sprite);
  // The screen pixels the quad can touch, top-left origin.
  float min_x = sprite.corners[0].x, max_x = min_x, min_y = sprite.corners[0].y, max_y = min_y;
  for (const Corner& corner : sprite.corners) {
    min_x = std::min(min_x, corner.x);
    max_x = std::max(max_x, corner.x);
    min_y = std::min(min_y, corner.y);
    max_y = std::max(max_y, corner.y);
  }
  const Rect box{static_cast<int>(std::floor(origin_x + min_x)) - 1,
                 screen_height() - static_cast<int>(std::ceil(origin_y + max_y)) - 1,
                 static_cast<int>(std::ceil(origin_x + max_x)) + 1,
                 screen_height() - static_cast<int>(std::floor(origin_y + min_y)) + 1};
  DrawUncovered(box, [&] { DrawWholeQuad(sprite, origin_x, origin_y); });
}

// A draw of a sprite at its own size without rotation, patch by patch: opaque patches at full
// intensity are copied without blending, fully transparent ones are left out by a blended draw
// (they would leave the background as it is), and the rest is drawn with `blend` as the caller's
// colour set it up. Patches of each kind go to the renderer as one batch of quads.
void DrawPatches(SpriteObject& sprite, int x, int y, Blend blend, bool full_intensity) {
  const bool skip_clear = blend != Blend::Darken;
  SetFilter(sprite);
  const int clip_left = sprite.clip_x, clip_right = sprite.clip_x + sprite.clip_width;
  const int clip_top = sprite.texture_height - sprite.clip_y;
  const int clip_bottom = clip_top - sprite.clip_height;
  // Texel (u, v) lies at screen pixel (origin_x + u, origin_y + v) in GL's y-up space.
  const int origin_x = x - clip_left;
  const int origin_y = screen_height() - y - sprite.height - clip_bottom;
  std::vector<Patch> batch;
  for (const bool copy : {true, false}) {
    batch.clear();
    Rect box{screen_width(), screen_height(), 0, 0};
    for (const Patch& patch : sprite.patches) {
      if (patch.kind == CellKind::Clear && skip_clear) continue;
      if ((patch.kind == CellKind::Opaque && full_intensity) != copy) continue;
      const Patch part{std::max(patch.left, clip_left), std::min(patch.right, clip_right),
                       std::max(patch.bottom, clip_bottom), std::min(patch.top, clip_top), patch.kind};
      if (part.left >= part.right || part.bottom >= part.top) continue;
      batch.push_back(part);
      box = Rect{std::min(box.x0, origin_x + part.left), std::min(box.y0, screen_height() - origin_y - part.top),
                 std::max(box.x1, origin_x + part.right), std::max(box.y1, screen_height() - origin_y - part.bottom)};
    }
    if (batch.empty()) continue;
    SetBlend(copy ? Blend::Replace : blend);
    DrawUncovered(box, [&] {
      const float sx = static_cast<float>(origin_x), sy = static_cast<float>(origin_y);
      glBegin(GL_QUADS);
      for (const Patch& part : batch) {
        const float l = static_cast<float>(part.left), r = static_cast<float>(part.right);
        const float b = static_cast<float>(part.bottom), t = static_cast<float>(part.top);
        glTexCoord2f(l, t);
        glVertex3f(sx + l, sy + t, 0);
        glTexCoord2f(r, t);
        glVertex3f(sx + r, sy + t, 0);
        glTexCoord2f(r, b);
        glVertex3f(sx + r, sy + b, 0);
        glTexCoord2f(l, b);
        glVertex3f(sx + l, sy + b, 0);
      }
      glEnd();
    });
  }
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

int64_t sprite_from_image(int64_t number, int64_t image, int flags) {
  const ImageObject* picture = image_find(image);
  if (!picture || !picture->pixbuf) {
    if (number != kNewObject) Sprites.sprites.Free(number);
    return 0;
  }
  const GdkPixbuf* pixbuf = picture->pixbuf;
  const int width = gdk_pixbuf_get_width(pixbuf), height = gdk_pixbuf_get_height(pixbuf);
  const int channels = gdk_pixbuf_get_n_channels(pixbuf);
  const size_t stride = static_cast<size_t>(gdk_pixbuf_get_rowstride(pixbuf));
  int64_t handle = 0;
  SpriteObject* sprite = NewSprite(number, width, height, 32, flags, &handle);
  if (!sprite) return 0;
  Pixels pixels = TextureBuffer(width, height);
  if (pixels.empty()) return Finish(handle, sprite, pixels);
  // The picture's colours, bottom row first as the texture wants them; alpha stays 0 until keyed,
  // as on a blank sprite drawn into.
  const uint8_t* source = gdk_pixbuf_read_pixels(pixbuf);
  for (int row = 0; row < height; ++row) {
    const uint8_t* from = source + stride * static_cast<size_t>(row);
    uint8_t* to = pixels.data() + size_t{4} * static_cast<size_t>(width) * static_cast<size_t>(height - 1 - row);
    for (int x = 0; x < width; ++x, from += channels, to += 4) {
      to[0] = from[0];
      to[1] = from[1];
      to[2] = from[2];
    }
  }
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
  if (flags & kSpriteKeepAlpha) {
    for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
  } else {
    ColourKey(pixels.data(), pixels.size() / 4, Sprites.default_key);
  }
  return Finish(handle, sprite, pixels);
}

void sprite_free(int64_t number) {
  Sprites.sprites.Free(number);
  // Every sprite goes when the screen closes; the next screen's context starts afresh.
  if (number == kAllObjects) ForgetGlState();
}

void sprite_display(int64_t number, int x, int y) {
  SpriteObject* sprite = PrepareDisplay(number, x, y);
  if (!sprite) return;
  if (sprite->opaque) {
    SetBlend(Blend::Replace);
    DrawQuad(*sprite, x, y);
    return;
  }
  SetColour(1, 1, 1, 1);
  if (Unscaled(*sprite)) {
    DrawPatches(*sprite, x, y, Blend::Darken, true);
    return;
  }
  SetBlend(Blend::Darken);
  DrawQuad(*sprite, x, y);
}

void sprite_display_blended(int64_t number, int x, int y, int intensity, int64_t colour) {
  SpriteObject* sprite = PrepareDisplay(number, x, y);
  if (!sprite) return;
  const float alpha = static_cast<float>(intensity) / 255.0f;
  // Colours are 32-bit values: "no colour" is -1 in 32 bits, which is also rgba(255, 255, 255, 255).
  const bool plain = static_cast<uint32_t>(colour) == 0xFFFFFFFFu;
  const bool full_intensity = plain && intensity == 255;
  if (plain) {
    SetColour(1, 1, 1, alpha);
  } else {
    // The colour replaces the texture's; the alpha stays the texture's times the intensity.
    SetColour(static_cast<float>(colour & 0xFF) / 255.0f, static_cast<float>((colour >> 8) & 0xFF) / 255.0f,
              static_cast<float>((colour >> 16) & 0xFF) / 255.0f, alpha);
  }
  const Blend blend = plain ? Blend::Mix : Blend::Tint;
  if (Unscaled(*sprite)) {
    DrawPatches(*sprite, x, y, blend, full_intensity);
    return;
  }
  SetBlend(sprite->opaque && full_intensity ? Blend::Replace : blend);
  DrawQuad(*sprite, x, y);
}

void sprite_cover(int x, int y, int width, int height) {
  const Rect cover{x, y, x + std::max(width, 0), y + std::max(height, 0)};
  if (!cover.Empty()) Sprites.covers.push_back(cover);
}

void sprite_uncover() { Sprites.covers.clear(); }

int sprite_opaque_rows(int64_t number, int* y, int* height) {
  *y = *height = 0;
  const SpriteObject* sprite = Sprites.sprites.Find(number);
  if (!sprite || !Unscaled(*sprite)) return 0;
  const int clip_top = sprite->texture_height - sprite->clip_y;
  const int clip_bottom = clip_top - sprite->clip_height;
  const int bottom = std::max(sprite->opaque_bottom, clip_bottom), top = std::min(sprite->opaque_top, clip_top);
  if (bottom >= top) return 0;
  *y = clip_top - top;  // picture rows run top-down
  *height = top - bottom;
  return 1;
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
