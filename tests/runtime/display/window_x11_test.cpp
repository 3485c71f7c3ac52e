// Desktop windows and the windowed screen on the virtual X server: drawing inside the window,
// decorations by flags, focus reaching the screen and the input hooks, the event queue.
#include <gtest/gtest.h>
// Xlib's macros after the test framework, whose names they would clash with.
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/display/input_hooks.h"
#include "runtime/display/screen.h"
#include "runtime/display/toolkit.h"
#include "runtime/display/window.h"
#include "tests/support/x11_display.h"

namespace {

constexpr int kGameWindowed = 105;    // hidden, minimise button, centred
constexpr int kGameBorderless = 193;  // hidden, centred, no decorations

int FocusLostCalls = 0;

class WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(toolkit_init(), 1);
    x11_display();
    ScreenHooks = {};
    FocusLostCalls = 0;
  }
  void TearDown() override {
    screen_close();
    window_close(-1);
    Drain();
    ScreenHooks = {};
  }

  // Opens window 0 and the screen inside it the way the game does.
  void OpenGameWindow(int flags, int width = 320, int height = 200) {
    ASSERT_NE(window_open(0, 0, 0, width, height, u"Cratevale", flags), 0);
    ASSERT_EQ(screen_open_windowed(window_handle(0), 0, 0, width, height, 0, 0, 0, 2), 1);
    window_hide(0, 0);
    window_activate(0);
    Drain(100);
  }

  Window XidOf(int number) { return gdk_x11_window_get_xid(gtk_widget_get_window(GTK_WIDGET(window_handle(number)))); }

  // Takes every pending event; returns the codes.
  std::vector<int> Drain(int settle_ms = 100) {
    std::vector<int> codes;
    x11_pump_until([] { return false; }, settle_ms, &codes);
    return codes;
  }
};

std::vector<long> CardinalProperty(Window window, const char* name) {
  auto* display = static_cast<Display*>(x11_display());
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<long> values;
  if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 64, False, AnyPropertyType, &type,
                         &format, &count, &after, &data) == Success && data && format == 32) {
    const long* items = reinterpret_cast<const long*>(data);
    values.assign(items, items + count);
  }
  if (data) XFree(data);
  return values;
}

bool HasAtom(const std::vector<long>& atoms, const char* name) {
  const Atom atom = XInternAtom(static_cast<Display*>(x11_display()), name, False);
  return std::find(atoms.begin(), atoms.end(), static_cast<long>(atom)) != atoms.end();
}

TEST_F(WindowTest, WindowedScreenDrawsAtItsSize) {
  OpenGameWindow(kGameWindowed);
  EXPECT_EQ(screen_is_open(), 1);
  EXPECT_EQ(screen_width(), 320);
  EXPECT_EQ(screen_height(), 200);
  x11_clear_screen(10, 200, 30);
  EXPECT_EQ(x11_screen_pixel(0, 0), x11_rgb(10, 200, 30));
  EXPECT_EQ(x11_screen_pixel(319, 199), x11_rgb(10, 200, 30));
  screen_flip();
  // The host window outlives the screen.
  screen_close();
  EXPECT_EQ(screen_is_open(), 0);
  EXPECT_NE(window_handle(0), nullptr);
  // A second windowed screen in the same window works like the first.
  ASSERT_EQ(screen_open_windowed(window_handle(0), 0, 0, 320, 200, 0, 0, 0, 2), 1);
  x11_clear_screen(1, 2, 3);
  EXPECT_EQ(x11_screen_pixel(5, 5), x11_rgb(1, 2, 3));
}

TEST_F(WindowTest, ClosingTheHostWindowClosesTheScreenInIt) {
  OpenGameWindow(kGameWindowed);
  window_close(0);
  EXPECT_EQ(screen_is_open(), 0);
  EXPECT_EQ(screen_flip(), 1);
  screen_close();
  // The next screen opens as usual.
  OpenGameWindow(kGameBorderless);
  x11_clear_screen(9, 9, 9);
  EXPECT_EQ(x11_screen_pixel(1, 1), x11_rgb(9, 9, 9));
}

