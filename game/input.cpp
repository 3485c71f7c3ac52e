// Reading the keyboard and the gamepad once a frame and mapping them to actions.
#include "game/input.h"

#include "game/core/game.h"
#include "game/presentation.h"
#include "runtime/display/keyboard.h"
#include "runtime/media/joystick.h"

FrameInput ReadFrameInput() {
  FrameInput input;
  keyboard_examine();
  input.HeldLeft = key_down(kKeyLeft);
  input.HeldRight = key_down(kKeyRight);
  input.HeldUp = key_down(kKeyUp);
  input.HeldDown = key_down(kKeyDown);
  input.ReleasedDown = key_released(kKeyDown);
  input.ReleasedUp = key_released(kKeyUp);
  input.ReleasedLeft = key_released(kKeyLeft);
  input.ReleasedRight = key_released(kKeyRight);
  input.ReleasedReturn = key_released(kKeyReturn);
  input.ReleasedS = key_released('s');
  input.ReleasedM = key_released('m');
  input.ReleasedEscape = key_released(kKeyEscape);
  input.ReleasedSpace = key_released(kKeySpace);
  if (Loop.JoystickCount > 0 && joystick_examine(Settings.Gamepad)) {
    input.PadPresent = true;
    input.PadX = joystick_axis_x(Settings.Gamepad, Settings.Pad);
    input.PadY = joystick_axis_y(Settings.Gamepad, Settings.Pad);
    input.PadButton = joystick_button(Settings.Gamepad, Settings.Button) != 0;
  }
  return input;
}

std::vector<InputAction> FrameActions(const FrameInput& input) {
  const std::pair<bool, InputAction> keys[] = {
      {input.HeldLeft, InputAction::HeldLeft},
      {input.HeldRight, InputAction::HeldRight},
      {input.HeldUp, InputAction::HeldUp},
      {input.HeldDown, InputAction::HeldDown},
      {input.ReleasedDown, InputAction::NavigateDown},
      {input.ReleasedUp, InputAction::NavigateUp},
      {input.ReleasedLeft, InputAction::NavigateLeft},
      {input.ReleasedRight, InputAction::NavigateRight},
      {input.ReleasedReturn, InputAction::Confirm},
      {input.ReleasedS, InputAction::Screenshot},
      {input.ReleasedM, InputAction::Music},
      {input.ReleasedEscape, InputAction::Back},
      {input.ReleasedSpace, InputAction::Skip},
      // The gamepad's stick acts as the held arrows, its button as Return where cards are chosen.
      {input.PadPresent && input.PadX < 0, InputAction::HeldLeft},
      {input.PadPresent && input.PadX > 0, InputAction::HeldRight},
      {input.PadPresent && input.PadY < 0, InputAction::HeldUp},
      {input.PadPresent && input.PadY > 0, InputAction::HeldDown},
      {input.PadPresent && input.PadButton, InputAction::PadButton},
  };
  std::vector<InputAction> actions;
  for (const auto& [pressed, action] : keys) {
    if (pressed) actions.push_back(action);
  }
  return actions;
}
