// Helpers for tests on the virtual X server.
#include "tests/support/x11_display.h"

#include <GL/gl.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xrandr.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "runtime/display/image.h"
#include "runtime/display/png.h"
#include "runtime/display/screen.h"
#include "runtime/display/sprite.h"
#include "runtime/display/toolkit.h"
#include "runtime/display/window.h"

namespace {

using Clock = std::chrono::steady_clock;

// One connection held for the whole test program: the virtual server resets itself whenever its
// last client leaves, and a connection attempted during a reset fails.
Display* SharedDisplay() {
  static Display* display = XOpenDisplay(nullptr);
  return display;
}

// The window a property of `window` names, or 0 (also when `window` no longer exists).
Window WindowProperty(Display* display, Window window, const char* name) {
  X11QuietErrors quiet;
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  Window value = 0;
  if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1, False, XA_WINDOW, &type, &format,
                         &count, &after, &data) == Success && data && count == 1) {
    value = *reinterpret_cast<Window*>(data);
  }
  if (data) XFree(data);
  return value;
}

// A manager runs when the root names a check window that names itself: a manager that went away
// may leave the root's property behind.
bool WindowManagerRuns(Display* display) {
  const Window check = WindowProperty(display, DefaultRootWindow(display), "_NET_SUPPORTING_WM_CHECK");
  return check != 0 && WindowProperty(display, check, "_NET_SUPPORTING_WM_CHECK") == check;
}

// The manager lists its clients once it has taken over the screen.
bool WindowManagerReady(Display* display) {
  const Atom list = XInternAtom(display, "_NET_CLIENT_LIST", False);
  int count = 0;
  Atom* atoms = XListProperties(display, DefaultRootWindow(display), &count);
  const bool ready = atoms && std::find(atoms, atoms + count, list) != atoms + count;
  if (atoms) XFree(atoms);
  return ready;
}

// The first output that shows a picture, with its CRTC's current mode.
RROutput LitOutput(Display* display, XRRScreenResources* resources, RRMode* mode) {
  for (int i = 0; i < resources->noutput; ++i) {
    XRROutputInfo* output = XRRGetOutputInfo(display, resources, resources->outputs[i]);
    if (output && output->crtc) {
      XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, output->crtc);
      if (mode) *mode = crtc ? crtc->mode : 0;
      if (crtc) XRRFreeCrtcInfo(crtc);
      XRRFreeOutputInfo(output);
      return resources->outputs[i];
    }
    if (output) XRRFreeOutputInfo(output);
  }
  return 0;
}

}  // namespace

X11WindowManager::X11WindowManager() {
  Display* display = SharedDisplay();
  if (!display) return;
  if (WindowManagerRuns(display)) {
    running_ = true;
    return;
  }
  pid_ = fork();
  if (pid_ == 0) {
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
    _exit(127);
  }
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (pid_ > 0 && Clock::now() < deadline && !running_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    running_ = WindowManagerRuns(display) && WindowManagerReady(display);
  }
  // Let it settle into its event loop.
  if (running_) std::this_thread::sleep_for(std::chrono::milliseconds(200));
}

X11WindowManager::~X11WindowManager() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  // Let the toolkit see the manager go before the next test.
  if (toolkit_init()) {
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
  }
}

namespace {

// Sets the CRTC of `output` to `mode` at the top-left, keeping its rotation and outputs.
bool ShowMode(Display* display, RROutput output, RRMode mode) {
  XRRScreenResources* resources = XRRGetScreenResources(display, DefaultRootWindow(display));
  XRROutputInfo* info = XRRGetOutputInfo(display, resources, output);
  XRRCrtcInfo* crtc = info && info->crtc ? XRRGetCrtcInfo(display, resources, info->crtc) : nullptr;
  bool shown = false;
  if (crtc) {
    shown = XRRSetCrtcConfig(display, resources, info->crtc, CurrentTime, 0, 0, mode, crtc->rotation, crtc->outputs,
                             crtc->noutput) == Success;
    XRRFreeCrtcInfo(crtc);
  }
  if (info) XRRFreeOutputInfo(info);
  XRRFreeScreenResources(resources);
  XSync(display, False);
  return shown;
}

}  // namespace