TEST_F(WindowTest, DecorationsAndActionsFollowTheFlags) {
  X11WindowManager manager;
  ASSERT_TRUE(manager.running());
  struct Case {
    int flags;
    bool title_bar;
  };
  for (const Case& c : {Case{kGameWindowed, true}, Case{kGameBorderless, false}}) {
    SCOPED_TRACE(c.flags);
    OpenGameWindow(c.flags);
    const Window xid = XidOf(0);
    ASSERT_TRUE(x11_pump_until([&] { return CardinalProperty(xid, "_NET_FRAME_EXTENTS").size() == 4; }, 3000));
    const std::vector<long> extents = CardinalProperty(xid, "_NET_FRAME_EXTENTS");
    EXPECT_EQ(extents[2] > 0, c.title_bar);  // top
    const std::vector<long> actions = CardinalProperty(xid, "_NET_WM_ALLOWED_ACTIONS");
    if (c.title_bar) {
      EXPECT_TRUE(HasAtom(actions, "_NET_WM_ACTION_MINIMIZE"));
    }
    EXPECT_TRUE(HasAtom(actions, "_NET_WM_ACTION_CLOSE"));
    EXPECT_FALSE(HasAtom(actions, "_NET_WM_ACTION_MAXIMIZE_HORZ"));
    EXPECT_FALSE(HasAtom(actions, "_NET_WM_ACTION_RESIZE"));
    // Centred on the desktop (the root window), whatever size the X server gave it.
    const int desktop_width = gdk_window_get_width(gdk_screen_get_root_window(gtk_window_get_screen(window_handle(0))));
    ASSERT_GT(desktop_width, 320);
    int x = 0, y = 0;
    gtk_window_get_position(window_handle(0), &x, &y);
    EXPECT_NEAR(x, (desktop_width - 320) / 2, 12);
    screen_close();
    window_close(0);
    Drain(50);
  }
}

TEST_F(WindowTest, MinimiseAndRestoreAreReported) {
  X11WindowManager manager;
  ASSERT_TRUE(manager.running());
  OpenGameWindow(kGameWindowed);
  std::vector<int> codes;
  window_set_state(0, kWindowStateMinimized);
  EXPECT_TRUE(x11_pump_until([&] { return std::count(codes.begin(), codes.end(), kEventMinimized) > 0; }, 3000, &codes));
  codes.clear();
  window_set_state(0, 0);
  EXPECT_TRUE(x11_pump_until([&] { return std::count(codes.begin(), codes.end(), kEventRestored) > 0; }, 3000, &codes));
}

TEST_F(WindowTest, AMaximisedWindowComingBackFromTheTaskbarIsReportedMaximised) {
  X11WindowManager manager;
  ASSERT_TRUE(manager.running());
  ASSERT_NE(window_open(1, 0, 0, 320, 200, u"Cratevale", kWindowMaximizeButton | kWindowMinimizeButton), 0);
  auto seen = [](std::vector<int>& codes, int code) {
    return x11_pump_until([&] { return std::count(codes.begin(), codes.end(), code) > 0; }, 3000, &codes);
  };
  std::vector<int> codes;
  window_set_state(1, kWindowStateMaximized);
  ASSERT_TRUE(seen(codes, kEventMaximized));
  codes.clear();
  window_set_state(1, kWindowStateMinimized);
  ASSERT_TRUE(seen(codes, kEventMinimized));
  codes.clear();
  gtk_window_deiconify(window_handle(1));
  EXPECT_TRUE(seen(codes, kEventMaximized));
  EXPECT_EQ(std::count(codes.begin(), codes.end(), kEventRestored), 0);
}

