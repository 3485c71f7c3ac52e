// The screen flow: what confirm, back, skip and the music key do on each screen, the frame-counted
// timers and animations, level start, pause and completion. The screen table (game/screens.h)
// names the actions of each screen; the frame loop applies them. None of it needs a screen.
#pragma once

#include <cstdint>

// The millisecond clock of the level timer; tests replace it (null restores the runtime's).
void SetLoopClock(int64_t (*clock)());
int64_t LoopNow();
// Milliseconds the level under way has been played (pauses excluded).
int64_t LevelElapsed();

// Starts (or restarts) the level at `index` of LevelList; an index outside the list does nothing.
void StartLevel(int64_t index);
// Stores the level's time and steps, unlocks the next level and shows the level-complete panel.
void CompleteLevel();
// After the frame is drawn: the animations of the screen just shown (its panel sliding in, the
// carousel scrolling, the move in progress), then its frame-counted timers and, while playing,
// the test for a solved level.
void AdvanceTimers();

// The actions of the current screen, as its table row names them.
// Return released: confirm the highlighted entry.
void Confirm();
// Escape released: back, pause or quit.
void Back();
// Space released: skip the splashes and the game-complete panel.
void Skip();
// M released: music on or off (not in the settings panels).
void ToggleMusic();
// A released arrow key (kKeyUp ... kKeyRight) on the current screen's panel: the highlight
// moves (rollover sound, panel re-rendered) or the settings change.
void NavigateKey(int key);
// A held direction (FacingLeft ... FacingDown) of the keyboard or the gamepad's stick: scrolls
// the carousel or moves the keeper.
void HeldDirection(int direction);
// The gamepad's button: starts the chosen level on the level select screen.
void PadButton();

// The actions the screen table names, one per screen or group of screens.
void ConfirmMainMenu();
void ConfirmLevelSelect();
void ConfirmCredits();
void ConfirmSettings();
void ConfirmQuit();
void ConfirmInGameMenu();
void ConfirmLevelComplete();
void LeaveStudioSplash();      // the logo sprite freed, to the title
void LeaveTitleSplash();       // to the main menu
void EndGame();                // the loop ends after this frame
void ToMainMenuWithSlide();    // the main menu sliding in
void PauseLevel();             // the level clock stops, the in-game menu opens
void ResumeLevel();            // the clock goes on where it stopped
void ToInGameMenu();
void LeaveFinishedLevel();     // from a completion panel back to the main menu, with its music
