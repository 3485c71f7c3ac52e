// The hooks through which the screen hands X and GTK input to the input services. The keyboard
// service installs its handlers here; a null hook drops its events.
#pragma once

// What happened to a key. The screen names the window system's press and release with these,
// whether they came as X events or as GTK signals.
enum KeyEventType : int {
  kKeyPressed = 2,
  kKeyReleased = 3,
};

struct ScreenInputHooks {
  // A key pressed or released, with the key symbol of the event (X keysym or GDK keyval).
  void (*key_hook)(KeyEventType type, unsigned long keysym) = nullptr;
  // x, y (or -1, -1 for a button event), button (or -1 for a motion), 1 pressed / 0 released.
  void (*mouse_hook)(int x, int y, int button, int pressed) = nullptr;
  // Called when the windowed form loses the keyboard focus.
  void (*focus_lost_hook)() = nullptr;
};

extern ScreenInputHooks ScreenHooks;
