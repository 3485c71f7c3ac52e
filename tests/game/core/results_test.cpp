// The level results file: its lines, missing and extra lines, and saving without losing the old
// file.
#include "game/core/results.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

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
  LevelList[2] = {u"c", u"", 0, 0, kMostResultSteps, kMostResultTimeMs};
  ASSERT_EQ(SaveResults(FolderOf(folder)), 1);
  EXPECT_EQ(folder.Read("Cratevale.scores"), "83211\n57\n1\n0\n0\n1\n" + std::to_string(kMostResultTimeMs) + "\n" +
                                                 std::to_string(kMostResultSteps) + "\n0\n");

  MakeLevels(3);
  ASSERT_EQ(LoadResults(FolderOf(folder)), 1);
  EXPECT_EQ(LevelList[0].TimeMs, 83211);
  EXPECT_EQ(LevelList[0].Steps, 57);
  EXPECT_EQ(LevelList[1].Unlocked, 1);
  EXPECT_EQ(LevelList[2].Steps, kMostResultSteps);
  EXPECT_EQ(LevelList[2].TimeMs, kMostResultTimeMs);
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

// Only plain decimal lines within what a completion can be are taken; a level with any other
// line is reset alone (locked unless it is the first), and the levels after it keep their lines.
TEST(Results, DamagedEntriesAreResetAloneAndNothingWraps) {
  TempFolder folder;
  const std::string most_time = std::to_string(kMostResultTimeMs), most_steps = std::to_string(kMostResultSteps);
  folder.Write("Cratevale.scores",
               "-5\n40\n1\n"                                      // 0: a negative time
               " 83211 \r\n57\r\n1\n"                              // 1: blanks and CR LF are fine
               "99999999999999999999\n9\n1\n"                      // 2: beyond 64 bits
               + most_time + "\n" + most_steps + "\n1\n"            // 3: the largest there can be
               + std::to_string(kMostResultTimeMs + 1) + "\n1\n1\n"  // 4: one more
               "10\n" + std::to_string(kMostResultSteps + 1) + "\n1\n"  // 5: one step too many
               "$10\n5\n1\n"                                        // 6: no other notation
               "10\n5\n2\n"                                         // 7: a flag is 0 or 1
               "10\n\n1\n"                                          // 8: an empty line
               "10\n+5\n1\n"                                        // 9: no sign
               "300\n20\n1\n"                                       // 10: whole
               "155");                                               // 11: cut short
  MakeLevels(13);
  for (LevelRecord& level : LevelList) level = {level.Name, u"", 1, 0, 7, 7};
  ASSERT_EQ(LoadResults(FolderOf(folder)), 1);
  const std::vector<int> whole = {1, 3, 10};
  for (int i = 0; i < 13; ++i) {
    SCOPED_TRACE(i);
    const LevelRecord& level = LevelList[i];
    if (std::find(whole.begin(), whole.end(), i) != whole.end()) {
      EXPECT_EQ(level.Unlocked, 1);
      continue;
    }
    EXPECT_EQ(level.TimeMs, 0);
    EXPECT_EQ(level.Steps, 0);
    EXPECT_EQ(level.Unlocked, i == 0 ? 1 : 0);
  }
  EXPECT_EQ(LevelList[1].TimeMs, 83211);
  EXPECT_EQ(LevelList[1].Steps, 57);
  EXPECT_EQ(LevelList[3].TimeMs, kMostResultTimeMs);
  EXPECT_EQ(LevelList[3].Steps, kMostResultSteps);
  EXPECT_EQ(LevelList[10].TimeMs, 300);
}

// A file that ends inside a level's lines (a save cut short) resets that level; one that ends
// between levels leaves the rest at zero and locked, and an empty file leaves the first level
// playable as no file does.
TEST(Results, FilesEndingEarly) {
  struct Case {
    std::string bytes;
    int64_t second_time;
    int first_unlocked, second_unlocked;
  } cases[] = {
      {"100\n5\n1\n200\n6\n", 0, 1, 0},
      {"100\n5\n1\n200\n6\n1", 0, 1, 0},
      {"100\n5\n1\n200\n6\n1\n", 200, 1, 1},
      {"", 0, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    TempFolder folder;
    folder.Write("Cratevale.scores", c.bytes);
    MakeLevels(3);
    ASSERT_EQ(LoadResults(FolderOf(folder)), 1);
    EXPECT_EQ(LevelList[0].Unlocked, c.first_unlocked);
    EXPECT_EQ(LevelList[1].TimeMs, c.second_time);
    EXPECT_EQ(LevelList[1].Unlocked, c.second_unlocked);
    EXPECT_EQ(LevelList[2].Unlocked, 0);
  }
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
  // A clock set back during play gives no negative time; nothing beyond what the file may hold.
  RecordLevelResult(0, -300, kMostResultSteps + 1);
  EXPECT_EQ(LevelList[0].TimeMs, 0);
  EXPECT_EQ(LevelList[0].Steps, kMostResultSteps);
}

}  // namespace
