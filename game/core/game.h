// The game's chief header: the process-wide records every game module shares (settings,
// folders, display and layout values, the level list), the screen states and the fixed object
// numbers under which the game keeps its sounds, sprites, images, fonts and windows.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/data/text.h"

constexpr const char16_t* kGameTitle = u"Cratevale";
constexpr const char16_t* kGameVersion = u"1.0";
// The studio's web address, shown in the window title and the credits.
constexpr const char16_t* kStudioWebAddress = u"www.kelmaris-interactive.example";

// The player's settings, kept in Cratevale.prefs.
struct SettingsRecord {
  Text Language;         // base name of the language file, such as "en_GB"
  int MusicOn = 1;
  int GameScreen = 0;   // 0 full screen, 1 windowed, 2 borderless
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

// The opened screen and the play-screen layout.
struct DisplayRecord {
  int ScreenWidth = 0;
  int ScreenHeight = 0;
  int AspectRatio = 0;  // class 0-7
  int TileSize = 64;
  int OffsetX = 0;
  int OffsetY = 0;
  int DesktopCount = 1;  // number of monitors, for the log's report
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

// The frame loop's own values: the level under way and its clock (milliseconds of the runtime's
// elapsed-time counter), the music playing, the splash and spin timers.
struct LoopRecord {
  int QuitRequested = 0;
  int FatalEnd = 0;        // the loop ends after an error box; nothing is saved
  int InLevel = 0;         // a level is under way (from its start until solved or abandoned)
  Text CurrentLevelName;
  int64_t LevelStartTime = 0;
  int64_t PauseStartTime = 0;
  int64_t MusicChannel = 0;
  int SplashTimer = 0;
  int SpinTimer = 0;
  double SpinStep = 0.01;  // degrees the title background turns each frame
  int JoystickCount = 0;
  int ScreenReopened = 0;  // set when confirmed settings need the screen closed and opened again
};
extern LoopRecord Loop;

// What the panels show: the highlighted entries, the slide-in counters (a panel with a counter
// above 0 is still sliding in and ignores its confirm key), the level carousel and the settings
// panel's working copies.
struct MenuRecord {
  int MainMenuChoice = 1;  // 1-4
  int InGameChoice = 1;    // 1-4
  int SettingsChoice = 1;  // 1-6
  int QuitChoice = 1;      // 1-2
  int CompleteChoice = 1;  // 1-3
  int MainMenuSlide = 0;
  int CreditsSlide = 0;
  int SettingsSlide = 0;
  int QuitSlide = 0;
  int64_t LevelIndex = 0;      // the carousel's centre card, an index into LevelList
  int CarouselDirection = 0;   // 0 still, 1 towards the next level, 2 towards the previous
  int64_t CarouselOffset = 45;
  Text PendingLanguage;
  int PendingMusic = 1;
  int PendingScreen = 0;
  int PendingResolution = 1;
};
extern MenuRecord Menus;

constexpr int kSlideFrames = 5;  // a panel slides in over this many frames

// The screen the main loop shows.
enum GameStates {
  StudioSplash = 0,
  TitleSplash = 1,
  MainMenu = 2,
  LevelSelect = 3,
  Credits = 4,
  MenuSettings = 5,
  MenuQuit = 6,
  Playing = 7,
  InGameMenu = 8,
  GameSettings = 9,
  GameQuit = 10,
  LevelComplete = 11,
  GameComplete = 12,
};
extern int GameState;

// Sounds.
constexpr int MenuMusic = 0;
constexpr int GameMusic = 1;
constexpr int RolloverSound = 2;
constexpr int ClickSound = 3;

// Sprites.
constexpr int SpriteDimmer = 1;
constexpr int SpriteTitle = 2;
constexpr int SpriteStudioSplash = 3;
constexpr int SpriteTitleBackground = 4;
constexpr int SpriteCrate = 5;
constexpr int SpriteTargetIcon = 6;
constexpr int SpriteFloor = 7;
constexpr int SpriteKeeperStanding = 8;  // 8-11: left, right, up, down
constexpr int SpriteKeeperPushing = 12;  // 12-15: left, right, up, down
constexpr int SpriteHudBar = 17;
constexpr int SpriteHudName = 18;
constexpr int SpriteHudTime = 19;
constexpr int SpriteHudSteps = 20;
constexpr int SpriteInGameMenu = 22;
constexpr int SpriteSettingsPanel = 23;
constexpr int SpriteMainMenu = 24;
constexpr int SpriteLevelComplete = 25;
constexpr int SpriteQuitQuestion = 26;
constexpr int SpriteCredits = 27;
constexpr int SpriteGameComplete = 28;

// Sprite 0 holds the last screenshot; card sprites and tile sprites are allocated as needed.
constexpr int SpriteScreenshot = 0;

// Images, fonts, windows.
constexpr int ImageLockMark = 16;
constexpr int FontMain = 0;
constexpr int WindowMain = 0;

// Interface colours: red in bits 0-7, green 8-15, blue 16-23, alpha 24-31.
constexpr uint32_t ColourRgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }
constexpr uint32_t ColourTitleBar = ColourRgb(166, 74, 15);
constexpr uint32_t ColourHighlight = ColourRgb(232, 106, 23);
constexpr uint32_t ColourPanel = ColourRgb(86, 86, 86);
constexpr uint32_t ColourPanelDark = ColourRgb(74, 74, 74);
