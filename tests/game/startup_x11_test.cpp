// Start-up in-process on the virtual X server, with the real packs, into temporary folders that
// stand for the executable's folder and the home folder.
#include "game/startup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "game/assets.h"
#include "game/core/game.h"
#include "game/core/log.h"
#include "game/display.h"
#include "game/presentation.h"
#include "runtime/data/files.h"
#include "runtime/display/image.h"
#include "runtime/display/screen.h"
#include "runtime/display/sprite.h"
#include "runtime/display/window.h"
#include "tests/support/content_pack.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kPacks[] = {"Cratevale.data", "Cratevale.maps", "Cratevale.languages"};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct Size {
  int width = 0;
  int height = 0;
};

// The size of a picture of the asset pack.
Size PictureSize(const std::string& entry) {
  const std::vector<uint8_t> bytes = ReadAssetEntry(entry, kScreenPictureBufferSize);
  DecodedPicture picture;
  if (bytes.empty() || !image_decode_memory(bytes, 0, &picture)) return Size();
  return Size{picture.width, picture.height};
}

// An environment variable set (or unset) for the length of a test.
class Variable {
 public:
  Variable(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Set(value);
  }
  ~Variable() { Set(old_); }
  void Set(const std::optional<std::string>& value) {
    if (value) {
      setenv(name_, value->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class StartUpTest : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* pack : kPacks) fs::create_symlink(std::string(CRATEVALE_PACK_DIR) + pack, game_.path() + pack);
  }

  void TearDown() override {
    if (started_) ShutDown();
    std::setlocale(LC_ALL, "C");
  }

  // Starts up with these arguments after the program name; 1 when the loop would run.
  int Start(std::vector<std::string> arguments = {}) {
    if (started_) ShutDown();
    arguments.insert(arguments.begin(), game_.path() + "cratevale");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    const int result = StartUpFrom(text_from_utf8(game_.path()), static_cast<int>(argv.size()), argv.data());
    started_ = result == 1;
    return result;
  }

  void End() {
    ShutDown();
    started_ = false;
  }

  std::string UserDir() const { return home_.path() + ".Torvelin game studio/Cratevale/"; }
  std::string LogName() const { return "Log " + text_to_utf8(Log.Stamp) + ".log"; }
  void WritePreferences(const TempFolder& folder, const std::string& name, const std::string& settings) const {
    folder.Write(name, "[Settings]\n" + settings);
  }

  // Checks the sprites and images every screen gets, for a screen of width x height.
  void ExpectPictures(int width, int height) {
    const Size title = PictureSize("title_16x9.png");
    ASSERT_GT(title.width, 0);
    EXPECT_EQ(sprite_width(SpriteTitle), width);
    EXPECT_EQ(sprite_height(SpriteTitle), TitleHeight(title.width, title.height, width));
    EXPECT_EQ(sprite_width(SpriteStudioSplash), width);
    EXPECT_EQ(sprite_height(SpriteStudioSplash), height);
    const struct {
      int number;
      const char* entry;
    } pictures[] = {
        {SpriteTitleBackground, "titleback_c.png"}, {SpriteCrate, "crate.png"},     {SpriteTargetIcon, "crate.png"},
        {SpriteFloor, "tile_01.png"},               {8, "idle_left.png"},           {9, "idle_right.png"},
        {10, "idle_up.png"},                        {11, "idle_down.png"},          {12, "push_left.png"},
        {13, "push_right.png"},                     {14, "push_up.png"},            {15, "push_down.png"},
    };
    for (const auto& picture : pictures) {
      const Size size = PictureSize(picture.entry);
      ASSERT_GT(size.width, 0) << picture.entry;
      EXPECT_EQ(sprite_width(picture.number), size.width) << picture.number;
      EXPECT_EQ(sprite_height(picture.number), size.height) << picture.number;
    }
    const Size lock = PictureSize("locked.png");
    EXPECT_EQ(image_width(ImageLockMark), lock.width);
    EXPECT_EQ(image_height(ImageLockMark), lock.height);
  }

  TempFolder game_;
  TempFolder home_;
  Variable home_variable_{"HOME", home_.path()};
  Variable lang_variable_{"LANG", std::nullopt};
  bool started_ = false;
};

TEST_F(StartUpTest, PreferencesBesideTheExecutableKeepEverythingThere) {
  WritePreferences(game_, "Cratevale.prefs", "Language = en_GB\nMusic = 0\nGameScreen = 1\nResolution = 0\n");
  ASSERT_EQ(Start({"/LOG"}), 1);
  EXPECT_EQ(text_to_utf8(Folders.GameDir), game_.path());
  EXPECT_EQ(text_to_utf8(Folders.SaveTo), game_.path());
  EXPECT_EQ(text_to_utf8(Folders.UserDir), UserDir());
  EXPECT_EQ(Settings.MusicOn, 0);
  // Windowed at entry 0, whatever the desktop's size.
  EXPECT_EQ(screen_width(), 1024);
  EXPECT_EQ(screen_height(), 576);
  EXPECT_NE(window_handle(WindowMain), nullptr);
  EXPECT_EQ(GameDisplay.AspectRatio, 3);
  EXPECT_TRUE(fs::exists(game_.path() + LogName()));
  End();
  EXPECT_TRUE(fs::exists(game_.path() + "Cratevale.prefs"));
  EXPECT_TRUE(fs::exists(game_.path() + "Cratevale.scores"));
  EXPECT_FALSE(fs::exists(home_.path() + ".Torvelin game studio"));

  // A file in the player's folder is not even read then.
  WritePreferences(home_, ".Torvelin game studio/Cratevale/Cratevale.prefs", "Music = 1\nGameScreen = 2\n");
  ASSERT_EQ(Start(), 1);
  EXPECT_EQ(Settings.MusicOn, 0);
  EXPECT_EQ(Settings.GameScreen, 1);
}

TEST_F(StartUpTest, WithoutPreferencesThePlayersFolderIsMadeAndTheLanguageFollowsLang) {
  struct Case {
    std::optional<std::string> lang;
    const char* language;
  } cases[] = {
      {"de_DE.UTF-8", "de_DE"},
      {std::nullopt, "en_GB"},
      {"", "en_GB"},
      {"pt_BR.UTF-8", "en_GB"},  // no such language file
  };
  for (const Case& c : cases) {
    lang_variable_.Set(c.lang);
    ASSERT_EQ(Start(), 1);
    EXPECT_EQ(text_to_utf8(Settings.Language), c.language) << (c.lang ? *c.lang : "(unset)");
    EXPECT_EQ(text_to_utf8(Folders.SaveTo), UserDir());
    EXPECT_TRUE(fs::is_directory(UserDir()));
    End();
    EXPECT_TRUE(fs::exists(UserDir() + "Cratevale.prefs"));
    fs::remove_all(home_.path() + ".Torvelin game studio");
  }
}

TEST_F(StartUpTest, OnlyAnExactFirstArgumentSwitchesTheLogOn) {
  WritePreferences(game_, "Cratevale.prefs", "GameScreen = 1\n");
  struct Case {
    std::vector<std::string> arguments;
    bool logged;
  } cases[] = {
      {{}, false}, {{"/log"}, false}, {{"/LOG "}, false}, {{"-x", "/LOG"}, false}, {{"/LOG", "-x"}, true},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Start(c.arguments), 1);
    End();
    int logs = 0;
    for (const auto& entry : fs::directory_iterator(game_.path())) {
      if (entry.path().filename().string().rfind("Log ", 0) == 0) {
        ++logs;
        fs::remove(entry.path());
      }
    }
    EXPECT_EQ(logs, c.logged ? 1 : 0) << c.arguments.size();
    // Any argument makes the time stamp.
    EXPECT_EQ(Log.Stamp.empty(), c.arguments.empty());
  }
}

