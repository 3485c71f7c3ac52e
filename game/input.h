// The game's input mapping: the keys and the gamepad read once a frame, in a fixed order, and
// what each does in each screen state. Held keys move the keeper and scroll the carousel (they
// repeat every frame); released keys act once per release.
#pragma once

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

// Reads the keyboard (and the gamepad when Loop.JoystickCount is above 0).
FrameInput ReadFrameInput();

// Applies a frame's input in the fixed order: held Left, Right, Up, Down; released Down, Up,
// Left, Right, Return, S, M, Escape, Space; the gamepad's axes and button. Each reads GameState
// afresh, so a state changed by an earlier input of the frame is seen by the later ones.
void HandleFrameInput(const FrameInput& input);
