// The screens of the game and the table that says, per screen, what it shows and how its keys
// act. The frame loop, the drawing and the navigation read this table instead of comparing
// screen numbers: adding a screen is a row here and one drawing function.
#pragma once

#include "game/presentation.h"

// The screen the frame loop shows.
enum class ScreenState {
  StudioSplash,
  TitleSplash,
  MainMenu,
  LevelSelect,
  Credits,
  MenuSettings,
  MenuQuit,
  Playing,
  InGameMenu,
  GameSettings,
  GameQuit,
  LevelComplete,
  GameComplete,
};
constexpr int kScreenCount = 13;
extern ScreenState GameState;

// The picture behind a screen's panel.
enum class Backdrop {
  StudioLogo,   // the studio splash, full screen
  TitleScreen,  // the spinning title background under the title picture
  PlayScreen,   // the heads-up bar and the board
};

// Where a screen's panel is shown.
enum class PanelAt {
  NoPanel,
  SlidingIn,  // rises from below into its resting place over kSlideFrames frames
  Centred,    // centred over the dimmed board
  Carousel,   // the level cards
};

// How the released arrow keys act on a screen.
enum class Navigation {
  NoKeys,
  UpDown,     // Down and Up step through the panel's entries
  LeftRight,  // Right and Left step through the panel's entries
  Settings,   // every arrow goes to the settings panel
};

// What the held arrow keys (and the gamepad's stick) do.
enum class HeldKeys {
  NoAction,
  Carousel,  // Left and Right scroll the level carousel; the pad button starts the level
  Moves,     // move the keeper
};

using ScreenAction = void (*)();
using PanelRender = void (*)(int choice);

struct ScreenEntry {
  const char* Name;
  Backdrop Shows;
  int Panel;            // the panel's sprite, kNoSprite when none
  PanelAt Place;
  int MenuRecord::*Slide;  // the slide counter that holds the panel's keys back; null when none
  int Music;            // the music that belongs to the screen
  Navigation Keys;
  int MenuRecord::*Choice;  // the highlighted entry (UpDown and LeftRight)
  int Entries;              // its last entry
  PanelRender Render;       // re-renders the panel with the new highlight
  HeldKeys Held;
  bool ClockRuns;   // the level clock runs and the time box follows it
  bool MusicKey;    // M turns the music on and off
  ScreenAction Confirm;  // Return released (null: nothing)
  ScreenAction Back;     // Escape released
  ScreenAction Skip;     // Space released
};

// The table row of a screen.
const ScreenEntry& ScreenOf(ScreenState screen);
// The row of the screen now shown.
inline const ScreenEntry& CurrentScreen() { return ScreenOf(GameState); }