X11VideoMode::X11VideoMode(int width, int height, int refresh) {
  Display* display = SharedDisplay();
  if (!display) return;
  const Window root = DefaultRootWindow(display);
  XRRScreenResources* resources = XRRGetScreenResources(display, root);
  output_ = LitOutput(display, resources, nullptr);
  const std::string name = std::to_string(width) + "x" + std::to_string(height) + "_" + std::to_string(refresh) + "_test";
  XRRModeInfo info{};
  info.width = width;
  info.height = height;
  info.hTotal = width;
  info.vTotal = height;
  info.dotClock = static_cast<unsigned long>(width) * height * refresh;
  info.name = const_cast<char*>(name.c_str());
  info.nameLength = static_cast<unsigned>(name.size());
  if (output_) {
    mode_ = XRRCreateMode(display, root, &info);
    XRRAddOutputMode(display, output_, mode_);
  }
  XSync(display, False);
  XRRFreeScreenResources(resources);
}

bool X11VideoMode::Show() {
  Display* display = SharedDisplay();
  if (!display || !mode_) return false;
  if (!shown_before_) shown_before_ = x11_current_mode_id();
  return ShowMode(display, output_, mode_);
}

X11VideoMode::~X11VideoMode() {
  Display* display = SharedDisplay();
  if (!display || !mode_) return;
  if (shown_before_) ShowMode(display, output_, shown_before_);
  // A mode still shown (a test that failed before closing its screen) cannot go; that is no
  // reason to end the test program.
  X11QuietErrors quiet;
  XRRDeleteOutputMode(display, output_, mode_);
  XRRDestroyMode(display, mode_);
}

X11Size x11_current_mode() {
  X11Size size;
  Display* display = SharedDisplay();
  if (!display) return size;
  XRRScreenResources* resources = XRRGetScreenResources(display, DefaultRootWindow(display));
  RRMode mode = 0;
  LitOutput(display, resources, &mode);
  for (int i = 0; i < resources->nmode; ++i) {
    if (resources->modes[i].id == mode) size = {static_cast<int>(resources->modes[i].width), static_cast<int>(resources->modes[i].height)};
  }
  XRRFreeScreenResources(resources);
  return size;
}

unsigned long x11_current_mode_id() {
  Display* display = SharedDisplay();
  if (!display) return 0;
  XRRScreenResources* resources = XRRGetScreenResources(display, DefaultRootWindow(display));
  RRMode mode = 0;
  LitOutput(display, resources, &mode);
  XRRFreeScreenResources(resources);
  return mode;
}

void* x11_display() { return SharedDisplay(); }

X11QuietErrors::X11QuietErrors() {
  if (SharedDisplay()) XSync(SharedDisplay(), False);
  previous_ = reinterpret_cast<void (*)()>(XSetErrorHandler([](Display*, XErrorEvent*) { return 0; }));
}

X11QuietErrors::~X11QuietErrors() {
  if (SharedDisplay()) XSync(SharedDisplay(), False);
  XSetErrorHandler(reinterpret_cast<XErrorHandler>(previous_));
}

void x11_key(unsigned long keysym, bool down) {
  Display* display = static_cast<Display*>(x11_display());
  if (!display) return;
  const KeyCode code = XKeysymToKeycode(display, keysym);
  if (code == 0) return;
  XTestFakeKeyEvent(display, code, down ? True : False, CurrentTime);
  XFlush(display);
}

void x11_key_repeat(bool on) {
  Display* display = static_cast<Display*>(x11_display());
  if (!display) return;
  if (on) {
    XAutoRepeatOn(display);
  } else {
    XAutoRepeatOff(display);
  }
  XSync(display, False);
}

