// The climbing search for deep levels: it keeps only levels the solver proves, never falls
// below where it began, keeps the room's own walls and sound wall pieces, and writes candidate
// files that read back as the level they describe.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/levels/level_climb.h"
#include "tools/levels/level_solver.h"
#include "tools/levels/level_source.h"

namespace {

Level Parse(const std::string& source) {
  Level level;
  EXPECT_EQ(ParseLevelSource(source, level), "") << source;
  return level;
}

TEST(LevelClimb, DepthRanksFirstOnceALevelIsLongEnough) {
  // Below the length asked for, length and depth both raise the score.
  EXPECT_GT(ClimbScore(50, 4, 70), ClimbScore(49, 4, 70));
  EXPECT_GT(ClimbScore(50, 5, 70), ClimbScore(50, 4, 70));
  // At or above it, one push of depth outweighs any length; length only breaks ties.
  EXPECT_GT(ClimbScore(70, 11, 70), ClimbScore(130, 10, 70));
  EXPECT_GT(ClimbScore(90, 10, 70), ClimbScore(80, 10, 70));
  // Reaching the length is worth more than the last few pushes below it.
  EXPECT_GT(ClimbScore(70, 10, 70), ClimbScore(69, 10, 70));
}

TEST(LevelClimb, ProvesOnlyPlayableLevelsItCanSolveWithTheFewestPushes) {
  ClimbedLevel result;
  // The crate must go round the wall: five pushes where the bound sees only five too.
  Level round = Parse("Title: tLevelX\n########\n#   #  #\n#@$ #  #\n#     .#\n########\n");
  ASSERT_TRUE(ProveClimbedLevel(round, 100000, result));
  EXPECT_EQ(result.solution.pushes, 5);
  EXPECT_EQ(result.bound, StartBound(round));
  EXPECT_EQ(result.depth, result.solution.pushes - result.bound);
  // A crate in a corner is lost; a crate beyond the keeper's reach cannot be played.
  EXPECT_FALSE(ProveClimbedLevel(Parse("Title: tLevelX\n#####\n#$ .#\n#  @#\n#####\n"), 100000, result));
  EXPECT_FALSE(ProveClimbedLevel(Parse("Title: tLevelX\n########\n#@ # $.#\n########\n"), 100000, result));
  // Two crates that block each other's way: unsolvable however large the search.
  EXPECT_FALSE(ProveClimbedLevel(Parse("Title: tLevelX\n######\n#@$$.#\n#   .#\n######\n"), 100000, result));
}

ClimbSettings SmallClimb(RoomFamily family, uint64_t seed) {
  ClimbSettings settings;
  settings.family = family;
  settings.crates = 3;
  settings.width = 9;
  settings.height = 7;
  settings.obstacles = 4;
  settings.seed = seed;
  settings.steps = 120;
  settings.solver_limit = 60000;
  settings.least_pushes = 30;
  settings.stall = 40;
  return settings;
}

TEST(LevelClimb, ClimbsToProvedDeeperLevelsKeepingTheRoomsShape) {
  for (RoomFamily family : {RoomFamily::kWinding, RoomFamily::kOpen, RoomFamily::kBays}) {
    ClimbSettings settings = SmallClimb(family, 5);
    SCOPED_TRACE(RoomFamilyName(family));
    ClimbedLevel start = StartingLevel(settings);
    ASSERT_TRUE(start.solution.solved);
    EXPECT_EQ(start.level.crates.size(), 3u);
    std::vector<double> scores;
    ClimbReport report = ClimbLevel(start, settings, [&](const ClimbedLevel& c) {
      scores.push_back(ClimbScore(c.solution.pushes, c.depth, settings.least_pushes));
    });
    EXPECT_GT(report.tried, 0);
    EXPECT_GE(report.tried, report.proved + report.refused);
    // Each level it reports beats the one before, and the best is the last reported.
    double start_score = ClimbScore(start.solution.pushes, start.depth, settings.least_pushes);
    for (size_t i = 0; i < scores.size(); ++i) EXPECT_GT(scores[i], i ? scores[i - 1] : start_score);
    const ClimbedLevel& best = report.best;
    if (!scores.empty()) {
      EXPECT_EQ(ClimbScore(best.solution.pushes, best.depth, settings.least_pushes), scores.back());
    }
    // The best level's figures hold when it is proved afresh, and its moves solve it.
    SCOPED_TRACE(LevelToText(best.level));
    EXPECT_EQ(LevelProblem(best.level), "");
    Solution again = SolveLevel(best.level, settings.solver_limit, 0);
    ASSERT_TRUE(again.fewest_pushes);
    EXPECT_EQ(again.pushes, best.solution.pushes);
    EXPECT_EQ(best.bound, StartBound(best.level));
    EXPECT_EQ(best.depth, again.pushes - best.bound);
    EXPECT_EQ(ReplayMoves(best.level, best.solution.moves), 1);
    // The room's walls stay; pieces put in are few, never alone, and shut off no floor.
    ASSERT_EQ(best.level.walls.size(), start.level.walls.size());
    int added = 0;
    for (size_t c = 0; c < start.level.walls.size(); ++c) {
      if (start.level.walls[c]) {
        EXPECT_TRUE(best.level.walls[c]) << c;
      }
      added += best.level.walls[c] && !start.level.walls[c];
    }
    EXPECT_LE(added, 3 * settings.obstacles);
    EXPECT_EQ(LoneWallPieces(best.level), 0);
    EXPECT_EQ(best.level.crates.size(), 3u);
    EXPECT_EQ(best.level.targets.size(), 3u);
  }
}

TEST(LevelClimb, RepeatsItselfForASeedAndWritesCandidatesThatReadBack) {
  ClimbSettings settings = SmallClimb(RoomFamily::kWinding, 9);
  settings.steps = 60;
  ClimbedLevel start = StartingLevel(settings);
  ASSERT_TRUE(start.solution.solved);
  ClimbReport first = ClimbLevel(start, settings);
  ClimbReport second = ClimbLevel(start, settings);
  EXPECT_EQ(LevelToText(first.best.level), LevelToText(second.best.level));
  EXPECT_EQ(first.proved, second.proved);

  std::string text = ClimbCandidateText(first.best, settings);
  Level read = Parse(text);
  EXPECT_EQ(read.title_key, "tLevelGENERATED");
  EXPECT_EQ(LevelToText(read), LevelToText(first.best.level));
  EXPECT_EQ(text.rfind("; family winding, 3 crates in a 9 x 7 room, seed 9\n", 0), 0u) << text;
  std::string figures = "; pushes " + std::to_string(first.best.solution.pushes) + " (proved fewest), bound " +
                        std::to_string(first.best.bound) + ", depth " + std::to_string(first.best.depth) + ", proof ";
  EXPECT_NE(text.find(figures), std::string::npos) << text;
}

}  // namespace
