// Damaged packs and display changes that fail, met by the real game: the executable in a
// temporary folder with the built packs (or damaged copies of them), a save folder seeded with
// settings and results, driven with key events (error boxes answered with Return, as a player
// would), and judged by the files it leaves, byte for byte where nothing may change.
#include <gtest/gtest.h>
// After the test framework, whose names the X headers' macros would clash with.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/game_process.h"
#include "tests/support/pack_files.h"
#include "tests/support/temp_folder.h"
#include "tests/support/x11_display.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kStartTimeoutMs = 60000;
constexpr int kBoxTimeoutMs = 60000;
// Keys of the settings panel are held long enough to be seen on a slow, busy machine.
constexpr int kPanelKeyMs = 400;
const std::string kErrorBox = "Cratevale::Error";

void RunCommand(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

// The runtime pack's entries in file order: where each header starts, and its name.
struct PackEntry {
  size_t header = 0;
  std::string name;
};
std::vector<PackEntry> PackEntries(const std::string& bytes) {
  std::vector<PackEntry> entries;
  auto number = [&](size_t at, int size) {
    uint64_t value = 0;
    for (int i = 0; i < size; ++i) value |= uint64_t{static_cast<uint8_t>(bytes[at + i])} << (8 * i);
    return value;
  };
  for (size_t at = 4; at + 18 <= bytes.size();) {
    const uint64_t stored = number(at + 8, 8);
    const size_t name_length = number(at + 16, 2);
    entries.push_back({at, bytes.substr(at + 18, name_length)});
    at += 18 + name_length + stored;
  }
  return entries;
}

// Makes desktop 0 a monitor of a size the virtual screen has no video mode for, so that a full
// screen (which switches to the desktop's size) cannot be opened; the screen's own monitors come
// back when the object goes.
class X11ModelessMonitor {
 public:
  X11ModelessMonitor(int width, int height) {
    Display* display = static_cast<Display*>(x11_display());
    root_ = DefaultRootWindow(display);
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root_);
    if (!resources || resources->noutput < 1) return;
    XRRMonitorInfo* monitor = XRRAllocateMonitor(display, 1);
    name_ = XInternAtom(display, "CRATEVALE-TEST", False);
    monitor->name = name_;
    monitor->primary = True;
    monitor->automatic = False;
    monitor->width = width;
    monitor->height = height;
    monitor->mwidth = width / 4;
    monitor->mheight = height / 4;
    monitor->outputs[0] = resources->outputs[0];
    XRRSetMonitor(display, root_, monitor);
    XSync(display, False);
    XRRFreeMonitors(monitor);
    XRRFreeScreenResources(resources);
  }
  ~X11ModelessMonitor() {
    if (!name_) return;
    Display* display = static_cast<Display*>(x11_display());
    XRRDeleteMonitor(display, root_, name_);
    XSync(display, False);
  }
  X11ModelessMonitor(const X11ModelessMonitor&) = delete;
  X11ModelessMonitor& operator=(const X11ModelessMonitor&) = delete;

 private:
  Window root_ = 0;
  Atom name_ = 0;
};

class PacksX11 : public ::testing::Test {
 protected:
  // Settings and results of a player who has solved the first five levels; the sixth is open.
  void SeedSaveFolder(int screen = 1, int last_played = 4, const std::string& language = "en_GB") {
    prefs_ = PrefsFile(screen, 1, language, last_played);
    scores_.clear();
    for (int level = 0; level < LevelCount(); ++level) {
      scores_ += level < 5 ? "11111\n8\n1\n" : level == 5 ? "0\n0\n1\n" : "0\n0\n0\n";
    }
    game().WriteFile(game().user_dir() + "Cratevale.prefs", prefs_);
    game().WriteFile(game().user_dir() + "Cratevale.scores", scores_);
  }
  void WriteScores(const std::string& scores) {
    scores_ = scores;
    game().WriteFile(game().user_dir() + "Cratevale.scores", scores_);
  }
  std::string SavedPrefs() const { return GameProcess::ReadFile(game().user_dir() + "Cratevale.prefs"); }
  std::string SavedScores() const { return GameProcess::ReadFile(game().user_dir() + "Cratevale.scores"); }
  // After an end without saving: both files exactly as they were.
  void ExpectSaveFolderUnchanged() const {
    EXPECT_EQ(SavedPrefs(), prefs_);
    EXPECT_EQ(SavedScores(), scores_);
  }

