// The presentation's chief header: what only the screens use. The frame loop's record, the
// panels' highlights and slide counters, the named entries of every menu, and the fixed numbers
// under which the game keeps its sounds, sprites, images, fonts and windows; the interface
// colours. The screen states and their table are game/screens.h.
#pragma once

#include <cstdint>

#include "runtime/data/text.h"

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

// The entries of each panel, counted from 1 as they are shown.
constexpr int kMenuStart = 1, kMenuSettings = 2, kMenuCredits = 3, kMenuQuit = 4;
constexpr int kInGameResume = 1, kInGameRestart = 2, kInGameSettings = 3, kInGameQuit = 4;
constexpr int kSettingsLanguage = 1, kSettingsMusic = 2, kSettingsScreenMode = 3, kSettingsResolution = 4,
              kSettingsConfirm = 5, kSettingsCancel = 6;
constexpr int kQuitYes = 1, kQuitNo = 2;
constexpr int kCompleteRetry = 1, kCompleteMenu = 2, kCompleteNext = 3;

// Which way the level carousel scrolls.
constexpr int kCarouselStill = 0;
constexpr int kCarouselToNext = 1;
constexpr int kCarouselToPrevious = 2;
// The carousel scrolls this many pixels a frame.
constexpr int kCarouselStep = 45;

constexpr int kSlideFrames = 5;  // a panel slides in over this many frames

// What the panels show: the highlighted entries, the slide-in counters (a panel with a counter
// above 0 is still sliding in and ignores its keys), the level carousel and the settings
// panel's working copies.
struct MenuRecord {
  int MainMenuChoice = kMenuStart;
  int InGameChoice = kInGameResume;
  int SettingsChoice = kSettingsLanguage;
  int QuitChoice = kQuitYes;
  int CompleteChoice = kCompleteRetry;
  int MainMenuSlide = 0;
  int CreditsSlide = 0;
  int SettingsSlide = 0;
  int QuitSlide = 0;
  int64_t LevelIndex = 0;  // the carousel's centre card, an index into LevelList
  int CarouselDirection = kCarouselStill;
  int64_t CarouselOffset = kCarouselStep;
  Text PendingLanguage;
  int PendingMusic = 1;
  int PendingScreen = 0;
  int PendingResolution = 1;
};
extern MenuRecord Menus;

// Sounds.
constexpr int MenuMusic = 0;
constexpr int GameMusic = 1;
constexpr int RolloverSound = 2;
constexpr int ClickSound = 3;

// Sprites. Sprite 0 holds the last screenshot; card sprites and tile sprites are allocated as
// needed.
constexpr int SpriteScreenshot = 0;
constexpr int SpriteDimmer = 1;
constexpr int SpriteTitle = 2;
constexpr int SpriteStudioSplash = 3;
constexpr int SpriteTitleBackground = 4;
constexpr int SpriteCrate = 5;
constexpr int SpriteTargetIcon = 6;
constexpr int SpriteFloor = 7;
constexpr int kKeeperTurns = 4;          // left, right, up, down
constexpr int SpriteKeeperStanding = 8;  // and the three after it, one per turn
constexpr int SpriteKeeperPushing = 12;  // and the three after it, one per turn
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
constexpr int kNoSprite = -1;

// Images, fonts, windows.
constexpr int ImageLockMark = 16;
constexpr int FontMain = 0;
constexpr int WindowMain = 0;

// Interface colours: red in bits 0-7, green 8-15, blue 16-23, alpha 24-31.
constexpr uint32_t ColourRgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }
constexpr uint32_t kOpaque = 0xFF000000u;
constexpr uint32_t ColourTitleBar = ColourRgb(166, 74, 15);
constexpr uint32_t ColourHighlight = ColourRgb(232, 106, 23);
constexpr uint32_t ColourPanel = ColourRgb(86, 86, 86);
constexpr uint32_t ColourPanelDark = ColourRgb(74, 74, 74);
// Panel texts: white, and the highlighted entry in the highlight colour.
constexpr uint32_t ColourText = ColourRgb(255, 255, 255) | kOpaque;
constexpr uint32_t ColourTextHighlight = ColourHighlight | kOpaque;
