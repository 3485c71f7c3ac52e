// The keyboard service fed by real key events on the virtual X server, sent through XTest: in the
// full-screen form (X events pumped by keyboard_examine) and in a GTK window (key signals
// delivered while the window's events are handled).
#include <gtest/gtest.h>
// Xlib's macros after the test framework, whose names they would clash with.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <unistd.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "runtime/display/input_hooks.h"
#include "runtime/display/keyboard.h"
#include "runtime/display/screen.h"
#include "runtime/display/toolkit.h"
#include "runtime/display/window.h"
#include "tests/support/x11_display.h"

namespace {

constexpr int kWindowedFlags = 105;  // invisible until shown, minimise button, centred

Display* TestDisplay() { return static_cast<Display*>(x11_display()); }

void SendKey(KeySym symbol, bool press) {
  XTestFakeKeyEvent(TestDisplay(), XKeysymToKeycode(TestDisplay(), symbol), press ? True : False, 0);
  XSync(TestDisplay(), False);
}

// The two forms differ only in how key events reach the keyboard service: the game examines the
// keyboard in both, and handles the window's events in the windowed form.
class KeyboardX11Test : public testing::TestWithParam<bool> {
 protected:
  bool windowed() const { return GetParam(); }

  void SetUp() override {
    ASSERT_NE(TestDisplay(), nullptr);
    ScreenHooks = {};
    ASSERT_EQ(keyboard_init(), 1);
    for (int code = 0; code < kKeyCodeCount; ++code) key_released(code);
    if (windowed()) {
      // A window takes the focus through the window manager.
      window_manager_.emplace();
      ASSERT_TRUE(window_manager_->running());
      ASSERT_EQ(toolkit_init(), 1);
      ASSERT_NE(window_open(0, 0, 0, 320, 240, u"Cratevale", kWindowedFlags), 0);
      ASSERT_EQ(screen_open_windowed(window_handle(0), 0, 0, 320, 240, 0, 0, 0, 0), 1);
      window_hide(0, 0);
      window_activate(0);
      ASSERT_TRUE(x11_pump_until([] { return screen_is_active() == 1; }, 5000));
    } else {
      // A window of an earlier test may have left the focus nowhere: the full-screen window takes
      // it back by itself.
      XSetInputFocus(TestDisplay(), None, RevertToNone, CurrentTime);
      XSync(TestDisplay(), False);
      const X11Size desktop = x11_current_mode();
      ASSERT_EQ(screen_open(desktop.width, desktop.height, 32, u"Cratevale", 0), 1);
    }
    // Key events reach the screen once its window is up: wait for a first key to arrive.
    SendKey(XK_F1, true);
    ASSERT_TRUE(ExamineUntil([] { return key_down(kKeyF1) == 1; }));
    SendKey(XK_F1, false);
    ASSERT_TRUE(ExamineUntil([] { return key_down(kKeyF1) == 0; }));
    key_released(kKeyF1);
  }

  void TearDown() override {
    for (KeySym symbol : {XK_Shift_L, XK_s, XK_Escape, XK_Left, XK_Down, XK_m}) SendKey(symbol, false);
    Examine();
    screen_close();
    if (windowed()) window_close(0);
    keyboard_shutdown();
  }

  // One frame of the game's input handling: the window's events, then the keyboard.
  void Examine() {
    if (windowed()) {
      x11_pump_until([] { return false; }, 20);
    } else {
      usleep(20000);
    }
    keyboard_examine();
  }

  // Examines until `done` holds, as the game's frames would; true if it did within two seconds.
  bool ExamineUntil(const std::function<bool()>& done) {
    for (int frame = 0; frame < 100; ++frame) {
      Examine();
      if (done()) return true;
    }
    return false;
  }

  std::optional<X11WindowManager> window_manager_;
};

TEST_P(KeyboardX11Test, ShiftAndSGiveTheLowerCaseCode) {
  SendKey(XK_Shift_L, true);
  SendKey(XK_s, true);
  ASSERT_TRUE(ExamineUntil([] { return key_down(115) == 1; }));
  EXPECT_EQ(key_down(kKeyLeftShift), 1);
  EXPECT_EQ(key_down(83), 0);
  SendKey(XK_s, false);
  SendKey(XK_Shift_L, false);
  EXPECT_TRUE(ExamineUntil([] { return key_down(kAnyKey) == 0; }));
}

// What the game sees of a key in one frame: 'H' held, 'R' released (reported once), '.' neither.
char Seen(int code) {
  const bool held = key_down(code) == 1;
  const bool released = key_released(code) == 1;
  return held ? 'H' : released ? 'R' : '.';
}

TEST_P(KeyboardX11Test, TapsBetweenTwoPollsAreEachSeenHeldOnceThenReleasedOnce) {
  // Escape tapped once and Down twice, then M pressed and held, all before the next poll: one
  // after another, in that order.
  Display* display = TestDisplay();
  const auto fake = [&](KeySym symbol, bool press) {
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, symbol), press ? True : False, 0);
  };
  fake(XK_Escape, true);
  fake(XK_Escape, false);
  for (int tap = 0; tap < 2; ++tap) {
    fake(XK_Down, true);
    fake(XK_Down, false);
  }
  fake(XK_m, true);
  XSync(display, False);
  // Per frame: Escape, Down and M as seen, from the first frame that sees any of them.
  std::vector<std::string> frames;
  for (int frame = 0; frame < 100 && frames.size() < 8; ++frame) {
    Examine();
    const std::string seen = {Seen(kKeyEscape), Seen(kKeyDown), Seen('m')};
    if (!frames.empty() || seen != "...") frames.push_back(seen);
  }
  SendKey(XK_m, false);
  EXPECT_EQ(frames, (std::vector<std::string>{"H..", "R..", ".H.", ".R.", ".H.", ".R.", "..H", "..H"}));
}

