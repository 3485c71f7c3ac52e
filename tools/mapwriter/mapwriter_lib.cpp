// The map pack's entry writer: the byte layout of the "index" and "MAPS/<level>" entries, the
// mirror image of the reader in game/maps.cpp.
#include "tools/mapwriter/mapwriter.h"

#include <cstdint>

namespace {

constexpr int kTileReservedBytes = 512;
constexpr int kIndexBlockBytes = 256;
constexpr int kMapReservedBytes = 64;

void PutBytes(MemoryBlock& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutZeros(MemoryBlock& out, int64_t count) { out.insert(out.end(), static_cast<size_t>(count), 0); }

// A fixed-size field of `units` UTF-16LE units: the text cut to the field, zero-filled after it.
void PutText(MemoryBlock& out, const Text& text, int units) {
  for (int i = 0; i < units; ++i) PutBytes(out, i < static_cast<int>(text.size()) ? text[i] : 0, 2);
}

}  // namespace

MemoryBlock WriteMapIndex(const MapPackIndex& index) {
  MemoryBlock out;
  PutBytes(out, kIndexMagic, 4);
  PutText(out, index.Title, kPackTitleUnits);
  PutText(out, index.Description, kPackTitleUnits);
  PutBytes(out, static_cast<uint64_t>(index.Value), 8);
  PutText(out, index.ShortText, kPackShortTextUnits);
  PutBytes(out, index.Levels.size(), 4);
  for (const Text& level : index.Levels) PutText(out, level, kLevelNameUnits);
  const int64_t blocks = index.BlockCount > 0 ? index.BlockCount : 0;
  PutBytes(out, blocks, 4);
  PutZeros(out, blocks * kIndexBlockBytes);
  PutBytes(out, index.Tiles.size(), 4);
  for (const TileRecord& tile : index.Tiles) {
    PutText(out, tile.Name, kTileNameUnits);
    PutZeros(out, kTileReservedBytes);
    PutBytes(out, tile.MaskFlag ? 1 : 0, 1);
    PutBytes(out, tile.AlphaFlag ? 1 : 0, 1);
  }
  return out;
}

MemoryBlock WriteMap(const MapRecord& map) {
  if (map.Width < 0 || map.Height < 0) return MemoryBlock();
  const int64_t header[8] = {map.Width,      map.Height,    map.Property4, map.Property5,
                             static_cast<int64_t>(map.Layers.size()), map.Property7,
                             map.Property8,  map.CrateCount};
  // The header holds 32-bit values: a larger one would be cut and read back as another number.
  for (int64_t value : header) {
    if (value < INT32_MIN || value > INT32_MAX) return MemoryBlock();
  }
  const size_t cells = static_cast<size_t>(map.Width * map.Height);
  for (const MapLayer& layer : map.Layers) {
    if (layer.Tiles.size() != cells) return MemoryBlock();
  }
  MemoryBlock out;
  PutBytes(out, kMapMagic, 4);
  PutZeros(out, kMapReservedBytes);
  PutText(out, map.Title, kMapTitleUnits);
  for (int64_t value : header) PutBytes(out, static_cast<uint64_t>(value), 4);
  for (const Text* text : {&map.Crates, &map.Targets, &map.Start, &map.Property13, &map.Property14}) {
    PutText(out, *text, kMapTextUnits);
  }
  for (const MapLayer& layer : map.Layers) {
    PutText(out, layer.Name, kLayerNameUnits);
    for (int32_t value : layer.Values) PutBytes(out, static_cast<uint32_t>(value), 4);
    PutBytes(out, layer.Flag, 1);
    for (int16_t tile : layer.Tiles) PutBytes(out, static_cast<uint16_t>(tile), 2);
  }
  return out;
}

Text WritePositions(const std::vector<std::pair<int, int>>& positions) {
  Text text;
  for (const auto& [x, y] : positions) {
    if (!text.empty()) text += u',';
    text += str_from_int(x) + u"," + str_from_int(y);
  }
  return text;
}

MapLayer MakeMapLayer(const Text& name, int64_t width, int64_t height) {
  MapLayer layer;
  layer.Name = name;
  layer.Visible = 1;
  if (width > 0 && height > 0) layer.Tiles.assign(static_cast<size_t>(width * height), 0);
  return layer;
}

void SetMapTile(MapLayer& layer, int64_t height, int64_t x, int64_t y, int tile) {
  if (height <= 0 || x < 0 || y < 0 || y >= height) return;
  const uint64_t at = static_cast<uint64_t>(x) * height + y;
  if (at < layer.Tiles.size()) layer.Tiles[at] = static_cast<int16_t>(tile);
}
