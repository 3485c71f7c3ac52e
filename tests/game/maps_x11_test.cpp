// Tile sprites of the map pack and level drawing on the full screen of the virtual X server,
// checked by reading the frame's pixels back.
#include <gtest/gtest.h>

#include <vector>

#include "game/maps.h"
#include "runtime/data/pack.h"
#include "runtime/display/image.h"
#include "runtime/display/png.h"
#include "runtime/display/screen.h"
#include "runtime/display/sprite.h"
#include "tests/support/temp_folder.h"
#include "tests/support/x11_display.h"
#include "tools/mapwriter/mapwriter.h"
#include "tools/packtool/packtool_lib.h"

namespace {

const uint32_t kRed = x11_rgb(255, 0, 0);
const uint32_t kGreen = x11_rgb(0, 255, 0);
const uint32_t kBlue = x11_rgb(0, 0, 255);

// A 4 x 4 RGBA picture of one colour; with `clear_right` its right half has alpha 0.
MemoryBlock TilePicture(uint8_t r, uint8_t g, uint8_t b, bool clear_right = false) {
  std::vector<uint8_t> pixels;
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) pixels.insert(pixels.end(), {r, g, b, uint8_t(clear_right && x >= 2 ? 0 : 255)});
  }
  PixelRows rows;
  rows.bytes = pixels;
  rows.width = 4;
  rows.height = 4;
  rows.pitch = 16;
  return png_encode_to_memory(rows);
}

PackSource Entry(const Text& name, MemoryBlock data) { return PackSource{text_to_utf8(name), std::move(data)}; }

// One 3 x 2 level "hall": red floor (tile 1) everywhere on layer 0; on layer 1 a half-clear blue
// tile 2 at (1, 0), tile 3 without a picture at (0, 1), tile 9 that no tile entry names at (1, 1)
// and a negative tile at (2, 1).
std::string WriteSamplePack(const TempFolder& folder) {
  MapPackIndex index;
  index.Levels = {u"hall"};
  index.Tiles = {{u"1", 1, 0}, {u"2", 0, 1}, {u"3", 0, 0}};
  MapRecord map;
  map.Width = 3;
  map.Height = 2;
  map.Layers = {MakeMapLayer(u"floor", 3, 2), MakeMapLayer(u"things", 3, 2)};
  for (int x = 0; x < 3; ++x) {
    for (int y = 0; y < 2; ++y) SetMapTile(map.Layers[0], 2, x, y, 1);
  }
  SetMapTile(map.Layers[1], 2, 1, 0, 2);
  SetMapTile(map.Layers[1], 2, 0, 1, 3);
  SetMapTile(map.Layers[1], 2, 1, 1, 9);
  SetMapTile(map.Layers[1], 2, 2, 1, -2);
  const std::string path = folder.path() + "Cratevale.maps";
  EXPECT_EQ(packtool_write(path, {Entry(u"index", WriteMapIndex(index)), Entry(MapEntryName(u"hall"), WriteMap(map)),
                                  Entry(TileEntryName(u"1"), TilePicture(255, 0, 0)),
                                  Entry(TileEntryName(u"2"), TilePicture(0, 0, 255, true))}),
            "");
  return path;
}

class MapsDrawingTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x11_open_drawing_screen());
  }
  void TearDown() override {
    FreeMapPack();
    screen_close();
  }
};

// The colour of every pixel of a size x size square at (x, y).
std::vector<uint32_t> Square(int x, int y, int size) { return x11_read_screen(x, y, size, size); }

TEST_F(MapsDrawingTest, LevelTilesLandOnTheirRoundedCellsWithTheirFlags) {
  TempFolder folder;
  LoadMapPack(text_from_utf8(WriteSamplePack(folder)), kPackerRuntime);
  ASSERT_NE(FindTile(u"1"), nullptr);
  EXPECT_NE(FindTile(u"1")->Sprite, 0);
  EXPECT_EQ(FindTile(u"3")->Sprite, 0);  // no picture in the pack

  SetMapTileSize(10.4);  // sprites zoomed to 10 x 10
  SetMapOffsetX(20.5);
  SetMapOffsetY(30.25);
  DrawLevel(u"hall");
  // Columns at round(20.5), round(30.9), round(41.3); rows at round(30.25), round(40.65).
  const int xs[] = {21, 31, 41}, ys[] = {30, 41};
  for (int x : {0, 2}) {
    for (int y : {0, 1}) {
      SCOPED_TRACE(testing::Message() << "cell " << x << "," << y);
      EXPECT_EQ(Square(xs[x], ys[y], 10), std::vector<uint32_t>(100, kRed));
    }
  }
  // Tiles without a sprite, without a record or with a negative number leave the floor showing.
  EXPECT_EQ(Square(xs[1], ys[1], 10), std::vector<uint32_t>(100, kRed));
  // The alpha tile is blended: its clear right half shows the floor below.
  EXPECT_EQ(x11_read_screen(xs[1], ys[0], 10, 1),
            (std::vector<uint32_t>{kBlue, kBlue, kBlue, kBlue, kBlue, kRed, kRed, kRed, kRed, kRed}));
  // Nothing outside the level; the row between 30 + 10 and 41 is not covered.
  EXPECT_EQ(x11_screen_pixel(20, 30), kGreen);
  EXPECT_EQ(x11_screen_pixel(21, 40), kGreen);
  EXPECT_EQ(x11_screen_pixel(51, 41), kGreen);
}

TEST_F(MapsDrawingTest, TileSizeZoomsEveryTileSpriteToTheNearestInteger) {
  TempFolder folder;
  LoadMapPack(text_from_utf8(WriteSamplePack(folder)), kPackerRuntime);
  const int64_t floor = FindTile(u"1")->Sprite;
  const int64_t blue = FindTile(u"2")->Sprite;
  for (const auto& [size, pixels] : {std::pair{6.0, 6}, {10.5, 11}, {31.49, 31}}) {
    SetMapTileSize(size);
    EXPECT_EQ(sprite_width(floor), pixels) << size;
    EXPECT_EQ(sprite_height(blue), pixels) << size;
  }
  // Loading again frees the old sprites and zooms the new ones to the size set.
  LoadMapPack(text_from_utf8(folder.path() + "Cratevale.maps"), kPackerRuntime);
  EXPECT_EQ(sprite_width(floor), 0);
  EXPECT_EQ(sprite_width(FindTile(u"1")->Sprite), 31);
}

TEST_F(MapsDrawingTest, UnknownLevelDrawsNothing) {
  TempFolder folder;
  LoadMapPack(text_from_utf8(WriteSamplePack(folder)), kPackerRuntime);
  SetMapTileSize(8);
  SetMapOffsetX(0);
  SetMapOffsetY(0);
  DrawLevel(u"no such level");
  EXPECT_EQ(Square(0, 0, 24), std::vector<uint32_t>(24 * 24, kGreen));
}

}  // namespace
