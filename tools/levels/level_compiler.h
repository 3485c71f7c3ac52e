// The level compiler: places a level on the 30 x 15 board and turns it into the map the game
// reads (layer 0 floor and the ground around the level, layer 1 target marks, layer 2 walls;
// the crate, target and start positions; the title key), and makes the map pack's index with
// the tile set below.
#pragma once

#include <string>
#include <vector>

#include "game/core/map_format.h"
#include "tools/levels/level_source.h"

// The tile set. Floor and ground come in a few variants so large areas do not look stamped;
// a wall's tile is chosen by which of its four neighbours are walls too.
constexpr int kTileFloor = 1;  // 1-4
constexpr int kFloorVariants = 4;
constexpr int kTileTarget = 5;  // the target mark, drawn over the floor
constexpr int kTileGround = 6;  // 6-9, outside the walls
constexpr int kGroundVariants = 4;
constexpr int kTileWall = 10;   // 10-25: kTileWall + the wall-neighbour bits
constexpr int kWallVariants = 16;
constexpr int kTileCount = kTileWall + kWallVariants - 1;

// Wall-neighbour bits of a wall tile.
constexpr unsigned kWallUp = 1;
constexpr unsigned kWallRight = 2;
constexpr unsigned kWallDown = 4;
constexpr unsigned kWallLeft = 8;

constexpr int kFloorLayer = 0;
constexpr int kTargetLayer = 1;

// Where a level's top-left corner lies on the board: the level is centred.
int LevelBoardX(const Level& level);
int LevelBoardY(const Level& level);

// The map of a level that passed LevelProblem, under the given level name.
MapRecord CompileLevel(const Level& level, const std::string& name);

// The index entry of a map pack holding the named levels, in this order, and the tile set.
MapPackIndex MakeMapIndex(const std::vector<std::string>& names);

// The level a map describes, read back the way the game reads it: walls from layer 2, crates,
// targets and the start from the position texts, cut to the walls' bounding box. The title key
// is the map's.
Level LevelFromMap(const MapRecord& map);
