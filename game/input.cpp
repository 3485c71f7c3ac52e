// Reading the keyboard and the gamepad once a frame and mapping them onto the screen flow.
#include "game/input.h"

#include "game/core/board.h"
#include "game/core/game.h"
#include "game/main_loop.h"
#include "game/menus.h"
#include "game/music.h"
#include "game/screenshot.h"
#include "runtime/display/keyboard.h"
#include "runtime/media/joystick.h"

namespace {

constexpr int kScrollNext = 1;
constexpr int kScrollPrevious = 2;

// A move request while a level is played and no move is under way; the first accepted move of
// a frame wins, as the later requests find it in progress. Turns do not block.
void RequestBoardMove(int direction) {
  if (GameState == Playing && Loop.InLevel && Board.MoveState == kMoveIdle) RequestMove(direction);
}

void HeldDirection(int direction) {
  if (GameState == LevelSelect) {
    if (direction == FacingLeft) StartCarouselScroll(kScrollPrevious);
    if (direction == FacingRight) StartCarouselScroll(kScrollNext);
  }
  RequestBoardMove(direction);
}

bool InStates(std::initializer_list<int> states) {
  for (int state : states) {
    if (GameState == state) return true;
  }
  return false;
}

void ReleasedArrow(int key) {
  const bool vertical = key == kKeyDown || key == kKeyUp;
  const bool handled = vertical ? InStates({MainMenu, InGameMenu, MenuSettings, GameSettings})
                                : InStates({MenuSettings, GameSettings, MenuQuit, GameQuit, LevelComplete});
  if (handled && NavigateMenu(key)) PlayEffect(RolloverSound);
}

void GamepadInput(const FrameInput& input) {
  if (!input.PadPresent) return;
  if (input.PadX < 0) HeldDirection(FacingLeft);
  if (input.PadX > 0) HeldDirection(FacingRight);
  if (input.PadY < 0) RequestBoardMove(FacingUp);
  if (input.PadY > 0) RequestBoardMove(FacingDown);
  if (input.PadButton && GameState == LevelSelect) Confirm();
}

}  // namespace

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

void HandleFrameInput(const FrameInput& input) {
  if (input.HeldLeft) HeldDirection(FacingLeft);
  if (input.HeldRight) HeldDirection(FacingRight);
  if (input.HeldUp) HeldDirection(FacingUp);
  if (input.HeldDown) HeldDirection(FacingDown);
  if (input.ReleasedDown) ReleasedArrow(kKeyDown);
  if (input.ReleasedUp) ReleasedArrow(kKeyUp);
  if (input.ReleasedLeft) ReleasedArrow(kKeyLeft);
  if (input.ReleasedRight) ReleasedArrow(kKeyRight);
  if (input.ReleasedReturn) Confirm();
  if (input.ReleasedS) TakeScreenshot();
  if (input.ReleasedM) ToggleMusic();
  if (input.ReleasedEscape) Back();
  if (input.ReleasedSpace) Skip();
  GamepadInput(input);
}
