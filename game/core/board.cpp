// The board of the level being played and its move rules: set-up from the level's map, move
// requests, the move animation and the covered-target count.
#include "game/core/board.h"

#include <algorithm>


BoardRecord Board;

namespace {

// Push and walk codes of the directions left, right, up, down.
constexpr int kPushCodes[] = {kPushLeft, kPushRight, kPushUp, kPushDown};
constexpr int kWalkCodes[] = {kWalkLeft, kWalkRight, kWalkUp, kWalkDown};

bool IsDirection(int direction) { return direction >= FacingLeft && direction <= FacingDown; }

void Step(int direction, int* dx, int* dy) {
  *dx = direction == FacingLeft ? -1 : direction == FacingRight ? 1 : 0;
  *dy = direction == FacingUp ? -1 : direction == FacingDown ? 1 : 0;
}

int PushCode(int direction) { return kPushCodes[direction - FacingLeft]; }
int WalkCode(int direction) { return kWalkCodes[direction - FacingLeft]; }

void SetPose(int direction, bool pushing) {
  Board.PoseFacing = direction;
  Board.PosePushing = pushing;
}

bool OnBoard(int64_t x, int64_t y) { return x >= 0 && y >= 0 && x < kBoardWidth && y < kBoardHeight; }

bool CrateAt(int64_t x, int64_t y) { return OnBoard(x, y) && Board.CrateGrid[x][y] != 0; }

// Field `n` (from 1) of a comma-separated position text, read the tolerant way.
int64_t PositionField(const Text& positions, int64_t n) { return str_to_int(str_field(positions, n, u",")); }

void CancelMove() {
  Board.MoveState = kMoveIdle;
  Board.MoveFrame = 1;
  Board.PushedCrate[0] = Board.PushedCrate[1] = -1;
}

// Places the crates, targets and keeper of a map; false when any of them lies off the board or
// there are more crates than the HUD and the target list hold.
bool PlaceItems(const MapRecord& map) {
  const int64_t crates = map.CrateCount;
  if (crates < 0 || crates > kMaxCrates) return false;
  Board.CrateCount = crates;
  for (int64_t i = 1; i <= crates; ++i) {
    const int64_t x = PositionField(map.Crates, 2 * i - 1), y = PositionField(map.Crates, 2 * i);
    const int64_t tx = PositionField(map.Targets, 2 * i - 1), ty = PositionField(map.Targets, 2 * i);
    if (!OnBoard(x, y) || !OnBoard(tx, ty)) return false;
    Board.CrateGrid[x][y] = 1;
    Board.TargetList[i][0] = tx;
    Board.TargetList[i][1] = ty;
  }
  Board.PlayerX = PositionField(map.Start, 1);
  Board.PlayerY = PositionField(map.Start, 2);
  return OnBoard(Board.PlayerX, Board.PlayerY);
}

void ClearItems() {
  Board.CrateCount = 0;
  std::fill_n(&Board.CrateGrid[0][0], sizeof(Board.CrateGrid) / sizeof(int64_t), 0);
  std::fill_n(&Board.TargetList[0][0], sizeof(Board.TargetList) / sizeof(int64_t), 0);
  Board.PlayerX = Board.PlayerY = 0;
}

}  // namespace

void SetUpBoard(const MapRecord& map) {
  ClearItems();
  if (!PlaceItems(map)) ClearItems();
  for (int x = 0; x < kBoardWidth; ++x) {
    for (int y = 0; y < kBoardHeight; ++y) {
      Board.Free[x][y] = x < map.Width && y < map.Height && MapRecordCell(map, kWallLayer, x, y) != kCellFilled;
    }
  }
  SetPose(FacingLeft, false);
  Board.StepCount = 0;
  Board.CoveredCount = 0;
  // A move still animating on the old board would otherwise finish on the new one.
  CancelMove();
}

bool BoardCellFree(int64_t x, int64_t y) { return OnBoard(x, y) && Board.Free[x][y]; }

int RequestMove(int direction) {
  if (Board.MoveState != kMoveIdle || !IsDirection(direction)) return Board.MoveState;
  if (Board.Facing != direction) {
    Board.Facing = direction;
    SetPose(direction, false);
    return Board.MoveState;
  }
  int dx, dy;
  Step(direction, &dx, &dy);
  const int64_t fx = Board.PlayerX + dx, fy = Board.PlayerY + dy;
  const int64_t bx = fx + dx, by = fy + dy;
  // A crate counts before a wall, even a crate standing in a wall.
  if (CrateAt(fx, fy)) {
    if (CrateAt(bx, by)) {
      SetPose(direction, false);
    } else if (BoardCellFree(bx, by)) {
      SetPose(direction, true);
      Board.PushedCrate[0] = fx;
      Board.PushedCrate[1] = fy;
      Board.MoveState = PushCode(direction);
      ++Board.StepCount;
    }
  } else if (BoardCellFree(fx, fy)) {
    SetPose(direction, false);
    Board.PushedCrate[0] = Board.PushedCrate[1] = -1;
    Board.MoveState = WalkCode(direction);
    ++Board.StepCount;
  }
  return Board.MoveState;
}

void MoveDirection(int move_state, int* dx, int* dy) {
  int direction = FacingNone;
  for (int d = FacingLeft; d <= FacingDown; ++d) {
    if (move_state == PushCode(d) || move_state == WalkCode(d)) direction = d;
  }
  Step(direction, dx, dy);
}

void AdvanceMove() {
  if (Board.MoveState == kMoveIdle) return;
  if (Board.MoveFrame < kMoveFrames) {
    ++Board.MoveFrame;
    return;
  }
  int dx, dy;
  MoveDirection(Board.MoveState, &dx, &dy);
  const int64_t cx = Board.PushedCrate[0], cy = Board.PushedCrate[1];
  if (CrateAt(cx, cy) && OnBoard(cx + dx, cy + dy)) {
    Board.CrateGrid[cx][cy] = 0;
    Board.CrateGrid[cx + dx][cy + dy] = 1;
  }
  Board.PlayerX += dx;
  Board.PlayerY += dy;
  CancelMove();
}

int CountCoveredTargets() {
  const int64_t targets = std::clamp<int64_t>(Board.CrateCount, 0, kTargetListEntries);
  int covered = 0;
  for (int64_t i = 1; i <= targets; ++i) {
    if (CrateAt(Board.TargetList[i][0], Board.TargetList[i][1])) ++covered;
  }
  Board.CoveredCount = static_cast<int8_t>(covered);
  return covered;
}
