// The player's progress on disk, as the real game meets hostile conditions: a second copy on the
// same save folder, a file-size limit, a save folder that takes no new files, a damaged results
// file, screenshots read while they are written and temporary files left by a killed game. The
// real executable runs in a temporary folder, driven by key events and judged by the files before
// and after.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/game_process.h"
#include "tests/support/x11_display.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kStartTimeoutMs = 60000;
const std::string kWindowedPrefs = PrefsFile(1, 1);

// Every file of a folder (names and bytes), to compare a folder before and after. Logs (which a
// running game may still add to) and screenshots by their names only.
std::map<std::string, std::string> FolderFiles(const std::string& folder) {
  std::map<std::string, std::string> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    const bool by_name = name.rfind("Log ", 0) == 0 || entry.path().extension() == ".png";
    files[name] = by_name ? std::string() : GameProcess::ReadFile(entry.path().string());
  }
  return files;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The number of levels of the built map pack: one recorded solution each.
int LevelCount() {
  std::istringstream lines(GameProcess::ReadFile(std::string(CRATEVALE_PACK_DIR) + "level_solutions.txt"));
  int count = 0;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line[0] >= '0' && line[0] <= '9') ++count;
  }
  return count;
}

// A results file of valid entries with long numbers (28 bytes a level).
std::string LongResults(int levels) {
  std::string text;
  for (int i = 0; i < levels; ++i) text += std::to_string(1000000000000 + i) + "\n" + std::to_string(10000000000 + i) + "\n1\n";
  return text;
}

