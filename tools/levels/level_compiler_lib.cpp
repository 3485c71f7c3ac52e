// The level compiler (see level_compiler.h).
#include "tools/levels/level_compiler.h"

#include <algorithm>

#include "tools/mapwriter/mapwriter.h"

namespace {

// A fixed pattern of variants: neighbouring cells rarely repeat, and every build agrees.
int Variant(int x, int y, int count) {
  unsigned mixed = static_cast<unsigned>(x) * 73856093u ^ static_cast<unsigned>(y) * 19349663u;
  mixed ^= mixed >> 13;
  return static_cast<int>((mixed * 2654435761u >> 16) % static_cast<unsigned>(count));
}

std::vector<std::pair<int, int>> BoardPositions(const Level& level, const std::vector<int>& cells) {
  std::vector<std::pair<int, int>> positions;
  for (int cell : cells)
    positions.emplace_back(LevelBoardX(level) + cell % level.width, LevelBoardY(level) + cell / level.width);
  return positions;
}

int Number(const Text& text, int64_t field) { return static_cast<int>(str_to_int(str_field(text, field, u","))); }

}  // namespace

int LevelBoardX(const Level& level) { return (kBoardWidth - level.width) / 2; }
int LevelBoardY(const Level& level) { return (kBoardHeight - level.height) / 2; }

MapRecord CompileLevel(const Level& level, const std::string& name) {
  MapRecord map;
  map.Title = text_from_utf8(level.title_key);
  map.EntryName = text_from_utf8(name);
  map.Width = kBoardWidth;
  map.Height = kBoardHeight;
  map.LayerCount = 3;
  map.CrateCount = static_cast<int64_t>(level.crates.size());
  map.Crates = WritePositions(BoardPositions(level, level.crates));
  map.Targets = WritePositions(BoardPositions(level, level.targets));
  map.Start = WritePositions(BoardPositions(level, {level.keeper}));
  MapLayer floor = MakeMapLayer(u"Floor", kBoardWidth, kBoardHeight);
  MapLayer targets = MakeMapLayer(u"Targets", kBoardWidth, kBoardHeight);
  MapLayer walls = MakeMapLayer(u"Walls", kBoardWidth, kBoardHeight);
  std::vector<unsigned char> inside = LevelEnclosure(level);
  const int left = LevelBoardX(level), top = LevelBoardY(level);
  auto wall_at = [&](int x, int y) {
    int lx = x - left, ly = y - top;
    return lx >= 0 && ly >= 0 && lx < level.width && ly < level.height && level.walls[ly * level.width + lx];
  };
  for (int x = 0; x < kBoardWidth; ++x) {
    for (int y = 0; y < kBoardHeight; ++y) {
      int lx = x - left, ly = y - top;
      bool in_level = lx >= 0 && ly >= 0 && lx < level.width && ly < level.height;
      int cell = ly * level.width + lx;
      if (wall_at(x, y)) {
        unsigned joins = (wall_at(x, y - 1) ? kWallUp : 0) | (wall_at(x + 1, y) ? kWallRight : 0) |
                         (wall_at(x, y + 1) ? kWallDown : 0) | (wall_at(x - 1, y) ? kWallLeft : 0);
        SetMapTile(walls, kBoardHeight, x, y, kTileWall + static_cast<int>(joins));
      } else if (in_level && inside[cell]) {
        SetMapTile(floor, kBoardHeight, x, y, kTileFloor + Variant(x, y, kFloorVariants));
      } else {
        SetMapTile(floor, kBoardHeight, x, y, kTileGround + Variant(x, y, kGroundVariants));
      }
    }
  }
  for (int target : level.targets)
    SetMapTile(targets, kBoardHeight, left + target % level.width, top + target / level.width, kTileTarget);
  map.Layers = {floor, targets, walls};
  return map;
}

MapPackIndex MakeMapIndex(const std::vector<std::string>& names) {
  MapPackIndex index;
  index.Title = u"Cratevale";
  index.Description = u"The levels of Cratevale, in play order";
  index.ShortText = u"Cratevale";
  for (const std::string& name : names) index.Levels.push_back(text_from_utf8(name));
  for (int tile = 1; tile <= kTileCount; ++tile) {
    TileRecord record;
    record.Name = str_from_int(tile);
    record.AlphaFlag = tile == kTileTarget;  // the only tile that lets the floor show through
    index.Tiles.push_back(record);
  }
  return index;
}

Level LevelFromMap(const MapRecord& map) {
  Level level;
  level.title_key = text_to_utf8(map.Title);
  int left = static_cast<int>(map.Width), right = -1, top = static_cast<int>(map.Height), bottom = -1;
  for (int x = 0; x < map.Width; ++x) {
    for (int y = 0; y < map.Height; ++y) {
      if (MapRecordCell(map, kWallLayer, x, y) != kCellFilled) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  if (right < 0) return level;
  level.width = right - left + 1;
  level.height = bottom - top + 1;
  level.walls.assign(static_cast<size_t>(level.width) * level.height, 0);
  for (int y = top; y <= bottom; ++y)
    for (int x = left; x <= right; ++x)
      level.walls[(y - top) * level.width + (x - left)] = MapRecordCell(map, kWallLayer, x, y) == kCellFilled;
  // Positions outside the walls' box are dropped: such a map cannot be shown in the notation.
  auto cell_of = [&](int x, int y) {
    bool inside = x >= left && x <= right && y >= top && y <= bottom;
    return inside ? (y - top) * level.width + (x - left) : -1;
  };
  for (int64_t i = 1; i <= map.CrateCount && i <= 2 * kMaxCrates; ++i) {
    int crate = cell_of(Number(map.Crates, 2 * i - 1), Number(map.Crates, 2 * i));
    int target = cell_of(Number(map.Targets, 2 * i - 1), Number(map.Targets, 2 * i));
    if (crate >= 0) level.crates.push_back(crate);
    if (target >= 0) level.targets.push_back(target);
  }
  level.keeper = cell_of(Number(map.Start, 1), Number(map.Start, 2));
  std::sort(level.crates.begin(), level.crates.end());
  std::sort(level.targets.begin(), level.targets.end());
  return level;
}
