// Writes the entries of the map pack in the byte layout the game reads (game/maps.h): the
// "index" entry and one "MAPS/<level>" entry per level. The level tools put the blocks into
// Cratevale.maps with the pack tool, beside "TILES/<n>" and "THUMBS/<level>.png" pictures.
//
// Texts longer than their field are cut to it; a text that fills its field is written without a
// terminating zero, as the reader expects.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "game/core/map_format.h"

// The "index" entry: the header texts and value, the level names in play order, BlockCount
// zero-filled 256-byte blocks, and the tiles (name, mask flag, alpha flag; each flag written as
// one byte, 1 when non-zero; the 512 reserved bytes of a tile entry are zero).
MemoryBlock WriteMapIndex(const MapPackIndex& index);

// A "MAPS/<level>" entry. The layer count written is the number of layers in the record (its
// LayerCount field is not used). Gives an empty block when the width or the height is negative, a
// header value does not fit in 32 bits, or a layer's grid does not hold exactly width x height
// tile numbers.
MemoryBlock WriteMap(const MapRecord& map);

// A position text of the form the board reads: "x1,y1,x2,y2,..." (empty for no positions).
Text WritePositions(const std::vector<std::pair<int, int>>& positions);

// A layer of width x height empty cells, named, marked visible.
MapLayer MakeMapLayer(const Text& name, int64_t width, int64_t height);

// Sets the tile number of the cell (x, y) of a layer of a map `height` cells high. Cells outside
// the layer are ignored.
void SetMapTile(MapLayer& layer, int64_t height, int64_t x, int64_t y, int tile);