  // The number of levels of the built map pack.
  static int LevelCount() {
    int count = 0;
    for (const PackEntry& entry : PackEntries(GameProcess::ReadFile(std::string(CRATEVALE_PACK_DIR) + "Cratevale.maps"))) {
      if (entry.name.rfind("MAPS/", 0) == 0) ++count;
    }
    return count;
  }

  // Puts a copy of a built pack into the game's folder in place of its link, changed by `change`.
  void ChangePack(const std::string& pack, const std::function<void(std::string& bytes)>& change) {
    std::string bytes = GameProcess::ReadFile(std::string(CRATEVALE_PACK_DIR) + pack);
    change(bytes);
    fs::remove(game().game_dir() + pack);
    game().WriteFile(game().game_dir() + pack, bytes);
  }
  // Rebuilds the map pack with the pack tool after `change` has worked on its extracted entries.
  void RebuildMapPack(const std::function<void(const std::string& stage)>& change) {
    const std::string tool = std::string(CRATEVALE_BINARY_DIR) + "packtool";
    const std::string stage = stage_.path() + "maps";
    RunCommand("'" + tool + "' extract '" + CRATEVALE_PACK_DIR + "Cratevale.maps' '" + stage + "'");
    change(stage);
    fs::remove(game().game_dir() + "Cratevale.maps");
    RunCommand("'" + tool + "' create '" + game().game_dir() + "Cratevale.maps' '" + stage + "'");
  }

  void Launch() {
    ASSERT_TRUE(game().Start({"/LOG"}));
    ASSERT_TRUE(game().WaitForLog("OffsetY:", kStartTimeoutMs)) << game().Log();
    ASSERT_GT(game().Screenshot(), 0);  // the window has the keys
    game().Tap(XK_space);
    game().Tap(XK_space);
    ASSERT_GT(game().Screenshot(), 0);  // the main menu has slid in
  }
  // From the main menu: the settings panel, music off, the screen mode one step along with
  // `mode_key` (Left or Right), confirmed (the window size is skipped).
  void TurnMusicOffAndChangeMode(unsigned long mode_key) {
    game().Tap(XK_Down, kPanelKeyMs);  // Settings
    game().Tap(XK_Return, kPanelKeyMs);
    ASSERT_GT(game().Screenshot(), 0);  // lets the panel slide in
    // The music row to off, the mode row one step, the confirm row pressed.
    const unsigned long keys[] = {XK_Down, XK_Right, XK_Down, mode_key, XK_Down, XK_Return};
    for (const unsigned long key : keys) game().Tap(key, kPanelKeyMs);
  }
  // Waits for an error box with this title, answers it with Return and waits until that box has
  // gone (another box may follow at once).
  bool AnswerBox(const std::string& title) {
    Display* display = static_cast<Display*>(x11_display());
    // The box can go between finding a window and asking about it; that is no error here.
    X11QuietErrors quiet;
    return AnswerBoxOn(display, title);
  }
  bool AnswerBoxOn(Display* display, const std::string& title) {
    const auto end = Clock::now() + std::chrono::milliseconds(kBoxTimeoutMs);
    Window answered = 0;
    int seen = 0;
    for (; Clock::now() < end; std::this_thread::sleep_for(std::chrono::milliseconds(100))) {
      const Window box = x11_find_viewable_window(display, DefaultRootWindow(display), title);
      if (answered && box != answered) return true;
      if (!box) {
        if (!game().running()) return false;
        continue;
      }
      // The toolkit needs a moment to settle its focus and default button on a fresh window; a
      // Return it missed is sent again.
      if (seen++ % 10 != 2) continue;
      XSetInputFocus(display, box, RevertToParent, CurrentTime);
      XTestFakeKeyEvent(display, XKeysymToKeycode(display, XK_Return), True, CurrentTime);
      XTestFakeKeyEvent(display, XKeysymToKeycode(display, XK_Return), False, CurrentTime);
      XSync(display, False);
      answered = box;
    }
    return false;
  }

