// The level solver: a search over pushes (the keeper's walks between pushes are found by
// breadth-first search) that proves a level solvable and records one solution: the one with
// the fewest moves when that search stays within its limit and the solution it finds has no
// more pushes than the fewest possible, else one with the fewest pushes it can find. Squares
// from which no crate can ever reach a target are pruned, as are pushes that freeze a crate off
// its target; the lower bound is the cheapest assignment of crates to targets by push distance.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tools/levels/level_source.h"

struct Solution {
  bool solved = false;
  bool fewest_pushes = false;  // no solution with fewer pushes exists
  bool fewest_moves = false;   // no solution with fewer moves exists
  std::string moves;         // "l r u d" walks, "L R U D" pushes
  int pushes = 0;
  size_t expanded = 0;       // positions the searches looked at
  // Positions the search for the fewest pushes looked at until it proved its answer: the
  // measure of how hard a level is (0 when that search gave up).
  size_t proof_expanded = 0;
  std::string failure;       // why there is no solution: "unsolvable" or "search limit reached"
};

constexpr size_t kDefaultSearchLimit = 3000000;
// The search for the fewest moves keeps the keeper's exact cell in each position and so needs
// many more of them; the build gives it this many before it settles for the fewest pushes.
constexpr size_t kMovesSearchLimit = 60000;

// Solves a level that passed LevelProblem. The search first looks for a solution with the
// fewest pushes; past `limit` stored positions it settles for any solution it can find within
// the same limit again. Then, within `moves_limit`, it looks for the fewest moves.
Solution SolveLevel(const Level& level, size_t limit = kDefaultSearchLimit, size_t moves_limit = kMovesSearchLimit);

// The search's lower bound on the pushes a position needs: the cheapest assignment of its
// crates to the level's targets by push distance (each crate alone on the board). The level
// builder uses it to judge how far a position's best solution lies beyond the bound.
struct PushBound {
  std::vector<std::vector<int>> distance;  // [target number][cell]
};
constexpr int kNoBound = 1 << 20;  // some crate can reach no target
// For a level with as many crates as targets (its crates' cells are not used).
PushBound MakePushBound(const Level& level);
// The bound for crates at these cells of the level; kNoBound when some crate is stuck.
int PushBoundOf(const PushBound& bound, const std::vector<int>& crates);

// The bound at the level's start position: the fewest pushes its crates need if each could go
// its own shortest way to a target of its own. A level's depth is its proven fewest pushes less
// this bound: the pushes spent on detours, waiting and making room. kNoBound for a level that
// cannot be played or has a crate that can reach no target.
int StartBound(const Level& level);

// Plays a move string on the level under the game's rules (a move into a wall, or into a crate
// with a wall or a crate behind it, is refused). Returns 1 when every move could be made and
// every target holds a crate at the end; counts the pushes made.
int ReplayMoves(const Level& level, const std::string& moves, int* pushes = nullptr);