uint32_t x11_rgb(int red, int green, int blue) {
  return static_cast<uint32_t>(red) | static_cast<uint32_t>(green) << 8 | static_cast<uint32_t>(blue) << 16;
}

std::vector<uint32_t> x11_read_screen(int x, int y, int width, int height) {
  std::vector<uint32_t> bottom_up(static_cast<size_t>(width) * height);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadBuffer(GL_BACK);
  glReadPixels(x, screen_height() - y - height, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottom_up.data());
  std::vector<uint32_t> top_down(bottom_up.size());
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column) {
      top_down[static_cast<size_t>(row) * width + column] =
          bottom_up[static_cast<size_t>(height - 1 - row) * width + column] & 0xFFFFFF;
    }
  }
  return top_down;
}

uint32_t x11_screen_pixel(int x, int y) { return x11_read_screen(x, y, 1, 1)[0]; }

void x11_clear_screen(int red, int green, int blue) {
  glClearColor(red / 255.0f, green / 255.0f, blue / 255.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

bool x11_pump_until(const std::function<bool()>& done, int timeout_ms, std::vector<int>* events) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done() && Clock::now() < deadline) {
    const int code = window_event();
    if (code > 0 && events) events->push_back(code);
    if (code == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return done();
}

X11FocusThief::X11FocusThief() {
  Display* display = SharedDisplay();
  if (!display) return;
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  window_ = XCreateWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, CopyFromParent, InputOutput,
                          CopyFromParent, CWOverrideRedirect, &attributes);
  XMapRaised(display, window_);
  XSync(display, False);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  XSetInputFocus(display, window_, RevertToParent, CurrentTime);
  XSync(display, False);
}

X11FocusThief::~X11FocusThief() {
  if (!window_) return;
  XDestroyWindow(SharedDisplay(), window_);
  XSync(SharedDisplay(), False);
}

std::string x11_temp_path(const std::string& name) {
  const char* folder = getenv("TMPDIR");
  return std::string(folder && *folder ? folder : "/tmp") + "/cratevale_" + std::to_string(getpid()) + "_" + name;
}

bool x11_open_drawing_screen() {
  image_codecs_init();
  png_decoder_register();
  png_encoder_register();
  const X11Size size = x11_current_mode();
  if (screen_open(size.width, size.height, 32, u"Cratevale", 0) != 1) return false;
  sprite_quality(0);
  x11_clear_screen(0, 255, 0);
  return true;
}

std::string x11_window_title(void* connection, unsigned long window) {
  Display* display = static_cast<Display*>(connection);
  const Atom net_name = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, left = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(display, window, net_name, 0, 1024, False, utf8, &type, &format, &count, &left, &data) ==
          Success &&
      data) {
    title.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
    return title;
  }
  char* name = nullptr;
  if (XFetchName(display, window, &name) && name) {
    title = name;
    XFree(name);
  }
  return title;
}

namespace {

Window FindViewableWindow(Display* display, Window parent, const std::function<bool(unsigned long window)>& wanted) {
  Window root = 0, parent_of = 0, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, parent, &root, &parent_of, &children, &count)) return 0;
  Window found = 0;
  for (unsigned int i = 0; i < count && !found; ++i) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, children[i], &attributes) || attributes.map_state != IsViewable) continue;
    found = wanted(children[i]) ? children[i] : FindViewableWindow(display, children[i], wanted);
  }
  if (children) XFree(children);
  return found;
}

}  // namespace

unsigned long x11_find_viewable_window_if(void* connection, unsigned long parent,
                                          const std::function<bool(unsigned long window)>& wanted) {
  // Other programs' windows come and go while the tree is walked: one gone while it is looked at
  // is passed over instead of ending the test program.
  X11QuietErrors quiet;
  return FindViewableWindow(static_cast<Display*>(connection), parent, wanted);
}

unsigned long x11_find_viewable_window(void* display, unsigned long parent, const std::string& title) {
  return x11_find_viewable_window_if(display, parent,
                                     [&](unsigned long window) { return x11_window_title(display, window) == title; });
}