TEST_F(StartUpTest, TheLogHasEveryStepInOrder) {
  WritePreferences(game_, "Cratevale.prefs", "Language = de_DE\nGameScreen = 1\nResolution = 2\n");
  ASSERT_EQ(Start({"/LOG"}), 1);
  const std::string log_name = LogName();
  const std::string stamp = text_to_utf8(Log.Stamp);
  const int desktops = GameDisplay.DesktopCount;
  const int joysticks = Loop.JoystickCount;
  const std::string dir = game_.path();
  End();

  const std::string t = "\t\t";
  const std::vector<std::string> expected = {
      "Cratevale",
      stamp,
      "",
      "[SYSTEM DETAILS]",
      "CPU Name:" + t + text_to_utf8(cpu_name()),
      "Total CPU cores:" + t + std::to_string(cpu_count(0)),
      "Available CPU cores:" + t + std::to_string(cpu_count(1)),
      "Total physical memory:" + t + std::to_string(memory_status(0)),
      "Free physical memory:",  // its value changes from moment to moment
      "Number of desktops:" + t + std::to_string(desktops),
      "Operating system:" + t + std::to_string(os_version()),
      "",
      "[GAME DETAILS]",
      "Title:" + t + "Cratevale",
      "Family:" + t + "Zorand Games",
      "Version:" + t + "1.0",
      "Directory:" + t + "Torvelin game studio/Cratevale",
      "Bit:" + t + "(x64)",
      "",
      "[CODE SUBSYSTEMS]",
      "Language:" + t + "2.0",
      "Log:" + t + "1.2",
      "",
      "[PATHS]",
      "GameDir:" + t + dir,
      "UserDir:" + t + UserDir(),
      "SaveTo:" + t + dir,
      "",
      "[INITIAL SETTINGS]",
      "Language:" + t + "de_DE",
      "GameScreen:" + t + "Windowed",
      "Music:" + t + "On",
      "ScreenMode:" + t + "2",
      "",
      "[AVAILABLE LANGUAGES]",
      "Language:" + t + "English",
      "Language:" + t + "Español",
      "Language:" + t + "Français",
      "Language:" + t + "Deutsch",
      "",
      "[STARTING GAME]",
      "Load language (de_DE):" + t + "OK",
      "InitSprite:" + t + "OK",
      "InitKeyboard:" + t + "OK",
      "InitSound:" + t + "OK",
      "ScreenWidth:" + t + std::to_string(desktop_width(0)),
      "ScreenHeight:" + t + std::to_string(desktop_height(0)),
      "Load asset (music1.ogg):" + t + "OK",
      "Load asset (music2.ogg):" + t + "OK",
      "Load asset (rollover3.wav):" + t + "OK",
      "Load asset (click3.wav):" + t + "OK",
      "Opening screen (Windowed):" + t + "OK",
      "Screenwidth:" + t + "1366",
      "Screenheight:" + t + "768",
      "Joystick:" + t + std::to_string(joysticks),
      "AspectRatio:" + t + "3",
      "AspectRatio:  16:9",
      "Load asset (title_16x9.png):" + t + "OK",
      "AspectRatio:  16:9",
      "Load asset (tgs_16x9.png):" + t + "OK",
      "Load asset (crate.png):" + t + "OK",
      "Load asset (idle_left.png):" + t + "OK",
      "Load asset (idle_right.png):" + t + "OK",
      "Load asset (idle_up.png):" + t + "OK",
      "Load asset (idle_down.png):" + t + "OK",
      "Load asset (push_right.png):" + t + "OK",
      "Load asset (push_left.png):" + t + "OK",
      "Load asset (push_up.png):" + t + "OK",
      "Load asset (push_down.png):" + t + "OK",
      "Load asset (tile_01.png):" + t + "OK",
      "Load asset (locked.png):" + t + "OK",
      "Load asset (titleback_c.png):" + t + "OK",
  };
  std::vector<std::string> lines = Lines(game_.Read(log_name));
  ASSERT_EQ(lines.size(), expected.size());
  EXPECT_TRUE(std::regex_match(lines[8], std::regex("Free physical memory:\t\t[0-9]+"))) << lines[8];
  lines[8] = expected[8];
  EXPECT_EQ(lines, expected);
}