TEST_F(WindowTest, FocusOutForgetsHeldKeysAndDeactivatesTheScreen) {
  ScreenHooks.focus_lost_hook = [] { ++FocusLostCalls; };
  OpenGameWindow(kGameWindowed);
  ASSERT_TRUE(gtk_window_has_toplevel_focus(window_handle(0)));
  EXPECT_EQ(screen_is_active(), 1);
  std::vector<int> codes;
  {
    X11FocusThief thief;
    ASSERT_TRUE(x11_pump_until([&] { return std::count(codes.begin(), codes.end(), kEventDeactivated) > 0; }, 3000, &codes));
    EXPECT_GE(FocusLostCalls, 1);
    EXPECT_EQ(screen_is_active(), 0);
  }
  const int calls = FocusLostCalls;
  codes.clear();
  window_activate(0);
  ASSERT_TRUE(x11_pump_until([&] { return std::count(codes.begin(), codes.end(), kEventActivated) > 0; }, 3000, &codes));
  EXPECT_EQ(screen_is_active(), 1);
  EXPECT_EQ(FocusLostCalls, calls);
}

TEST_F(WindowTest, KeysReachTheKeyHookAndStopThere) {
  static std::vector<std::pair<KeyEventType, unsigned long>> keys;
  keys.clear();
  ScreenHooks.key_hook = [](KeyEventType type, unsigned long keysym) { keys.emplace_back(type, keysym); };
  OpenGameWindow(kGameWindowed);
  // A handler connected after the screen's sees no key: the screen's handler ends the emission.
  static int later_handler_calls = 0;
  later_handler_calls = 0;
  g_signal_connect(window_handle(0), "key-press-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer) -> gboolean {
                     ++later_handler_calls;
                     return FALSE;
                   }),
                   nullptr);
  auto* display = static_cast<Display*>(x11_display());
  XSetInputFocus(display, XidOf(0), RevertToParent, CurrentTime);
  XSync(display, False);
  Drain();
  GdkEvent* press = gdk_event_new(GDK_KEY_PRESS);
  press->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(window_handle(0)))));
  press->key.keyval = GDK_KEY_Left;
  gdk_event_set_device(press, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
  gtk_main_do_event(press);
  press->key.type = GDK_KEY_RELEASE;
  gtk_main_do_event(press);
  gdk_event_free(press);
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0], std::make_pair(kKeyPressed, static_cast<unsigned long>(GDK_KEY_Left)));
  EXPECT_EQ(keys[1], std::make_pair(kKeyReleased, static_cast<unsigned long>(GDK_KEY_Left)));
  EXPECT_EQ(later_handler_calls, 0);
}

TEST_F(WindowTest, RepaintsQueuedBackToBackAreReturnedOnce) {
  OpenGameWindow(kGameWindowed);
  Drain(300);
  GtkWidget* content = gtk_bin_get_child(GTK_BIN(window_handle(0)));
  ASSERT_NE(content, nullptr);
  // Two repaints reach the queue before the game looks at it.
  for (int i = 0; i < 2; ++i) {
    gdk_window_invalidate_rect(gtk_widget_get_window(content), nullptr, TRUE);
    const auto until = g_get_monotonic_time() + 200000;
    while (g_get_monotonic_time() < until) {
      if (gtk_events_pending()) gtk_main_iteration_do(FALSE);
    }
  }
  const std::vector<int> codes = Drain();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), kEventRepaint), 1);
}

TEST_F(WindowTest, CloseRequestIsReportedAndKeepsTheWindow) {
  OpenGameWindow(kGameWindowed);
  Drain();
  auto* display = static_cast<Display*>(x11_display());
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = XidOf(0);
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, XidOf(0), False, NoEventMask, &event);
  XSync(display, False);
  std::vector<int> codes;
  ASSERT_TRUE(x11_pump_until([&] { return std::count(codes.begin(), codes.end(), kEventCloseRequest) > 0; }, 3000, &codes));
  ASSERT_NE(window_handle(0), nullptr);
  EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(window_handle(0))));
}

TEST_F(WindowTest, EventQueueEmptiesOnlyWhenTheToolkitIsIdleAndClosingDropsEvents) {
  OpenGameWindow(kGameWindowed);
  int code = 0;
  while ((code = window_event()) != kEventNone) {
  }
  EXPECT_FALSE(gtk_events_pending());
  // Events of a window that is closed are never delivered.
  window_hide(0, 1);
  window_hide(0, 0);
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
  screen_close();
  window_close(0);
  EXPECT_EQ(window_handle(0), nullptr);
  while ((code = window_event()) == kEventCallAgain) {
  }
  EXPECT_EQ(code, kEventNone);
}

