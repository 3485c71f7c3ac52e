// The built map pack, read the way the game reads it: every level has its layers, properties,
// tiles and thumbnail, and every recorded solution solves its level under the game's own move
// rules in exactly the recorded number of steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "game/core/board.h"
#include "game/maps.h"
#include "runtime/data/pack.h"
#include "tests/support/levels_support.h"
#include "tests/support/map_queries.h"
#include "tools/levels/level_art.h"
#include "tools/levels/level_build.h"
#include "tools/levels/level_source.h"

namespace {

struct RecordedSolution {
  std::string level, source, moves;
  int64_t steps = 0, pushes = 0;
};

std::vector<RecordedSolution> ReadSolutions() {
  std::ifstream file(std::string(CRATEVALE_PACK_DIR) + "level_solutions.txt");
  std::vector<RecordedSolution> solutions;
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    RecordedSolution s;
    fields >> s.level >> s.source >> s.steps >> s.pushes >> s.moves;
    solutions.push_back(s);
  }
  return solutions;
}

// Width and height of a PNG picture, or zeros when it cannot be decoded.
std::pair<int, int> PngSize(const MemoryBlock& png) {
  PngPicture picture = DecodePng(png);
  return {picture.width, picture.height};
}

class MapPack : public testing::Test {
 protected:
  void SetUp() override {
    pack_ = pack_open(kNewObject, text_from_utf8(std::string(CRATEVALE_PACK_DIR) + "Cratevale.maps"), kPackerRuntime);
    ASSERT_NE(pack_, 0) << "Cratevale.maps was not built";
    LoadMapEntries([this](const Text& entry) { return Read(entry); });
  }
  void TearDown() override {
    FreeMapPack();
    if (pack_) pack_close(pack_);
  }
  MemoryBlock Read(const Text& entry) {
    MemoryBlock block;
    if (pack_extract_to_block(pack_, entry, kMapEntryBufferSize, &block) < 0) block.clear();
    return block;
  }
  int64_t pack_ = 0;
};

// Plays one move the way a held arrow key does: a first press in a new direction only turns
// the keeper; the move then runs its eight frames.
int PlayMove(char move) {
  int direction = 0;
  switch (move | 0x20) {
    case 'l': direction = FacingLeft; break;
    case 'r': direction = FacingRight; break;
    case 'u': direction = FacingUp; break;
    case 'd': direction = FacingDown; break;
    default: return kMoveIdle;
  }
  if (Board.Facing != direction) RequestMove(direction);
  int state = RequestMove(direction);
  for (int frame = 0; frame < 2 * kMoveFrames && Board.MoveState != kMoveIdle; ++frame) AdvanceMove();
  return state;
}

TEST_F(MapPack, HoldsEveryLevelWithItsLayersPropertiesAndThumbnail) {
  const std::vector<Text>& levels = MapLevelOrder();
  ASSERT_GE(levels.size(), 40u);
  for (const Text& level : levels) {
    SCOPED_TRACE(text_to_utf8(level));
    const MapRecord& map = FindMap(level);
    EXPECT_EQ(map.Width, kBoardWidth);
    EXPECT_EQ(map.Height, kBoardHeight);
    ASSERT_EQ(map.Layers.size(), 3u);
    EXPECT_EQ(MapRecordProperty(map, 0).substr(0, 6), u"tLevel");
    EXPECT_EQ(MapRecordProperty(map, 1), level);
    int64_t crates = str_to_int(MapRecordProperty(map, 9));
    EXPECT_GE(crates, 1);
    EXPECT_LE(crates, kMaxCrates);
    EXPECT_EQ(PngSize(Read(ThumbnailEntryName(level))), std::make_pair(kThumbnailWidth, kThumbnailHeight));
  }
  EXPECT_EQ(MapPackInformation(4), str_from_int(static_cast<int64_t>(levels.size())));
}

TEST_F(MapPack, EveryTileIsA64PixelPictureTheIndexNames) {
  int64_t tiles = str_to_int(MapPackInformation(5));
  ASSERT_GT(tiles, 0);
  for (int64_t tile = 1; tile <= tiles; ++tile) {
    ASSERT_NE(FindTile(str_from_int(tile)), nullptr) << tile;
    EXPECT_EQ(PngSize(Read(TileEntryName(str_from_int(tile)))), std::make_pair(kTilePixels, kTilePixels)) << tile;
  }
}

