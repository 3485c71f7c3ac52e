// The level toolchain: reading the level notation, the limits of a level, the solver and the
// compiled maps and pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/support/levels_support.h"
#include "tools/levels/level_art.h"
#include "tools/levels/level_compiler.h"
#include "tools/levels/level_generator.h"
#include "tools/levels/level_solver.h"
#include "tools/levels/level_source.h"
#include "tools/mapwriter/mapwriter.h"

namespace {

Level Parse(const std::string& source) {
  Level level;
  EXPECT_EQ(ParseLevelSource(source, level), "") << source;
  return level;
}

int Cell(const Level& level, int x, int y) { return y * level.width + x; }

const char* kSmallLevel =
    "; a comment\n"
    "Title: tLevelTEST\n"
    "\n"
    "#######\n"
    "#.@ $ #\n"
    "#  *  #\n"
    "#######\n";

TEST(LevelSource, ReadsEveryNotationCharacter) {
  Level level = Parse("Title: tLevelALL\r\n  #####\r\n###-_ #\r\n#+*$.##\r\n#    #\r\n######\r\n");
  EXPECT_EQ(level.title_key, "tLevelALL");
  EXPECT_EQ(level.width, 7);
  EXPECT_EQ(level.height, 5);
  EXPECT_EQ(level.crates, (std::vector<int>{Cell(level, 2, 2), Cell(level, 3, 2)}));
  EXPECT_EQ(level.targets, (std::vector<int>{Cell(level, 1, 2), Cell(level, 2, 2), Cell(level, 4, 2)}));
  EXPECT_EQ(level.keeper, Cell(level, 1, 2));
  EXPECT_TRUE(level.walls[Cell(level, 2, 0)]);
  EXPECT_FALSE(level.walls[Cell(level, 0, 0)]);
  EXPECT_FALSE(level.walls[Cell(level, 3, 1)]);  // "-" and "_" are floor
}

TEST(LevelSource, RejectsMalformedSources) {
  struct Case {
    const char* source;
    const char* reason;
  } cases[] = {
      {"Title: tLevelX\n", "no map"},
      {"#####\n#@$.#\n#####\n", "no title key"},
      {"Title: Level X\n#####\n#@$.#\n#####\n", "line 1: the title must be a key such as tLevelDOCK"},
      {"Title: tLevelX\nTitle: tLevelY\n#####\n#@$.#\n#####\n", "line 2: a second title"},
      {"Title: tLevelX\n#####\n#$.#\n#####\n", "no keeper"},
      {"Title: tLevelX\n#####\n#@$.@#\n#####\n", "more than one keeper"},
      {"Title: tLevelX\n#####\n#@$.#\n#####\n\n#####\n", "line 6: a second map"},
      {"Title: tLevelX\n#####\n#@$.#\n#####\nstray words\n", "line 5: neither a map row nor a \"Key: value\" line"},
      {"Title: tLevelX\n#####\n#@$x#\n#####\n", "line 3: neither a map row nor a \"Key: value\" line"},
  };
  for (const Case& c : cases) {
    Level level;
    EXPECT_EQ(ParseLevelSource(c.source, level), c.reason) << c.source;
  }
  Level level;
  EXPECT_EQ(ParseLevelSource("Title: tLevelX\n" + std::string(300, '#') + "\n", level), "line 2: line too long");
  std::string rows;
  for (int i = 0; i < 300; ++i) rows += "#\n";
  EXPECT_EQ(ParseLevelSource("Title: tLevelX\n" + rows, level), "line 258: too many map rows");
}

TEST(LevelSource, NamesEveryReasonALevelCannotBePlayed) {
  std::string wide = "Title: tLevelX\n" + std::string(31, '#') + "\n#@$." + std::string(26, ' ') + "#\n" +
                     std::string(31, '#') + "\n";
  std::string tall = "Title: tLevelX\n####\n#@$#\n#. #\n";
  for (int i = 0; i < 12; ++i) tall += "#  #\n";
  tall += "####\n";
  std::string many = "Title: tLevelX\n################\n#@" + std::string(13, '$') + "#\n#" +
                     std::string(13, '.') + "  #\n################\n";
  struct Case {
    std::string source;
    std::string reason;
  } cases[] = {
      {kSmallLevel, ""},
      {wide, "larger than the 30 x 15 board"},
      {tall, "larger than the 30 x 15 board"},
      {many, "more than 12 crates"},
      {"Title: tLevelX\n#####\n#@ .#\n#####\n", "no crates"},
      {"Title: tLevelX\n######\n#@$..#\n######\n", "1 crates but 2 targets"},
      {"Title: tLevelX\n#####\n#@$.\n#####\n", "the keeper is not enclosed by walls"},
      {"Title: tLevelX\n#####\n @$.#\n#####\n", "the keeper is not enclosed by walls"},
      {"Title: tLevelX\n#########\n#@$.#$ .#\n#########\n", "a crate lies where the keeper can never reach"},
      {"Title: tLevelX\n#########\n#@$.# * #\n#########\n", "a crate lies where the keeper can never reach"},
      {"Title: tLevelX\n######\n#@* *#\n######\n", "every crate already stands on a target"},
  };
  for (const Case& c : cases) {
    Level level;
    ASSERT_EQ(ParseLevelSource(c.source, level), "") << c.source;
    EXPECT_EQ(LevelProblem(level), c.reason) << c.source;
  }
}

TEST(LevelSource, FindsLoneWallPiecesInsideTheWalls) {
  EXPECT_EQ(LoneWallPieces(Parse("Title: tLevelX\n#######\n#@ $ .#\n#######\n")), 0);
  // A pillar with floor all round counts; a wall piece of two cells and a spur of the outer wall
  // do not.
  Level level = Parse(
      "Title: tLevelX\n#########\n#@      #\n# #  ## #\n#   $  .#\n#    #  #\n#########\n");
  EXPECT_EQ(LoneWallPieces(level), 1);
}

// Two levels differ in the fewest cells over every overlay and mirror image.
TEST(LevelSource, MeasuresHowManyCellsTwoLevelsDifferIn) {
  Level a = Parse("Title: tLevelX\n#######\n#@ $ .#\n#  #  #\n#######\n");
  Level mirrored = Parse("Title: tLevelY\n#######\n#. $ @#\n#  #  #\n#######\n");
  Level padded = Parse("Title: tLevelY\n\n   #######\n   #@ $ .#\n   #  #  #\n   #######\n");
  Level moved = Parse("Title: tLevelX\n#######\n#@  $.#\n#  #  #\n#######\n");
  EXPECT_EQ(LevelDifference(a, a), 0);
  EXPECT_EQ(LevelDifference(a, mirrored), 0);
  EXPECT_EQ(LevelDifference(a, padded), 0);
  EXPECT_EQ(LevelDifference(a, moved), 2);
  EXPECT_EQ(LevelDifference(moved, a), 2);
  // A level inside a larger one differs by the larger one's extra floor.
  Level larger = Parse("Title: tLevelX\n#######\n#@ $ .#\n#  #  #\n#     #\n#######\n");
  EXPECT_EQ(LevelDifference(a, larger), 5);
}

TEST(LevelSource, WritesTheNotationBack) {
  Level level = Parse(kSmallLevel);
  EXPECT_EQ(LevelToText(level), "#######\n#.@ $ #\n#  *  #\n#######\n");
}

TEST(LevelSource, ReadsTheIndexAndRefusesBadNames) {
  std::vector<std::string> names;
  EXPECT_EQ(ParseLevelIndex("# play order\n\ndock\n  cold-store \n; later\nmill_2\n", names), "");
  EXPECT_EQ(names, (std::vector<std::string>{"dock", "cold-store", "mill_2"}));
  EXPECT_EQ(ParseLevelIndex("dock\nmill\ndock\n", names), "line 3: \"dock\" listed twice");
  EXPECT_EQ(ParseLevelIndex("Dock\n", names).substr(0, 8), "line 1: ");
  EXPECT_EQ(ParseLevelIndex("../dock\n", names).substr(0, 8), "line 1: ");
  EXPECT_EQ(ParseLevelIndex("# nothing\n", names), "no levels");
}

TEST(LevelSource, TitleTableMustTitleEveryLevelInEveryLanguage) {
  const std::string header = "key\ten_GB\tde_DE\n";
  EXPECT_EQ(TitleTableProblem(header + "tLevelDOCK\tLoading Dock\tLaderampe\n", {"tLevelDOCK"}), "");
  EXPECT_EQ(TitleTableProblem(header + "tLevelDOCK\tLoading Dock\tLaderampe\n", {"tLevelMILL"}),
            "titles.tsv: no titles for tLevelMILL");
  EXPECT_EQ(TitleTableProblem(header + "tLevelDOCK\tLoading Dock\n", {"tLevelDOCK"}),
            "titles.tsv: line 2: not one title per language");
  EXPECT_EQ(TitleTableProblem(header + "tLevelDOCK\t\tLaderampe\n", {"tLevelDOCK"}),
            "titles.tsv: line 2: an empty title");
  EXPECT_EQ(TitleTableProblem(header + "tLevelDOCK\ta\tb\ntLevelDOCK\tc\td\n", {"tLevelDOCK"}),
            "titles.tsv: line 3: a key listed twice");
}

TEST(LevelSolver, FindsTheFewestPushesAndMoves) {
  struct Case {
    const char* map;
    int pushes;
    size_t moves;
  } cases[] = {
      {"#######\n#@ $ .#\n#######\n", 2, 3},
      // The crate must go round the wall: down, then along.
      {"########\n#   #  #\n#@$ #  #\n#     .#\n########\n", 5, 9},
      {"######\n#.  .#\n# $$ #\n#  @ #\n######\n", 4, 0},
      // Three pushes straight ahead cost a long walk round; the crate goes round the pillar
      // instead, in more pushes and fewer moves.
      {"#########\n#       #\n# ##### #\n#   #   #\n#.  $  @#\n#########\n", 3, 0},
  };
  for (const Case& c : cases) {
    Level level = Parse(std::string("Title: tLevelX\n") + c.map);
    Solution solution = SolveLevel(level);
    ASSERT_TRUE(solution.solved) << c.map;
    EXPECT_TRUE(solution.fewest_pushes);
    EXPECT_TRUE(solution.fewest_moves);
    EXPECT_EQ(solution.pushes, c.pushes) << c.map;
    if (c.moves) {
      EXPECT_EQ(solution.moves.size(), c.moves) << c.map;
    }
    int pushes = 0;
    EXPECT_EQ(ReplayMoves(level, solution.moves, &pushes), 1) << solution.moves;
    EXPECT_EQ(pushes, c.pushes);
  }
}

// Here the fewest moves take six pushes and the fewest pushes are four: the level is recorded
// with four, so that its figures say what the level needs, and its start bound is met.
TEST(LevelSolver, RecordsTheFewestPushesWhenTheShortestWalkNeedsMore) {
  Level level = Parse("Title: tLevelX\n #######\n #  .  #\n## $#$ ##\n# @   . #\n#   #   #\n#########\n");
  Solution solution = SolveLevel(level);
  ASSERT_TRUE(solution.solved);
  EXPECT_TRUE(solution.fewest_pushes);
  EXPECT_FALSE(solution.fewest_moves);
  EXPECT_EQ(solution.pushes, 4);
  int pushes = 0;
  EXPECT_EQ(ReplayMoves(level, solution.moves, &pushes), 1);
  EXPECT_EQ(pushes, 4);
  EXPECT_EQ(StartBound(level), 4);
  // The bound ignores the keeper: here, shut in behind the crate, he must push it past the
  // corner to get round it, two pushes beyond the bound.
  Level detour = Parse("Title: tLevelX\n#######\n###.  #\n#@$   #\n###   #\n#######\n");
  EXPECT_EQ(StartBound(detour), 2);
  EXPECT_EQ(SolveLevel(detour).pushes, 4);
  EXPECT_EQ(StartBound(Parse("Title: tLevelX\n#####\n#@$.#\n#####\n#  .#\n#####\n")), kNoBound);
}

TEST(LevelSolver, ProvesDeadlockedLevelsUnsolvable) {
  const char* maps[] = {
      "######\n#$   #\n#@  .#\n######\n",               // a crate in a corner from the start
      "########\n#@$$ ..#\n########\n",                 // two crates in a row in a corridor
      "#######\n#  $$ #\n#@   .#\n#    .#\n#######\n",  // two crates side by side against a wall
      "#######\n#@ $ .#\n##### #\n#.  $ #\n#######\n",  // the first push shuts the keeper out of the lower room
  };
  for (const char* map : maps) {
    Level level = Parse(std::string("Title: tLevelX\n") + map);
    ASSERT_EQ(LevelProblem(level), "") << map;
    Solution solution = SolveLevel(level);
    EXPECT_FALSE(solution.solved) << map;
    EXPECT_EQ(solution.failure, "unsolvable") << map;
    EXPECT_TRUE(solution.moves.empty());
  }
}

TEST(LevelSolver, ReplayRefusesImpossibleMoves) {
  Level level = Parse("Title: tLevelX\n########\n#@$$ ..#\n#   #  #\n########\n");
  EXPECT_EQ(ReplayMoves(level, "R"), 0);   // two crates in a row do not move
  EXPECT_EQ(ReplayMoves(level, "u"), 0);   // wall
  EXPECT_EQ(ReplayMoves(level, "x"), 0);   // not a move
  EXPECT_EQ(ReplayMoves(level, "d"), 0);   // a legal move that does not solve the level
  EXPECT_EQ(ReplayMoves(level, "drrruLLrrdrruLL"), 0);
}

TEST(LevelGenerator, OffersOnlySolvableLevelsAndRepeatsItselfForASeed) {
  for (int pulls : {0, -2, 40}) {
    GeneratorSettings settings;
    settings.crates = 3;
    settings.width = 7;
    settings.height = 6;
    settings.obstacles = 5;
    settings.pulls = pulls;
    settings.attempts = 12;
    settings.search_limit = 20000;
    settings.seed = 5;
    std::vector<Candidate> candidates = GenerateLevels(settings);
    ASSERT_FALSE(candidates.empty()) << pulls;
    for (const Candidate& candidate : candidates) {
      EXPECT_EQ(LevelProblem(candidate.level), "") << LevelToText(candidate.level);
      EXPECT_EQ(ReplayMoves(candidate.level, candidate.solution.moves), 1) << LevelToText(candidate.level);
      EXPECT_EQ(candidate.level.crates.size(), 3u);
    }
    for (size_t i = 1; i < candidates.size(); ++i) EXPECT_GE(candidates[i - 1].score, candidates[i].score);
    std::vector<Candidate> again = GenerateLevels(settings);
    ASSERT_EQ(again.size(), candidates.size());
    EXPECT_EQ(LevelToText(again[0].level), LevelToText(candidates[0].level));
  }
}

// A small room of the family for the depth search: 3 crates in 9 x 7, 6 attempts.
GeneratorSettings SmallDeepSearch(int family, uint64_t seed, int min_depth, int min_pushes) {
  GeneratorSettings settings;
  settings.family = static_cast<RoomFamily>(family);
  settings.crates = 3;
  settings.width = 9;
  settings.height = 7;
  settings.obstacles = 4;
  settings.attempts = 6;
  settings.search_limit = 100000;
  settings.seed = seed;
  settings.min_depth = min_depth;
  settings.min_pushes = min_pushes;
  return settings;
}

// Searching for depth, every family's candidates are proved push-optimal by the solver in
// exactly the pushes reverse play counted, lie at least the asked depth beyond their start
// bound, keep no lone wall pieces, and come deepest first.
TEST(LevelGenerator, FindsDeepLevelsInEveryFamilyAndRanksThemByDepth) {
  for (int family = 0; family < kRoomFamilies; ++family) {
    const GeneratorSettings settings = SmallDeepSearch(family, 3, 2, 12);
    std::vector<Candidate> candidates = GenerateLevels(settings);
    SCOPED_TRACE(RoomFamilyName(settings.family));
    EXPECT_FALSE(candidates.empty());
    for (size_t i = 0; i < candidates.size(); ++i) {
      const Candidate& c = candidates[i];
      SCOPED_TRACE(LevelToText(c.level));
      EXPECT_EQ(LevelProblem(c.level), "");
      EXPECT_TRUE(c.solution.fewest_pushes);
      EXPECT_EQ(c.solution.pushes, c.reverse_pushes);
      EXPECT_GE(c.solution.pushes, settings.min_pushes);
      EXPECT_EQ(c.bound, StartBound(c.level));
      EXPECT_EQ(c.depth, c.solution.pushes - c.bound);
      EXPECT_GE(c.depth, settings.min_depth);
      EXPECT_EQ(LoneWallPieces(c.level), 0);
      EXPECT_EQ(ReplayMoves(c.level, c.solution.moves), 1);
      if (i > 0) {
        EXPECT_GE(candidates[i - 1].depth, c.depth);
      }
    }
  }
}

// Targets placed side by side keep the room's rules (every candidate playable, no lone wall
// pieces) and stand in one patch: every target touches another.
TEST(LevelGenerator, ClusteredTargetsStandInOnePatch) {
  for (int family : {0, 2, 4}) {
    GeneratorSettings settings = SmallDeepSearch(family, 11, 1, 8);
    settings.targets = TargetPlacement::kClustered;
    std::vector<Candidate> candidates = GenerateLevels(settings);
    SCOPED_TRACE(RoomFamilyName(settings.family));
    EXPECT_FALSE(candidates.empty());
    for (const Candidate& c : candidates) {
      SCOPED_TRACE(LevelToText(c.level));
      EXPECT_EQ(LevelProblem(c.level), "");
      EXPECT_EQ(LoneWallPieces(c.level), 0);
      EXPECT_TRUE(c.solution.fewest_pushes);
      for (int t : c.level.targets) {
        int neighbours = 0;
        for (int step : {-1, 1, -c.level.width, c.level.width})
          neighbours += std::binary_search(c.level.targets.begin(), c.level.targets.end(), t + step);
        EXPECT_GE(neighbours, 1) << t;
      }
    }
  }
}

TEST(LevelGenerator, CountsHowOftenASolutionTurnsToAnotherCrate) {
  Level level = Parse("Title: tLevelX\n#######\n#@$  .#\n#     #\n#  $ .#\n#######\n");
  EXPECT_EQ(CrateChanges(level, "R"), 1);
  EXPECT_EQ(CrateChanges(level, "RRR"), 1);  // the same crate three times
  EXPECT_EQ(CrateChanges(level, "RRRdlldRR"), 2);
  EXPECT_EQ(ReplayMoves(level, "RRRdlldRR"), 1);
}

TEST(LevelCompiler, CentresTheLevelAndFillsTheThreeLayers) {
  Level level = Parse(kSmallLevel);  // 7 x 4: placed at (11, 5)
  MapRecord map = CompileLevel(level, "07");
  ASSERT_EQ(LevelBoardX(level), 11);
  ASSERT_EQ(LevelBoardY(level), 5);
  EXPECT_EQ(map.Title, u"tLevelTEST");
  EXPECT_EQ(map.EntryName, u"07");
  EXPECT_EQ(map.Width, 30);
  EXPECT_EQ(map.Height, 15);
  ASSERT_EQ(map.Layers.size(), 3u);
  EXPECT_EQ(map.CrateCount, 2);
  EXPECT_EQ(map.Crates, u"15,6,14,7");
  EXPECT_EQ(map.Targets, u"12,6,14,7");
  EXPECT_EQ(map.Start, u"13,6");
  // Walls only on layer 2, joined to their neighbours.
  EXPECT_EQ(MapTileAt(map, kWallLayer, 11, 5), kTileWall + static_cast<int>(kWallRight | kWallDown));
  EXPECT_EQ(MapTileAt(map, kWallLayer, 14, 5), kTileWall + static_cast<int>(kWallLeft | kWallRight));
  EXPECT_EQ(MapTileAt(map, kWallLayer, 11, 6), kTileWall + static_cast<int>(kWallUp | kWallDown));
  EXPECT_EQ(MapTileAt(map, kWallLayer, 13, 6), 0);
  EXPECT_EQ(MapTileAt(map, kFloorLayer, 11, 5), 0);
  // Floor inside, ground outside, target marks over the floor.
  int inside = MapTileAt(map, kFloorLayer, 13, 6);
  int outside = MapTileAt(map, kFloorLayer, 0, 0);
  EXPECT_GE(inside, kTileFloor);
  EXPECT_LT(inside, kTileFloor + kFloorVariants);
  EXPECT_GE(outside, kTileGround);
  EXPECT_LT(outside, kTileGround + kGroundVariants);
  EXPECT_EQ(MapTileAt(map, kTargetLayer, 12, 6), kTileTarget);
  EXPECT_EQ(MapTileAt(map, kTargetLayer, 13, 6), 0);
  for (int x = 0; x < 30; ++x)
    for (int y = 0; y < 15; ++y) EXPECT_NE(MapTileAt(map, kFloorLayer, x, y) == 0, MapTileAt(map, kWallLayer, x, y) == 0);
}

TEST(LevelCompiler, MapSurvivesThePackFormatAndReadsBackAsTheSameLevel) {
  Level level = Parse("Title: tLevelROUND\n  #####\n###   #\n#.@$  #\n### $.#\n#.##$ #\n# # . ##\n#$ *$$.#\n#   .  #\n########\n");
  ASSERT_EQ(LevelProblem(level), "");
  MemoryBlock bytes = WriteMap(CompileLevel(level, "12"));
  MapRecord map = ParseMap(bytes.data(), static_cast<int64_t>(bytes.size()));
  Level back = LevelFromMap(map);
  EXPECT_EQ(LevelToText(back), LevelToText(level));
  EXPECT_EQ(back.title_key, "tLevelROUND");
}

TEST(LevelCompiler, IndexListsTheLevelsAndEveryTileOnce) {
  MapPackIndex index = MakeMapIndex({"01", "02", "03"});
  ASSERT_EQ(index.Levels.size(), 3u);
  EXPECT_EQ(index.Levels[2], u"03");
  ASSERT_EQ(index.Tiles.size(), static_cast<size_t>(kTileCount));
  for (int tile = 1; tile <= kTileCount; ++tile) {
    EXPECT_EQ(index.Tiles[tile - 1].Name, str_from_int(tile));
    EXPECT_EQ(index.Tiles[tile - 1].AlphaFlag, tile == kTileTarget ? 1 : 0);
  }
}

TEST(LevelArt, TilesAreSquarePicturesWithAlphaOnlyWhereTheFloorShowsThrough) {
  for (int tile = 1; tile <= kTileCount; ++tile) {
    PngPicture picture = DecodePng(RenderTile(tile));
    EXPECT_EQ(picture.width, kTilePixels) << tile;
    EXPECT_EQ(picture.height, kTilePixels) << tile;
    EXPECT_EQ(picture.format, tile == kTileTarget ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24) << tile;
  }
  EXPECT_TRUE(RenderTile(0).empty());
  EXPECT_TRUE(RenderTile(kTileCount + 1).empty());
  // The target mark leaves the middle of the floor around it visible.
  PngPicture target = DecodePng(RenderTile(kTileTarget));
  EXPECT_EQ(target.pixels[0] >> 24, 0u);
}

TEST(LevelArt, ThumbnailShowsTheBoardWithCratesAndKeeperIn16To9) {
  Level level = Parse(kSmallLevel);
  MapRecord map = CompileLevel(level, "01");
  std::vector<uint8_t> png = RenderThumbnail(map);
  PngPicture picture = DecodePng(png);
  ASSERT_EQ(picture.width, kThumbnailWidth);
  ASSERT_EQ(picture.height, kThumbnailHeight);
  EXPECT_EQ(kThumbnailWidth * 9, kThumbnailHeight * 16);
  EXPECT_EQ(png, RenderThumbnail(map));  // the same picture on every build
  // A crate cell differs from the same floor without the crate.
  MapRecord empty = map;
  empty.CrateCount = 0;
  PngPicture bare = DecodePng(RenderThumbnail(empty));
  const int cell = kThumbnailWidth / 30, top = (kThumbnailHeight - 15 * cell) / 2;
  size_t centre = static_cast<size_t>(top + 6 * cell + cell / 2) * kThumbnailWidth + 15 * cell + cell / 2;
  EXPECT_NE(picture.pixels[centre], bare.pixels[centre]);
  EXPECT_EQ(picture.pixels[5], bare.pixels[5]);
}

TEST(LevelArt, BoardPictureKeepsTheShapeAtAnySizeAndRefusesAbsurdOnes) {
  MapRecord map = CompileLevel(Parse(kSmallLevel), "01");
  PngPicture large = DecodePng(RenderBoardPicture(map, 1920));
  EXPECT_EQ(large.width, 1920);
  EXPECT_EQ(large.height, 1080);
  EXPECT_TRUE(RenderBoardPicture(map, 0).empty());
  EXPECT_TRUE(RenderBoardPicture(map, -480).empty());
  EXPECT_TRUE(RenderBoardPicture(map, 1 << 30).empty());
}

}  // namespace
