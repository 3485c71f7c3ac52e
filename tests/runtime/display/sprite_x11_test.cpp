// Sprites drawn on the full screen of the virtual X server with software OpenGL, checked by
// reading the frame's pixels back.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "runtime/display/drawing.h"
#include "runtime/display/image.h"
#include "runtime/display/png.h"
#include "runtime/display/screen.h"
#include "runtime/display/sprite.h"
#include "tests/support/x11_display.h"

namespace {

const uint32_t kRed = x11_rgb(255, 0, 0);
const uint32_t kGreen = x11_rgb(0, 255, 0);
const uint32_t kBlue = x11_rgb(0, 0, 255);
const uint32_t kWhite = x11_rgb(255, 255, 255);
const uint32_t kBlack = x11_rgb(0, 0, 0);

struct Rgba {
  uint8_t r, g, b, a;
};

// A PNG picture, rows top-down, in memory.
MemoryBlock Png(int width, int height, const std::vector<Rgba>& pixels, int depth = 32) {
  std::vector<uint8_t> bytes;
  for (const Rgba& p : pixels) {
    bytes.insert(bytes.end(), {p.r, p.g, p.b});
    if (depth == 32) bytes.push_back(p.a);
  }
  PixelRows rows;
  rows.bytes = bytes;
  rows.width = width;
  rows.height = height;
  rows.pitch = int64_t{width} * depth / 8;
  rows.depth = depth;
  return png_encode_to_memory(rows);
}

MemoryBlock Solid(int width, int height, Rgba colour, int depth = 24) {
  return Png(width, height, std::vector<Rgba>(static_cast<size_t>(width) * height, colour), depth);
}

// 2 x 2: red, green on top; blue, white below.
MemoryBlock Quadrants() { return Png(2, 2, {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}}); }

class SpriteTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x11_open_drawing_screen());
    sprite_transparent_color(-1, 0);
  }
  void TearDown() override { screen_close(); }
};

TEST_F(SpriteTest, DisplayCoversExactlyItsRectangleUpright) {
  ASSERT_NE(sprite_load_from_memory(1, Solid(4, 3, {255, 0, 0, 255})), 0);
  sprite_display(1, 10, 20);
  const std::vector<uint32_t> area = x11_read_screen(8, 18, 8, 7);
  for (int row = 0; row < 7; ++row) {
    for (int column = 0; column < 8; ++column) {
      const bool inside = column >= 2 && column < 6 && row >= 2 && row < 5;
      EXPECT_EQ(area[row * 8 + column], inside ? kRed : kGreen) << column << "," << row;
    }
  }
  ASSERT_NE(sprite_load_from_memory(2, Quadrants()), 0);
  sprite_display(2, 0, 0);
  EXPECT_EQ(x11_read_screen(0, 0, 2, 2), (std::vector<uint32_t>{kRed, kGreen, kBlue, kWhite}));
}

TEST_F(SpriteTest, KeyedPixelsAreBlackWhenOpaqueAndShowTheBackgroundWhenBlended) {
  ASSERT_NE(sprite_load_from_memory(1, Png(2, 1, {{0, 0, 0, 255}, {255, 0, 0, 255}})), 0);
  sprite_display(1, 0, 0);
  EXPECT_EQ(x11_read_screen(0, 0, 2, 1), (std::vector<uint32_t>{kBlack, kRed}));
  x11_clear_screen(0, 255, 0);
  sprite_display_blended(1, 0, 0);
  EXPECT_EQ(x11_read_screen(0, 0, 2, 1), (std::vector<uint32_t>{kGreen, kRed}));
  // A flat colour fills the shape and leaves the keyed pixel alone.
  x11_clear_screen(0, 255, 0);
  sprite_display_blended(1, 0, 0, 255, 0xFF0000);
  EXPECT_EQ(x11_read_screen(0, 0, 2, 1), (std::vector<uint32_t>{kGreen, kBlue}));
  // Colours are 32-bit: opaque white as a colour value is -1, "no colour", and keeps the picture.
  x11_clear_screen(0, 255, 0);
  sprite_display_blended(1, 0, 0, 255, rgba(255, 255, 255, 255));
  EXPECT_EQ(x11_read_screen(0, 0, 2, 1), (std::vector<uint32_t>{kGreen, kRed}));
}

