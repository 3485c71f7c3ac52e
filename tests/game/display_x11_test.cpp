// Reopening the screen in another display mode on the virtual X server: full screen, then a
// 1024 x 576 window, then full screen again, with every picture reloaded for the new size.
#include "game/display.h"
#include "game/play_screen.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "game/core/game.h"
#include "game/core/log.h"
#include "game/presentation.h"
#include "game/startup.h"
#include "runtime/display/screen.h"
#include "runtime/display/sprite.h"
#include "runtime/display/window.h"
#include "tests/support/temp_folder.h"
#include "tests/support/x11_display.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The log's lines from the first that starts with `first` on.
std::vector<std::string> LinesFrom(const std::vector<std::string>& lines, size_t start, const std::string& first) {
  for (size_t i = start; i < lines.size(); ++i) {
    if (lines[i].rfind(first, 0) == 0) return std::vector<std::string>(lines.begin() + i, lines.end());
  }
  return {};
}

TEST(ReopenDisplay, FromFullScreenToAWindowAndBack) {
  X11WindowManager window_manager;
  TempFolder game;
  TempFolder home;
  for (const char* pack : {"Cratevale.data", "Cratevale.maps", "Cratevale.languages"}) {
    fs::create_symlink(std::string(CRATEVALE_PACK_DIR) + pack, game.path() + pack);
  }
  game.Write("Cratevale.prefs", "[Settings]\nLanguage = en_GB\nGameScreen = 0\nLastPlayed = 2\n");
  const std::string old_home = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("HOME", home.path().c_str(), 1);
  std::string program = game.path() + "cratevale";
  std::string log_switch = "/LOG";
  char* argv[] = {program.data(), log_switch.data()};
  ASSERT_EQ(StartUpFrom(text_from_utf8(game.path()), 2, argv), 1);
  const std::string log_name = "Log " + text_to_utf8(Log.Stamp) + ".log";
  const int desktop_w = desktop_width(0);
  const int desktop_h = desktop_height(0);
  ASSERT_EQ(screen_width(), desktop_w);
  const size_t levels = LevelList.size();
  LevelList[1].Unlocked = 1;  // results in memory survive a reopen

  Menus.PendingScreen = 1;
  Menus.PendingResolution = 0;
  ASSERT_EQ(ReopenDisplay(), 1);
  EXPECT_EQ(Settings.GameScreen, 1);
  EXPECT_EQ(Settings.Resolution, 0);
  EXPECT_EQ(screen_width(), 1024);
  EXPECT_EQ(screen_height(), 576);
  EXPECT_EQ(GameDisplay.AspectRatio, 3);
  ASSERT_NE(window_handle(WindowMain), nullptr);
  EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(window_handle(WindowMain))));
  EXPECT_EQ(sprite_width(SpriteTitle), 1024);
  EXPECT_EQ(sprite_width(SpriteStudioSplash), 1024);
  EXPECT_EQ(sprite_height(SpriteStudioSplash), 576);
  EXPECT_GT(sprite_width(SpriteCrate), 0);
  // The target icon is the crate made small for the heads-up bar.
  EXPECT_GT(sprite_width(SpriteTargetIcon), 0);
  EXPECT_LT(sprite_width(SpriteTargetIcon), sprite_width(SpriteCrate));
  EXPECT_GT(sprite_width(SpriteFloor), 0);
  EXPECT_EQ(LevelList.size(), levels);
  EXPECT_EQ(LevelList[1].Unlocked, 1);
  EXPECT_EQ(Menus.LevelIndex, 2);

  Menus.PendingScreen = 0;
  ASSERT_EQ(ReopenDisplay(), 1);
  EXPECT_EQ(screen_width(), desktop_w);
  EXPECT_EQ(screen_height(), desktop_h);
  EXPECT_EQ(window_handle(WindowMain), nullptr);
  EXPECT_EQ(sprite_width(SpriteStudioSplash), desktop_w);
  EXPECT_EQ(x11_current_mode().width, desktop_w);
  EXPECT_FALSE(Loop.FatalEnd);
  ShutDown();
  setenv("HOME", old_home.c_str(), 1);

  // Each reopen logs the opening, the joystick count under its label with the trailing blank,
  // the class and every picture again; nothing about the desktop's size.
  const std::vector<std::string> lines = Lines(game.Read(log_name));
  const std::vector<std::string> windowed = LinesFrom(lines, 0, "Opening screen (Windowed)");
  ASSERT_GE(windowed.size(), 8u);
  const std::string t = "\t\t";
  const std::vector<std::string> expected = {"Opening screen (Windowed):" + t + "OK",
                                             "Screenwidth:" + t + "1024",
                                             "Screenheight:" + t + "576",
                                             "Joystick: " + t + std::to_string(Loop.JoystickCount),
                                             "AspectRatio:" + t + "3",
                                             "AspectRatio:  16:9",
                                             "Load asset (title_16x9.png):" + t + "OK",
                                             "AspectRatio:  16:9"};
  EXPECT_EQ(std::vector<std::string>(windowed.begin(), windowed.begin() + 8), expected);
  const std::vector<std::string> back = LinesFrom(windowed, 1, "Opening screen (Fullscreen)");
  ASSERT_GE(back.size(), 4u);
  EXPECT_EQ(back[3], "Joystick: " + t + std::to_string(Loop.JoystickCount));
  // The pictures, then the layout handed to the play screen.
  ASSERT_GE(back.size(), 8u);
  EXPECT_EQ(std::vector<std::string>(back.end() - 4, back.end()),
            (std::vector<std::string>{"Load asset (titleback_c.png):" + t + "OK",
                                      "TileSize: " + t + std::to_string(PlayScreen.Layout.TileSize),
                                      "OffsetX: " + t + std::to_string(PlayScreen.Layout.OffsetX),
                                      "OffsetY: " + t + std::to_string(PlayScreen.Layout.OffsetY)}));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "ScreenWidth:" + t + std::to_string(desktop_w)), 1);
}

}  // namespace