TEST_F(StartUpTest, EverySpriteAndTheLockMarkFitTheScreen) {
  // The largest window of the list opens too, though it is larger than the virtual desktop.
  for (const auto& [resolution, width, height] :
       {std::tuple{1, 1280, 720}, std::tuple{2, 1366, 768}, std::tuple{9, 3840, 2160}}) {
    WritePreferences(game_, "Cratevale.prefs", "GameScreen = 1\nResolution = " + std::to_string(resolution) + "\n");
    ASSERT_EQ(Start(), 1);
    EXPECT_EQ(screen_width(), width);
    EXPECT_EQ(screen_height(), height);
    ExpectPictures(width, height);
    End();
  }
}

TEST_F(StartUpTest, FullScreenTakesTheDesktopsSize) {
  ASSERT_EQ(Start(), 1);
  EXPECT_EQ(screen_width(), desktop_width(0));
  EXPECT_EQ(screen_height(), desktop_height(0));
  EXPECT_EQ(window_handle(WindowMain), nullptr);
  EXPECT_EQ(GameDisplay.AspectRatio, ClassifyAspect(desktop_width(0), desktop_height(0)));
  ExpectPictures(desktop_width(0), desktop_height(0));
}

TEST_F(StartUpTest, TheCarouselNeverStartsBeyondTheLevelList) {
  auto start_with = [&](int last_played) {
    WritePreferences(game_, "Cratevale.prefs", "GameScreen = 1\nLastPlayed = " + std::to_string(last_played) + "\n");
    fs::remove(game_.path() + "Cratevale.scores");
    return Start();
  };
  for (const int last_played : {3, 999, -4}) {
    ASSERT_EQ(start_with(last_played), 1);
    const int64_t levels = static_cast<int64_t>(LevelList.size());
    ASSERT_GT(levels, 4);
    EXPECT_EQ(Menus.LevelIndex, std::clamp<int64_t>(last_played, 0, levels - 1)) << last_played;
    EXPECT_EQ(Settings.LastPlayed, Menus.LevelIndex);
    End();
  }
  // No map pack at all, then an empty file in its place: no levels, and nothing breaks.
  fs::remove(game_.path() + "Cratevale.maps");
  for (const bool empty_file : {false, true}) {
    if (empty_file) game_.Write("Cratevale.maps", "");
    ASSERT_EQ(start_with(7), 1) << empty_file;
    EXPECT_TRUE(LevelList.empty());
    EXPECT_EQ(Menus.LevelIndex, 0);
    EXPECT_EQ(Settings.LastPlayed, 0);
    End();
    EXPECT_FALSE(fs::exists(game_.path() + "Cratevale.scores"));
  }
}

TEST_F(StartUpTest, AScreenModeOutsideTheThreeOpensNothing) {
  WritePreferences(game_, "Cratevale.prefs", "GameScreen = 1\n");
  ASSERT_EQ(Start({"/LOG"}), 1);
  const std::string log_name = LogName();
  screen_close();
  window_close(WindowMain);
  Settings.GameScreen = 5;
  EXPECT_EQ(OpenDisplay(), 0);
  EXPECT_EQ(screen_is_open(), 0);
  End();
  int openings = 0;
  for (const std::string& line : Lines(game_.Read(log_name))) openings += line.rfind("Opening screen", 0) == 0;
  EXPECT_EQ(openings, 1);
}

}  // namespace
