// The whole game as a player meets it: the real executable with the real packs on the virtual X
// server, driven only with key events, judged by its log, its screenshots and the files it
// writes.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <cstdint>
#include <utility>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "game/core/game.h"
#include "game/core/languages.h"
#include "game/main_loop.h"
#include "game/presentation.h"
#include "game/startup.h"
#include "runtime/display/screen.h"
#include "runtime/display/window.h"
#include "runtime/media/sound.h"
#include "runtime/data/text.h"
#include "tests/support/game_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/x11_display.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kStartTimeoutMs = 60000;
const std::string kScreenshotLine = "Saving screenshot:\t\tOK";

// Width and height from a PNG file's header.
std::pair<int, int> PngSize(const std::string& path) {
  const std::string bytes = GameProcess::ReadFile(path);
  if (bytes.size() < 24) return {0, 0};
  auto big_endian = [&](size_t at) {
    return (static_cast<uint8_t>(bytes[at]) << 24) | (static_cast<uint8_t>(bytes[at + 1]) << 16) |
           (static_cast<uint8_t>(bytes[at + 2]) << 8) | static_cast<uint8_t>(bytes[at + 3]);
  };
  return {big_endian(16), big_endian(20)};
}

class GameX11 : public ::testing::Test {
 protected:
  void Launch(const std::string& prefs) {
    game_.WriteFile(game_.user_dir() + "Cratevale.prefs", prefs);
    ASSERT_TRUE(game_.Start({"/LOG"}));
    ASSERT_TRUE(game_.WaitForLog("OffsetY:", kStartTimeoutMs)) << game_.Log();
    // The window takes the keys once it is shown and focused: the first picture taken says so.
    ASSERT_GT(game_.Screenshot(), 0);
  }
  // Skips both splashes (the main menu shows at once the first time).
  void ToMainMenu() {
    game_.Tap(XK_space);
    game_.Tap(XK_space);
    ASSERT_GT(game_.Screenshot(), 0);
  }
  // From the main menu through the carousel into the first level; `started` is when its card was
  // chosen.
  void StartFirstLevel(Clock::time_point* started) {
    game_.Tap(XK_Return);  // Start: the carousel
    ASSERT_GT(game_.Screenshot(), 0);
    *started = Clock::now();
    game_.Tap(XK_Return);  // the first card
    ASSERT_GT(game_.Screenshot(), 0);
  }
  // A panel that slides in ignores keys for its five frames. The game sees one key change a
  // frame, so two taps of a key it does not use (x) take four frames after the key that opened
  // the panel, and the next key's release comes in a frame after those, however slow they are.
  void LetThePanelSlideIn() {
    game_.Tap(XK_x);
    game_.Tap(XK_x);
  }
  // One step of the keeper, whatever the speed of the frames, and a screenshot that says it ended.
  void Move(char move) {
    std::vector<std::pair<unsigned long, bool>> keys = StepKeys(move);
    keys.insert(keys.end(), {{XK_s, true}, {XK_s, false}});
    const int shots = game_.CountLog(kScreenshotLine);
    game_.SendKeys(keys);
    ASSERT_TRUE(game_.WaitForLog(kScreenshotLine, 20000, shots + 1)) << game_.Log();
  }

  X11WindowManager window_manager_;
  GameProcess game_;
};

