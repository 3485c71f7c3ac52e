// The loaded map pack: the levels of Cratevale.maps in play order with their map records, the
// tile pictures as sprites, the drawing of a level's layers, the level thumbnails and the level
// list. The entry formats themselves are game/core/map_format.h.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "game/core/map_format.h"
#include "runtime/data/containers.h"
#include "runtime/runtime.h"

// A tile of the index with its picture.
struct LoadedTile {
  TileRecord Tile;
  int64_t Sprite = 0;  // 0 when the picture could not be loaded
};

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

// Sets the board up for a level of the loaded pack (an unknown level gives an empty board).
void SetUpBoardForLevel(const Text& level);

// The index of the loaded pack (empty when none is loaded).
const MapPackIndex& LoadedMapIndex();
// The level names in the index's order.
const std::vector<Text>& MapLevelOrder();

// The loaded tile of a tile name, or none.
const LoadedTile* FindTile(const Text& name);

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
