// The game core's chief header: the process-wide records the core and the presentation share
// (settings, folders, the screen's size and shape, the level list). What only the screens use
// (the loop and menu records, the screen states, object numbers, colours) is game/presentation.h.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/data/text.h"

constexpr const char16_t* kGameTitle = u"Cratevale";
constexpr const char16_t* kGameVersion = u"1.0";
// The publisher, and the studio's web address shown in the credits and in the window title.
constexpr const char16_t* kPublisherName = u"Kelmaris Interactive";
constexpr const char16_t* kStudioAddress = u"www.torvelin.example";

// Settings.GameScreen: how the screen is opened.
constexpr int kFullScreen = 0;
constexpr int kWindowed = 1;
constexpr int kBorderless = 2;
constexpr bool IsWindowMode(int mode) { return mode == kWindowed || mode == kBorderless; }

// The player's settings, kept in Cratevale.prefs.
struct SettingsRecord {
  Text Language;         // base name of the language file, such as "en_GB"
  int MusicOn = 1;
  int GameScreen = 0;   // kFullScreen, kWindowed or kBorderless
  int Resolution = 1;   // index into the resolution list
  int Gamepad = 0;
  int Pad = 0;
  int Button = 1;
  int LastPlayed = 0;   // list index of the last chosen level
};
extern SettingsRecord Settings;

// Folders, each ending in "/": the executable's, the player's, and where everything is written.
struct FolderRecord {
  Text GameDir;
  Text UserDir;
  Text SaveTo;
};
extern FolderRecord Folders;

// Aspect classes of a screen shape (DisplayRecord.AspectRatio); the first six have pictures and
// play-screen layouts of their own.
constexpr int kAspect3x2 = 0;
constexpr int kAspect4x3 = 1;
constexpr int kAspect5x4 = 2;
constexpr int kAspect16x9 = 3;
constexpr int kAspect16x10 = 4;
constexpr int kAspect17x9 = 5;
constexpr int kAspect21x9 = 6;
constexpr int kAspectOther = 7;

// The opened screen.
struct DisplayRecord {
  int ScreenWidth = 0;
  int ScreenHeight = 0;
  int AspectRatio = kAspect3x2;  // one of the aspect classes above
  int DesktopCount = 1;          // number of monitors, for the log's report
};
extern DisplayRecord GameDisplay;

// One level of the map pack, in the pack's index order.
struct LevelRecord {
  Text Name;
  Text TitleKey;
  int Unlocked = 0;
  int64_t CardSprite = 0;
  int64_t Steps = 0;
  int64_t TimeMs = 0;
};
extern std::vector<LevelRecord> LevelList;

// The window sizes of windowed mode, "1024x576" to "3840x2160"; Settings.Resolution indexes it.
extern const std::vector<Text> ResolutionList;
// The width and height of a resolution list entry; an index outside the list gives entry 1.
void ResolutionSize(int64_t index, int* width, int* height);
