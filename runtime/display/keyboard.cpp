// The keyboard service: held keys and latched releases, fed by the screen's key hook.
//
// Depends on the screen's input hooks (and, in full screen, on the screen pumping its X events).
// The game polls once a frame: keyboard_examine fixes what the frame sees, then key_down tells
// held keys and key_released a key let go since it was last seen held.
//
// No press is lost to a slow frame: the presses and releases that arrive between two
// examinations wait in the order they came, and each examination shows the game the oldest one.
// A press and release between two polls therefore reads as held in the next frame and as
// released once in the frame after; two quick taps read as two, and taps of different keys act
// in the order they were made. Frames that keep up see each change as it comes, as before.
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

// At most this many presses and releases wait for the game; later presses are dropped (and so
// are their releases) rather than replayed long after the player made them.
constexpr int kMaxWaitingChanges = 32;

struct KeyboardState {
  std::array<uint8_t, kKeyCodeCount> down{};     // 1 while the game sees the key held
  std::array<uint8_t, kKeyCodeCount> latch{};    // seen held by key_released, release not yet reported
  // Presses and releases not yet seen by the game, oldest first, as key codes: a key's changes
  // alternate, so each one turns the key over.
  std::array<uint16_t, kMaxWaitingChanges> waiting{};
  int waiting_count = 0;
  std::array<uint8_t, kKeyCodeCount> waiting_for_key{};  // how many of them are the key's
};

KeyboardState Keyboard;

bool ValidCode(int code) { return code >= 0 && code < kKeyCodeCount; }

// Held as of the last event: an odd number of waiting changes turns what the game sees over.
bool HeldNow(int code) { return (Keyboard.down[code] ^ (Keyboard.waiting_for_key[code] & 1)) != 0; }

void RemoveWaiting(int at) {
  --Keyboard.waiting_for_key[Keyboard.waiting[at]];
  std::copy(Keyboard.waiting.begin() + at + 1, Keyboard.waiting.begin() + Keyboard.waiting_count,
            Keyboard.waiting.begin() + at);
  --Keyboard.waiting_count;
}

// Drops the key's newest waiting change.
void DropNewestWaiting(int code) {
  for (int at = Keyboard.waiting_count - 1; at >= 0; --at) {
    if (Keyboard.waiting[at] == code) {
      RemoveWaiting(at);
      return;
    }
  }
}

// Lets a held key go without waiting for its turn: a press the game has not seen yet is
// dropped, and a key the game sees held is released at once (its latch stays, so its release is
// still reported once).
void LetGoAtOnce(int code) {
  if (Keyboard.waiting_for_key[code] == 0) {
    Keyboard.down[code] = 0;
  } else {
    DropNewestWaiting(code);
  }
}

// The focus went, and with it every release still to come: held keys are let go. Taps completed
// before stay to be seen.
void ReleaseAllKeys() {
  for (int code = 0; code < kKeyCodeCount; ++code) {
    if (HeldNow(code)) LetGoAtOnce(code);
  }
}

void ForgetAllKeys() {
  Keyboard.down.fill(0);
  Keyboard.waiting_for_key.fill(0);
  Keyboard.waiting_count = 0;
}

// One frame's view: the oldest waiting change, if any, becomes visible.
void ShowNextChange() {
  if (Keyboard.waiting_count == 0) return;
  Keyboard.down[Keyboard.waiting[0]] ^= 1;
  RemoveWaiting(0);
}

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
  const bool press = type == kKeyPressed;
  // A press of a held key (the window system's repeat) or a release of a free one changes nothing.
  if (press == HeldNow(code)) return;
  if (Keyboard.waiting_count == kMaxWaitingChanges) {
    if (!press) LetGoAtOnce(code);  // a release with no room left must not leave the key stuck
    return;
  }
  Keyboard.waiting[Keyboard.waiting_count++] = static_cast<uint16_t>(code);
  ++Keyboard.waiting_for_key[code];
}

int keyboard_init() {
  ForgetAllKeys();
  ScreenHooks.key_hook = key_event;
  ScreenHooks.focus_lost_hook = ReleaseAllKeys;
  return 1;
}

int keyboard_examine() {
  // Full screen only: a window gets its key signals and its focus from GTK.
  screen_pump_events();
  screen_take_focus();
  ShowNextChange();
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
