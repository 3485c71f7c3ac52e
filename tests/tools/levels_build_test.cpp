// Building the map pack from a level folder: which problems stop the build, and that the same
// levels always give the same files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "tools/levels/level_build.h"

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

}  // namespace
