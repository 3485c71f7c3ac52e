// Tests of the shared art style and of the pictures of the built asset pack: every entry
// decodes, fits its buffer and has the shape, transparency and key colour the game expects.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <vector>

#include "runtime/display/bmp.h"
#include "runtime/display/image.h"
#include "runtime/display/png.h"
#include "tests/support/content_pack.h"
#include "tools/artstyle/artstyle.h"
#include "tools/levels/level_art.h"
#include "tools/levels/level_compiler.h"

namespace {

using artstyle::Canvas;
using artstyle::PngKind;

struct Decoded {
  int width = 0, height = 0;
  bool alpha = false;            // the file stores an alpha channel
  std::vector<uint8_t> rgba;     // decoded pixels, 4 bytes each
  size_t file_size = 0;
  const uint8_t* At(int x, int y) const { return &rgba[(size_t(y) * width + x) * 4]; }
  bool Black(int x, int y) const { return At(x, y)[0] == 0 && At(x, y)[1] == 0 && At(x, y)[2] == 0; }
};

bool DecodePng(const std::vector<uint8_t>& bytes, Decoded* out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return false;
  out->alpha = image.format & PNG_FORMAT_FLAG_ALPHA;
  image.format = PNG_FORMAT_RGBA;
  out->width = int(image.width);
  out->height = int(image.height);
  out->rgba.resize(PNG_IMAGE_SIZE(image));
  out->file_size = bytes.size();
  return png_image_finish_read(&image, nullptr, out->rgba.data(), 0, nullptr) != 0;
}

// A picture read from the built asset pack into a buffer of the size the game uses for it.
Decoded FromPack(const std::string& name) {
  bool full_screen = name.rfind("title_", 0) == 0 || name.rfind("tgs_", 0) == 0;
  std::vector<uint8_t> bytes = ReadAssetEntry(name, full_screen ? 4194304 : 204800);
  Decoded decoded;
  EXPECT_TRUE(DecodePng(bytes, &decoded)) << name;
  return decoded;
}

size_t CountBlack(const Decoded& picture) {
  size_t black = 0;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) black += picture.Black(x, y);
  }
  return black;
}

// ---- The art style -----------------------------------------------------------------------

TEST(ArtStyle, StorageKindsKeepTheKeyColourForSeeThroughAreasOnly) {
  Canvas canvas(4, 1);
  cairo_t* cr = canvas.cr();
  cairo_set_source_rgb(cr, 0, 0, 0);  // an opaque black pixel...
  cairo_rectangle(cr, 0, 0, 1, 1);
  cairo_fill(cr);
  cairo_set_source_rgba(cr, 1, 0.5, 0, 0.5);  // ...a half-covered orange one...
  cairo_rectangle(cr, 1, 0, 1, 1);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 0.2, 0.4, 0.6);  // ...a plain one; the last stays transparent
  cairo_rectangle(cr, 2, 0, 1, 1);
  cairo_fill(cr);
  struct Case {
    PngKind kind;
    bool alpha;
    uint8_t first[4], last[4];
  };
  const Case cases[] = {{PngKind::Opaque, false, {1, 1, 1, 255}, {1, 1, 1, 255}},
                        {PngKind::Keyed, false, {1, 1, 1, 255}, {0, 0, 0, 255}},
                        {PngKind::Alpha, true, {0, 0, 0, 255}, {0, 0, 0, 0}}};
  for (const Case& c : cases) {
    Decoded d;
    ASSERT_TRUE(DecodePng(artstyle::EncodePng(canvas, c.kind), &d));
    EXPECT_EQ(d.alpha, c.alpha);
    EXPECT_EQ(std::vector<uint8_t>(d.At(0, 0), d.At(0, 0) + 4),
              std::vector<uint8_t>(c.first, c.first + 4));
    EXPECT_EQ(std::vector<uint8_t>(d.At(3, 0), d.At(3, 0) + 4),
              std::vector<uint8_t>(c.last, c.last + 4));
    EXPECT_FALSE(d.Black(1, 0));
    EXPECT_EQ(d.At(2, 0)[0], 51);
  }
}