TEST_F(SpriteTest, IntensityScalesTheBlend) {
  ASSERT_NE(sprite_load_from_memory(1, Solid(2, 2, {255, 0, 0, 255})), 0);
  x11_clear_screen(0, 0, 0);
  sprite_display_blended(1, 0, 0, 128);
  const uint32_t pixel = x11_screen_pixel(0, 0);
  EXPECT_NEAR(static_cast<int>(pixel & 0xFF), 128, 2);
  EXPECT_EQ(pixel >> 8, 0u);
}

TEST_F(SpriteTest, PictureAlphaIsKeptOnlyWithTheFlagAndOnlyWhenThePictureHasIt) {
  const MemoryBlock soft = Png(2, 1, {{255, 0, 0, 128}, {0, 0, 0, 255}});
  struct Case {
    const char* name;
    MemoryBlock data;
    int flags;
    int expected_red;       // of the soft pixel blended over black
    uint32_t black_pixel;   // the black pixel blended over green
  };
  const Case cases[] = {
      {"soft alpha without the flag", soft, 0, 255, kGreen},
      {"soft alpha with the flag", soft, kSpriteKeepAlpha, 128, kBlack},
      {"no alpha with the flag", Png(2, 1, {{255, 0, 0, 255}, {0, 0, 0, 255}}, 24), kSpriteKeepAlpha, 255, kGreen},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NE(sprite_load_from_memory(1, c.data, c.flags), 0);
    x11_clear_screen(0, 0, 0);
    sprite_display_blended(1, 0, 0);
    EXPECT_NEAR(static_cast<int>(x11_screen_pixel(0, 0) & 0xFF), c.expected_red, 2);
    x11_clear_screen(0, 255, 0);
    sprite_display_blended(1, 0, 0);
    EXPECT_EQ(x11_screen_pixel(1, 0), c.black_pixel);
  }
}

// Expected screen pixel of a texel blended over a background at an intensity (within 2 per
// channel), or exactly the texel where its alpha is full at full intensity.
void ExpectBlended(uint32_t seen, Rgba texel, int intensity, Rgba background, const std::string& where) {
  const int alpha = texel.a * intensity / 255;
  const int expected[3] = {(texel.r * alpha + background.r * (255 - alpha)) / 255,
                           (texel.g * alpha + background.g * (255 - alpha)) / 255,
                           (texel.b * alpha + background.b * (255 - alpha)) / 255};
  const int tolerance = alpha == 255 || alpha == 0 ? 0 : 2;
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(static_cast<int>((seen >> (8 * c)) & 0xFF), expected[c], tolerance) << where;
}

// A picture whose rows are transparent, opaque, or mixed (transparent, soft and opaque texels),
// in runs and alone, with `stripes` more rows alternating transparent and opaque below.
std::vector<Rgba> Rows(int width, int stripes, int* height) {
  const char* kinds = "ttoommtomtooo";
  std::vector<Rgba> pixels;
  int rows = 0;
  auto add_row = [&](char kind) {
    for (int x = 0; x < width; ++x) {
      const uint8_t shade = static_cast<uint8_t>(40 + 50 * x + 7 * rows);
      Rgba texel{shade, static_cast<uint8_t>(200 - shade / 2), static_cast<uint8_t>(rows * 11), 255};
      if (kind == 't') texel.a = 0;
      if (kind == 'm') texel.a = x == 0 ? 0 : x == 1 ? 128 : x == width - 1 ? 0 : 255;
      pixels.push_back(texel);
    }
    ++rows;
  };
  for (const char* kind = kinds; *kind; ++kind) add_row(*kind);
  for (int i = 0; i < stripes; ++i) add_row(i % 2 ? 'o' : 't');
  *height = rows;
  return pixels;
}

