// Levels played through by key events, as a player plays them: the real game on the virtual X
// server, every level unlocked, the chosen level started from the carousel and solved with its
// recorded solution one key tap at a time. A run chooses its levels with CRATEVALE_PLAY_LEVELS
// ("52 53 54"); without it the test is skipped, since a long level takes minutes in software.
// With CRATEVALE_KEEP_SCREENSHOTS naming a folder, the pictures taken on the way are kept there;
// CRATEVALE_PLAY_SCREEN sets the screen mode (0 full screen, 1 a window, the default, 2 borderless).
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/game_process.h"
#include "tests/support/x11_display.h"

namespace {

const std::string kScreenshotLine = "Saving screenshot:\t\tOK";
// The game keeps 32 key changes waiting: two moves of twelve and a picture's two fit.
constexpr int kMovesBetweenPictures = 2;

// Plays level `number` (from 1) through and quits; the game's results file must then hold the
// recorded solution's steps for it.
void PlayLevel(int number, int screen, const char* keep) {
  char name[8];
  std::snprintf(name, sizeof name, "%02d", number);
  SCOPED_TRACE(std::string("level ") + name);
  const std::string solution = RecordedSolution(name);
  ASSERT_FALSE(solution.empty());

  GameProcess game;
  game.WriteFile(game.user_dir() + "Cratevale.prefs", PrefsFile(screen, 1, "en_GB", number - 1));
  std::string results;
  for (int i = 0; i < number; ++i) results += "0\n0\n1\n";
  game.WriteFile(game.user_dir() + "Cratevale.scores", results);
  ASSERT_TRUE(game.Start({"/LOG"}));
  ASSERT_TRUE(game.WaitForLog("OffsetY:", 60000)) << game.Log();
  ASSERT_GT(game.Screenshot(), 0);
  game.Tap(XK_space);
  game.Tap(XK_space);    // both splashes skipped: the main menu
  game.Tap(XK_Return);   // Start: the carousel, at the level played last
  ASSERT_GT(game.Screenshot(), 0);
  game.Tap(XK_Return);   // the level
  ASSERT_GT(game.Screenshot(), 0);

  // A picture every few moves says they were all handled before more are sent.
  for (size_t i = 0; i < solution.size(); ++i) {
    std::vector<std::pair<unsigned long, bool>> keys = StepKeys(solution[i]);
    const bool picture = (i + 1) % kMovesBetweenPictures == 0 || i + 1 == solution.size();
    if (picture) keys.insert(keys.end(), {{XK_s, true}, {XK_s, false}});
    const int shots = game.CountLog(kScreenshotLine);
    game.SendKeys(keys);  // the keys of a move without a picture wait in the game until the next
    if (picture) {
      ASSERT_TRUE(game.WaitForLog(kScreenshotLine, 60000, shots + 1)) << game.Log();
    }
  }
  ASSERT_GT(game.Screenshot(), 0);  // the level-complete panel

  game.Tap(XK_Escape);  // to the main menu
  game.Tap(XK_Down);
  game.Tap(XK_Down);
  game.Tap(XK_Down);    // Quit
  game.Tap(XK_Return);  // the quit question, yes highlighted
  game.Tap(XK_x);
  game.Tap(XK_x);       // while its panel slides in
  ASSERT_EQ(game.TapToExit(XK_Return), 0) << game.Log();

  const std::vector<long> scores = Numbers(GameProcess::ReadFile(game.user_dir() + "Cratevale.scores"));
  const size_t at = static_cast<size_t>(number - 1) * 3;
  ASSERT_GT(scores.size(), at + 1);
  EXPECT_EQ(scores[at + 1], static_cast<long>(solution.size()));
  if (keep) {
    std::filesystem::create_directories(keep);
    int n = 0;
    for (const std::string& shot : game.Screenshots()) {
      std::error_code ignored;
      std::filesystem::copy_file(shot, std::string(keep) + "/" + name + "-" + std::to_string(++n) + ".png",
                                 std::filesystem::copy_options::overwrite_existing, ignored);
    }
  }
}

TEST(PlayByKeys, RecordedSolutionsSolveTheChosenLevels) {
  const char* chosen = std::getenv("CRATEVALE_PLAY_LEVELS");
  if (!chosen || !*chosen) GTEST_SKIP() << "no levels chosen (CRATEVALE_PLAY_LEVELS)";
  X11WindowManager window_manager;
  std::istringstream numbers(chosen);
  const char* screen = std::getenv("CRATEVALE_PLAY_SCREEN");
  for (int number; numbers >> number;) {
    ASSERT_NO_FATAL_FAILURE(PlayLevel(number, screen ? std::atoi(screen) : 1, std::getenv("CRATEVALE_KEEP_SCREENSHOTS")));
  }
}

}  // namespace
