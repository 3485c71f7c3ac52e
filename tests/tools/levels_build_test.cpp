// Building the map pack from a level folder: which problems stop the build, and that the same
// levels always give the same files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "tools/levels/level_build.h"
#include "tools/levels/level_proofs.h"

namespace {

namespace fs = std::filesystem;

const char* kTitles = "key\ten_GB\tde_DE\ntLevelONE\tOne\tEins\ntLevelTWO\tTwo\tZwei\n";

void WriteGoodFolder(const TempFolder& folder) {
  folder.Write("order.txt", "# play order\none\ntwo\n");
  folder.Write("one.txt", "Title: tLevelONE\n#######\n#@ $ .#\n#######\n");
  folder.Write("two.txt", "; two crates\nTitle: tLevelTWO\n########\n#@ $ $..#\n#      ##\n########\n");
  folder.Write("titles.tsv", kTitles);
}

// Every file below a folder, by relative path, with its bytes.
std::vector<std::pair<std::string, std::string>> FilesBelow(const std::string& root) {
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    std::string bytes;
    ReadWholeFile(entry.path().string(), bytes);
    files.emplace_back(fs::relative(entry.path(), root).string(), bytes);
  }
  std::sort(files.begin(), files.end());
  return files;
}

class LevelBuild : public testing::Test {
 protected:
  void SetUp() override { WriteGoodFolder(folder); }
  bool Prove() { return ProveLevelFolder(folder.path(), built, problems); }
  TempFolder folder;
  std::vector<BuiltLevel> built;
  std::vector<std::string> problems;
};

TEST_F(LevelBuild, ProvesTheLevelsOfTheIndexInItsOrder) {
  ASSERT_TRUE(Prove());
  EXPECT_TRUE(problems.empty());
  ASSERT_EQ(built.size(), 2u);
  EXPECT_EQ(built[0].name, "01");
  EXPECT_EQ(built[0].source, "one");
  EXPECT_EQ(built[1].name, "02");
  EXPECT_EQ(built[1].level.title_key, "tLevelTWO");
  EXPECT_TRUE(built[1].solution.solved);
}

// The build's depth table: proven pushes, start bound and their difference per level, and a
// dash where the pushes are not proved the fewest.
TEST_F(LevelBuild, PrintsEachLevelsPushesBoundAndDepth) {
  folder.Write("two.txt", "Title: tLevelTWO\n#######\n###.  #\n#@$   #\n###   #\n#######\n");
  ASSERT_TRUE(Prove());
  EXPECT_EQ(built[0].bound, 2);
  EXPECT_EQ(LevelDepth(built[0]), 0);
  EXPECT_EQ(built[1].bound, 2);
  EXPECT_EQ(LevelDepth(built[1]), 2);
  std::string table = DepthTable(built);
  EXPECT_EQ(table,
            "level source         crates pushes bound depth\n"
            "01    one                 1      2     2     0\n"
            "02    two                 1      4     2     2\n");
  built[1].solution.fewest_pushes = false;
  EXPECT_EQ(LevelDepth(built[1]), -1);
  EXPECT_NE(DepthTable(built).find("      4     2     -\n"), std::string::npos);
  // Only a folder that reaches the expert tier has a line for it.
  EXPECT_EQ(ExpertTierSummary(built), "");
  built.resize(kFirstExpertLevel + 1, built[0]);
  built[kFirstExpertLevel] = built[1];
  built[kFirstExpertLevel].solution.fewest_pushes = true;
  EXPECT_EQ(ExpertTierSummary(built), "expert tier, levels 45-46: least depth 0, 0 levels 20 or more deep\n");
}

