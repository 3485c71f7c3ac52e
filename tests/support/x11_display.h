// Helpers for tests on the virtual X server: a window manager for the length of a test, pixels
// of the screen read back, an extra video mode, focus moved away, and toolkit event pumping.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Starts a window manager (openbox) on the current display unless one runs already, and stops
// it again when the object goes. running() says whether a window manager is up.
class X11WindowManager {
 public:
  X11WindowManager();
  ~X11WindowManager();
  X11WindowManager(const X11WindowManager&) = delete;
  X11WindowManager& operator=(const X11WindowManager&) = delete;
  bool running() const { return running_; }

 private:
  pid_t pid_ = 0;
  bool running_ = false;
};

// Adds a video mode of width x height (at a refresh rate) to the display's output for the length
// of a test.
class X11VideoMode {
 public:
  X11VideoMode(int width, int height, int refresh = 60);
  ~X11VideoMode();
  X11VideoMode(const X11VideoMode&) = delete;
  X11VideoMode& operator=(const X11VideoMode&) = delete;
  bool added() const { return mode_ != 0; }
  unsigned long id() const { return mode_; }
  // Makes the output show this mode; the mode shown before comes back when the object goes.
  bool Show();

 private:
  unsigned long mode_ = 0;
  unsigned long output_ = 0;
  unsigned long shown_before_ = 0;
};

// Id of the video mode the display's first lit output shows now.
unsigned long x11_current_mode_id();

// The test program's own connection to the X server (a Display*), open for the whole run;
// any helper opens it. Tests use it to send input and read window properties.
void* x11_display();

// While the object lives, protocol errors on that connection (a window gone while it is looked at
// or changed) are passed over instead of ending the test program. What was asked before it is
// settled as it begins, and what was asked in its life before it ends.
class X11QuietErrors {
 public:
  X11QuietErrors();
  ~X11QuietErrors();
  X11QuietErrors(const X11QuietErrors&) = delete;
  X11QuietErrors& operator=(const X11QuietErrors&) = delete;

 private:
  void (*previous_)() = nullptr;  // the handler it stands in for
};

struct X11Size {
  int width = 0;
  int height = 0;
};

// Size of the video mode the display's first lit output shows now.
X11Size x11_current_mode();

// Presses (down) or lets go of a key (an X key symbol) through the XTest extension.
void x11_key(unsigned long keysym, bool down);

// Turns the server's key repeat on or off (a key held by a test then gives one press).
void x11_key_repeat(bool on);

// A colour as the tests compare it: red in bits 0-7, green 8-15, blue 16-23; alpha dropped.
uint32_t x11_rgb(int red, int green, int blue);

// The open screen's back buffer (what has been drawn since the last flip), in screen
// coordinates with the origin at the top-left: one 0x00BBGGRR value per pixel, rows top-down.
std::vector<uint32_t> x11_read_screen(int x, int y, int width, int height);
uint32_t x11_screen_pixel(int x, int y);

// Clears the open screen's back buffer to a colour.
void x11_clear_screen(int red, int green, int blue);

// The screen most drawing tests start from: PNG codecs registered, full screen at the current
// mode, nearest-pixel sprite quality, back buffer cleared to green. False when it cannot open.
bool x11_open_drawing_screen();

// Runs toolkit iterations and window_event until done() holds or the time runs out; returns
// done(). Events taken from the window queue are appended to `events` when given.
bool x11_pump_until(const std::function<bool()>& done, int timeout_ms, std::vector<int>* events = nullptr);

// Gives the keyboard focus to a small window of the test's own, away from every window of the
// runtime; the window goes with the object.
class X11FocusThief {
 public:
  X11FocusThief();
  ~X11FocusThief();
  X11FocusThief(const X11FocusThief&) = delete;
  X11FocusThief& operator=(const X11FocusThief&) = delete;

 private:
  unsigned long window_ = 0;
};

// A window's title from _NET_WM_NAME, else WM_NAME (a Display* connection and an X window).
std::string x11_window_title(void* display, unsigned long window);
// A viewable window with this title anywhere below `parent`, or 0.
unsigned long x11_find_viewable_window(void* display, unsigned long parent, const std::string& title);
// The first viewable window below `parent`, depth first and looking into viewable windows only
// (window manager frames too), for which `wanted` holds; or 0.
unsigned long x11_find_viewable_window_if(void* display, unsigned long parent,
                                          const std::function<bool(unsigned long window)>& wanted);

// A fresh path for a test file under the system's temporary folder.
std::string x11_temp_path(const std::string& name);
