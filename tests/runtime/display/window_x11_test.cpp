// Desktop windows and the windowed screen on the virtual X server: drawing inside the window,
// decorations by flags, focus reaching the screen and the input hooks, the event queue.
#include <gtest/gtest.h>
// Xlib's macros after the test framework, whose names they would clash with.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <algorithm>
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

}  // namespace