TEST_F(MapPack, EveryRecordedSolutionSolvesItsLevelUnderTheMoveRules) {
  std::vector<RecordedSolution> solutions = ReadSolutions();
  ASSERT_EQ(solutions.size(), MapLevelOrder().size());
  for (size_t i = 0; i < solutions.size(); ++i) {
    const RecordedSolution& s = solutions[i];
    SCOPED_TRACE(s.level + " " + s.source);
    ASSERT_EQ(text_from_utf8(s.level), MapLevelOrder()[i]);
    SetUpBoardForLevel(text_from_utf8(s.level));
    Board.StepCount = 0;
    int64_t pushes = 0;
    for (size_t m = 0; m < s.moves.size(); ++m) {
      ASSERT_NE(CountCoveredTargets(), Board.CrateCount) << "solved before move " << m;
      int state = PlayMove(s.moves[m]);
      bool push = s.moves[m] >= 'A' && s.moves[m] <= 'Z';
      ASSERT_NE(state, kMoveIdle) << "move " << m << " refused";
      ASSERT_EQ(state >= kPushLeft && state <= kPushDown, push) << "move " << m;
      pushes += push;
    }
    EXPECT_EQ(CountCoveredTargets(), Board.CrateCount);
    EXPECT_EQ(Board.StepCount, s.steps);
    EXPECT_EQ(static_cast<int64_t>(s.moves.size()), s.steps);
    EXPECT_EQ(pushes, s.pushes);
  }
}

// The first levels teach with few crates; the last ones are long puzzles with several.
TEST_F(MapPack, LevelsGrowFromLessonsToLongPuzzles) {
  std::vector<RecordedSolution> solutions = ReadSolutions();
  ASSERT_GE(solutions.size(), 40u);
  auto crates = [](const std::string& level) { return str_to_int(MapRecordProperty(FindMap(text_from_utf8(level)), 9)); };
  for (size_t i = 0; i < 3; ++i) EXPECT_LE(crates(solutions[i].level), 3) << solutions[i].level;
  for (size_t i = solutions.size() - 5; i < solutions.size(); ++i) {
    EXPECT_GE(crates(solutions[i].level), 4) << solutions[i].level;
    EXPECT_GE(solutions[i].pushes, 70) << solutions[i].level;
    EXPECT_GE(solutions[i].steps, 100) << solutions[i].level;
  }
}

// The room family a level was made from, as its header comment names it ("; family ring, ...");
// empty when it names none.
std::string FamilyOf(const std::string& source) {
  std::ifstream file(std::string(CRATEVALE_SOURCE_DIR) + "data/levels/" + source + ".txt");
  std::string line;
  while (std::getline(file, line) && !line.empty() && line[0] == ';') {
    if (line.rfind("; family ", 0) == 0) return line.substr(9, line.find_first_of(", ", 9) - 9);
  }
  return {};
}

// The expert tier at the end keeps the yardstick data/levels/README.md sets: ten levels or
// more, each proved to need at least 70 pushes and at least 10 beyond its start bound, three
// of them 20 or more; in order of depth; from five room families or more; and none within 40
// cells of another level, before the tier or in it.
TEST(ExpertTier, IsDeepVariedAndRisesInDepth) {
  std::vector<BuiltLevel> built;
  std::vector<std::string> problems;
  ASSERT_TRUE(ProveLevelFolder(std::string(CRATEVALE_SOURCE_DIR) + "data/levels", built, problems, true));
  const size_t first = kFirstExpertLevel - 1;
  ASSERT_GE(built.size(), first + 10);
  int deep = 0, previous = 0;
  std::vector<std::string> families;
  for (size_t i = first; i < built.size(); ++i) {
    const BuiltLevel& entry = built[i];
    SCOPED_TRACE(entry.name + " " + entry.source);
    EXPECT_TRUE(entry.solution.fewest_pushes);
    EXPECT_GE(entry.solution.pushes, 70);
    int depth = LevelDepth(entry);
    EXPECT_GE(depth, 10);
    EXPECT_GE(depth, previous);
    previous = depth;
    deep += depth >= 20;
    EXPECT_EQ(LoneWallPieces(entry.level), 0);
    std::string family = FamilyOf(entry.source);
    EXPECT_NE(family, "");
    if (std::find(families.begin(), families.end(), family) == families.end()) families.push_back(family);
    for (size_t j = 0; j < i; ++j) {
      EXPECT_GE(LevelDifference(entry.level, built[j].level), 40) << "against " << built[j].source;
    }
  }
  EXPECT_GE(deep, 3);
  EXPECT_GE(families.size(), 5u);
}

// Every level the build proves push-optimal has a depth, its pushes less its start bound, and
// the bound never exceeds the pushes; every expert level is so proved.
TEST(ExpertTier, EveryLevelHasItsDepth) {
  std::vector<BuiltLevel> built;
  std::vector<std::string> problems;
  ASSERT_TRUE(ProveLevelFolder(std::string(CRATEVALE_SOURCE_DIR) + "data/levels", built, problems, true));
  ASSERT_GE(built.size(), kFirstExpertLevel + 9);
  for (size_t i = 0; i < built.size(); ++i) {
    const BuiltLevel& entry = built[i];
    SCOPED_TRACE(entry.name + " " + entry.source);
    EXPECT_TRUE(entry.from_record);  // the build need not search
    EXPECT_TRUE(entry.solution.fewest_pushes);
    EXPECT_LE(entry.bound, entry.solution.pushes);
    EXPECT_EQ(LevelDepth(entry), entry.solution.pushes - entry.bound);
  }
  EXPECT_NE(DepthTable(built).find("expert tier, levels 45-"), std::string::npos);
}

}  // namespace
