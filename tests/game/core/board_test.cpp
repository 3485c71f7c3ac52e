// The board's move rules, the move animation and the covered-target count.
#include "game/core/board.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/core/game.h"
#include "game/presentation.h"
#include "tools/mapwriter/mapwriter.h"

namespace {

using Cells = std::vector<std::pair<int, int>>;

// A map from rows of the common plain-text level notation: "#" wall, "$" crate, "." target,
// "*" crate on a target, "@" keeper, "+" keeper on a target. Walls go to layer 2 unless the map
// is to have fewer layers.
MapRecord MapFromRows(const std::vector<std::string>& rows, int layers = 3) {
  MapRecord map;
  map.Width = rows.empty() ? 0 : static_cast<int64_t>(rows[0].size());
  map.Height = static_cast<int64_t>(rows.size());
  for (int i = 0; i < layers; ++i) map.Layers.push_back(MakeMapLayer(u"layer", map.Width, map.Height));
  std::vector<std::pair<int, int>> crates, targets;
  for (int y = 0; y < map.Height; ++y) {
    for (int x = 0; x < map.Width; ++x) {
      const char c = rows[y][x];
      if (c == '#' && layers > kWallLayer) SetMapTile(map.Layers[kWallLayer], map.Height, x, y, 1);
      if (c == '$' || c == '*') crates.emplace_back(x, y);
      if (c == '.' || c == '*' || c == '+') targets.emplace_back(x, y);
      if (c == '@' || c == '+') map.Start = WritePositions({{x, y}});
    }
  }
  map.CrateCount = static_cast<int64_t>(crates.size());
  map.Crates = WritePositions(crates);
  map.Targets = WritePositions(targets);
  map.LayerCount = layers;
  return map;
}

// Sets a level up with the keeper already facing `facing`, as after an earlier turn.
void StartLevel(const std::vector<std::string>& rows, int facing = FacingNone, int layers = 3) {
  Board.Facing = facing;
  SetUpBoard(MapFromRows(rows, layers));
}

// The keeper's picture as the play screen shows it: standing or pushing, turned as his pose says.
int Sprite() {
  return (Board.PosePushing ? SpriteKeeperPushing : SpriteKeeperStanding) + Board.PoseFacing - FacingLeft;
}

void FinishMove() {
  for (int frame = 0; frame < 100 && Board.MoveState != kMoveIdle; ++frame) AdvanceMove();
}

Cells Crates() {
  Cells found;
  for (int x = 0; x <= kBoardWidth; ++x) {
    for (int y = 0; y <= kBoardHeight; ++y) {
      if (Board.CrateGrid[x][y]) found.emplace_back(x, y);
    }
  }
  return found;
}

TEST(Board, FirstPressOnlyTurns) {
  StartLevel({"#####", "#@ $.", "#####"});
  EXPECT_EQ(Board.Facing, FacingNone);
  EXPECT_EQ(RequestMove(FacingRight), kMoveIdle);
  EXPECT_EQ(Board.Facing, FacingRight);
  EXPECT_EQ(Sprite(), SpriteKeeperStanding + 1);
  EXPECT_EQ(Board.StepCount, 0);
  EXPECT_EQ(Board.PlayerX, 1);

  // A press in another direction turns again, also into a wall.
  EXPECT_EQ(RequestMove(FacingUp), kMoveIdle);
  EXPECT_EQ(Board.Facing, FacingUp);
  EXPECT_EQ(Sprite(), SpriteKeeperStanding + 2);
  EXPECT_EQ(Board.StepCount, 0);
}

struct MoveCase {
  const char* name;
  std::vector<std::string> rows;
  int direction;
  int state;            // MoveState right after the request
  int steps;            // StepCount after it
  int sprite;           // the keeper's picture after it
  std::pair<int, int> keeper;                // after the move has finished
  Cells crates;  // after the move has finished
};

TEST(Board, MoveRequestsWalkPushOrStay) {
  const int standing_right = SpriteKeeperStanding + 1, pushing_right = SpriteKeeperPushing + 1;
  const MoveCase cases[] = {
      {"walk", {"#####", "#@  #", "#####"}, FacingRight, kWalkRight, 1, standing_right, {2, 1}, {}},
      {"push", {"######", "#@$ .#", "######"}, FacingRight, kPushRight, 1, pushing_right, {2, 1}, {{3, 1}}},
      // Nothing happens: the picture stays the one set-up chose (standing, facing left).
      {"wall in front", {"####", "#@##", "####"}, FacingRight, kMoveIdle, 0, SpriteKeeperStanding, {1, 1}, {}},
      {"two crates", {"######", "#@$$ #", "######"}, FacingRight, kMoveIdle, 0, standing_right, {1, 1},
       {{2, 1}, {3, 1}}},
      {"crate into wall", {"####", "#@$#", "####"}, FacingRight, kMoveIdle, 0, SpriteKeeperStanding, {1, 1}, {{2, 1}}},
      {"walk up", {"###", "# #", "#@#", "###"}, FacingUp, kWalkUp, 1, SpriteKeeperStanding + 2, {1, 1}, {}},
      {"push down", {"###", "#@#", "#$#", "# #", "###"}, FacingDown, kPushDown, 1, SpriteKeeperPushing + 3,
       {1, 2}, {{1, 3}}},
      {"push left", {"#####", "# $@#", "#####"}, FacingLeft, kPushLeft, 1, SpriteKeeperPushing, {2, 1}, {{1, 1}}},
  };
  for (const MoveCase& c : cases) {
    SCOPED_TRACE(c.name);
    StartLevel(c.rows, c.direction);
    EXPECT_EQ(RequestMove(c.direction), c.state);
    EXPECT_EQ(Board.StepCount, c.steps);
    EXPECT_EQ(Sprite(), c.sprite);
    FinishMove();
    EXPECT_EQ(std::make_pair(int(Board.PlayerX), int(Board.PlayerY)), c.keeper);
    EXPECT_EQ(Crates(), c.crates);
  }
}

TEST(Board, PushIntoWallChangesNothingNotEvenThePicture) {
  StartLevel({"######", "#@$ ##", "######"}, FacingRight);
  RequestMove(FacingRight);
  FinishMove();
  ASSERT_EQ(Sprite(), SpriteKeeperPushing + 1);
  const BoardRecord before = Board;
  EXPECT_EQ(RequestMove(FacingRight), kMoveIdle);
  EXPECT_EQ(Sprite(), SpriteKeeperPushing + 1);
  EXPECT_EQ(Board.StepCount, before.StepCount);
  EXPECT_EQ(Crates(), (Cells{{3, 1}}));
}

TEST(Board, PushIntoTwoCratesShowsTheStandingPicture) {
  StartLevel({"#######", "#@$ $ #", "#######"}, FacingRight);
  RequestMove(FacingRight);
  FinishMove();
  ASSERT_EQ(Sprite(), SpriteKeeperPushing + 1);
  EXPECT_EQ(RequestMove(FacingRight), kMoveIdle);
  EXPECT_EQ(Sprite(), SpriteKeeperStanding + 1);
  EXPECT_EQ(Board.Facing, FacingRight);
  EXPECT_EQ(Board.StepCount, 1);
}

TEST(Board, CrateStandingInAWallIsPushedLikeAnyCrate) {
  // The crate's own cell is a wall; it is still a crate and leaves it.
  Board.Facing = FacingRight;
  MapRecord map = MapFromRows({"#####", "#@#  ", "#####"});
  map.CrateCount = 1;
  map.Crates = u"2,1";
  map.Targets = u"4,1";
  SetUpBoard(map);
  EXPECT_EQ(RequestMove(FacingRight), kPushRight);
  FinishMove();
  EXPECT_EQ(Crates(), (Cells{{3, 1}}));
}

TEST(Board, LevelWithoutThirdLayerHasNoWalls) {
  StartLevel({"#####", "#@###", "#####"}, FacingRight, /*layers=*/2);
  EXPECT_EQ(RequestMove(FacingRight), kWalkRight);
  FinishMove();
  EXPECT_EQ(Board.PlayerX, 2);
}

TEST(Board, KeeperNeverLeavesTheMap) {
  // No walls at all: the map's own edges stop the keeper, also where the board goes on.
  StartLevel({"@ ", "  "}, FacingLeft, /*layers=*/2);
  EXPECT_EQ(RequestMove(FacingLeft), kMoveIdle);
  RequestMove(FacingUp);
  EXPECT_EQ(RequestMove(FacingUp), kMoveIdle);
  StartLevel({"  ", " @"}, FacingRight, /*layers=*/2);
  EXPECT_EQ(RequestMove(FacingRight), kMoveIdle);
  RequestMove(FacingDown);
  EXPECT_EQ(RequestMove(FacingDown), kMoveIdle);
  EXPECT_EQ(Board.StepCount, 0);
  // Nor can a crate be pushed off it.
  StartLevel({"@$"}, FacingRight, 2);
  EXPECT_EQ(RequestMove(FacingRight), kMoveIdle);
  EXPECT_EQ(Board.StepCount, 0);
}

TEST(Board, OneMoveTakesEightFramesWithTheKeeperAtEachEighth) {
  StartLevel({"#####", "#@$.#", "#####"}, FacingRight);
  ASSERT_EQ(RequestMove(FacingRight), kPushRight);
  std::vector<int> drawn;
  while (Board.MoveState != kMoveIdle && drawn.size() < 20) {
    drawn.push_back(Board.MoveFrame);  // the eighths of a cell the play screen draws this frame
    AdvanceMove();
  }
  ASSERT_EQ(drawn.size(), static_cast<size_t>(kMoveFrames));
  for (int frame = 0; frame < kMoveFrames; ++frame) EXPECT_EQ(drawn[frame], frame + 1);
  EXPECT_EQ(Board.MoveFrame, 1);
  EXPECT_EQ(Board.PushedCrate[0], -1);
  EXPECT_EQ(Sprite(), SpriteKeeperPushing + 1);  // stays until the next move or turn
  EXPECT_EQ(CountCoveredTargets(), 1);
}

TEST(Board, HeldKeyWalksOneCellEveryEightFrames) {
  StartLevel({"########", "#@     #", "########"}, FacingRight);
  int frames = 0;
  while (Board.PlayerX < 4 && frames < 100) {
    AdvanceMove();
    if (Board.MoveState == kMoveIdle) RequestMove(FacingRight);
    ++frames;
  }
  // The first request in frame 1, then one each frame right after a commit.
  EXPECT_EQ(frames, 1 + 3 * kMoveFrames);
  EXPECT_EQ(Board.StepCount, 4);  // the fourth walk has just started
}

TEST(Board, RequestsDuringAMoveAreIgnored) {
  StartLevel({"#####", "#@  #", "#####"}, FacingRight);
  RequestMove(FacingRight);
  AdvanceMove();
  EXPECT_EQ(RequestMove(FacingLeft), kWalkRight);
  EXPECT_EQ(Board.Facing, FacingRight);
  EXPECT_EQ(Board.StepCount, 1);
}

TEST(Board, RestartDuringAMoveCancelsIt) {
  const std::vector<std::string> rows = {"######", "#@$ .#", "######"};
  StartLevel(rows, FacingRight);
  RequestMove(FacingRight);
  for (int i = 0; i < 7; ++i) AdvanceMove();
  SetUpBoard(MapFromRows(rows));
  EXPECT_EQ(Board.MoveState, kMoveIdle);
  EXPECT_EQ(Board.MoveFrame, 1);
  EXPECT_EQ(Board.PushedCrate[0], -1);
  EXPECT_EQ(Board.StepCount, 0);
  AdvanceMove();
  EXPECT_EQ(Crates(), (Cells{{2, 1}}));
  EXPECT_EQ(Board.PlayerX, 1);
  EXPECT_EQ(Board.Facing, FacingRight);  // kept from before the restart
  EXPECT_EQ(Sprite(), SpriteKeeperStanding);
}

TEST(Board, CountsTheCoveredTargetsWhicheverTheyAre) {
  // Three crates; only the third target is covered.
  MapRecord map = MapFromRows({"#######", "#$$$@ #", "#######"});
  map.Targets = u"5,1,4,1,3,1";
  SetUpBoard(map);
  EXPECT_EQ(CountCoveredTargets(), 1);
  EXPECT_EQ(Board.CoveredCount, 1);
}

TEST(Board, LevelWithoutCratesIsSolvedAtOnce) {
  StartLevel({"###", "#@#", "###"});
  EXPECT_EQ(Board.CrateCount, 0);
  EXPECT_EQ(CountCoveredTargets(), Board.CrateCount);
  // So is the empty record of a missing or malformed map.
  SetUpBoard(MapRecord());
  EXPECT_EQ(CountCoveredTargets(), Board.CrateCount);
}

TEST(Board, PositionsAreReadTheTolerantWay) {
  MapRecord map = MapFromRows({"########", "#      #", "#      #", "########"});
  map.CrateCount = 2;
  map.Crates = u" 2,$1, +3 ,%10";  // hexadecimal and binary numbers, blanks and signs
  map.Targets = u"x,1";             // no digits read 0; missing fields read 0
  map.Start = u"6,2";
  SetUpBoard(map);
  EXPECT_EQ(Crates(), (Cells{{2, 1}, {3, 2}}));
  EXPECT_EQ(Board.TargetList[1][0], 0);
  EXPECT_EQ(Board.TargetList[1][1], 1);
  EXPECT_EQ(Board.TargetList[2][0], 0);
  EXPECT_EQ(Board.TargetList[2][1], 0);
  EXPECT_EQ(Board.PlayerX, 6);
  EXPECT_EQ(Board.PlayerY, 2);
}

TEST(Board, LevelWithItemsOffTheBoardIsRefused) {
  struct Case {
    const char* name;
    int64_t crates;
    const char16_t* crate_positions;
    const char16_t* target_positions;
    const char16_t* start;
  };
  const Case cases[] = {
      {"crate right of the board", 1, u"30,1", u"2,1", u"1,1"},
      {"crate below the board", 1, u"2,15", u"2,1", u"1,1"},
      {"negative target", 1, u"2,1", u"-1,1", u"1,1"},
      {"target far away", 1, u"2,1", u"2,99999999999", u"1,1"},
      {"start off the board", 1, u"2,1", u"3,1", u"1,-1"},
      {"more crates than the HUD shows", 13, u"", u"", u"1,1"},
      {"crate count beyond the target list", 21, u"", u"", u"1,1"},
      {"negative crate count", -1, u"", u"", u"1,1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartLevel({"#####", "#@$.#", "#####"});
    MapRecord map = MapFromRows({"#####", "#   #", "#####"});
    map.CrateCount = c.crates;
    map.Crates = c.crate_positions;
    map.Targets = c.target_positions;
    map.Start = c.start;
    SetUpBoard(map);
    EXPECT_EQ(Board.CrateCount, 0);
    EXPECT_TRUE(Crates().empty());
    EXPECT_EQ(CountCoveredTargets(), 0);
  }
}

TEST(Board, MoveDirectionOfEveryMoveState) {
  const struct {
    int state, dx, dy;
  } cases[] = {{kMoveIdle, 0, 0},  {kPushLeft, -1, 0}, {kPushRight, 1, 0}, {kPushUp, 0, -1}, {kPushDown, 0, 1},
               {kWalkLeft, -1, 0}, {kWalkRight, 1, 0}, {kWalkUp, 0, -1},  {kWalkDown, 0, 1}, {23, 0, 0}};
  for (const auto& c : cases) {
    int dx = 9, dy = 9;
    MoveDirection(c.state, &dx, &dy);
    EXPECT_EQ(dx, c.dx) << c.state;
    EXPECT_EQ(dy, c.dy) << c.state;
  }
}

}  // namespace