TEST_F(GameX11, PlaysTheFirstLevelWithAPauseUnlocksTheSecondAndSavesOnQuit) {
  const std::string solution = RecordedSolution("01");
  ASSERT_FALSE(solution.empty());
  Launch(PrefsFile(1, 1));
  EXPECT_NE(game_.Log().find("Opening screen (Windowed):\t\tOK"), std::string::npos);
  ToMainMenu();
  Clock::time_point started;
  ASSERT_NO_FATAL_FAILURE(StartFirstLevel(&started));

  // Half the solution, two seconds in the in-game menu, the rest.
  const size_t half = solution.size() / 2;
  for (size_t i = 0; i < half; ++i) ASSERT_NO_FATAL_FAILURE(Move(solution[i]));
  game_.Tap(XK_Escape);
  ASSERT_GT(game_.Screenshot(), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(2000));  // the pause, not a wait for the game
  game_.Tap(XK_Escape);
  for (size_t i = half; i < solution.size(); ++i) ASSERT_NO_FATAL_FAILURE(Move(solution[i]));
  const long elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();

  game_.Tap(XK_Escape);  // from the level-complete panel to the main menu
  game_.Tap(XK_Down);
  game_.Tap(XK_Down);
  game_.Tap(XK_Down);    // Quit
  game_.Tap(XK_Return);  // the quit question, yes highlighted
  ASSERT_NO_FATAL_FAILURE(LetThePanelSlideIn());
  ASSERT_EQ(game_.TapToExit(XK_Return), 0) << game_.Log();  // yes

  const std::vector<std::string> shots = game_.Screenshots();
  ASSERT_GE(shots.size(), 5u + solution.size());
  EXPECT_EQ(PngSize(shots.back()), std::make_pair(1280, 720));

  const std::string prefs = GameProcess::ReadFile(game_.user_dir() + "Cratevale.prefs");
  EXPECT_EQ(PrefsValue(prefs, "LastPlayed"), "0");
  const std::vector<long> scores = Numbers(GameProcess::ReadFile(game_.user_dir() + "Cratevale.scores"));
  ASSERT_GE(scores.size(), 6u);
  EXPECT_EQ(scores[1], static_cast<long>(solution.size()));  // level 1: its steps
  EXPECT_EQ(scores[2], 1);                                   // level 1 unlocked
  EXPECT_EQ(scores[5], 1);                                   // level 2 unlocked
  // The level clock left the two seconds in the menu out.
  EXPECT_GT(scores[0], 0);
  EXPECT_LE(scores[0], elapsed - 1800) << "recorded " << scores[0] << " ms of " << elapsed << " ms";
}

TEST_F(GameX11, SettingsChangeTheWindowSizeAndTheLanguageAndAreSaved) {
  Launch(PrefsFile(1, 1));
  ToMainMenu();
  game_.Tap(XK_Down);    // Settings
  game_.Tap(XK_Return);
  ASSERT_NO_FATAL_FAILURE(LetThePanelSlideIn());
  game_.Tap(XK_Down);
  game_.Tap(XK_Down);
  game_.Tap(XK_Down);    // the window size
  game_.Tap(XK_Left);    // 1024 x 576
  game_.Tap(XK_Down);    // confirm
  game_.Tap(XK_Return);
  ASSERT_TRUE(game_.WaitForLog("Screenwidth:\t\t1024", 20000)) << game_.Log();
  EXPECT_TRUE(game_.WaitForLog("Joystick: \t\t", 5000));
  EXPECT_TRUE(game_.WaitForLog("TileSize: \t\t34", 5000, 1)) << game_.Log();
  ASSERT_GT(game_.Screenshot(), 0);
  const int english = game_.Screenshot();
  ASSERT_GT(english, 0);

  // The language entry walks the languages in the list's order.
  ScanLanguages(text_from_utf8(std::string(CRATEVALE_PACK_DIR) + "Cratevale.languages"));
  const int64_t steps = LanguagePosition(u"de_DE") - LanguagePosition(u"en_GB");
  game_.Tap(XK_Return);  // Settings: the main menu keeps its highlighted entry
  ASSERT_NO_FATAL_FAILURE(LetThePanelSlideIn());
  for (int64_t i = 0; i < (steps < 0 ? -steps : steps); ++i) game_.Tap(steps < 0 ? XK_Left : XK_Right);
  for (int i = 0; i < 4; ++i) game_.Tap(XK_Down);  // confirm
  game_.Tap(XK_Return);
  ASSERT_TRUE(game_.WaitForLog("Load language (de_DE):\t\tOK", 20000)) << game_.Log();
  ASSERT_GT(game_.Screenshot(), 0);
  const std::vector<std::string> shots = game_.Screenshots();
  ASSERT_GE(shots.size(), 2u);
  EXPECT_NE(GameProcess::ReadFile(shots[shots.size() - 1]), GameProcess::ReadFile(shots[shots.size() - 2]))
      << "the German main menu looks like the English one";
  EXPECT_EQ(game_.TapToExit(XK_Escape), 0) << game_.Log();  // quits from the main menu

  const std::string prefs = GameProcess::ReadFile(game_.user_dir() + "Cratevale.prefs");
  EXPECT_EQ(PrefsValue(prefs, "Language"), "de_DE");
  EXPECT_EQ(PrefsValue(prefs, "Resolution"), "0");
  EXPECT_EQ(PrefsValue(prefs, "GameScreen"), "1");
}

