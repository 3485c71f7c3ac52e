// The loaded map pack: the levels and their maps, the tiles with their sprites, level drawing,
// thumbnails and the level list.
#include "game/maps.h"

#include <cmath>
#include <utility>

#include "game/core/board.h"
#include "game/core/game.h"
#include "game/core/results.h"
#include "game/presentation.h"
#include "runtime/data/pack.h"
#include "runtime/display/image.h"
#include "runtime/display/sprite.h"

namespace {

struct MapsState {
  MapPackIndex index;
  Map<MapRecord> maps = map_create<MapRecord>();
  Map<LoadedTile> tiles = map_create<LoadedTile>();
  double tile_size = 0;
  double offset_x = 0;
  double offset_y = 0;
};
MapsState Maps;

const MapRecord kEmptyMap;

}  // namespace

namespace {

// Reads entries whole from an open pack; an entry larger than the entry buffer cannot be read.
MapEntryReader PackReader(int64_t pack) {
  return [pack](const Text& entry) {
    MemoryBlock block;
    if (pack_extract_to_block(pack, entry, kMapEntryBufferSize, &block) < 0) return MemoryBlock();
    return block;
  };
}

}  // namespace

void LoadMapPack(const Text& file, int packer) {
  FreeMapPack();
  const int64_t pack = pack_open(kNewObject, file, packer);
  if (!pack) return;
  const MapEntryReader read_entry = PackReader(pack);
  LoadMapEntries(read_entry);
  LoadTileSprites(read_entry);
  pack_close(pack);
}

void LoadMapEntries(const MapEntryReader& read_entry) {
  FreeMapPack();
  const MemoryBlock index = read_entry(u"index");
  if (!ParseMapIndex(index.data(), static_cast<int64_t>(index.size()), &Maps.index)) return;
  for (const Text& level : Maps.index.Levels) {
    const MemoryBlock entry = read_entry(MapEntryName(level));
    MapRecord map = ParseMap(entry.data(), static_cast<int64_t>(entry.size()));
    map.EntryName = level;
    StoreMap(level, std::move(map));
  }
  for (const TileRecord& tile : Maps.index.Tiles) map_put(Maps.tiles, tile.Name)->Tile = tile;
}

void StoreMap(const Text& level, MapRecord map) { *map_put(Maps.maps, level) = std::move(map); }

const MapRecord& FindMap(const Text& level) {
  const MapRecord* map = map_find(Maps.maps, level);
  return map ? *map : kEmptyMap;
}

void SetUpBoardForLevel(const Text& level) { SetUpBoard(FindMap(level)); }

const MapPackIndex& LoadedMapIndex() { return Maps.index; }

const std::vector<Text>& MapLevelOrder() { return Maps.index.Levels; }

const LoadedTile* FindTile(const Text& name) { return map_find(Maps.tiles, name); }

void FillLevelList(const Text& folder) {
  LevelList.clear();
  for (const Text& level : Maps.index.Levels) {
    LevelRecord record;
    record.Name = level;
    record.TitleKey = FindMap(level).Title;
    LevelList.push_back(std::move(record));
  }
  LoadResults(folder);
  // The first level is always open: a results file the game wrote always says so, and a damaged
  // or hand-edited one must not lock the player out of every level.
  if (!LevelList.empty()) LevelList.front().Unlocked = 1;
}

void FreeMapPack() {
  map_reset(Maps.tiles);
  while (const LoadedTile* tile = map_next(Maps.tiles)) {
    if (tile->Sprite != 0) sprite_free(tile->Sprite);
  }
  Maps.index = MapPackIndex();
  map_clear(Maps.maps);
  map_clear(Maps.tiles);
}

int64_t LevelThumbnail(const Text& file, const Text& level, int packer) {
  const int64_t pack = pack_open(kNewObject, file, packer);
  if (!pack) return 0;
  const MemoryBlock picture = PackReader(pack)(ThumbnailEntryName(level));
  pack_close(pack);
  if (picture.empty()) return 0;
  return image_load_from_memory(kNewObject, picture);
}

// --- Tile sprites and drawing -------------------------------------------------------------------

namespace {

void ZoomTileSprite(const LoadedTile& tile) {
  if (tile.Sprite == 0 || Maps.tile_size <= 0) return;
  const int size = static_cast<int>(std::lround(Maps.tile_size));
  sprite_zoom(tile.Sprite, size, size);
}

}  // namespace

void LoadTileSprites(const MapEntryReader& read_entry) {
  for (const TileRecord& entry : Maps.index.Tiles) {
    LoadedTile* tile = map_find(Maps.tiles, entry.Name);
    if (!tile || tile->Sprite != 0) continue;  // a name listed twice is loaded once
    const MemoryBlock picture = read_entry(TileEntryName(entry.Name));
    if (picture.empty()) continue;
    const int flags = (tile->Tile.MaskFlag ? kSpriteMask : 0) | (tile->Tile.AlphaFlag ? kSpriteKeepAlpha : 0);
    tile->Sprite = sprite_load_from_memory(kNewObject, picture, flags);
    ZoomTileSprite(*tile);
  }
}

void SetMapTileSize(double size) {
  Maps.tile_size = size;
  map_reset(Maps.tiles);
  while (const LoadedTile* tile = map_next(Maps.tiles)) ZoomTileSprite(*tile);
}

void SetMapOffsetX(double x) { Maps.offset_x = x; }
void SetMapOffsetY(double y) { Maps.offset_y = y; }

void DrawLevel(const Text& level) {
  const MapRecord& map = FindMap(level);
  for (int64_t x = 0; x < map.Width; ++x) {
    for (int64_t y = 0; y < map.Height; ++y) {
      const int px = static_cast<int>(std::lround(x * Maps.tile_size + Maps.offset_x));
      const int py = static_cast<int>(std::lround(y * Maps.tile_size + Maps.offset_y));
      for (size_t layer = 0; layer < map.Layers.size(); ++layer) {
        // The bounded lookup: a stored record's grid need not match its width and height.
        const int number = MapTileAt(map, static_cast<int64_t>(layer), x, y);
        if (number <= 0) continue;
        const LoadedTile* tile = map_find(Maps.tiles, str_from_int(number));
        if (!tile || tile->Sprite == 0) continue;
        if (tile->Tile.AlphaFlag) {
          sprite_display_blended(tile->Sprite, px, py);
        } else {
          sprite_display(tile->Sprite, px, py);
        }
      }
    }
  }
}
