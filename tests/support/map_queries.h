// Queries on the loaded map pack that only the tests ask: the pack's texts and counts, a level's
// properties and cells.
#pragma once

#include <cstdint>

#include "runtime/data/containers.h"
#include "runtime/data/text.h"

// The level names in the index's order, added to `names`.
void MapLevelNames(List<Text>& names);
// 0 pack title, 1 second pack text, 2 the 64-bit value, 3 short pack text, 4 number of levels,
// 5 number of tiles (numbers in decimal); any other number gives the empty text.
Text MapPackInformation(int64_t number);
Text MapLevelProperty(const Text& level, int64_t property);
int MapCell(const Text& level, int64_t layer, int64_t x, int64_t y);
