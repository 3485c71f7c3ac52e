// The screen: the game's one OpenGL drawing surface, either full screen on a bare X window of its
// own (with the video mode switched to the exact size asked for) or inside a GTK window opened
// with window_open. Both forms share the 2D set-up (orthographic, y-up, origin bottom-left,
// rectangle textures), the flip with its frame limiter, and the focus state.
#pragma once

#include "runtime/data/text.h"

typedef struct _GtkWindow GtkWindow;

// Full screen at exactly width x height: 1 on success, 0 when the display has no mode of that
// size (the desktop is then left as it was) or no OpenGL context can be made. The title is not
// shown. flip_mode 0 turns vertical sync off, 1 or 2 on; depth is stored only. Closes any open
// screen first.
int screen_open(int width, int height, int depth, const Text& title, int flip_mode);

// A screen of width x height placed at (x, y) inside the content area of `host` (a window made
// by window_open). With auto_stretch the drawing area follows the window's size, less
// right_offset and bottom_offset. Closes any open screen first. 1 on success, 0 on failure.
int screen_open_windowed(GtkWindow* host, int x, int y, int width, int height, int auto_stretch,
                         int right_offset, int bottom_offset, int flip_mode);

// Shows the frame drawn since the last flip, hands pending X input to the input hooks (full
// screen) and, with a frame rate set, waits until the frame's time is up. Returns 1.
int screen_flip();

// 1 while the screen has the input focus (always in full screen), else 0.
int screen_is_active();

// Closes the screen and frees every sprite (their textures belong to the screen). Restores the
// video mode in full screen. Does nothing when no screen is open.
void screen_close();

// Frames per second for screen_flip: 0 turns the limiter off, a negative value keeps the old
// pace. Returns 1.
int screen_set_frame_rate(int fps);

// Called at program end: closes the screen.
void screen_shutdown();

// Full screen: hands pending X key, button and motion events to ScreenHooks. The keyboard
// service calls it when it examines the keyboard; screen_flip calls it too.
void screen_pump_events();

// Full screen: gives the keyboard focus to the screen's window (once it is viewable), so keys
// keep coming even after another client took the focus. Windowed: does nothing.
void screen_take_focus();

// What the sprite layer needs to know about the open screen (0 when none is open).
int screen_is_open();
int screen_width();
int screen_height();
unsigned screen_texture_target();