TEST(ArtStyle, SamePictureGivesSameBytes) {
  const std::pair<const char*, std::function<void(cairo_t*)>> pictures[] = {
      {"keeper", [](cairo_t* cr) { artstyle::DrawKeeper(cr, 64, artstyle::Facing::Left, true); }},
      {"ground 0", [](cairo_t* cr) { artstyle::DrawGround(cr, 64, 0); }},
      {"ground 3", [](cairo_t* cr) { artstyle::DrawGround(cr, 64, 3); }}};
  for (const auto& [name, draw] : pictures) {
    auto encode = [&] {
      Canvas canvas(64, 64);
      draw(canvas.cr());
      return artstyle::EncodePng(canvas, PngKind::Alpha);
    };
    EXPECT_EQ(encode(), encode()) << name;
  }
}

// Board pieces are drawn opaque (the game draws floor, walls and crates without blending) and
// must never contain the key colour, at the asset size and at thumbnail sizes alike.
TEST(ArtStyle, BoardPiecesCoverTheirCellWithoutKeyColour) {
  std::vector<std::pair<std::string, std::function<void(cairo_t*, double)>>> pieces = {
      {"floor", [](cairo_t* cr, double s) { artstyle::DrawFloor(cr, s, 7); }},
      {"target", [](cairo_t* cr, double s) { artstyle::DrawTarget(cr, s); }},
      {"ground", [](cairo_t* cr, double s) { artstyle::DrawGround(cr, s, 3); }},
      {"crate", [](cairo_t* cr, double s) { artstyle::DrawCrate(cr, s); }}};
  for (unsigned joins = 0; joins < 16; ++joins) {
    pieces.push_back({"wall " + std::to_string(joins),
                      [joins](cairo_t* cr, double s) { artstyle::DrawWall(cr, s, joins); }});
  }
  for (int size : {64, 9}) {
    for (const auto& [name, draw] : pieces) {
      Canvas canvas(size, size);
      draw(canvas.cr(), size);
      Decoded d;
      ASSERT_TRUE(DecodePng(artstyle::EncodePng(canvas, PngKind::Alpha), &d));
      int transparent = 0;
      for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) transparent += d.At(x, y)[3] != 255;
      }
      EXPECT_EQ(transparent, 0) << name << " at " << size;
      EXPECT_EQ(CountBlack(d), 0u) << name << " at " << size;
    }
  }
}

// The grass outside the walls is laid cell by cell from separately stored tiles, in the variants
// the level compiler mixes. A 4 x 4 block of stored tiles is compared line by line: where two
// tiles meet, the differences between neighbouring pixels, the detail in a band astride the edge
// and the colour of the edge rows must all be those of the inside of a tile, else the tile edges
// show as a grid.
struct GrassFigures {
  double seam = 0, inside = 0;            // mean neighbour difference across an edge / inside
  double seam_band = 0, inside_band = 0;  // the same over 8-pixel bands: astride an edge / inside
  double edge_colour = 0, inside_colour = 0;  // mean R + G + B of the edge rows / inside rows
};

GrassFigures MeasureGrass(const int layout[4][4]) {
  constexpr int kTile = 64, kBlock = 4 * kTile;
  std::vector<Decoded> tiles(4);
  for (int variant = 0; variant < 4; ++variant) {
    Canvas canvas(kTile, kTile);
    artstyle::DrawGround(canvas.cr(), kTile, variant);
    EXPECT_TRUE(DecodePng(artstyle::EncodePng(canvas, PngKind::Opaque), &tiles[variant]));
  }
  auto pixel = [&](int x, int y) {
    return tiles[layout[y / kTile][x / kTile]].At(x % kTile, y % kTile);
  };
  auto difference = [&](int x0, int y0, int x1, int y1) {
    const uint8_t *a = pixel(x0, y0), *b = pixel(x1, y1);
    return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
  };
  // Line k of a tile: the pixel pairs from offset k to k + 1 (k = 63 crossing into the next
  // tile) and the pixels at offset k, both across and down the block.
  double pairs[kTile] = {}, colour[kTile] = {};
  for (int a = 0; a < kBlock; ++a) {
    for (int b = 0; b < kBlock; ++b) {
      const uint8_t *across = pixel(b, a), *down = pixel(a, b);
      colour[b % kTile] += across[0] + across[1] + across[2] + down[0] + down[1] + down[2];
      if (b + 1 < kBlock) {
        pairs[b % kTile] += difference(b, a, b + 1, a) + difference(a, b, a, b + 1);
      }
    }
  }
  for (int k = 0; k < kTile; ++k) {
    pairs[k] /= 2.0 * kBlock * (k == kTile - 1 ? 3 : 4);
    colour[k] /= 2.0 * kBlock * 4;
  }
  GrassFigures f;
  f.seam = pairs[kTile - 1];
  for (int k = 0; k < kTile - 1; ++k) f.inside += pairs[k] / (kTile - 1);
  for (int k = 0; k < kTile; ++k) {
    bool astride = k < 4 || k >= kTile - 4;  // the band of lines 60 ... 63, 0 ... 3
    (astride ? f.seam_band : f.inside_band) += pairs[k] / (astride ? 8 : kTile - 8);
    bool edge = k == 0 || k == kTile - 1;
    (edge ? f.edge_colour : f.inside_colour) += colour[k] / (edge ? 2 : kTile - 2);
  }
  return f;
}

