// Display modes: the aspect class of the screen, opening the screen in the chosen mode, and
// reopening it after the settings changed the mode or the window size.
#pragma once

#include <cstdint>

// The aspect class 0-7 of a screen size.
int ClassifyAspect(int64_t width, int64_t height);
// Opens the screen in the mode Settings.GameScreen at GameDisplay's size, with its log lines.
// Returns 1, or 0 when it failed (the caller shows the screen error box).
int OpenDisplay();
// Closes the screen and opens it again with the pending mode and size, reloads every picture and
// re-renders the panels and the HUD. Returns 1; on failure it shows the screen error box, sets
// Loop.FatalEnd and Loop.QuitRequested, and returns 0.
int ReopenDisplay();