TEST_F(LevelBuild, NamesEveryLevelThatFailsAndWhy) {
  folder.Write("order.txt", "one\ntwo\nthree\nfour\nfive\n");
  folder.Write("one.txt", "Title: tLevelONE\n#######\n#@ $ .\n#######\n");
  folder.Write("two.txt", "Title: tLevelTWO\n######\n#$   #\n#@  .#\n######\n");
  folder.Write("four.txt", "Title: tLevelFOUR\n#####\n#@$.#\n#####\n");
  folder.Write("five.txt", "Title: tLevelTWO\n#####\n#@$.#\n#####\n");
  EXPECT_FALSE(Prove());
  ASSERT_EQ(problems.size(), 4u);
  EXPECT_EQ(problems[0], "level 01 (one): the keeper is not enclosed by walls");
  EXPECT_EQ(problems[1], "level 02 (two): no solution (unsolvable)");
  EXPECT_EQ(problems[2], "level 03 (three): cannot read " + folder.path() + "three.txt");
  EXPECT_EQ(problems[3], "titles.tsv: no titles for tLevelFOUR");
  EXPECT_EQ(built.size(), 2u);  // four and five
}

TEST_F(LevelBuild, AFolderWithoutAGoodIndexBuildsNothing) {
  std::filesystem::remove(folder.path() + "order.txt");
  EXPECT_FALSE(Prove());
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0], "cannot read " + folder.path() + "order.txt");
  folder.Write("order.txt", "two\ntwo\n");
  EXPECT_FALSE(Prove());
  EXPECT_TRUE(built.empty());
  EXPECT_EQ(problems[0], "order.txt: line 2: \"two\" listed twice");
}

TEST_F(LevelBuild, WritesTheSameFilesEveryTimeAndNothingStale) {
  ASSERT_TRUE(Prove());
  const std::string first = folder.path() + "first", second = folder.path() + "second";
  folder.Write("second/MAPS/99", "left over from an earlier build");
  ASSERT_TRUE(WriteMapPackFolder(built, first, folder.path() + "first.txt"));
  ASSERT_TRUE(WriteMapPackFolder(built, second, folder.path() + "second.txt"));
  std::vector<std::pair<std::string, std::string>> files = FilesBelow(first);
  EXPECT_EQ(files, FilesBelow(second));
  std::vector<std::string> names;
  for (const auto& file : files) names.push_back(file.first);
  EXPECT_EQ(names.size(), 2u + 2u + 1u + 25u);
  EXPECT_EQ(names[0], "MAPS/01");
  EXPECT_EQ(names[2], "THUMBS/01.png");
  EXPECT_EQ(names[4], "TILES/1");
  EXPECT_EQ(names.back(), "index");
  EXPECT_EQ(folder.Read("first.txt"), folder.Read("second.txt"));
  std::string solutions = folder.Read("first.txt");
  EXPECT_EQ(solutions.substr(0, solutions.find('\n', solutions.find('\n') + 1) + 1),
            "# level\tsource\tmoves\tpushes\tsolution\n01\tone\t3\t2\trRR\n");
}

TEST_F(LevelBuild, ReportsAStagingFolderItCannotWrite) {
  ASSERT_TRUE(Prove());
  folder.Write("blocked", "a file where the staging folder should go");
  EXPECT_FALSE(WriteMapPackFolder(built, folder.path() + "blocked/stage", folder.path() + "s.txt"));
}

TEST(ProofTable, ReadsBackWhatItWrites) {
  ProofRecord a{"one", 0x0123456789ABCDEFull, 2, true, false, 3, 7, "rRR"};
  ProofRecord b{"two-b", 42, 1, false, true, 0, 1, "L"};
  std::vector<ProofRecord> records;
  ASSERT_EQ(ParseProofTable(WriteProofTable({a, b}), records), "");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].source, "one");
  EXPECT_EQ(records[0].hash, 0x0123456789ABCDEFull);
  EXPECT_EQ(records[0].pushes, 2);
  EXPECT_TRUE(records[0].fewest_pushes);
  EXPECT_FALSE(records[0].fewest_moves);
  EXPECT_EQ(records[0].proof_expanded, 3u);
  EXPECT_EQ(records[0].expanded, 7u);
  EXPECT_EQ(records[0].moves, "rRR");
  EXPECT_EQ(records[1].hash, 42u);
  EXPECT_TRUE(records[1].fewest_moves);
  EXPECT_NE(SourceHash("a"), SourceHash("b"));
  EXPECT_NE(SourceHash("ab"), SourceHash("ba"));
}

