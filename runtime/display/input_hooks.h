// The hooks through which the screen hands X and GTK input to the input services. The keyboard
// service installs its handlers here; a null hook drops its events.
#pragma once

struct ScreenInputHooks {
  // type 2 for a press, 3 for a release; the key symbol of the event (X keysym or GDK keyval).
  void (*key_hook)(int type, unsigned long keysym) = nullptr;
  // x, y (or -1, -1 for a button event), button (or -1 for a motion), 1 pressed / 0 released.
  void (*mouse_hook)(int x, int y, int button, int pressed) = nullptr;
  // Called when the windowed form loses the keyboard focus.
  void (*focus_lost_hook)() = nullptr;
};

extern ScreenInputHooks ScreenHooks;
