// The map format: reading the index and the level maps from memory, and one map's properties
// and cells.
#include "game/core/map_format.h"



namespace {

constexpr int64_t kIndexHeaderBytes = 1072;
constexpr int64_t kLevelEntryBytes = 2 * kLevelNameUnits;
constexpr int64_t kIndexBlockBytes = 256;
constexpr int64_t kTileEntryBytes = 578;
constexpr int64_t kTileReservedBytes = 512;
constexpr int64_t kMapHeaderBytes = 5732;
constexpr int64_t kLayerHeaderBytes = 269;

// Bounded little-endian reading of a memory block: a read past the end gives 0 and marks the
// reader as failed instead of touching the bytes beyond.
struct ByteReader {
  const uint8_t* data;
  int64_t size;
  int64_t at = 0;
  bool failed = false;

  bool Has(int64_t bytes) const { return bytes >= 0 && bytes <= size - at; }

  uint64_t Unsigned(int bytes) {
    if (!Has(bytes)) {
      failed = true;
      at = size;
      return 0;
    }
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= uint64_t{data[at + i]} << (8 * i);
    at += bytes;
    return value;
  }
  int32_t Int32() { return static_cast<int32_t>(static_cast<uint32_t>(Unsigned(4))); }
  int16_t Int16() { return static_cast<int16_t>(static_cast<uint16_t>(Unsigned(2))); }
  int64_t Int64() { return static_cast<int64_t>(Unsigned(8)); }
  uint8_t Byte() { return static_cast<uint8_t>(Unsigned(1)); }

  // A fixed-size field of `units` UTF-16 units, up to its first zero unit or taken whole.
  Text FixedText(int units) {
    Text text;
    const int64_t start = at;
    if (!Has(2 * int64_t{units})) {
      failed = true;
      at = size;
      return text;
    }
    for (int i = 0; i < units; ++i) {
      const char16_t unit = static_cast<char16_t>(data[start + 2 * i] | (data[start + 2 * i + 1] << 8));
      if (unit == 0) break;
      text += unit;
    }
    at = start + 2 * int64_t{units};
    return text;
  }

  void Skip(int64_t bytes) {
    if (!Has(bytes)) {
      failed = true;
      at = size;
      return;
    }
    at += bytes;
  }
};

}  // namespace

// --- Entry formats ------------------------------------------------------------------------------

int ParseMapIndex(const uint8_t* data, int64_t size, MapPackIndex* index) {
  *index = MapPackIndex();
  ByteReader in{data, size};
  if (!in.Has(kIndexHeaderBytes) || in.Unsigned(4) != kIndexMagic) return 0;
  index->Title = in.FixedText(kPackTitleUnits);
  index->Description = in.FixedText(kPackTitleUnits);
  index->Value = in.Int64();
  index->ShortText = in.FixedText(kPackShortTextUnits);

  const int64_t levels = in.Int32();
  for (int64_t i = 0; i < levels && in.Has(kLevelEntryBytes); ++i) {
    index->Levels.push_back(in.FixedText(kLevelNameUnits));
  }
  if (levels < 0 || static_cast<int64_t>(index->Levels.size()) < levels) return 1;

  const int64_t blocks = in.Int32();
  if (in.failed || blocks < 0 || blocks > in.size / kIndexBlockBytes) return 1;
  index->BlockCount = blocks;
  in.Skip(blocks * kIndexBlockBytes);

  const int64_t tiles = in.Int32();
  for (int64_t i = 0; i < tiles && !in.failed && in.Has(kTileEntryBytes); ++i) {
    TileRecord tile;
    tile.Name = in.FixedText(kTileNameUnits);
    in.Skip(kTileReservedBytes);
    tile.MaskFlag = in.Byte() != 0;
    tile.AlphaFlag = in.Byte() != 0;
    index->Tiles.push_back(std::move(tile));
  }
  return 1;
}

MapRecord ParseMap(const uint8_t* data, int64_t size) {
  ByteReader in{data, size};
  if (!in.Has(kMapHeaderBytes) || in.Unsigned(4) != kMapMagic) return MapRecord();
  MapRecord map;
  in.Skip(64);
  map.Title = in.FixedText(kMapTitleUnits);
  for (int64_t* value : {&map.Width, &map.Height, &map.Property4, &map.Property5, &map.LayerCount,
                         &map.Property7, &map.Property8, &map.CrateCount}) {
    *value = in.Int32();
  }
  for (Text* text : {&map.Crates, &map.Targets, &map.Start, &map.Property13, &map.Property14}) {
    *text = in.FixedText(kMapTextUnits);
  }

  // A map larger than the board cannot be shown, and its declared layers must fit in what is
  // left before anything is allocated.
  if (map.Width < 0 || map.Height < 0 || map.LayerCount < 0) return MapRecord();
  if (map.Width > kBoardWidth || map.Height > kBoardHeight) return MapRecord();
  const int64_t remaining = size - in.at;
  if (map.Width > 0 && map.Height > remaining / 2 / map.Width) return MapRecord();
  const int64_t cells = map.Width * map.Height;
  const int64_t layer_bytes = kLayerHeaderBytes + 2 * cells;
  if (map.LayerCount > remaining / layer_bytes) return MapRecord();

  map.Layers.resize(static_cast<size_t>(map.LayerCount));
  for (MapLayer& layer : map.Layers) {
    layer.Name = in.FixedText(kLayerNameUnits);
    for (int32_t& value : layer.Values) value = in.Int32();
    layer.Flag = in.Byte();
    layer.Visible = 1;
    layer.Tiles.resize(static_cast<size_t>(cells));
    for (int16_t& tile : layer.Tiles) tile = in.Int16();
  }
  return map;
}

Text MapEntryName(const Text& level) { return u"MAPS/" + level; }
Text TileEntryName(const Text& tile) { return u"TILES/" + tile; }
Text ThumbnailEntryName(const Text& level) { return u"THUMBS/" + level + u".png"; }

// --- One level's map ----------------------------------------------------------------------------

Text MapRecordProperty(const MapRecord& map, int64_t property) {
  switch (property) {
    case 0: return map.Title;
    case 1: return map.EntryName;
    case 2: return str_from_int(map.Width);
    case 3: return str_from_int(map.Height);
    case 4: return str_from_int(map.Property4);
    case 5: return str_from_int(map.Property5);
    case 6: return str_from_int(map.LayerCount);
    case 7: return str_from_int(map.Property7);
    case 8: return str_from_int(map.Property8);
    case 9: return str_from_int(map.CrateCount);
    case 10: return map.Crates;
    case 11: return map.Targets;
    case 12: return map.Start;
    case 13: return map.Property13;
    case 14: return map.Property14;
    default: return Text();
  }
}

int MapTileAt(const MapRecord& map, int64_t layer, int64_t x, int64_t y) {
  if (layer < 0 || layer >= static_cast<int64_t>(map.Layers.size())) return 0;
  if (x < 0 || y < 0 || x >= map.Width || y >= map.Height) return 0;
  const std::vector<int16_t>& tiles = map.Layers[layer].Tiles;
  const uint64_t at = static_cast<uint64_t>(x * map.Height + y);
  return at < tiles.size() ? tiles[at] : 0;
}

int MapRecordCell(const MapRecord& map, int64_t layer, int64_t x, int64_t y) {
  if (layer < 0 || layer >= static_cast<int64_t>(map.Layers.size())) return kCellNoLayer;
  if (x < 0 || y < 0 || x >= map.Width || y >= map.Height) return kCellFilled;
  return MapTileAt(map, layer, x, y) == 0 ? kCellEmpty : kCellFilled;
}

