// Feeds arbitrary bytes to the map pack's readers, as an "index" entry and as a level map, and
// plays the parsed level on the board with moves taken from the same bytes.
#include <cstdint>

#include "game/board.h"
#include "game/maps.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int64_t length = static_cast<int64_t>(size);
  MapPackIndex index;
  ParseMapIndex(data, length, &index);

  const MapRecord map = ParseMap(data, length);
  for (int64_t property = -1; property <= 15; ++property) MapRecordProperty(map, property);
  for (int64_t layer = -1; layer <= map.LayerCount; ++layer) {
    for (int64_t x = -1; x <= 31; ++x) {
      for (int64_t y = -1; y <= 16; ++y) MapRecordCell(map, layer, x, y), MapTileAt(map, layer, x, y);
    }
  }

  SetBoardTileSize(8);
  SetUpBoard(map);
  for (size_t i = 0; i < size && i < 256; ++i) {
    RequestMove(FacingLeft + data[size - 1 - i] % 4);
    for (int frame = 0; frame < kMoveFrames; ++frame) AdvanceMove();
    CountCoveredTargets();
  }
  return 0;
}
