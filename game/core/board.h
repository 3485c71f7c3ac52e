// The board of the level being played: crates, targets, the keeper, the move in progress and
// the step count; the move rules, the eight-frame move animation and the count of covered
// targets. Walls are not kept here: they come from layer 2 of the level's map.
//
// Nothing here draws and nothing here knows pixels. The play screen draws from this state: every
// crate at its cell, the keeper in his pose and, during a move, the keeper (and the pushed crate)
// MoveFrame eighths of a cell along the move's direction.
#pragma once

#include <cstdint>

#include "game/core/map_format.h"

constexpr int kTargetListEntries = 20;  // TargetList holds entries 1..20; entry 0 is unused
constexpr int kMoveFrames = 8;    // one step takes this many frames

// Directions of a move, equal to the Facing values.
enum Direction {
  FacingNone = 0,
  FacingLeft = 2,
  FacingRight = 3,
  FacingUp = 4,
  FacingDown = 5,
};

// MoveState values: 0 idle, a push code or a walk code while a move is animated.
constexpr int kMoveIdle = 0;
constexpr int kPushLeft = 1, kPushRight = 2, kPushUp = 3, kPushDown = 4;
constexpr int kWalkLeft = 11, kWalkRight = 22, kWalkUp = 33, kWalkDown = 44;

struct BoardRecord {
  int64_t CrateGrid[kBoardWidth + 1][kBoardHeight + 1] = {};  // [x][y], 1 where a crate stands
  int64_t TargetList[kTargetListEntries + 1][2] = {};  // entries 1..CrateCount: (x, y)
  int64_t CrateCount = 0;
  int8_t CoveredCount = 0;
  int64_t PlayerX = 0;
  int64_t PlayerY = 0;
  int Facing = FacingNone;
  // The keeper's picture: standing or pushing, turned towards PoseFacing. A new level shows him
  // standing towards the left whatever way he faces; after a push he keeps pushing until the
  // next turn or move.
  int PoseFacing = FacingLeft;
  bool PosePushing = false;
  int MoveState = kMoveIdle;
  // Eighths of a cell the keeper is drawn along the move, 1..kMoveFrames; it rests at 1 between
  // moves, so the first frame of a move already shows him one eighth along.
  int MoveFrame = 1;
  int64_t PushedCrate[2] = {-1, -1};  // (x, y) of the crate being pushed, (-1, -1) when none
  int64_t StepCount = 0;
  // Wall test of the current level: true where a cell of the board is free (inside the level,
  // and layer 2 empty there or missing). Cells outside the level are walls.
  bool Free[kBoardWidth][kBoardHeight] = {};
};
extern BoardRecord Board;

// Sets the board up for a level from its map record (crate count, crate, target and start
// positions read the tolerant way; walls from layer 2). A move still animating from the previous
// board is cancelled. A level whose crates, targets or start lie outside the 30 x 15 board, or
// that has more crates than the HUD shows, is refused: the board is left without crates, which
// counts as solved at once. Facing is kept from the previous level.
void SetUpBoard(const MapRecord& map);

// A move request (FacingLeft .. FacingDown) while MoveState is idle: turns, starts a walk or a
// push, or does nothing, and counts the step when a move starts. Returns the new MoveState.
int RequestMove(int direction);

// One frame of the move animation; commits the move in its eighth frame.
void AdvanceMove();

// Counts the targets holding a crate into CoveredCount and returns it; the level is solved when it
// equals CrateCount.
int CountCoveredTargets();

// Whether a cell is free for the keeper or a crate to move onto (walls only; crates aside).
bool BoardCellFree(int64_t x, int64_t y);

// The direction (dx, dy) of a MoveState, (0, 0) when idle.
void MoveDirection(int move_state, int* dx, int* dy);