TEST(ArtStyle, GrassTilesJoinWithoutAVisibleEdge) {
  struct Case {
    const char* name;
    int layout[4][4];
    double detail, colour;  // the largest relative gaps between edge and inside figures
  };
  // A block mixing the variants so that each meets the others is the board's case, its inside
  // figures averaged over four variants. A block of one variant compares the edges with a single
  // variant's inside, a smaller sample, and gets wider bounds.
  const Case cases[] = {
      {"mixed", {{0, 1, 2, 3}, {2, 3, 0, 1}, {1, 0, 3, 2}, {3, 2, 1, 0}}, 0.1, 0.02},
      {"variant 0", {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}, 0.15, 0.03},
      {"variant 1", {{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}}, 0.15, 0.03},
      {"variant 2", {{2, 2, 2, 2}, {2, 2, 2, 2}, {2, 2, 2, 2}, {2, 2, 2, 2}}, 0.15, 0.03},
      {"variant 3", {{3, 3, 3, 3}, {3, 3, 3, 3}, {3, 3, 3, 3}, {3, 3, 3, 3}}, 0.15, 0.03}};
  for (const Case& c : cases) {
    GrassFigures f = MeasureGrass(c.layout);
    ASSERT_GT(f.inside, 1.0) << c.name;  // the grass has texture to compare at all
    EXPECT_NEAR(f.seam / f.inside, 1.0, c.detail)
        << c.name << ": " << f.seam << " across, " << f.inside << " inside";
    EXPECT_NEAR(f.seam_band / f.inside_band, 1.0, c.detail)
        << c.name << ": " << f.seam_band << " astride, " << f.inside_band << " inside";
    EXPECT_NEAR(f.edge_colour / f.inside_colour, 1.0, c.colour)
        << c.name << ": " << f.edge_colour << " at the edge, " << f.inside_colour << " inside";
  }
}

// Grass cells on whole pixels are copied from pictures drawn once; nudged off whole pixels they
// are drawn shape by shape. Both must give the same grass.
TEST(ArtStyle, CopiedGrassCellsMatchDrawnOnes) {
  for (int size : {9, 16, 64}) {
    for (int variant = 0; variant < 4; ++variant) {
      Canvas copied(size, size), drawn(size, size);
      artstyle::DrawGround(copied.cr(), size, variant);
      cairo_scale(drawn.cr(), 1 + 1e-7, 1 + 1e-7);
      artstyle::DrawGround(drawn.cr(), size, variant);
      Decoded a, b;
      ASSERT_TRUE(DecodePng(artstyle::EncodePng(copied, PngKind::Opaque), &a));
      ASSERT_TRUE(DecodePng(artstyle::EncodePng(drawn, PngKind::Opaque), &b));
      int largest = 0;
      for (size_t i = 0; i < a.rgba.size(); ++i) {
        largest = std::max(largest, std::abs(a.rgba[i] - b.rgba[i]));
      }
      EXPECT_LE(largest, 1) << "size " << size << ", variant " << variant;
    }
  }
}

// ---- The pictures of the built pack ------------------------------------------------------