  GameProcess& game() { return *game_; }
  const GameProcess& game() const { return *game_; }
  void FreshGame() { game_ = std::make_unique<GameProcess>(); }

  X11WindowManager window_manager_;
  std::unique_ptr<GameProcess> game_ = std::make_unique<GameProcess>();
  TempFolder stage_;
  std::string prefs_;
  std::string scores_;
};

// ---- A damaged level ----

TEST_F(PacksX11, ADamagedLevelCardDoesNotStartAndItsStoredResultStays) {
  // The first level's map with its magic bytes flipped.
  RebuildMapPack([](const std::string& stage) {
    std::string map = GameProcess::ReadFile(stage + "/MAPS/01");
    ASSERT_GT(map.size(), 4u);
    map[0] = static_cast<char>(~map[0]);
    std::ofstream(stage + "/MAPS/01", std::ios::binary) << map;
  });
  SeedSaveFolder(1, 0);
  Launch();
  EXPECT_EQ(game().CountLog("Load level (01):\t\tFAILED"), 1) << game().Log();
  EXPECT_EQ(game().CountLog("Load level ("), 1);
  game().Tap(XK_Return);  // the carousel, at the first level
  ASSERT_GT(game().Screenshot(), 0);
  game().Tap(XK_Return);  // its card: nothing to play
  ASSERT_GT(game().Screenshot(), 0);
  // Still in the carousel: one Escape to the menu, one to the end.
  ASSERT_EQ(game().TapUntilExit(XK_Escape), 0) << game().Log();
  EXPECT_EQ(SavedScores(), scores_);
  EXPECT_EQ(PrefsValue(SavedPrefs(), "LastPlayed"), "0");
}

// ---- Packs that cannot be read ----