TEST_F(GameX11, FullScreenAndBorderlessOpenAtTheDesktopSizeAndEscapeEndsTheGame) {
  for (int screen : {0, 2}) {
    SCOPED_TRACE(screen);
    GameProcess game;
    game.WriteFile(game.user_dir() + "Cratevale.prefs", PrefsFile(screen, 1));
    ASSERT_TRUE(game.Start({"/LOG"}));
    ASSERT_TRUE(game.WaitForLog("OffsetY:", kStartTimeoutMs)) << game.Log();
    ASSERT_GT(game.Screenshot(), 0);
    const std::vector<std::string> shots = game.Screenshots();
    ASSERT_EQ(shots.size(), 1u);
    const X11Size desktop = x11_current_mode();
    EXPECT_EQ(PngSize(shots[0]), std::make_pair(desktop.width, desktop.height));
    // Escape leaves the studio splash, then the title, then ends the game from the main menu.
    game.Tap(XK_Escape);
    game.Tap(XK_Escape);
    EXPECT_EQ(game.TapToExit(XK_Escape), 0) << game.Log();
  }
}

// On a slow screen of a busy machine (a window larger than the virtual screen, drawn in software,
// two processes beside it keeping the processors busy) every brisk tap acts: splash, title,
// carousel, back, and quit through the question. A tap lost anywhere leaves the game running or
// ends it early.
TEST_F(GameX11, EveryBriskTapActsOnASlowScreenOfABusyMachine) {
  BusyProcesses busy(2);
  ASSERT_EQ(busy.running(), 2);
  game_.WriteFile(game_.user_dir() + "Cratevale.prefs", PrefsFile(1, 6));  // 2560 x 1440
  ASSERT_TRUE(game_.Start({"/LOG"}));
  ASSERT_TRUE(game_.WaitForLog("OffsetY:", 2 * kStartTimeoutMs)) << game_.Log();
  constexpr int kSlowMs = 60000;
  ASSERT_GT(game_.Screenshot(kSlowMs), 0);  // the studio splash, which shows a still picture
  game_.Tap(XK_space);                      // to the title
  ASSERT_GT(game_.Screenshot(kSlowMs), 0);
  std::vector<std::string> shots = game_.Screenshots();
  ASSERT_EQ(shots.size(), 2u);
  EXPECT_NE(GameProcess::ReadFile(shots[0]), GameProcess::ReadFile(shots[1])) << "still the splash";
  game_.Tap(XK_space);   // to the main menu
  game_.Tap(XK_Return);  // Start: the carousel
  game_.Tap(XK_Escape);  // back to the main menu, which slides in
  LetThePanelSlideIn();
  game_.Tap(XK_Down);
  game_.Tap(XK_Down);
  game_.Tap(XK_Down);    // Quit
  game_.Tap(XK_Return);  // the question, which slides in
  LetThePanelSlideIn();
  ASSERT_GT(game_.Screenshot(kSlowMs), 0) << "Escape reached the main menu: the carousel never opened";
  EXPECT_EQ(game_.TapToExit(XK_Return, kSlowMs), 0) << game_.Log();  // yes
  EXPECT_EQ(busy.running(), 2);
  // Ended through the question: everything was saved, and no level was started.
  EXPECT_EQ(PrefsValue(GameProcess::ReadFile(game_.user_dir() + "Cratevale.prefs"), "Resolution"), "6");
  const std::vector<long> scores = Numbers(GameProcess::ReadFile(game_.user_dir() + "Cratevale.scores"));
  ASSERT_GE(scores.size(), 3u);
  EXPECT_EQ(std::vector<long>(scores.begin(), scores.begin() + 3), (std::vector<long>{0, 0, 1}));
}

