// The keyboard service: held keys and latched releases, fed by the screen's key hook.
//
// Depends on the screen's input hooks (and, in full screen, on the screen pumping its X events).
// The game polls: key_down for held keys, key_released for a key let go since it was last seen
// held. A press and release that both fall between two polls is therefore never reported.
#include "runtime/display/keyboard.h"

#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <cstdint>

#include "runtime/display/input_hooks.h"
#include "runtime/display/screen.h"

namespace {

constexpr unsigned long kFirstPrintable = 32;
constexpr unsigned long kLastPrintable = 126;
constexpr int kLowerCaseOffset = 'a' - 'A';

struct KeySymbolCode {
  unsigned long symbol;
  int code;
};

// Keys without an ASCII code. The keypad digits come from the keypad's navigation symbols, which
// X reports at index 0 whatever the Num Lock state.
constexpr KeySymbolCode kSymbolCodes[] = {
    {XK_BackSpace, kKeyBackspace},   {XK_Return, kKeyReturn},         {XK_Pause, kKeyPause},
    {XK_Escape, kKeyEscape},         {XK_Delete, kKeyDelete},         {XK_KP_Insert, kKeyPad0 + 0},
    {XK_KP_End, kKeyPad0 + 1},       {XK_KP_Down, kKeyPad0 + 2},      {XK_KP_Next, kKeyPad0 + 3},
    {XK_KP_Left, kKeyPad0 + 4},      {XK_KP_Begin, kKeyPad0 + 5},     {XK_KP_Right, kKeyPad0 + 6},
    {XK_KP_Home, kKeyPad0 + 7},      {XK_KP_Up, kKeyPad0 + 8},        {XK_KP_Prior, kKeyPad0 + 9},
    {XK_KP_Delete, kKeyPadPeriod},   {XK_KP_Divide, kKeyPadDivide},   {XK_KP_Multiply, kKeyPadMultiply},
    {XK_KP_Subtract, kKeyPadMinus},  {XK_KP_Add, kKeyPadPlus},        {XK_KP_Enter, kKeyPadEnter},
    {XK_Up, kKeyUp},                 {XK_Down, kKeyDown},             {XK_Right, kKeyRight},
    {XK_Left, kKeyLeft},             {XK_Insert, kKeyInsert},         {XK_Home, kKeyHome},
    {XK_End, kKeyEnd},               {XK_Prior, kKeyPageUp},          {XK_Next, kKeyPageDown},
    {XK_F1, kKeyF1 + 0},             {XK_F2, kKeyF1 + 1},             {XK_F3, kKeyF1 + 2},
    {XK_F4, kKeyF1 + 3},             {XK_F5, kKeyF1 + 4},             {XK_F6, kKeyF1 + 5},
    {XK_F7, kKeyF1 + 6},             {XK_F8, kKeyF1 + 7},             {XK_F9, kKeyF1 + 8},
    {XK_F10, kKeyF1 + 9},            {XK_F11, kKeyF1 + 10},           {XK_F12, kKeyF1 + 11},
    {XK_Num_Lock, kKeyNumLock},      {XK_Shift_R, kKeyRightShift},    {XK_Shift_L, kKeyLeftShift},
    {XK_Control_R, kKeyRightControl}, {XK_Control_L, kKeyLeftControl}, {XK_Alt_R, kKeyRightAlt},
    {XK_Alt_L, kKeyLeftAlt},
};

struct KeyboardState {
  std::array<uint8_t, kKeyCodeCount> down{};   // 1 while held
  std::array<uint8_t, kKeyCodeCount> latch{};  // seen held by key_released, release not yet reported
};

KeyboardState Keyboard;

bool ValidCode(int code) { return code >= 0 && code < kKeyCodeCount; }

void ReleaseAllKeys() { Keyboard.down.fill(0); }

}  // namespace

int key_code_of_symbol(unsigned long symbol) {
  if (symbol >= kFirstPrintable && symbol <= kLastPrintable) {
    const int code = static_cast<int>(symbol);
    return code >= 'A' && code <= 'Z' ? code + kLowerCaseOffset : code;
  }
  for (const KeySymbolCode& entry : kSymbolCodes) {
    if (entry.symbol == symbol) return entry.code;
  }
  return -1;
}

void key_event(KeyEventType type, unsigned long symbol) {
  if (type != kKeyPressed && type != kKeyReleased) return;
  const int code = key_code_of_symbol(symbol);
  if (!ValidCode(code)) return;
  Keyboard.down[code] = type == kKeyPressed ? 1 : 0;
}

int keyboard_init() {
  ReleaseAllKeys();
  ScreenHooks.key_hook = key_event;
  ScreenHooks.focus_lost_hook = ReleaseAllKeys;
  return 1;
}

int keyboard_examine() {
  // Full screen only: a window gets its key signals and its focus from GTK.
  screen_pump_events();
  screen_take_focus();
  return 1;
}

int key_down(int code) {
  if (code == kAnyKey) {
    return std::any_of(Keyboard.down.begin(), Keyboard.down.end(), [](uint8_t held) { return held != 0; }) ? 1 : 0;
  }
  return ValidCode(code) ? Keyboard.down[code] : 0;
}

int key_released(int code) {
  if (!ValidCode(code)) return 0;
  if (Keyboard.down[code]) {
    Keyboard.latch[code] = 1;
    return 0;
  }
  if (Keyboard.latch[code]) {
    Keyboard.latch[code] = 0;
    return 1;
  }
  return 0;
}

void keyboard_shutdown() {
  if (ScreenHooks.key_hook == key_event) ScreenHooks.key_hook = nullptr;
  if (ScreenHooks.focus_lost_hook == ReleaseAllKeys) ScreenHooks.focus_lost_hook = nullptr;
}