TEST(AssetPack, HoldsExactlyTheGamesEntries) {
  std::vector<std::string> expected = {"click3.wav", "crate.png", "locked.png", "music1.ogg",
                                       "music2.ogg", "rollover3.wav", "tile_01.png",
                                       "titleback_c.png"};
  for (const char* pose : {"idle_", "push_"}) {
    for (const char* facing : {"left", "right", "up", "down"}) {
      expected.push_back(std::string(pose) + facing + ".png");
    }
  }
  for (const char* shape : {"3x2", "4x3", "5x4", "16x9", "16x10", "17x9"}) {
    expected.push_back(std::string("title_") + shape + ".png");
    expected.push_back(std::string("tgs_") + shape + ".png");
  }
  std::sort(expected.begin(), expected.end());
  std::vector<std::string> names = AssetPackNames();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, expected);
}

TEST(AssetPictures, EveryPictureDecodesWithinItsBuffer) {
  struct Entry {
    std::string name;
    int width, height;
    bool alpha;
    size_t limit;
  };
  std::vector<Entry> entries = {{"crate.png", 64, 64, false, 204800},
                                {"tile_01.png", 64, 64, false, 204800},
                                {"locked.png", 0, 0, false, 204800},
                                {"titleback_c.png", 0, 0, false, 204800}};
  for (const char* pose : {"idle_", "push_"}) {
    for (const char* facing : {"left", "right", "up", "down"}) {
      entries.push_back({std::string(pose) + facing + ".png", 64, 64, true, 204800});
    }
  }
  for (const char* shape : {"3x2", "4x3", "5x4", "16x9", "16x10", "17x9"}) {
    entries.push_back({std::string("title_") + shape + ".png", 0, 0, false, 4194304});
    entries.push_back({std::string("tgs_") + shape + ".png", 0, 0, false, 4194304});
  }
  for (const Entry& e : entries) {
    Decoded d = FromPack(e.name);
    EXPECT_GT(d.file_size, 0u) << e.name;
    EXPECT_LE(d.file_size, e.limit) << e.name;
    EXPECT_EQ(d.alpha, e.alpha) << e.name;
    if (e.width) {
      EXPECT_EQ(d.width, e.width) << e.name;
      EXPECT_EQ(d.height, e.height) << e.name;
    }
  }
}

// The game's own image loader reads every picture from a zero-padded buffer of its kind's
// size; the keeper pictures come out with alpha (depth 32), the others without.
TEST(AssetPictures, TheGamesImageLoaderReadsEveryPicture) {
  image_init();
  image_codecs_init();
  bmp_decoder_register();
  png_decoder_register();
  for (const std::string& name : AssetPackNames()) {
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".png") != 0) continue;
    bool full_screen = name.rfind("title_", 0) == 0 || name.rfind("tgs_", 0) == 0;
    int64_t buffer_size = full_screen ? 4194304 : 204800;
    std::vector<uint8_t> bytes = ReadAssetEntry(name, buffer_size);
    bytes.resize(size_t(buffer_size), 0);
    int64_t image = image_load_from_memory(kNewObject, bytes);
    ASSERT_NE(image, 0) << name;
    Decoded reference = FromPack(name);
    EXPECT_EQ(image_width(image), reference.width) << name;
    EXPECT_EQ(image_height(image), reference.height) << name;
    bool keeper = name.rfind("idle_", 0) == 0 || name.rfind("push_", 0) == 0;
    EXPECT_EQ(image_depth(image), keeper ? 32 : 24) << name;
    image_free(image);
  }
  image_shutdown();
}

// The game picks the title and splash pictures by the screen's ratio written with two
// decimals; each picture must have the ratio of the class it serves.
TEST(AssetPictures, TitleAndSplashHaveTheirClassRatio) {
  const std::pair<const char*, std::vector<std::string>> classes[] = {
      {"3x2", {"1.50"}},          {"4x3", {"1.33"}},          {"5x4", {"1.25"}},
      {"16x9", {"1.77", "1.78"}}, {"16x10", {"1.60"}},        {"17x9", {"1.89", "1.90"}}};
  for (const auto& [shape, texts] : classes) {
    for (const char* kind : {"title_", "tgs_"}) {
      Decoded d = FromPack(std::string(kind) + shape + ".png");
      char ratio[16];
      std::snprintf(ratio, sizeof ratio, "%.2f", double(d.width) / d.height);
      EXPECT_NE(std::find(texts.begin(), texts.end(), ratio), texts.end()) << kind << shape;
      EXPECT_GE(d.width, 1920) << kind << shape;
    }
  }
}

