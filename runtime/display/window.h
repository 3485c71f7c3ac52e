// Desktop windows (GTK top-level windows that host the windowed screen), the queue of their
// events for the game's main loop, and the desktop (monitor) queries.
#pragma once

#include <cstdint>

#include "runtime/data/text.h"

typedef struct _GtkWindow GtkWindow;

// window_open flags.
constexpr int kWindowInvisible = 0x01;       // created hidden; shown by window_hide(n, 0)
constexpr int kWindowSizeable = 0x02;
constexpr int kWindowSystemMenu = 0x04;
constexpr int kWindowMaximizeButton = 0x10;  // implies sizeable
constexpr int kWindowMinimizeButton = 0x20;
constexpr int kWindowCentred = 0x40;         // also meant by a position of kWindowCentredPosition
constexpr int kWindowBorderless = 0x80;
constexpr int kWindowCentredOnParent = 0x100;
constexpr int kWindowMaximized = 0x200;
constexpr int kWindowMinimized = 0x400;
constexpr int kWindowTool = 0x800;
constexpr int kWindowNoFocus = 0x2000;       // shown without taking the focus
constexpr int kWindowCentredPosition = -65535;

// window_set_state values.
constexpr int kWindowStateMaximized = 512;
constexpr int kWindowStateMinimized = 1024;

// window_event codes.
constexpr int kEventNone = 0;        // nothing is pending in any window
constexpr int kEventCallAgain = -1;  // the toolkit handled an event that made no code
constexpr int kEventCloseRequest = 2;
constexpr int kEventRepaint = 4;
constexpr int kEventMoved = 5;
constexpr int kEventResized = 6;
constexpr int kEventActivated = 7;
constexpr int kEventDeactivated = 8;
constexpr int kEventMinimized = 12;
constexpr int kEventMaximized = 13;
constexpr int kEventRestored = 14;
constexpr int kEventRightClick = 16;
constexpr int kEventLeftClick = 17;
constexpr int kEventLeftDoubleClick = 18;
constexpr int kEventMouseMoved = 24;

// Opens a top-level window of width x height at (x, y) with the given flags. Returns the
// window's handle (non-zero; with number -1 the only way to name it), 0 on failure.
int64_t window_open(int64_t number, int x, int y, int width, int height, const Text& title, int flags);
// The GtkWindow of a window, or null.
GtkWindow* window_handle(int64_t number);
// hide 1 hides the window, 0 shows it (where it was when hidden).
void window_hide(int64_t number, int hide);
// Brings the window to the front and gives it the focus.
void window_activate(int64_t number);
// kWindowStateMaximized, kWindowStateMinimized, or anything else to restore.
void window_set_state(int64_t number, int state);
// The next event code of any window; kEventNone when nothing is pending anywhere;
// kEventCallAgain when the toolkit handled an event that produced no code.
int window_event();
// Destroys a window (-1: every window) and drops its queued events.
void window_close(int64_t number);

// Reads the monitors of the default display; returns their number (0 without a display).
// Monitor 0 is the one at the desktop's top-left corner.
int desktop_examine();
// Size of a monitor read by desktop_examine; 0 for an index out of range.
int desktop_width(int index);
int desktop_height(int index);
