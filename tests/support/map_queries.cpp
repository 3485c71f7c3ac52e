// Queries on the loaded map pack that only the tests ask.
#include "tests/support/map_queries.h"

#include "game/core/map_format.h"
#include "game/maps.h"

void MapLevelNames(List<Text>& names) {
  for (const Text& level : LoadedMapIndex().Levels) *list_add(names) = level;
}

Text MapPackInformation(int64_t number) {
  const MapPackIndex& index = LoadedMapIndex();
  switch (number) {
    case 0: return index.Title;
    case 1: return index.Description;
    case 2: return str_from_int(index.Value);
    case 3: return index.ShortText;
    case 4: return str_from_int(static_cast<int64_t>(index.Levels.size()));
    case 5: return str_from_int(static_cast<int64_t>(index.Tiles.size()));
    default: return Text();
  }
}

Text MapLevelProperty(const Text& level, int64_t property) { return MapRecordProperty(FindMap(level), property); }

int MapCell(const Text& level, int64_t layer, int64_t x, int64_t y) {
  return MapRecordCell(FindMap(level), layer, x, y);
}
