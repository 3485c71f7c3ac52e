// The map format: the entries of Cratevale.maps as records (the index with the levels in play
// order and the tiles, each level's map with its header values, position texts and tile layers),
// their parsers, and the cell queries of one map. Nothing here draws or opens a pack, so the
// level tools and the fuzz targets use it without a screen.
//
// Cratevale.maps is a runtime-format pack. Its "index" entry lists the levels and the tiles;
// "MAPS/<level>" holds one level's map; "TILES/<n>" the picture of tile number n;
// "THUMBS/<level>.png" the level's thumbnail. Every number is little-endian and every text is
// UTF-16LE in a fixed-size field that ends at its first zero unit or, when full, at its end.
//
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/data/containers.h"
#include "runtime/runtime.h"

// Field sizes, in UTF-16 units.
constexpr int kPackTitleUnits = 256;
constexpr int kPackShortTextUnits = 16;
constexpr int kLevelNameUnits = 32;
constexpr int kTileNameUnits = 32;
constexpr int kMapTitleUnits = 256;
constexpr int kMapTextUnits = 512;
constexpr int kLayerNameUnits = 128;

constexpr uint32_t kIndexMagic = 0x30584E49;  // "INX0"
constexpr uint32_t kMapMagic = 0x3050414D;    // "MAP0"

// Every pack entry is read whole into a buffer of this size; larger entries cannot be read.
constexpr int64_t kMapEntryBufferSize = 20971520;

// The board every level is played on, in cells: a larger map is refused. A level holds at most
// kMaxCrates crates, as the HUD shows one target icon per crate.
constexpr int kBoardWidth = 30;   // columns, x 0-29
constexpr int kBoardHeight = 15;  // rows, y 0-14
constexpr int kMaxCrates = 12;

// The layer holding the walls the move rules test (counted from 0).
constexpr int kWallLayer = 2;

// Cell query answers.
constexpr int kCellFilled = 0;
constexpr int kCellEmpty = 1;
constexpr int kCellNoLayer = 255;

struct MapLayer {
  Text Name;                // 128 characters
  int32_t Values[3] = {};   // kept as read, not used by the game
  uint8_t Flag = 0;         // kept as read, not used by the game
  int Visible = 0;          // 1 once the layer has been read
  // width x height tile numbers, column by column: the cell (x, y) is Tiles[x * height + y].
  // 0 is an empty cell; the tile numbered n is the tile named n in decimal.
  std::vector<int16_t> Tiles;
};

// One level's map. A level whose map is missing or malformed keeps an empty record: no size,
// no layers, no crates (so it counts as solved at once).
struct MapRecord {
  Text Title;       // property 0: the language key of the level's title (256 characters)
  Text EntryName;   // property 1: the level's name (32 characters)
  int64_t Width = 0;       // property 2, cells
  int64_t Height = 0;      // property 3, cells
  int64_t Property4 = 0;   // kept, not used by the game
  int64_t Property5 = 0;   // kept, not used by the game
  int64_t LayerCount = 0;  // property 6
  int64_t Property7 = 0;   // kept, not used by the game
  int64_t Property8 = 0;   // kept, not used by the game
  int64_t CrateCount = 0;  // property 9
  // Properties 10-14 (512 characters each): crate positions "x1,y1,x2,y2,...", target
  // positions in the same form, the start "x,y", and two texts not used by the game.
  Text Crates;
  Text Targets;
  Text Start;
  Text Property13;
  Text Property14;
  std::vector<MapLayer> Layers;  // LayerCount layers, bottom first
};

// A tile named in the index; its picture is the pack entry "TILES/" + name.
struct TileRecord {
  Text Name;          // 32 characters
  int MaskFlag = 0;   // the sprite keeps a collision mask
  int AlphaFlag = 0;  // the sprite keeps its alpha channel and is drawn blended
};

// The "index" entry.
struct MapPackIndex {
  Text Title;         // 256 characters
  Text Description;   // the second pack text, 256 characters
  int64_t Value = 0;  // a 64-bit value, kept, not used by the game
  Text ShortText;     // 16 characters
  std::vector<Text> Levels;   // level names in play order, 32 characters each
  int64_t BlockCount = 0;     // 256-byte blocks after the level list, not used by the game
  std::vector<TileRecord> Tiles;
};

// --- Entry formats (memory) ------------------------------------------------------------------

// Reads an "index" entry. Returns 1, or 0 when the bytes are too short for the header or do not
// start with the magic (the index is then left empty). Level and tile entries cut off by the end
// of the bytes are left out.
int ParseMapIndex(const uint8_t* data, int64_t size, MapPackIndex* index);

// Reads a "MAPS/<level>" entry. Gives the empty record when the magic is wrong, the header is
// cut short, or the declared width x height x layers do not fit in the bytes.
MapRecord ParseMap(const uint8_t* data, int64_t size);

Text MapEntryName(const Text& level);        // "MAPS/" + level
Text TileEntryName(const Text& tile);        // "TILES/" + tile
Text ThumbnailEntryName(const Text& level);  // "THUMBS/" + level + ".png"

// --- One level's map ------------------------------------------------------------------------

// Property 0-14 as text: 0 title key, 1 entry name, 2-9 the header values in decimal, 10-14 the
// texts; any other number gives the empty text.
Text MapRecordProperty(const MapRecord& map, int64_t property);

// The tile number at (x, y) of a layer; 0 outside the layer or the level.
int MapTileAt(const MapRecord& map, int64_t layer, int64_t x, int64_t y);

// kCellNoLayer when the level has no such layer; otherwise kCellEmpty when the cell holds tile
// 0 and kCellFilled when it holds a tile. A cell outside the level's width and height counts as
// filled, so nothing can walk off a map.
int MapRecordCell(const MapRecord& map, int64_t layer, int64_t x, int64_t y);