// Minimised in the middle of a level and brought back, the game leaves the time away out of the
// level's time, as it does the time in the in-game menu.
TEST_F(GameX11, TimeAwayWhileMinimisedIsNotCountedInTheLevelsTime) {
  const std::string solution = RecordedSolution("01");
  ASSERT_FALSE(solution.empty());
  Launch(PrefsFile(1, 1));
  ToMainMenu();
  Clock::time_point started;
  ASSERT_NO_FATAL_FAILURE(StartFirstLevel(&started));
  const size_t half = solution.size() / 2;
  for (size_t i = 0; i < half; ++i) ASSERT_NO_FATAL_FAILURE(Move(solution[i]));
  ASSERT_TRUE(game_.Minimise());
  const auto away = Clock::now();
  std::this_thread::sleep_for(std::chrono::milliseconds(3000));  // the time away, not a wait for the game
  ASSERT_TRUE(game_.Restore());
  const long away_ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - away).count();
  for (size_t i = half; i < solution.size(); ++i) ASSERT_NO_FATAL_FAILURE(Move(solution[i]));
  const long elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
  game_.Tap(XK_Escape);  // from the level-complete panel to the main menu
  ASSERT_EQ(game_.TapToExit(XK_Escape), 0) << game_.Log();

  const std::vector<long> scores = Numbers(GameProcess::ReadFile(game_.user_dir() + "Cratevale.scores"));
  ASSERT_GE(scores.size(), 2u);
  EXPECT_EQ(scores[1], static_cast<long>(solution.size()));
  EXPECT_GT(scores[0], 0);
  EXPECT_LE(scores[0], elapsed - away_ms + 300) << "recorded " << scores[0] << " ms of " << elapsed << " ms, "
                                                << away_ms << " ms of them away";
}

// Frames of the loop until `done` holds; false after ten seconds.
bool RunFramesUntil(const std::function<bool()>& done) {
  const auto end = Clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (Clock::now() > end) return false;
    RunFrame();
  }
  return true;
}

// A minimised window pauses the music (and, having lost the focus, is an inactive screen that is
// not drawn); brought back, it plays the music on.
TEST(MainLoopX11, MusicPausedWhileTheWindowIsAwayComesBackWithIt) {
  X11WindowManager window_manager;
  TempFolder game, home;
  for (const char* pack : {"Cratevale.data", "Cratevale.maps", "Cratevale.languages"}) {
    fs::create_symlink(std::string(CRATEVALE_PACK_DIR) + pack, game.path() + pack);
  }
  game.Write("Cratevale.prefs", PrefsFile(1, 0));
  setenv("HOME", home.path().c_str(), 1);
  std::string program = game.path() + "cratevale";
  char* argv[] = {program.data()};
  ASSERT_EQ(StartUpFrom(text_from_utf8(game.path()), 1, argv), 1);
  EnterMainLoop();
  const auto music = [] { return sound_status(MenuMusic, static_cast<int>(Loop.MusicChannel)); };
  ASSERT_TRUE(RunFramesUntil([] { return screen_is_active() == 1; }));
  EXPECT_EQ(music(), kSoundPlaying);
  window_set_state(WindowMain, kWindowStateMinimized);  // the player minimises the window
  ASSERT_TRUE(RunFramesUntil([&] { return music() == kSoundPaused; }))
      << "active " << screen_is_active() << ", music " << music();
  window_set_state(WindowMain, 0);  // and brings it back
  window_activate(WindowMain);
  EXPECT_TRUE(RunFramesUntil([&] { return screen_is_active() == 1 && music() == kSoundPlaying; }))
      << "active " << screen_is_active() << ", music " << music();
  Loop.FatalEnd = 1;  // nothing to save
  ShutDown();
}

}  // namespace
