// The keyboard service: a table of held keys filled from the screen's key events (X events in
// full screen, GTK signals in a window) and polled by the game once per frame. Key codes do not
// depend on the window system: printable keys give their ASCII code (letters lower case), other
// keys the numbers below.
#pragma once

#include "runtime/display/input_hooks.h"

constexpr int kKeyCodeCount = 512;
constexpr int kAnyKey = -1;

constexpr int kKeyBackspace = 8;
constexpr int kKeyReturn = 13;
constexpr int kKeyPause = 19;
constexpr int kKeyEscape = 27;
constexpr int kKeySpace = 32;
constexpr int kKeyDelete = 127;
constexpr int kKeyPad0 = 256;  // .. kKeyPad0 + 9
constexpr int kKeyPadPeriod = 266;
constexpr int kKeyPadDivide = 267;
constexpr int kKeyPadMultiply = 268;
constexpr int kKeyPadMinus = 269;
constexpr int kKeyPadPlus = 270;
constexpr int kKeyPadEnter = 271;
constexpr int kKeyUp = 273;
constexpr int kKeyDown = 274;
constexpr int kKeyRight = 275;
constexpr int kKeyLeft = 276;
constexpr int kKeyInsert = 277;
constexpr int kKeyHome = 278;
constexpr int kKeyEnd = 279;
constexpr int kKeyPageUp = 280;
constexpr int kKeyPageDown = 281;
constexpr int kKeyF1 = 282;  // .. kKeyF1 + 11
constexpr int kKeyNumLock = 300;
constexpr int kKeyRightShift = 303;
constexpr int kKeyLeftShift = 304;
constexpr int kKeyRightControl = 305;
constexpr int kKeyLeftControl = 306;
constexpr int kKeyRightAlt = 307;
constexpr int kKeyLeftAlt = 308;

// Clears the held keys and installs the key and focus-loss handlers in the screen's hooks. Returns 1.
int keyboard_init();
// Hands the screen's pending key events to the table (full screen; a window gets them from GTK),
// then fixes what the game sees until the next call: for each key the oldest press or release
// it has not seen yet. Called once a frame, before the keys are read. Returns 1.
int keyboard_examine();
// 1 while the key is held as of the last examination, else 0; kAnyKey: 1 while any key is held.
// 0 for codes out of range.
int key_down(int code);
// 1 once when the key, seen held by an earlier call, has been let go; else 0.
int key_released(int code);
// Removes the handlers from the screen's hooks.
void keyboard_shutdown();

// The key handler: a press or release of the key with that X keysym (or GDK keyval, the same
// numbers). Symbols without a code, and types other than a press or a release, are ignored.
void key_event(KeyEventType type, unsigned long symbol);
// The code for a key symbol, or -1 when the key has none.
int key_code_of_symbol(unsigned long symbol);
