// The map pack: the levels in play order, each level's map (header values, position texts and
// tile layers), the tile pictures, the drawing of a level's layers and the level thumbnails.
//
// Cratevale.maps is a runtime-format pack. Its "index" entry lists the levels and the tiles;
// "MAPS/<level>" holds one level's map; "TILES/<n>" the picture of tile number n;
// "THUMBS/<level>.png" the level's thumbnail. Every number is little-endian and every text is
// UTF-16LE in a fixed-size field that ends at its first zero unit or, when full, at its end.
//
// Parsing works on memory blocks, so that everything but the sprites and the drawing can be used
// without a screen and without a pack (the level tools and the tests do).
#pragma once

#include <cstdint>
#include <functional>
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
  int64_t Sprite = 0;        // the tile's sprite, 0 when its picture could not be loaded
  int64_t SpriteHandle = 0;
};

// The "index" entry.
struct MapPackIndex {
  Text Title;         // 256 characters
  Text Description;   // the second pack text, 256 characters
  int64_t Value = 0;  // a 64-bit value, kept, not used by the game
  Text ShortText;     // 16 characters
  std::vector<Text> Levels;   // level names in play order, 32 characters each
  int64_t BlockCount = 0;     // 256-byte blocks after the level list, not used by the game
  std::vector<TileRecord> Tiles;  // sprites not loaded
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

// --- The loaded map pack --------------------------------------------------------------------

// Reads one pack entry whole; an empty block when it cannot be read.
using MapEntryReader = std::function<MemoryBlock(const Text& entry)>;

// Opens the pack with the given packer, reads the index, every level's map and every tile's
// picture as a sprite, and closes the pack. Replaces what was loaded before; an unreadable pack
// or index leaves the module empty.
void LoadMapPack(const Text& file, int packer);

// The same from any source of entries, without loading tile sprites (LoadMapPack does that
// after): the index, the level list and the map records.
void LoadMapEntries(const MapEntryReader& read_entry);

// Loads the picture of every tile of the index as a sprite (mask and alpha flags from the tile's
// index entry). Tiles whose picture cannot be read keep no sprite.
void LoadTileSprites(const MapEntryReader& read_entry);

// Frees the tile sprites and forgets everything loaded.
void FreeMapPack();

// Adds (or replaces) the map record of a level, as loading does; the level list is not changed.
void StoreMap(const Text& level, MapRecord map);

// The map record of a level; an empty record for a level that was never loaded.
const MapRecord& FindMap(const Text& level);

// The level names in the index's order.
void MapLevelNames(List<Text>& names);
const std::vector<Text>& MapLevelOrder();

// 0 pack title, 1 second pack text, 2 the 64-bit value, 3 short pack text, 4 number of levels,
// 5 number of tiles (numbers in decimal); any other number gives the empty text.
Text MapPackInformation(int64_t number);

Text MapLevelProperty(const Text& level, int64_t property);
int MapCell(const Text& level, int64_t layer, int64_t x, int64_t y);

// The tile record of a tile name, or none.
const TileRecord* FindTile(const Text& name);

// Geometry of level drawing, in screen pixels. Setting the tile size zooms every tile sprite to
// that size rounded to the nearest integer, square.
void SetMapTileSize(double size);
void SetMapOffsetX(double x);
void SetMapOffsetY(double y);

// Draws every layer of a level: cells column by column, each cell's layers bottom to top, a tile
// at (round(x * size + offset x), round(y * size + offset y)); blended when the tile has its
// alpha flag. Tile 0, negative tiles and tiles without a sprite are not drawn.
void DrawLevel(const Text& level);

// Opens the pack anew and makes an image of "THUMBS/<level>.png". Returns the image handle, or 0
// when the pack, the entry or the picture cannot be read.
int64_t LevelThumbnail(const Text& file, const Text& level, int packer);

// Fills LevelList from the level names in index order (title keys from property 0), then reads
// the results from `folder`; without a results file only the first level is unlocked.
void FillLevelList(const Text& folder);
