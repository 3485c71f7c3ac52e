// The full-screen form of the screen on the virtual X server: mode switching and restoring,
// pixels reaching the back buffer, X input handed to the hooks, and the frame limiter.
#include <gtest/gtest.h>
// Xlib's macros after the test framework, whose names they would clash with.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <chrono>
#include <vector>

#include "runtime/display/input_hooks.h"
#include "runtime/display/screen.h"
#include "tests/support/x11_display.h"

namespace {

struct Recorded {
  int type;
  unsigned long value;
};
std::vector<Recorded> KeysSeen;
std::vector<Recorded> ButtonsSeen;

class ScreenFullTest : public testing::Test {
 protected:
  void SetUp() override {
    ScreenHooks = {};
    KeysSeen.clear();
    ButtonsSeen.clear();
    desktop_ = x11_current_mode();
    ASSERT_GT(desktop_.width, 0);
  }
  void TearDown() override {
    screen_set_frame_rate(0);
    screen_close();
    ScreenHooks = {};
  }
  X11Size desktop_;
};

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

TEST_F(ScreenFullTest, OpensAtDesktopSizeAndDrawsIntoTheBackBuffer) {
  ASSERT_EQ(screen_open(desktop_.width, desktop_.height, 32, u"Cratevale", 2), 1);
  EXPECT_EQ(screen_is_active(), 1);
  EXPECT_EQ(screen_width(), desktop_.width);
  EXPECT_EQ(screen_height(), desktop_.height);
  x11_clear_screen(200, 40, 10);
  EXPECT_EQ(x11_screen_pixel(0, 0), x11_rgb(200, 40, 10));
  EXPECT_EQ(x11_screen_pixel(desktop_.width - 1, desktop_.height - 1), x11_rgb(200, 40, 10));
  EXPECT_EQ(screen_flip(), 1);
  screen_close();
  EXPECT_EQ(screen_is_open(), 0);
  EXPECT_EQ(screen_is_active(), 0);
  screen_close();  // closing twice is harmless
}

TEST_F(ScreenFullTest, SizeWithoutAModeFailsAndLeavesTheDesktopAlone) {
  EXPECT_EQ(screen_open(1000, 700, 32, u"Cratevale", 2), 0);
  EXPECT_EQ(screen_is_open(), 0);
  const X11Size now = x11_current_mode();
  EXPECT_EQ(now.width, desktop_.width);
  EXPECT_EQ(now.height, desktop_.height);
  // A failed opening leaves nothing behind that would stop the next one.
  EXPECT_EQ(screen_open(desktop_.width, desktop_.height, 32, u"Cratevale", 2), 1);
}

TEST_F(ScreenFullTest, SwitchesToTheExactModeAndRestoresItOnClose) {
  X11VideoMode mode(1024, 576);
  ASSERT_TRUE(mode.added());
  ASSERT_EQ(screen_open(1024, 576, 32, u"Cratevale", 2), 1);
  X11Size now = x11_current_mode();
  EXPECT_EQ(now.width, 1024);
  EXPECT_EQ(now.height, 576);
  x11_clear_screen(0, 0, 255);
  EXPECT_EQ(x11_screen_pixel(1023, 575), x11_rgb(0, 0, 255));
  screen_close();
  now = x11_current_mode();
  EXPECT_EQ(now.width, desktop_.width);
  EXPECT_EQ(now.height, desktop_.height);
}

TEST_F(ScreenFullTest, ACurrentModeOfTheSizeIsKeptWhateverItsRefresh) {
  X11VideoMode listed_first(1024, 576, 60);
  X11VideoMode shown(1024, 576, 75);
  ASSERT_TRUE(listed_first.added());
  ASSERT_TRUE(shown.added());
  ASSERT_TRUE(shown.Show());
  ASSERT_EQ(x11_current_mode_id(), shown.id());
  ASSERT_EQ(screen_open(1024, 576, 32, u"Cratevale", 2), 1);
  EXPECT_EQ(x11_current_mode_id(), shown.id());
  screen_close();
  EXPECT_EQ(x11_current_mode_id(), shown.id());
}

TEST_F(ScreenFullTest, KeyAndButtonEventsReachTheHooksAtFlip) {
  ScreenHooks.key_hook = [](KeyEventType type, unsigned long keysym) { KeysSeen.push_back({type, keysym}); };
  ScreenHooks.mouse_hook = [](int, int, int button, int pressed) {
    if (button >= 0) ButtonsSeen.push_back({pressed, static_cast<unsigned long>(button)});
  };
  ASSERT_EQ(screen_open(desktop_.width, desktop_.height, 32, u"Cratevale", 0), 1);
  auto* display = static_cast<Display*>(x11_display());
  const KeyCode key = XKeysymToKeycode(display, XK_a);
  XTestFakeKeyEvent(display, key, True, 0);
  XTestFakeKeyEvent(display, key, False, 0);
  XTestFakeButtonEvent(display, 1, True, 0);
  XTestFakeButtonEvent(display, 1, False, 0);
  XSync(display, False);
  for (int i = 0; i < 50 && (KeysSeen.size() < 2 || ButtonsSeen.size() < 2); ++i) screen_flip();
  ASSERT_EQ(KeysSeen.size(), 2u);
  EXPECT_EQ(KeysSeen[0].type, kKeyPressed);
  EXPECT_EQ(KeysSeen[0].value, static_cast<unsigned long>(XK_a));
  EXPECT_EQ(KeysSeen[1].type, kKeyReleased);
  ASSERT_EQ(ButtonsSeen.size(), 2u);
  EXPECT_EQ(ButtonsSeen[0].type, 1);
  EXPECT_EQ(ButtonsSeen[0].value, 1u);
  EXPECT_EQ(ButtonsSeen[1].type, 0);
}

TEST_F(ScreenFullTest, FullScreenTakesTheKeyboardFromTheWindowThatHadIt) {
  ScreenHooks.key_hook = [](KeyEventType type, unsigned long keysym) { KeysSeen.push_back({type, keysym}); };
  X11FocusThief thief;
  ASSERT_EQ(screen_open(desktop_.width, desktop_.height, 32, u"Cratevale", 0), 1);
  auto* display = static_cast<Display*>(x11_display());
  XTestFakeKeyEvent(display, XKeysymToKeycode(display, XK_c), True, 0);
  XTestFakeKeyEvent(display, XKeysymToKeycode(display, XK_c), False, 0);
  XSync(display, False);
  for (int i = 0; i < 50 && KeysSeen.size() < 2; ++i) screen_flip();
  ASSERT_EQ(KeysSeen.size(), 2u);
  EXPECT_EQ(KeysSeen[0].value, static_cast<unsigned long>(XK_c));
}

TEST_F(ScreenFullTest, EventsWithoutHooksAreDropped) {
  ASSERT_EQ(screen_open(desktop_.width, desktop_.height, 32, u"Cratevale", 0), 1);
  auto* display = static_cast<Display*>(x11_display());
  XTestFakeKeyEvent(display, XKeysymToKeycode(display, XK_b), True, 0);
  XTestFakeKeyEvent(display, XKeysymToKeycode(display, XK_b), False, 0);
  XSync(display, False);
  for (int i = 0; i < 5; ++i) screen_flip();
  screen_pump_events();
  EXPECT_EQ(screen_is_open(), 1);
  // They are gone, not kept for a hook installed later.
  ScreenHooks.key_hook = [](KeyEventType type, unsigned long keysym) { KeysSeen.push_back({type, keysym}); };
  for (int i = 0; i < 5; ++i) screen_flip();
  EXPECT_TRUE(KeysSeen.empty());
}

int64_t NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Lower bounds only: a busy machine may make any flip late, never early.
TEST_F(ScreenFullTest, LimitedFlipsKeepToTheRate) {
  X11VideoMode mode(320, 240);
  ASSERT_EQ(screen_open(320, 240, 32, u"Cratevale", 0), 1);
  // At most 60 flips a second, counted from the moment the rate is set; and no more than that
  // over a run either: the deadlines are 1/60 s apart, not a whole number of milliseconds.
  const int64_t start = NowUs();
  screen_set_frame_rate(60);
  for (int i = 0; i < 31; ++i) screen_flip();
  EXPECT_GE(NowUs() - start, 31 * 1000000 / 60);
  // A negative rate keeps the limiter at its pace.
  screen_set_frame_rate(-1);
  int64_t previous = NowUs();
  screen_flip();
  screen_flip();
  EXPECT_GE(NowUs() - previous, 16000);
  // A frame that ran late is not made up for by hurrying the next ones: the frames after it
  // keep whole intervals again. (Counted over three of them: on a busy machine one flip may wake
  // late, and the next then comes that much sooner, keeping to the pace.)
  usleep(100000);
  screen_flip();
  previous = NowUs();
  for (int i = 0; i < 3; ++i) screen_flip();
  EXPECT_GE(NowUs() - previous, 3 * 1000000 / 60 - 1000);
  // Without a rate, flips follow one another as fast as they are made.
  screen_set_frame_rate(0);
  screen_flip();
  const int64_t unlimited = NowMs();
  for (int i = 0; i < 5; ++i) screen_flip();
  EXPECT_LT(NowMs() - unlimited, 5 * 16);
  screen_close();
}

}  // namespace
