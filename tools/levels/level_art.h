// Pictures of the map pack, drawn in the game's shared art style: the 64 x 64 tile pictures
// and the level thumbnails shown on the level cards.
#pragma once

#include <cstdint>
#include <vector>

#include "game/core/map_format.h"

constexpr int kTilePixels = 64;
// Thumbnails are 16:9, the shape the level card shows them in: the 30 x 15 board at 16 pixels
// a cell, with a band of ground above and below.
constexpr int kThumbnailWidth = 480;
constexpr int kThumbnailHeight = 270;

// The PNG picture of a tile of the tile set (1 to kTileCount); empty for any other number.
std::vector<uint8_t> RenderTile(int tile);

// A 16:9 PNG picture of a compiled map, `width` pixels wide: its layers, its crates where they
// start and the keeper, the board at width / 30 pixels a cell between bands of ground.
std::vector<uint8_t> RenderBoardPicture(const MapRecord& map, int width);

// The level's thumbnail: the board picture kThumbnailWidth pixels wide.
std::vector<uint8_t> RenderThumbnail(const MapRecord& map);