TEST_F(WindowTest, DesktopReportsTheDisplayAndZeroOutOfRange) {
  const X11Size display = x11_current_mode();
  ASSERT_EQ(desktop_examine(), 1);
  EXPECT_EQ(desktop_width(0), display.width);
  EXPECT_EQ(desktop_height(0), display.height);
  EXPECT_EQ(desktop_width(1), 0);
  EXPECT_EQ(desktop_height(-1), 0);
}

// Makes the display's one output a monitor that covers only part of the screen, from x to
// x + width, for the length of a test. (The virtual server has a single output, and the toolkit
// lists only monitors that have one, so a second monitor cannot be shown to it; a monitor away
// from the screen's left edge still tells centring on the monitor from centring on the screen.)
// The toolkit reads the monitors when it starts: the tests run in a process started after.
class PartMonitor {
 public:
  PartMonitor(int x, int width) {
    auto* display = static_cast<Display*>(x11_display());
    const Window root = DefaultRootWindow(display);
    XRRScreenResources* resources = XRRGetScreenResources(display, root);
    RROutput output = 0;
    for (int i = 0; i < resources->noutput && !output; ++i) {
      XRROutputInfo* info = XRRGetOutputInfo(display, resources, resources->outputs[i]);
      if (info && info->crtc) output = resources->outputs[i];
      if (info) XRRFreeOutputInfo(info);
    }
    XRRFreeScreenResources(resources);
    const X11Size size = x11_current_mode();
    XRRMonitorInfo monitor{};
    monitor.name = name_ = XInternAtom(display, "CRATEVALE_PART", False);
    monitor.primary = True;
    monitor.x = x;
    monitor.width = width;
    monitor.height = size.height;
    monitor.mwidth = width / 4;
    monitor.mheight = size.height / 4;
    monitor.noutput = 1;
    monitor.outputs = &output;
    if (output) XRRSetMonitor(display, root, &monitor);
    XSync(display, False);
  }
  ~PartMonitor() {
    auto* display = static_cast<Display*>(x11_display());
    XRRDeleteMonitor(display, DefaultRootWindow(display), name_);
    XSync(display, False);
  }
  PartMonitor(const PartMonitor&) = delete;
  PartMonitor& operator=(const PartMonitor&) = delete;

 private:
  Atom name_ = 0;
};

// Some tests need a toolkit started afresh under settings of their own: they run in a new process
// of this program (with CRATEVALE_FRESH_PROCESS set) and are skipped anywhere else.
bool InFreshProcess() { return std::getenv("CRATEVALE_FRESH_PROCESS") != nullptr; }

// Runs the tests the filter names in a new process of this program with extra environment
// settings; true when they all pass.
bool RunInFreshProcess(const std::string& filter, const std::vector<std::string>& settings) {
  std::vector<std::string> environment = settings;
  environment.push_back("CRATEVALE_FRESH_PROCESS=1");
  for (char** entry = environ; *entry; ++entry) environment.push_back(*entry);
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string program = "/proc/self/exe", filter_argument = "--gtest_filter=" + filter;
  char* argv[] = {program.data(), filter_argument.data(), nullptr};
  pid_t child = 0;
  if (posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argv, envp.data()) != 0) return false;
  int status = 0;
  if (waitpid(child, &status, 0) != child) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// On a desktop scaled to 200 % the game still sizes everything in device pixels: the monitor
