// Feeds arbitrary bytes to the map pack's readers, as an "index" entry and as a level map, and
// plays the parsed level on the board with moves taken from the same bytes.
#include <cstdint>

#include "game/core/board.h"
#include "game/core/map_format.h"

namespace {

constexpr size_t kHeaderBytes = 5732;

void PutInt32(MemoryBlock& block, size_t at, int32_t value) {
  for (int i = 0; i < 4; ++i) block[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
}

// Raw bytes seldom grow to a whole map header, so the same bytes also make a map: small sizes,
// layer and crate counts from the first four bytes, the crate, target and start texts one byte a
// character (a byte 0xFF ends a text), and the rest as the layers.
MemoryBlock MapFromBytes(const uint8_t* data, size_t size) {
  MemoryBlock block(kHeaderBytes, 0);
  PutInt32(block, 0, 0x3050414D);
  size_t at = 0;
  auto next = [&]() -> uint8_t { return at < size ? data[at++] : 0; };
  PutInt32(block, 580, next() % 40);                          // width
  PutInt32(block, 584, next() % 20);                          // height
  PutInt32(block, 596, next() % 5);                           // layers
  PutInt32(block, 608, static_cast<int8_t>(next()) % 24);     // crates, also negative
  for (size_t field = 0; field < 3; ++field) {
    for (size_t i = 0; i < 64 && at < size; ++i) {
      const uint8_t c = data[at++];
      if (c == 0xFF) break;
      block[612 + 1024 * field + 2 * i] = c;
    }
  }
  block.insert(block.end(), data + at, data + size);
  return block;
}

void PlayMap(const MapRecord& map, const uint8_t* data, size_t size) {
  for (int64_t property = -1; property <= 15; ++property) MapRecordProperty(map, property);
  for (int64_t layer = -1; layer <= map.LayerCount; ++layer) {
    for (int64_t x = -1; x <= 31; ++x) {
      for (int64_t y = -1; y <= 16; ++y) MapRecordCell(map, layer, x, y), MapTileAt(map, layer, x, y);
    }
  }
  // A level the game lets the player start sets up a board with crates, not solved yet.
  const bool playable = MapPlayable(map);
  SetUpBoard(map);
  if (playable && (Board.CrateCount < 1 || CountCoveredTargets() == Board.CrateCount)) __builtin_trap();
  for (size_t i = 0; i < size && i < 256; ++i) {
    RequestMove(FacingLeft + data[size - 1 - i] % 4);
    for (int frame = 0; frame < kMoveFrames; ++frame) AdvanceMove();
    if (CountCoveredTargets() > Board.CrateCount) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int64_t length = static_cast<int64_t>(size);
  MapPackIndex index;
  ParseMapIndex(data, length, &index);

  PlayMap(ParseMap(data, length), data, size);
  const MemoryBlock made = MapFromBytes(data, size);
  PlayMap(ParseMap(made.data(), static_cast<int64_t>(made.size())), data, size);
  return 0;
}
