// Display modes: the aspect class of the screen, opening the screen in the chosen mode, and
// reopening it after the settings changed the mode or the window size.
#pragma once

#include <cstdint>

#include "runtime/data/text.h"

// The text in every window title: the game, its version, the studio and its web address.
Text WindowTitle();

// The aspect class 0-7 of a screen size: the ratio in fixed point with two decimals ("1.78"),
// written with a point whatever the locale, compared with the ratios of the known classes.
int ClassifyAspect(int64_t width, int64_t height);
// The same ratio text, "1.78" for 1920 x 1080; empty for a height of 0.
Text AspectText(int64_t width, int64_t height);
// The size the screen opens at: the chosen window size in windowed mode, else the desktop's.
void ChooseScreenSize();
// Opens the screen in the mode Settings.GameScreen at GameDisplay's size, with its log lines.
// Returns 1, or 0 when it failed (the caller shows the screen error box).
int OpenDisplay();
// What follows every successful opening: joysticks counted again (logged under `joystick_label`,
// "Joystick:" at start, "Joystick: " after a reopen), the aspect class and the layout.
void AfterDisplayOpened(const Text& joystick_label);
// Closes the screen and opens it again with the pending mode and size, reloads every picture and
// re-renders the panels and the HUD. Returns 1; on failure it shows the screen error box, sets
// Loop.FatalEnd and Loop.QuitRequested, and returns 0.
int ReopenDisplay();
// Sixty frames a second, smooth sprite scaling, and window 0 shown and given the keys in the
// windowed modes: the screen made ready for the loop, at its entry and after every reopening.
void ShowDisplay();