TEST_F(SpriteTest, BlendedAtItsOwnSizeEveryPixelComesOutAsTheWholeBlendWould) {
  const Rgba green{0, 255, 0, 255};
  for (const int stripes : {0, 40}) {  // few runs of rows, and more than are worth drawing apart
    int height = 0;
    const std::vector<Rgba> picture = Rows(5, stripes, &height);
    ASSERT_NE(sprite_load_from_memory(1, Png(5, height, picture), kSpriteKeepAlpha), 0);
    for (const int quality : {0, 1}) {
      sprite_quality(quality);
      for (const int intensity : {255, 128}) {
        SCOPED_TRACE(testing::Message() << stripes << " stripes, quality " << quality << ", intensity " << intensity);
        x11_clear_screen(0, 255, 0);
        sprite_display_blended(1, 7, 3, intensity);
        const std::vector<uint32_t> seen = x11_read_screen(6, 2, 7, height + 2);
        for (int y = 0; y < height + 2; ++y) {
          for (int x = 0; x < 7; ++x) {
            const bool inside = x >= 1 && x <= 5 && y >= 1 && y <= height;
            const Rgba texel = inside ? picture[static_cast<size_t>(y - 1) * 5 + (x - 1)] : Rgba{0, 0, 0, 0};
            ExpectBlended(seen[static_cast<size_t>(y) * 7 + x], texel, intensity, green,
                          std::to_string(x) + "," + std::to_string(y));
          }
        }
      }
    }
    // A flat colour fills every texel that is not transparent, opaque rows included.
    x11_clear_screen(0, 255, 0);
    sprite_display_blended(1, 0, 0, 255, 0xFF0000);
    const std::vector<uint32_t> seen = x11_read_screen(0, 0, 5, height);
    for (size_t i = 0; i < seen.size(); ++i) {
      Rgba texel = picture[i];
      texel.r = 0;
      texel.g = 0;
      texel.b = 255;
      ExpectBlended(seen[i], texel, 255, green, std::to_string(i));
    }
  }
  sprite_quality(0);
}

TEST_F(SpriteTest, AtItsOwnSizeASpriteShowsItsTexelsWhateverTheFiltering) {
  // Neighbouring texels differ as much as they can: any filtering between them would show.
  std::vector<Rgba> checks;
  for (int i = 0; i < 16; ++i) checks.push_back((i + i / 4) % 2 ? Rgba{255, 255, 255, 255} : Rgba{0, 0, 255, 255});
  ASSERT_NE(sprite_load_from_memory(1, Png(4, 4, checks)), 0);
  sprite_quality(1);
  sprite_display(1, 3, 5);
  sprite_display_blended(1, 13, 5);
  sprite_quality(0);
  for (const int left : {3, 13}) {
    const std::vector<uint32_t> seen = x11_read_screen(left, 5, 4, 4);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(seen[i], (i + i / 4) % 2 ? kWhite : kBlue) << left << ": " << i;
  }
}

TEST_F(SpriteTest, RotationTurnsClockwiseAboutTheCentre) {
  ASSERT_NE(sprite_load_from_memory(1, Quadrants()), 0);
  sprite_zoom(1, 40, 40);
  auto quadrants = [] {
    return std::vector<uint32_t>{x11_screen_pixel(110, 110), x11_screen_pixel(130, 110), x11_screen_pixel(110, 130),
                                 x11_screen_pixel(130, 130)};
  };
  sprite_rotate(1, kRotateAdd, 90);
  sprite_display(1, 100, 100);
  // Red (top-left) turned to the top-right; blue (bottom-left) to the top-left.
  EXPECT_EQ(quadrants(), (std::vector<uint32_t>{kBlue, kRed, kWhite, kGreen}));
  sprite_rotate(1, kRotateAdd, 90);
  x11_clear_screen(0, 255, 0);
  sprite_display(1, 100, 100);
  EXPECT_EQ(quadrants(), (std::vector<uint32_t>{kWhite, kBlue, kGreen, kRed}));
  EXPECT_EQ(x11_screen_pixel(99, 99), kGreen);
  EXPECT_EQ(x11_screen_pixel(140, 140), kGreen);
  sprite_rotate(1, kRotateSet, 0);
  sprite_display(1, 100, 100);
  EXPECT_EQ(quadrants(), (std::vector<uint32_t>{kRed, kGreen, kBlue, kWhite}));
}

TEST_F(SpriteTest, SpriteWhollyOffTheEdgeIsSkippedAndOneColumnInIsDrawn) {
  ASSERT_NE(sprite_load_from_memory(1, Solid(4, 4, {255, 0, 0, 255})), 0);
  sprite_display(1, -4, 0);
  sprite_display(1, 0, -4);
  EXPECT_EQ(x11_screen_pixel(0, 0), kGreen);
  sprite_display(1, -3, 10);
  EXPECT_EQ(x11_read_screen(0, 10, 2, 1), (std::vector<uint32_t>{kRed, kGreen}));
  sprite_display(1, screen_width(), 0);
  sprite_display(1, screen_width() - 1, 20);
  EXPECT_EQ(x11_screen_pixel(screen_width() - 1, 20), kRed);
}

