// Level sources: the plain-text level notation the levels are written in ("#" wall, "$" crate,
// "." target, "@" keeper, "*" crate on target, "+" keeper on target, blank, "-" or "_" floor),
// the header lines that go with each level, the index file that puts the levels in play order,
// and the limits a level must keep to fit the 30 x 15 board and its twelve target icons.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "game/core/map_format.h"  // the board's size and its crate limit

// One level as the toolchain sees it. Cells are numbered y * width + x inside the level's own
// rectangle; crates and targets are kept in ascending cell order.
struct Level {
  std::string title_key;   // language key of the title, "tLevelDOCK"
  int width = 0;
  int height = 0;
  std::vector<unsigned char> walls;  // width * height, 1 for a wall
  std::vector<int> crates;
  std::vector<int> targets;
  int keeper = -1;
};

// Reads one level source: ";" comment lines, "Key: value" header lines (the "Title" key is
// required) and one block of map rows. Returns an empty text, or the reason the source is
// malformed. Checks the notation only; LevelProblem checks the limits.
std::string ParseLevelSource(std::string_view source, Level& level);

// The reason a parsed level cannot be played, or an empty text: too large for the board, no
// keeper, crate count outside 1-12, crates and targets not equal in number, a keeper who could
// walk off the map, a crate or target the keeper can never reach, or a level solved already.
std::string LevelProblem(const Level& level);

// The cells the keeper can reach from his start, walking around walls only (crates ignored).
std::vector<unsigned char> LevelEnclosure(const Level& level);

// Wall cells standing alone inside the walls: each of their four neighbours is floor the
// keeper can reach. Such pillars are left over from random building and are not wanted.
int LoneWallPieces(const Level& level);

// How many cells two levels differ in: each level is laid over the other at every offset and in
// each of its four mirror images (as it is, left-right, top-bottom, both), and the cells of the
// two overlaid rectangles are compared as wall (a wall or outside the walls), floor, target,
// crate, crate on a target and keeper; the fewest differing cells over all overlays.
int LevelDifference(const Level& a, const Level& b);

// The level in the notation again, one row per line, trailing floor dropped.
std::string LevelToText(const Level& level);

// The index file: one level source name per line (the file name without ".txt"), in play
// order; blank lines and lines starting with "#" or ";" are skipped. Returns an empty text or
// the reason the index is malformed (a bad name, a name listed twice, no levels at all).
std::string ParseLevelIndex(std::string_view index, std::vector<std::string>& names);

// The title table (titles.tsv): a header line, then per title key a line of the key and its
// title in each language of the header, tab-separated. Returns an empty text, or the reason the
// table does not give every key of `keys` a title in every language.
std::string TitleTableProblem(std::string_view table, const std::vector<std::string>& keys);