// is its full resolution, and a 640 x 360 windowed screen is a 640 x 360 picture that fills its
// window, not one that covers its top-left quarter.
TEST(FreshToolkit, ScaledDesktopKeepsDevicePixels) {
  if (!InFreshProcess()) GTEST_SKIP() << "runs in a process of its own";
  ASSERT_EQ(toolkit_init(), 1);
  const X11Size size = x11_current_mode();
  ASSERT_GE(desktop_examine(), 1);
  EXPECT_EQ(desktop_width(0), size.width);
  EXPECT_EQ(desktop_height(0), size.height);
  ASSERT_NE(window_open(0, 0, 0, 640, 360, u"Cratevale", kGameWindowed), 0);
  ASSERT_EQ(screen_open_windowed(window_handle(0), 0, 0, 640, 360, 0, 0, 0, 2), 1);
  window_hide(0, 0);
  window_activate(0);
  x11_pump_until([] { return false; }, 300);
  // The drawable the picture goes to.
  Window root = 0;
  int x = 0, y = 0;
  unsigned width = 0, height = 0, border = 0, depth = 0;
  ASSERT_TRUE(XGetGeometry(glXGetCurrentDisplay(), glXGetCurrentDrawable(), &root, &x, &y, &width, &height, &border,
                           &depth));
  EXPECT_EQ(width, 640u);
  EXPECT_EQ(height, 360u);
  // Green everywhere, then red over the whole screen as the game draws it.
  x11_clear_screen(0, 255, 0);
  glDisable(GL_TEXTURE_RECTANGLE_ARB);
  glColor3ub(255, 0, 0);
  glBegin(GL_QUADS);
  glVertex2i(0, 0);
  glVertex2i(640, 0);
  glVertex2i(640, 360);
  glVertex2i(0, 360);
  glEnd();
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, static_cast<int>(width), static_cast<int>(height), GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  const auto red = std::count_if(pixels.begin(), pixels.end(), [](uint32_t p) { return (p & 0xFFFFFF) == x11_rgb(255, 0, 0); });
  EXPECT_EQ(static_cast<size_t>(red), pixels.size());
  screen_close();
  window_close(-1);
}

TEST(FreshToolkit, WindowsAreCentredOnTheMonitorNotOnTheWholeScreen) {
  if (!InFreshProcess()) GTEST_SKIP() << "runs in a process of its own";
  ASSERT_EQ(toolkit_init(), 1);
  const X11Size size = x11_current_mode();
  ASSERT_EQ(desktop_examine(), 1);
  ASSERT_EQ(desktop_width(0), 640) << "the toolkit does not see the monitor";
  EXPECT_EQ(desktop_height(0), size.height);
  for (int flags : {kGameWindowed, kGameBorderless}) {
    SCOPED_TRACE(flags);
    ASSERT_NE(window_open(0, 0, 0, 320, 200, u"Cratevale", flags), 0);
    int x = 0, y = 0;
    gtk_window_get_position(window_handle(0), &x, &y);
    EXPECT_EQ(x, 1280 + (640 - 320) / 2);
    EXPECT_EQ(y, (size.height - 200) / 2);
    window_close(0);
  }
}

TEST(PartOfTheScreenMonitor, WindowsAreCentredOnIt) {
  PartMonitor monitor(1280, 640);
  EXPECT_TRUE(RunInFreshProcess("FreshToolkit.WindowsAreCentredOnTheMonitorNotOnTheWholeScreen", {}));
}

TEST(ScaledDesktop, TheGameKeepsDevicePixels) {
  EXPECT_TRUE(RunInFreshProcess("FreshToolkit.ScaledDesktopKeepsDevicePixels", {"GDK_SCALE=2"}));
}

// The toolkit runs on X11 whatever backend the environment asks for: the screen needs it.
TEST(FreshToolkit, ToolkitRunsOnX11WhateverTheEnvironmentAsks) {
  if (!InFreshProcess()) GTEST_SKIP() << "runs in a process of its own";
  ASSERT_EQ(toolkit_init(), 1);
  EXPECT_TRUE(GDK_IS_X11_DISPLAY(gdk_display_get_default()));
  EXPECT_STREQ(toolkit_x_display_name(), gdk_display_get_name(gdk_display_get_default()));
  ASSERT_NE(window_open(0, 0, 0, 320, 200, u"Cratevale", kGameWindowed), 0);
  EXPECT_EQ(screen_open_windowed(window_handle(0), 0, 0, 320, 200, 0, 0, 0, 2), 1);
  screen_close();
  window_close(-1);
}

TEST(ForcedBackend, TheToolkitStaysOnX11) {
  EXPECT_TRUE(RunInFreshProcess("FreshToolkit.ToolkitRunsOnX11WhateverTheEnvironmentAsks", {"GDK_BACKEND=wayland"}));
}

}  // namespace