TEST_P(KeyboardX11Test, PollWhileHeldThenReleaseReportsExactlyOneRelease) {
  SendKey(XK_Escape, true);
  ASSERT_TRUE(ExamineUntil([] { return key_down(kKeyEscape) == 1; }));
  EXPECT_EQ(key_released(kKeyEscape), 0);
  SendKey(XK_Escape, false);
  int releases = 0;
  for (int frame = 0; frame < 10; ++frame) {
    Examine();
    releases += key_released(kKeyEscape);
  }
  EXPECT_EQ(releases, 1);
}

// Held past the keyboard's repeat delay, a key stays held in every frame and is released once:
// the repeat never reads as the player letting go.
TEST_P(KeyboardX11Test, AKeyHeldThroughItsRepeatIsOneHoldAndOneRelease) {
  SendKey(XK_Down, true);
  ASSERT_TRUE(ExamineUntil([] { return key_down(kKeyDown) == 1; }));
  std::string seen;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1200);
  while (std::chrono::steady_clock::now() < end) {
    Examine();
    seen += Seen(kKeyDown);
  }
  SendKey(XK_Down, false);
  for (int frame = 0; frame < 10; ++frame) {
    Examine();
    seen += Seen(kKeyDown);
  }
  const size_t release = seen.find('R');
  ASSERT_NE(release, std::string::npos) << seen;
  EXPECT_EQ(seen.substr(0, release), std::string(release, 'H')) << seen;
  EXPECT_EQ(seen.substr(release + 1), std::string(seen.size() - release - 1, '.')) << seen;
}

TEST_P(KeyboardX11Test, KeysStillArriveAfterAnotherClientTookTheFocus) {
  if (windowed()) GTEST_SKIP() << "a window gets its focus from the window manager";
  XSetInputFocus(TestDisplay(), None, RevertToNone, CurrentTime);
  XSync(TestDisplay(), False);
  Examine();  // the examination takes the focus back before the key is sent
  SendKey(XK_Left, true);
  EXPECT_TRUE(ExamineUntil([] { return key_down(kKeyLeft) == 1; }));
  SendKey(XK_Left, false);
}

INSTANTIATE_TEST_SUITE_P(Forms, KeyboardX11Test, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "Windowed" : "FullScreen";
                         });

TEST(KeyboardWindowX11, FocusLossClearsAHeldArrowKey) {
  X11WindowManager window_manager;
  ASSERT_TRUE(window_manager.running());
  ASSERT_EQ(toolkit_init(), 1);
  ScreenHooks = {};
  ASSERT_EQ(keyboard_init(), 1);
  key_released(kKeyLeft);
  ASSERT_NE(window_open(0, 0, 0, 320, 240, u"Cratevale", kWindowedFlags), 0);
  ASSERT_EQ(screen_open_windowed(window_handle(0), 0, 0, 320, 240, 0, 0, 0, 0), 1);
  window_hide(0, 0);
  window_activate(0);
  ASSERT_TRUE(x11_pump_until([] { return screen_is_active() == 1; }, 5000));

  SendKey(XK_Left, true);
  ASSERT_TRUE(x11_pump_until([] { return keyboard_examine() && key_down(kKeyLeft) == 1; }, 2000));
  EXPECT_EQ(key_released(kKeyLeft), 0);
  {
    X11FocusThief thief;
    EXPECT_TRUE(x11_pump_until([] { return screen_is_active() == 0; }, 2000));
    EXPECT_EQ(key_down(kKeyLeft), 0);
    EXPECT_EQ(key_released(kKeyLeft), 1);
    EXPECT_EQ(key_released(kKeyLeft), 0);
    SendKey(XK_Left, false);
  }
  screen_close();
  window_close(0);
  keyboard_shutdown();
}

}  // namespace