TEST_F(SpriteTest, ZoomMinusOneRestoresThePictureSize) {
  ASSERT_NE(sprite_load_from_memory(1, Solid(4, 3, {255, 0, 0, 255})), 0);
  sprite_zoom(1, 10, 12);
  EXPECT_EQ(sprite_width(1), 10);
  EXPECT_EQ(sprite_height(1), 12);
  sprite_display(1, 0, 0);
  EXPECT_EQ(x11_screen_pixel(9, 11), kRed);
  sprite_zoom(1, 20, 5);
  sprite_zoom(1, -1, -1);
  EXPECT_EQ(sprite_width(1), 4);
  EXPECT_EQ(sprite_height(1), 3);
  x11_clear_screen(0, 255, 0);
  sprite_display(1, 0, 0);
  EXPECT_EQ(x11_read_screen(3, 2, 2, 1), (std::vector<uint32_t>{kRed, kGreen}));
}

TEST_F(SpriteTest, GrabbedBlackBecomesTransparentAndScreenshotIsUpright) {
  x11_clear_screen(0, 0, 0);
  ASSERT_NE(sprite_load_from_memory(1, Quadrants()), 0);
  sprite_display(1, 0, 0);
  ASSERT_NE(sprite_grab(2, 0, 0, 3, 2), 0);
  EXPECT_EQ(sprite_width(2), 3);
  x11_clear_screen(0, 255, 0);
  sprite_display_blended(2, 50, 50);
  EXPECT_EQ(x11_read_screen(50, 50, 3, 2), (std::vector<uint32_t>{kRed, kGreen, kGreen, kBlue, kWhite, kGreen}));

  const std::string path = x11_temp_path("shot.png");
  ASSERT_EQ(sprite_save(2, text_from_utf8(path), kImageFormatPng), 1);
  std::ifstream file(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::remove(path.c_str());
  DecodedPicture picture;
  ASSERT_EQ(image_decode_memory(bytes, 0, &picture), 1);
  ASSERT_EQ(picture.depth, 32);
  ASSERT_EQ(picture.width, 3);
  ASSERT_EQ(picture.height, 2);
  const std::vector<uint8_t> expected = {255, 0, 0, 255, 0, 255, 0, 255, 0,   0,   0,   0,
                                         0,   0, 255, 255, 255, 255, 255, 255, 0, 0, 0, 0};
  EXPECT_EQ(picture.pixels, expected);
  EXPECT_EQ(sprite_save(2, u"", kImageFormatPng), 0);
  EXPECT_EQ(sprite_save(9, text_from_utf8(path), kImageFormatPng), 0);
}

TEST_F(SpriteTest, AnOpaqueGrabPutsBackExactlyWhatWasOnTheScreen) {
  x11_clear_screen(0, 0, 0);
  ASSERT_NE(sprite_load_from_memory(1, Quadrants()), 0);
  sprite_display(1, 0, 0);
  ASSERT_NE(sprite_grab(2, 0, 0, 3, 2, kSpriteKeepAlpha), 0);
  const std::vector<uint32_t> grabbed = {kRed, kGreen, kBlack, kBlue, kWhite, kBlack};
  x11_clear_screen(0, 255, 0);
  sprite_display(2, 50, 50);
  EXPECT_EQ(x11_read_screen(50, 50, 3, 2), grabbed);
  // Black stays black, also blended: nothing of the grab is see-through.
  x11_clear_screen(0, 255, 0);
  sprite_display_blended(2, 50, 50);
  EXPECT_EQ(x11_read_screen(50, 50, 3, 2), grabbed);
}

TEST_F(SpriteTest, DrawingOnASpriteReachesItsTextureUpright) {
  ASSERT_NE(sprite_create(1, 8, 6), 0);
  DrawingTarget* target = sprite_output(1);
  ASSERT_NE(drawing_start(target), 0u);
  draw_box(0, 0, 4, 2, rgb(255, 0, 0));
  draw_box(7, 5, 1, 1, rgb(0, 0, 255));
  drawing_stop();
  sprite_display_blended(1, 0, 0);
  const std::vector<uint32_t> area = x11_read_screen(0, 0, 8, 6);
  EXPECT_EQ(area[0], kRed);
  EXPECT_EQ(area[1 * 8 + 3], kRed);
  EXPECT_EQ(area[2 * 8 + 0], kGreen);  // blank black stays keyed out
  EXPECT_EQ(area[5 * 8 + 7], kBlue);
  EXPECT_EQ(sprite_output(9), nullptr);
}

// The saved texture of a sprite, colours and alpha, as PNG bytes.
std::string SavedTexture(int64_t sprite) {
  const std::string path = x11_temp_path("texture.png");
  if (sprite_save(sprite, text_from_utf8(path), kImageFormatPng) != 1) return {};
  std::ifstream file(path, std::ios::binary);
  std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  std::remove(path.c_str());
  return bytes;
}

TEST_F(SpriteTest, AnImageMadeIntoASpriteIsTheBlankSpriteItWouldBeDrawnInto) {
  // Key-coloured pixels, other colours and partial alpha, which a drawn image does not bring.
  const std::vector<Rgba> pixels = {{0, 0, 0, 255},   {255, 0, 0, 128}, {255, 255, 255, 0},
                                    {10, 20, 30, 255}, {0, 0, 0, 7},     {0, 255, 0, 255}};
  for (const int depth : {24, 32}) {
    for (const uint32_t key : {0x000000u, 0xFFFFFFu}) {
      for (const int flags : {0, kSpriteKeepAlpha, kSpriteMask}) {
        SCOPED_TRACE(testing::Message() << "depth " << depth << ", key " << key << ", flags " << flags);
        sprite_transparent_color(-1, key);
        const MemoryBlock png = Png(3, 2, pixels, depth);
        const int64_t image = image_load_from_memory(kNewObject, std::span<const uint8_t>(png.data(), png.size()));
        ASSERT_NE(image, 0);
        ASSERT_NE(sprite_create(1, 3, 2, flags), 0);
        ASSERT_NE(drawing_start(sprite_output(1)), 0u);
        draw_image(image_handle(image), 0, 0);
        drawing_stop();
        ASSERT_NE(sprite_from_image(2, image, flags), 0);
        EXPECT_EQ(sprite_width(2), 3);
        EXPECT_EQ(sprite_height(2), 2);
        const std::string drawn = SavedTexture(1);
        ASSERT_FALSE(drawn.empty());
        EXPECT_EQ(SavedTexture(2), drawn);
        image_free(image);
      }
    }
  }
  // No image, no sprite: the number is emptied as by every other failure.
  EXPECT_EQ(sprite_from_image(2, 99), 0);
  EXPECT_EQ(sprite_width(2), 0);
}

TEST_F(SpriteTest, ReKeyingMakesTheNewColourTransparent) {
  ASSERT_NE(sprite_load_from_memory(1, Png(2, 1, {{255, 255, 255, 255}, {0, 0, 0, 255}})), 0);
  sprite_transparent_color(1, 0xFFFFFF);
  sprite_display_blended(1, 0, 0);
  EXPECT_EQ(x11_read_screen(0, 0, 2, 1), (std::vector<uint32_t>{kGreen, kBlack}));
  // A copy keeps the pixels and alpha, not the zoom.
  sprite_zoom(1, 10, 10);
  ASSERT_NE(sprite_copy(1, 2), 0);
  EXPECT_EQ(sprite_width(2), 2);
  x11_clear_screen(0, 255, 0);
  sprite_display_blended(2, 0, 0);
  EXPECT_EQ(x11_read_screen(0, 0, 2, 1), (std::vector<uint32_t>{kGreen, kBlack}));
}

TEST_F(SpriteTest, ReKeyingWithTheKeyInEffectKeepsThePictureAlpha) {
  ASSERT_NE(sprite_load_from_memory(1, Png(1, 1, {{255, 0, 0, 128}}), kSpriteKeepAlpha), 0);
  sprite_transparent_color(1, 0);  // the default key, already the sprite's: nothing is re-keyed
  x11_clear_screen(0, 0, 0);
  sprite_display_blended(1, 0, 0);
  EXPECT_NEAR(static_cast<int>(x11_screen_pixel(0, 0) & 0xFF), 128, 2);
}

TEST_F(SpriteTest, NoSaveProtectsTheSpriteAndEveryCopyWhateverFlagsComeWithIt) {
  const std::string path = x11_temp_path("copy.png");
  // The protection is one bit among the creation flags: combined with others it still holds.
  for (const int source_flags : {kSpriteNoSave, kSpriteNoSave | kSpriteKeepAlpha, kSpriteNoSave | kSpriteMask,
                                 kSpriteNoSave | kSpriteKeepAlpha | kSpriteMask}) {
    SCOPED_TRACE(source_flags);
    ASSERT_NE(sprite_create(1, 2, 2, source_flags), 0);
    EXPECT_EQ(sprite_save(1, text_from_utf8(path), kImageFormatPng), 0);
    for (const int flags : {-1, 0, kSpriteKeepAlpha, kSpriteMask}) {
      SCOPED_TRACE(flags);
      ASSERT_NE(sprite_copy(1, 2, flags), 0);
      EXPECT_EQ(sprite_save(2, text_from_utf8(path), kImageFormatPng), 0);
      // A copy of the copy is no way round it either.
      ASSERT_NE(sprite_copy(2, 3, 0), 0);
      EXPECT_EQ(sprite_save(3, text_from_utf8(path), kImageFormatPng), 0);
    }
  }
  // Without the bit a sprite saves, also with other flags; a copy asked to be protected is.
  for (const int flags : {0, kSpriteKeepAlpha, kSpriteKeepAlpha | kSpriteMask}) {
    SCOPED_TRACE(flags);
    ASSERT_NE(sprite_create(4, 2, 2, flags), 0);
    EXPECT_EQ(sprite_save(4, text_from_utf8(path), kImageFormatPng), 1);
    ASSERT_NE(sprite_copy(4, 5, flags | kSpriteNoSave), 0);
    EXPECT_EQ(sprite_save(5, text_from_utf8(path), kImageFormatPng), 0);
    ASSERT_NE(sprite_copy(4, 6), 0);
    EXPECT_EQ(sprite_save(6, text_from_utf8(path), kImageFormatPng), 1);
  }
  std::remove(path.c_str());
}

TEST_F(SpriteTest, BadDataAndBadSizesMakeNoSprite) {
  const std::vector<uint8_t> junk = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'};
  ASSERT_NE(sprite_create(1, 4, 4), 0);
  EXPECT_EQ(sprite_load_from_memory(1, junk), 0);
  EXPECT_EQ(sprite_width(1), 0);  // the number is empty afterwards
  EXPECT_EQ(sprite_create(2, 0, 5), 0);
  EXPECT_EQ(sprite_create(3, -4, 5), 0);
  EXPECT_EQ(sprite_create(3, 1 << 20, 2), 0);
  EXPECT_EQ(sprite_grab(3, 0, 0, 0, 0), 0);
  EXPECT_EQ(sprite_copy(7, 4), 0);
  sprite_display(1, 0, 0);  // drawing nothing is harmless
  EXPECT_EQ(x11_screen_pixel(0, 0), kGreen);
}

// A handle made with kNewObject can be the target of every call that makes a sprite: the new
// sprite takes the handle's place. A failure leaves the handle empty.
TEST_F(SpriteTest, AFreshHandleCanBeTheTargetOfEveryCallThatMakesASprite) {
  const int64_t sprite = sprite_load_from_memory(kNewObject, Quadrants());
  ASSERT_NE(sprite, 0);
  const int64_t copy = sprite_create(kNewObject, 5, 5);
  ASSERT_NE(copy, 0);
  EXPECT_EQ(sprite_copy(sprite, copy), copy);
  EXPECT_EQ(sprite_width(copy), 2);
  EXPECT_EQ(sprite_copy(copy, copy), copy);  // onto itself
  sprite_display(copy, 0, 0);
  EXPECT_EQ(x11_screen_pixel(0, 0), kRed);
  EXPECT_EQ(x11_screen_pixel(1, 1), kWhite);
  EXPECT_EQ(sprite_create(copy, 3, 4), copy);
  EXPECT_EQ(sprite_height(copy), 4);
  EXPECT_EQ(sprite_load_from_memory(copy, Solid(6, 2, {0, 0, 255, 255})), copy);
  EXPECT_EQ(sprite_width(copy), 6);
  EXPECT_EQ(sprite_grab(copy, 0, 0, 7, 3), copy);
  EXPECT_EQ(sprite_width(copy), 7);
  const std::vector<uint8_t> junk = {'j', 'u', 'n', 'k'};
  EXPECT_EQ(sprite_load_from_memory(copy, junk), 0);
  EXPECT_EQ(sprite_width(copy), 0);
  EXPECT_EQ(sprite_create(copy, 2, 2), 0);  // the handle names nothing now
  EXPECT_EQ(sprite_width(sprite), 2);
}

TEST_F(SpriteTest, ClosingTheScreenEmptiesEverySpriteNumber) {
  ASSERT_NE(sprite_create(3, 4, 4), 0);
  const int64_t handle = sprite_create(-1, 4, 4);
  ASSERT_NE(handle, 0);
  EXPECT_EQ(sprite_width(handle), 4);
  screen_close();
  EXPECT_EQ(sprite_width(3), 0);
  EXPECT_EQ(sprite_width(handle), 0);
  EXPECT_EQ(sprite_create(3, 4, 4), 0);  // no screen, no sprite
}

}  // namespace