TEST(ProofTable, RefusesMalformedLinesWhole) {
  const std::string good = "one\t0000000000000001\t2\t1\t0\t3\t7\trRR\n";
  struct Case {
    std::string line, reason;
  } cases[] = {
      {"one\t0000000000000001\t2\t1\t0\t3\trRR", "not eight fields"},
      {"one\t0000000000000001\t2\t1\t0\t3\t7\trRR\textra", "not eight fields"},
      {"One\t0000000000000001\t2\t1\t0\t3\t7\trRR", "a bad source name"},
      {"one\t000000000000001\t2\t1\t0\t3\t7\trRR", "a bad hash"},
      {"one\t000000000000000g\t2\t1\t0\t3\t7\trRR", "a bad hash"},
      {"one\t0000000000000001\t-2\t1\t0\t3\t7\trRR", "a bad push count"},
      {"one\t0000000000000001\t2\t2\t0\t3\t7\trRR", "a bad flag"},
      {"one\t0000000000000001\t2\t1\t0\t99999999999999\t7\trRR", "a bad position count"},
      {"one\t0000000000000001\t2\t1\t0\t3\t7\trRx", "bad moves"},
      {"one\t0000000000000001\t2\t1\t0\t3\t7\t", "bad moves"},
      {"one\t0000000000000001\t2\t1\t0\t3\t7\trRR", "a level listed twice"},
  };
  for (const Case& c : cases) {
    std::vector<ProofRecord> records;
    EXPECT_EQ(ParseProofTable("# header\n" + good + c.line + "\n", records), "line 3: " + c.reason) << c.line;
    EXPECT_TRUE(records.empty());
  }
}

// The proof records spare the search only while they hold.
TEST_F(LevelBuild, TakesAProofRecordOnlyForTheSameSourceAndWorkingMoves) {
  std::vector<std::string> notes;
  ASSERT_TRUE(ProveLevelFolder(folder.path(), built, problems, true, &notes));
  ASSERT_EQ(notes.size(), 2u);  // no proofs.tsv yet
  EXPECT_EQ(notes[0], "level 01 (one): no proof record, proved afresh");
  EXPECT_FALSE(built[0].from_record);
  std::string table = ProofTableOf(built);
  folder.Write("proofs.tsv", table);
  ASSERT_TRUE(ProveLevelFolder(folder.path(), built, problems, true, &notes));
  EXPECT_TRUE(built[0].from_record && built[1].from_record);
  EXPECT_EQ(ProofTableOf(built), table);

  // A record with a longer walk that still solves the level is taken as it is; a record whose
  // moves no longer solve the level, or whose source changed, is not.
  std::vector<ProofRecord> records;
  ASSERT_EQ(ParseProofTable(table, records), "");
  records[0].moves = "rlrRR";
  records[1].moves = "L";
  records[1].pushes = 1;
  folder.Write("proofs.tsv", WriteProofTable(records));
  notes.clear();
  ASSERT_TRUE(ProveLevelFolder(folder.path(), built, problems, true, &notes));
  EXPECT_TRUE(built[0].from_record);
  EXPECT_EQ(built[0].solution.moves, "rlrRR");
  EXPECT_FALSE(built[1].from_record);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0], "level 02 (two): its proof record is stale, proved afresh");
  folder.Write("one.txt", "Title: tLevelONE\n#######\n#@  $.#\n#######\n");
  ASSERT_TRUE(ProveLevelFolder(folder.path(), built, problems, true, &notes));
  EXPECT_FALSE(built[0].from_record);
  EXPECT_EQ(built[0].solution.moves, "rrR");
  // Without records every level is searched, and a malformed table only costs time.
  ASSERT_TRUE(ProveLevelFolder(folder.path(), built, problems));
  EXPECT_FALSE(built[0].from_record || built[1].from_record);
  folder.Write("proofs.tsv", "one\tbroken\n");
  notes.clear();
  ASSERT_TRUE(ProveLevelFolder(folder.path(), built, problems, true, &notes));
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_EQ(notes[0], "proofs.tsv: line 1: not eight fields; proving every level afresh");
}

}  // namespace