// The filler the game lays around the board on screens of other shapes continues the field the
// board lies in: it is the grass of the board's own edge cells, so the two join without a seam.
TEST(AssetPictures, TheFillerIsTheGrassAroundTheBoard) {
  const Decoded filler = FromPack("tile_01.png");
  Decoded ground;
  ASSERT_TRUE(DecodePng(RenderTile(kTileGround), &ground));
  ASSERT_EQ(filler.width, ground.width);
  ASSERT_EQ(filler.height, ground.height);
  size_t different = 0;
  for (int y = 0; y < filler.height; ++y) {
    for (int x = 0; x < filler.width; ++x) {
      for (int c = 0; c < 3; ++c) different += std::abs(filler.At(x, y)[c] - ground.At(x, y)[c]) > 2;
    }
  }
  EXPECT_EQ(different, 0u);
}

TEST(AssetPictures, OpaquePicturesAvoidTheKeyColour) {
  std::vector<std::string> names = {"crate.png", "tile_01.png", "locked.png", "titleback_c.png"};
  for (const char* shape : {"3x2", "4x3", "5x4", "16x9", "16x10", "17x9"}) {
    names.push_back(std::string("tgs_") + shape + ".png");
  }
  for (const std::string& name : names) EXPECT_EQ(CountBlack(FromPack(name)), 0u) << name;
}

// The title's pure black sky shows the title background, which the game zooms to 1.2 times
// the screen width, centres on the picture's lower middle and sways by up to 3 degrees: every
// see-through pixel must stay covered by it, and the ground along the bottom is solid.
TEST(AssetPictures, TitleSkyStaysInsideTheSwayingBackground) {
  Decoded back = FromPack("titleback_c.png");
  for (const char* shape : {"3x2", "4x3", "5x4", "16x9", "16x10", "17x9"}) {
    Decoded title = FromPack(std::string("title_") + shape + ".png");
    double W = title.width, H = title.height;
    double half_w = 0.6 * W, half_h = 0.6 * W * back.height / back.width;
    size_t black = 0, uncovered = 0;
    for (int y = 0; y < title.height; ++y) {
      for (int x = 0; x < title.width; ++x) {
        if (!title.Black(x, y)) continue;
        ++black;
        for (double degrees : {-3.0, 3.0}) {
          double a = degrees * M_PI / 180, dx = x - W / 2, dy = y - H;
          double u = dx * std::cos(a) + dy * std::sin(a), v = -dx * std::sin(a) + dy * std::cos(a);
          if (std::fabs(u) > half_w || std::fabs(v) > half_h) ++uncovered;
        }
      }
    }
    EXPECT_EQ(uncovered, 0u) << shape;
    EXPECT_GT(black, size_t(W * H * 0.3)) << shape;  // a real window onto the sky
    for (int x = 0; x < title.width; ++x) {
      ASSERT_FALSE(title.Black(x, title.height - 1)) << shape << " x " << x;
    }
  }
}

// Each keeper picture shows a figure on a see-through background; a pushing picture reaches
// the edge of the cell on the side it pushes towards, where the crate is.
TEST(AssetPictures, KeeperPushesReachTheCrateSide) {
  auto opaque = [](const Decoded& d, int x, int y) { return d.At(x, y)[3] > 128; };
  struct Side {
    const char* facing;
    int x0, y0, x1, y1;  // a band along the edge pushed towards
  };
  const Side sides[] = {{"left", 0, 20, 6, 50},  {"right", 58, 20, 64, 50},
                        {"up", 10, 0, 54, 6},   {"down", 10, 60, 54, 64}};
  for (const Side& side : sides) {
    for (const char* pose : {"idle_", "push_"}) {
      Decoded d = FromPack(std::string(pose) + side.facing + ".png");
      EXPECT_FALSE(opaque(d, 0, 0)) << pose << side.facing;
      EXPECT_TRUE(opaque(d, 32, 40)) << pose << side.facing;
      int reach = 0;
      for (int y = side.y0; y < side.y1; ++y) {
        for (int x = side.x0; x < side.x1; ++x) reach += opaque(d, x, y);
      }
      if (std::string(pose) == "push_") {
        EXPECT_GT(reach, 4) << pose << side.facing;
      } else {
        EXPECT_EQ(reach, 0) << pose << side.facing;
      }
    }
  }
}

}  // namespace
