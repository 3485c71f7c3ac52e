// The game's input mapping: the keys and the gamepad read once a frame and mapped to actions in
// a fixed order. Held keys (and the gamepad's stick) move the keeper and scroll the carousel,
// repeating every frame; released keys act once per release. What an action does on each screen
// is the screen table's; the frame loop applies the actions.
#pragma once

#include <vector>

// One frame's input, read from the keyboard and the gamepad before anything acts on it.
struct FrameInput {
  bool HeldLeft = false, HeldRight = false, HeldUp = false, HeldDown = false;
  bool ReleasedDown = false, ReleasedUp = false, ReleasedLeft = false, ReleasedRight = false;
  bool ReleasedReturn = false, ReleasedS = false, ReleasedM = false, ReleasedEscape = false,
       ReleasedSpace = false;
  // The gamepad (joystick Settings.Gamepad, stick Settings.Pad, button Settings.Button): only
  // read when a joystick was found.
  bool PadPresent = false;
  int PadX = 0;  // -1 left, +1 right
  int PadY = 0;  // -1 up, +1 down
  bool PadButton = false;
};

enum class InputAction {
  HeldLeft, HeldRight, HeldUp, HeldDown,                     // keyboard arrows or the stick
  NavigateDown, NavigateUp, NavigateLeft, NavigateRight,     // released arrows
  Confirm, Screenshot, Music, Back, Skip,                    // Return, S, M, Escape, Space
  PadButton,
};

// Reads the keyboard (and the gamepad when Loop.JoystickCount is above 0).
FrameInput ReadFrameInput();

// The actions of a frame's input in their fixed order: held Left, Right, Up, Down; released
// Down, Up, Left, Right, Return, S, M, Escape, Space; the gamepad's axes and button.
std::vector<InputAction> FrameActions(const FrameInput& input);