// Answers the game's error box with Return once it shows; false when none showed in time.
bool AnswerErrorBox(GameProcess& game, int timeout_ms) {
  Display* display = static_cast<Display*>(x11_display());
  const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
  int seen = 0;
  while (Clock::now() < end && game.running()) {
    const Window box = x11_find_viewable_window(display, DefaultRootWindow(display), "Cratevale::Error");
    // The toolkit needs a moment to settle its focus and default button on a fresh window.
    if (box && seen++ >= 2) {
      XSetInputFocus(display, box, RevertToParent, CurrentTime);
      XTestFakeKeyEvent(display, XKeysymToKeycode(display, XK_Return), True, CurrentTime);
      XTestFakeKeyEvent(display, XKeysymToKeycode(display, XK_Return), False, CurrentTime);
      XSync(display, False);
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

class SavingX11 : public ::testing::Test {
 protected:
  // Starts a game with the windowed preferences and waits until it takes keys.
  void Launch(GameProcess& game) {
    ASSERT_TRUE(game.Start({"/LOG"}));
    ASSERT_TRUE(game.WaitForLog("OffsetY:", kStartTimeoutMs)) << game.Log() << game.Errors();
    ASSERT_GT(game.Screenshot(), 0) << game.Log() << game.Errors();
  }

  X11WindowManager window_manager_;
  GameProcess game_;
};

TEST_F(SavingX11, ASecondCopyOnTheSameSaveFolderEndsWithoutTouchingItAndTheLockDiesWithItsHolder) {
  const std::string prefs = game_.WriteFile(game_.user_dir() + "Cratevale.prefs", kWindowedPrefs);
  game_.WriteFile(game_.user_dir() + "Cratevale.scores", "5000\n40\n1\n0\n0\n1\n");
  Launch(game_);
  const auto before = FolderFiles(game_.user_dir());

  GameProcess second;
  second.share_home_with(game_);
  ASSERT_TRUE(second.Start({"/LOG"}));
  EXPECT_TRUE(AnswerErrorBox(second, kStartTimeoutMs)) << second.Errors();
  EXPECT_EQ(second.WaitExit(20000), 0);
  EXPECT_TRUE(Contains(second.Errors(), "Cratevale::Error: Cratevale is already running.")) << second.Errors();
  EXPECT_EQ(FolderFiles(game_.user_dir()), before) << "the second copy wrote into the save folder";

  // The first copy goes on and saves at its end.
  ASSERT_GT(game_.Screenshot(), 0);
  EXPECT_EQ(game_.TapUntilExit(XK_Escape), 0);
  EXPECT_TRUE(Contains(GameProcess::ReadFile(prefs), "LastPlayed = 0"));

  // A copy killed outright leaves no lock behind: the next one starts.
  GameProcess killed, next;
  killed.share_home_with(game_);
  next.share_home_with(game_);
  // Copies on one save folder write their logs there: each launch waits on its own log only.
  const auto forget_logs = [&] {
    for (const auto& entry : std::filesystem::directory_iterator(game_.user_dir())) {
      if (entry.path().filename().string().rfind("Log ", 0) == 0) std::filesystem::remove(entry.path());
    }
  };
  forget_logs();
  Launch(killed);
  killed.Kill();
  forget_logs();
  Launch(next);
  EXPECT_EQ(next.TapUntilExit(XK_Escape), 0);
  EXPECT_EQ(next.Errors(), "");
}

// A file-size limit (as `ulimit -f 1`, quotas or containers give) below the log and the results
// file: the log stops short, the results cannot be saved, and the old results stay whole; the
// game is not killed. Once with a save folder that takes new files (the save goes through a
// temporary file) and once without (the file is rewritten in place).
TEST_F(SavingX11, AFileSizeLimitFailsTheSaveAndKeepsTheOldResults) {
  const int levels = LevelCount();
  ASSERT_GT(levels * 28, 1100);
  for (const bool folder_takes_files : {true, false}) {
    SCOPED_TRACE(folder_takes_files);
    GameProcess game;
    const std::string prefs = game.WriteFile(game.user_dir() + "Cratevale.prefs", "[Settings]\nGameScreen = 1\n");
    // One level more than the pack holds: the old file is longer than any new one would be.
    const std::string results = game.WriteFile(game.user_dir() + "Cratevale.scores", LongResults(levels + 1));
    if (!folder_takes_files) {
      chmod(prefs.c_str(), 0666);
      chmod(results.c_str(), 0666);
      chmod(game.user_dir().c_str(), 0555);
      game.set_unprivileged(true);
    }
    const std::string old_results = GameProcess::ReadFile(results);
    game.set_file_size_limit(1024);
    ASSERT_TRUE(game.Start({"/LOG"}));
    ASSERT_TRUE(game.WaitForWindow(kStartTimeoutMs)) << game.Errors();
    EXPECT_EQ(game.TapUntilExit(XK_Escape), 0) << "the game did not end by itself";
    chmod(game.user_dir().c_str(), 0755);
    EXPECT_EQ(GameProcess::ReadFile(results), old_results);
    EXPECT_TRUE(Contains(game.Errors(), "Cratevale: the level results could not be saved to " + results))
        << game.Errors();
    // The short preferences fit: saved in full, with the comment line the game writes.
    EXPECT_TRUE(Contains(GameProcess::ReadFile(prefs), "; Cratevale 1.0 Preferences\n[Settings]\n"));
    EXPECT_LE(game.Log().size(), 1024u);
    for (const auto& [name, bytes] : FolderFiles(game.user_dir())) {
      EXPECT_NE(name[0], '.') << name << " left behind";
    }
  }
}

// A save folder and files the player may not write (a read-only home): both saves fail, and the
// game says so on stderr; nothing changes on disk.
TEST_F(SavingX11, SavesIntoAReadOnlyFolderAreReportedAndChangeNothing) {
  const std::string prefs = game_.WriteFile(game_.user_dir() + "Cratevale.prefs", kWindowedPrefs);
  const std::string results = game_.WriteFile(game_.user_dir() + "Cratevale.scores", "5000\n40\n1\n0\n0\n1\n");
  chmod(prefs.c_str(), 0444);
  chmod(results.c_str(), 0444);
  chmod(game_.user_dir().c_str(), 0555);
  const auto before = FolderFiles(game_.user_dir());
  game_.set_unprivileged(true);
  ASSERT_TRUE(game_.Start({"/LOG"}));
  ASSERT_TRUE(game_.WaitForWindow(kStartTimeoutMs)) << game_.Errors();
  EXPECT_EQ(game_.TapUntilExit(XK_Escape), 0);
  chmod(game_.user_dir().c_str(), 0755);
  EXPECT_EQ(FolderFiles(game_.user_dir()), before);
  EXPECT_TRUE(Contains(game_.Errors(), "Cratevale: the settings could not be saved to " + prefs)) << game_.Errors();
  EXPECT_TRUE(Contains(game_.Errors(), "Cratevale: the level results could not be saved to " + results));
}

// A results file cut short, with negative numbers or numbers beyond any time or step count:
// each damaged level is reset alone and the rest is kept, as the save at the end shows.
TEST_F(SavingX11, DamagedResultsAreResetLevelByLevelAndNothingWraps) {
  game_.WriteFile(game_.user_dir() + "Cratevale.prefs", kWindowedPrefs);
  const std::string results = game_.WriteFile(game_.user_dir() + "Cratevale.scores",
                                              "-5\n40\n1\n"                    // level 1: a negative time
                                              "83211\n57\n1\n"                 // level 2: whole
                                              "99999999999999999999\n9\n1\n"   // level 3: beyond any time
                                              "1200\n-1\n1\n"                  // level 4: negative steps
                                              "4000\n31\n1\n"                  // level 5: whole
                                              "155");                          // level 6: cut short
  Launch(game_);
  EXPECT_EQ(game_.TapUntilExit(XK_Escape), 0);
  std::istringstream saved(GameProcess::ReadFile(results));
  std::vector<std::string> lines;
  for (std::string line; std::getline(saved, line);) lines.push_back(line);
  ASSERT_GE(lines.size(), 21u);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 21),
            (std::vector<std::string>{"0", "0", "1",        // the first level stays playable
                                      "83211", "57", "1",   //
                                      "0", "0", "0",        //
                                      "0", "0", "0",        //
                                      "4000", "31", "1",    //
                                      "0", "0", "0",        //
                                      "0", "0", "0"}));
  const std::string log = game_.Log();
  EXPECT_EQ(game_.CountLog("Level result ("), 4) << log;
}

// Stale temporary files of a killed game go at start-up (others stay); a screenshot shows up
// under its name only whole: it is never created or written under it.
TEST_F(SavingX11, StaleTemporaryFilesGoAndScreenshotsAppearWhole) {
  game_.WriteFile(game_.user_dir() + "Cratevale.prefs", kWindowedPrefs);
  const std::vector<std::string> stale = {".Cratevale.prefs.a1B2c3", ".Cratevale.scores.XyZ987",
                                          ".Cratevale 07-12-2026 14-05-09.png.Qw3rty"};
  const std::vector<std::string> kept = {".Cratevale.prefs.toolong7", "Cratevale.prefs.a1B2c3", "notes.txt"};
  for (const std::string& name : stale) game_.WriteFile(game_.user_dir() + name, "half");
  for (const std::string& name : kept) game_.WriteFile(game_.user_dir() + name, "mine");

  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(inotify_add_watch(watch, game_.user_dir().c_str(), IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO), 0);
  Launch(game_);
  ASSERT_GT(game_.Screenshot(), 1);
  EXPECT_EQ(game_.TapUntilExit(XK_Escape), 0);

  for (const std::string& name : stale) EXPECT_FALSE(fs::exists(game_.user_dir() + name)) << name;
  for (const std::string& name : kept) EXPECT_TRUE(fs::exists(game_.user_dir() + name)) << name;
  const std::vector<std::string> shots = game_.Screenshots();
  ASSERT_EQ(shots.size(), 2u);
  std::vector<std::string> moved_in;
  alignas(inotify_event) char buffer[64 * 1024];
  for (ssize_t got; (got = read(watch, buffer, sizeof buffer)) > 0;) {
    for (char* at = buffer; at < buffer + got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(at);
      const std::string name = event->len ? event->name : "";
      if (name.rfind("Cratevale ", 0) == 0) {
        EXPECT_TRUE(event->mask & IN_MOVED_TO) << name << " was written under its own name, mask " << event->mask;
        moved_in.push_back(name);
      }
      at += sizeof(inotify_event) + event->len;
    }
  }
  close(watch);
  EXPECT_EQ(moved_in.size(), 2u);
  for (const auto& [name, bytes] : FolderFiles(game_.user_dir())) {
    EXPECT_FALSE(name.rfind(".Cratevale ", 0) == 0) << name << " left behind";
  }
}

}  // namespace