TEST_F(PacksX11, AMapPackThatCannotBeReadShowsTheAssetBoxAndSavesNothing) {
  const struct {
    const char* name;
    std::function<void()> damage;
  } cases[] = {
      {"missing", [this] { fs::remove(game().game_dir() + "Cratevale.maps"); }},
      {"empty",
       [this] {
         fs::remove(game().game_dir() + "Cratevale.maps");
         game().WriteFile(game().game_dir() + "Cratevale.maps", "");
       }},
      {"first entry's stored size damaged",
       [this] { ChangePack("Cratevale.maps", [](std::string& bytes) { bytes[4 + 8 + 3] = '\x7F'; }); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FreshGame();
    c.damage();
    SeedSaveFolder(1, 4);
    ASSERT_TRUE(game().Start({"/LOG"}));
    EXPECT_TRUE(AnswerBox(kErrorBox)) << game().Log();
    EXPECT_EQ(game().WaitExit(30000), 0);
    EXPECT_EQ(game().CountLog("Load asset (Cratevale.maps):\t\tFAILED"), 1) << game().Log();
    ExpectSaveFolderUnchanged();
  }
}

TEST_F(PacksX11, WithoutAnyLanguageThePlayerIsToldAndNothingIsSaved) {
  for (const char* damage : {"missing", "not a zip archive"}) {
    SCOPED_TRACE(damage);
    FreshGame();
    fs::remove(game().game_dir() + "Cratevale.languages");
    if (std::string(damage) != "missing") game().WriteFile(game().game_dir() + "Cratevale.languages", damage);
    SeedSaveFolder(1, 4);
    ASSERT_TRUE(game().Start({"/LOG"}));
    // No language gives the title's word, so the box is titled with the game's name alone.
    EXPECT_TRUE(AnswerBox("Cratevale::")) << game().Log();
    EXPECT_EQ(game().WaitExit(30000), 0);
    EXPECT_EQ(game().CountLog("Load language (en_GB):\t\tFAILED"), 1) << game().Log();
    ExpectSaveFolderUnchanged();
  }
}

TEST_F(PacksX11, ABrokenChosenLanguageFallsBackToEnglish) {
  // The German file cut after its opening comment: it holds no texts.
  std::vector<ZipItem> items;
  for (const char* base : {"de_DE", "en_GB", "es_ES", "fr_FR"}) {
    std::string text = GameProcess::ReadFile(std::string(CRATEVALE_SOURCE_DIR) + "data/languages/" + base + ".language");
    if (std::string(base) == "de_DE") text = text.substr(0, text.find('\n') + 1);
    items.push_back({std::string(base) + ".language", text});
  }
  fs::remove(game().game_dir() + "Cratevale.languages");
  ASSERT_TRUE(WriteZipFile(game().game_dir() + "Cratevale.languages", items));
  SeedSaveFolder(1, 0, "de_DE");
  Launch();
  const std::string log = game().Log();
  EXPECT_NE(log.find("Load language (de_DE):\t\tFAILED\nLoad language (en_GB):\t\tOK\n"
                     "Language fallback (de_DE):\t\ten_GB\n"),
            std::string::npos)
      << log;
  ASSERT_EQ(game().TapUntilExit(XK_Escape), 0) << game().Log();
  EXPECT_EQ(PrefsValue(SavedPrefs(), "Language"), "en_GB");
}

// ---- A display change that fails ----

TEST_F(PacksX11, AFullScreenThatCannotOpenGoesBackToTheWindowAndKeepsIt) {
  X11ModelessMonitor monitor(1000, 700);
  SeedSaveFolder(1, 0);
  Launch();
  ASSERT_NE(game().Log().find("ScreenWidth:\t\t1000\n"), std::string::npos) << "the monitor was not taken";
  ASSERT_NO_FATAL_FAILURE(TurnMusicOffAndChangeMode(XK_Left));  // windowed to full screen
  ASSERT_TRUE(AnswerBox(kErrorBox)) << game().Log();
  ASSERT_TRUE(game().WaitForLog("Opening screen (Windowed):\t\tOK", 30000, 2)) << game().Log();
  const std::string log = game().Log();
  EXPECT_NE(log.find("Opening screen (Fullscreen):\t\tFAILED\nDisplay fallback:\t\tWindowed\n"
                     "Opening screen (Windowed):\t\tOK\n"),
            std::string::npos)
      << log;
  ASSERT_GT(game().Screenshot(), 0);  // the game goes on in its window
  ASSERT_EQ(game().TapUntilExit(XK_Escape), 0) << game().Log();
  const std::string prefs = SavedPrefs();
  EXPECT_EQ(PrefsValue(prefs, "GameScreen"), "1");
  EXPECT_EQ(PrefsValue(prefs, "Resolution"), "1");
  EXPECT_EQ(PrefsValue(prefs, "Music"), "0") << game().Log();
}

TEST_F(PacksX11, WhenNeitherModeOpensTheGameSavesBeforeItEnds) {
  SeedSaveFolder(1, 3);
  fs::remove(game().user_dir() + "Cratevale.scores");
  Launch();
  // The asset pack goes away: no screen can get its pictures any more.
  fs::remove(game().game_dir() + "Cratevale.data");
  ASSERT_NO_FATAL_FAILURE(TurnMusicOffAndChangeMode(XK_Right));  // windowed to borderless
  ASSERT_TRUE(AnswerBox(kErrorBox)) << game().Log();  // the new mode
  ASSERT_TRUE(AnswerBox(kErrorBox)) << game().Log();  // the mode that worked
  EXPECT_EQ(game().WaitExit(30000), 0);
  const std::string log = game().Log();
  EXPECT_NE(log.find("Opening screen (Borderless):\t\tOK\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Load asset ():\t\tFAILED\nDisplay fallback:\t\tWindowed\nOpening screen (Windowed):\t\tOK\n"
                     "Screenwidth:\t\t1280\n"),
            std::string::npos)
      << log;

  // What the player changed is saved, with the mode that worked; so are the results.
  const std::string prefs = SavedPrefs();
  EXPECT_EQ(PrefsValue(prefs, "Music"), "0");
  EXPECT_EQ(PrefsValue(prefs, "GameScreen"), "1");
  EXPECT_EQ(PrefsValue(prefs, "Resolution"), "1");
  EXPECT_EQ(PrefsValue(prefs, "LastPlayed"), "3");
  const std::vector<long> saved = Numbers(SavedScores());
  ASSERT_EQ(saved.size(), 3u * LevelCount());
  EXPECT_EQ(saved[2], 1);  // the first level is open
}

}  // namespace
