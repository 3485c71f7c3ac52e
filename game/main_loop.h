// The frame loop and the screen flow: which screen each state shows, its timers, and what
// confirm, back, skip and the music key do in each state; level start, pause and completion.
#pragma once

#include <cstdint>

// Enters the loop and runs frames until the player quits or a fatal error ends it.
void RunMainLoop();
// The loop entry: panels rendered, play screen prepared, frame rate, window shown, music.
void EnterMainLoop();
// One frame: window events, flip, drawing, timers, input.
void RunFrame();

// --- The screen flow, driven by the frame's input; none of it needs a screen -------------------

// Starts (or restarts) the level at `index` of LevelList; an index outside the list does nothing.
void StartLevel(int64_t index);
// Stores the level's time and steps, unlocks the next level and shows the level-complete panel.
void CompleteLevel();
// The frame-counted timers of the current state; in Playing the test for a solved level.
void AdvanceTimers();
// Return released: confirm the highlighted entry of the current state.
void Confirm();
// Escape released: back, pause or quit by state.
void Back();
// Space released: skip the splashes and the game-complete panel.
void Skip();
// M released: music on or off (not in the settings panels).
void ToggleMusic();

// The millisecond clock of the level timer; tests replace it (null restores the runtime's).
void SetLoopClock(int64_t (*clock)());
int64_t LoopNow();
