// The level results file: its lines, missing and extra lines, and saving without losing the old
// file.
#include "game/core/results.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "game/core/game.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"

namespace {

void MakeLevels(int count) {
  LevelList.assign(count, LevelRecord());
  for (int i = 0; i < count; ++i) LevelList[i].Name = u"level" + str_from_int(i);
}

Text FolderOf(const TempFolder& folder) { return text_from_utf8(folder.path()); }

TEST(Results, SaveWritesThreeDecimalLinesPerLevelAndLoadReadsThemBack) {
  TempFolder folder;
  MakeLevels(3);
  LevelList[0] = {u"a", u"", 1, 0, 57, 83211};
  LevelList[1] = {u"b", u"", 1, 0, 0, 0};
  LevelList[2] = {u"c", u"", 0, 0, 9000000000, -4};
  ASSERT_EQ(SaveResults(FolderOf(folder)), 1);
  EXPECT_EQ(folder.Read("Cratevale.scores"), "83211\n57\n1\n0\n0\n1\n-4\n9000000000\n0\n");

  MakeLevels(3);
  ASSERT_EQ(LoadResults(FolderOf(folder)), 1);
  EXPECT_EQ(LevelList[0].TimeMs, 83211);
  EXPECT_EQ(LevelList[0].Steps, 57);
  EXPECT_EQ(LevelList[1].Unlocked, 1);
  EXPECT_EQ(LevelList[2].Steps, 9000000000);
  EXPECT_EQ(LevelList[2].TimeMs, -4);
  EXPECT_EQ(LevelList[2].Unlocked, 0);
}

TEST(Results, FileForFewerLevelsLeavesTheNewOnesAtZeroAndLocked) {
  TempFolder folder;
  folder.Write("Cratevale.scores", "1000\n20\n1\n2000\n30\n1\n");
  MakeLevels(4);
  LevelList[3].Unlocked = 1;
  ASSERT_EQ(LoadResults(FolderOf(folder)), 1);
  EXPECT_EQ(LevelList[1].Steps, 30);
  for (int i = 2; i < 4; ++i) {
    EXPECT_EQ(LevelList[i].TimeMs, 0);
    EXPECT_EQ(LevelList[i].Steps, 0);
    EXPECT_EQ(LevelList[i].Unlocked, 0);
  }
}

TEST(Results, LinesAreReadTheTolerantWayAndExtraLinesIgnored) {
  TempFolder folder;
  folder.Write("Cratevale.scores", "  $10\nabc\n1\n%101 steps\n-7\n0\n99\n99\n99\n");
  MakeLevels(2);
  ASSERT_EQ(LoadResults(FolderOf(folder)), 1);
  EXPECT_EQ(LevelList[0].TimeMs, 16);
  EXPECT_EQ(LevelList[0].Steps, 0);
  EXPECT_EQ(LevelList[0].Unlocked, 1);
  EXPECT_EQ(LevelList[1].TimeMs, 5);
  EXPECT_EQ(LevelList[1].Steps, -7);
  EXPECT_EQ(LevelList[1].Unlocked, 0);
}

TEST(Results, FirstLevelLockedInTheFileLeavesEveryLevelLocked) {
  TempFolder folder;
  folder.Write("Cratevale.scores", "0\n0\n0\n");
  MakeLevels(3);
  LevelList[0].Unlocked = 1;
  ASSERT_EQ(LoadResults(FolderOf(folder)), 1);
  for (const LevelRecord& level : LevelList) EXPECT_EQ(level.Unlocked, 0);
}

TEST(Results, MissingFileChangesNothing) {
  TempFolder folder;
  MakeLevels(2);
  LevelList[1].Steps = 12;
  EXPECT_EQ(LoadResults(FolderOf(folder)), 0);
  EXPECT_EQ(LevelList[1].Steps, 12);
  EXPECT_EQ(LevelList[0].Unlocked, 0);
}

TEST(Results, FailedSaveKeepsThePreviousFile) {
  TempFolder folder;
  const std::string old = "100\n5\n1\n";
  folder.Write("Cratevale.scores", old);
  MakeLevels(3);
  LevelList[0].TimeMs = 123456789;
  // Writes past a few bytes fail, as on a full disk.
  EXPECT_TRUE(RunUnprivileged(folder.path(), [&] { return SaveResults(FolderOf(folder)) == 0; }, 4));
  EXPECT_EQ(folder.Read("Cratevale.scores"), old);
  // Nor into a folder that does not exist.
  EXPECT_EQ(SaveResults(FolderOf(folder) + u"missing/"), 0);
}

// A shared game folder that takes no new files, with a results file the player may write.
TEST(Results, UnwritableFolderRewritesAWritableFileInPlace) {
  TempFolder folder;
  const std::string path = folder.Write("locked/Cratevale.scores", "100\n5\n1\n100\n5\n1\n100\n5\n1\n");
  const std::string locked = folder.path() + "locked";
  chmod(path.c_str(), 0666);
  chmod(locked.c_str(), 0555);
  MakeLevels(2);
  LevelList[0].TimeMs = 7;
  LevelList[0].Unlocked = 1;
  EXPECT_TRUE(RunUnprivileged(folder.path(), [&] { return SaveResults(text_from_utf8(locked + "/")) == 1; }));
  chmod(locked.c_str(), 0755);
  EXPECT_EQ(folder.Read("locked/Cratevale.scores"), "7\n0\n1\n0\n0\n0\n");
}

TEST(Results, SavingWithoutLevelsKeepsThePreviousFile) {
  // An unreadable map pack leaves the level list empty; the results must survive that run.
  TempFolder folder;
  folder.Write("Cratevale.scores", "100\n5\n1\n");
  LevelList.clear();
  EXPECT_EQ(SaveResults(FolderOf(folder)), 0);
  EXPECT_EQ(folder.Read("Cratevale.scores"), "100\n5\n1\n");
}

TEST(Results, CompletionReplacesTheResultAndUnlocksTheNextLevel) {
  MakeLevels(2);
  RecordLevelResult(0, 5000, 40);
  RecordLevelResult(0, 9000, 60);  // worse, still replaces
  EXPECT_EQ(LevelList[0].TimeMs, 9000);
  EXPECT_EQ(LevelList[0].Steps, 60);
  EXPECT_EQ(LevelList[1].Unlocked, 1);
  RecordLevelResult(1, 1, 2);  // the last level: nothing after it
  EXPECT_EQ(LevelList[1].Steps, 2);
  EXPECT_EQ(LevelList.size(), 2u);
  RecordLevelResult(2, 1, 2);
  RecordLevelResult(-1, 1, 2);
}

}  // namespace
