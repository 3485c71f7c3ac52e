// The keyboard service fed through the screen's hooks, as the screen's event pumping does.
#include "runtime/display/keyboard.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <string>

#include "runtime/display/input_hooks.h"

namespace {

void Press(unsigned long symbol) { ScreenHooks.key_hook(kKeyPressed, symbol); }
void Release(unsigned long symbol) { ScreenHooks.key_hook(kKeyReleased, symbol); }

class KeyboardTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(keyboard_init(), 1);
    // Releases latched by earlier tests are reported and forgotten.
    keyboard_examine();
    for (int code = 0; code < kKeyCodeCount; ++code) key_released(code);
  }
  void TearDown() override { keyboard_shutdown(); }
};

TEST(KeyCodes, SymbolsMapToTheGamesCodes) {
  const struct {
    unsigned long symbol;
    int code;
  } cases[] = {
      {XK_space, 32},        {XK_exclam, 33},      {XK_asciitilde, 126}, {XK_A, 97},
      {XK_Z, 122},           {XK_a, 97},           {XK_S, 115},          {XK_1, 49},
      {XK_BackSpace, 8},     {XK_Return, 13},      {XK_Pause, 19},       {XK_Escape, 27},
      {XK_Delete, 127},      {XK_KP_Insert, 256},  {XK_KP_End, 257},     {XK_KP_Begin, 261},
      {XK_KP_Prior, 265},    {XK_KP_Delete, 266},  {XK_KP_Divide, 267},  {XK_KP_Multiply, 268},
      {XK_KP_Subtract, 269}, {XK_KP_Add, 270},     {XK_KP_Enter, 271},   {XK_Up, 273},
      {XK_Down, 274},        {XK_Right, 275},      {XK_Left, 276},       {XK_Insert, 277},
      {XK_Home, 278},        {XK_End, 279},        {XK_Prior, 280},      {XK_Next, 281},
      {XK_F1, 282},          {XK_F12, 293},        {XK_Num_Lock, 300},   {XK_Shift_R, 303},
      {XK_Shift_L, 304},     {XK_Control_R, 305},  {XK_Control_L, 306},  {XK_Alt_R, 307},
      {XK_Alt_L, 308},
      // No code: these never reach the table.
      {XK_Tab, -1},          {XK_Caps_Lock, -1},   {XK_Super_L, -1},     {XK_F13, -1},
      {XK_KP_0, -1},         {XK_eacute, -1},      {127, -1},            {31, -1},
      {0x1000041, -1},
  };
  for (const auto& c : cases) EXPECT_EQ(key_code_of_symbol(c.symbol), c.code) << std::hex << c.symbol;
}

TEST_F(KeyboardTest, ShiftedLetterGivesTheLowerCaseCode) {
  Press(XK_Shift_L);
  Press(XK_S);
  keyboard_examine();  // Shift
  keyboard_examine();  // S
  EXPECT_EQ(key_down(115), 1);
  EXPECT_EQ(key_down(83), 0);
  EXPECT_EQ(key_down(kKeyLeftShift), 1);
  // Let go after Shift: the release arrives as the lower-case symbol and still clears the key.
  Release(XK_Shift_L);
  Release(XK_s);
  keyboard_examine();
  keyboard_examine();
  EXPECT_EQ(key_down(115), 0);
  EXPECT_EQ(key_down(kAnyKey), 0);
}

// What the game sees of some keys over `frames` frames: per frame one letter for each key, 'H'
// held, 'R' released (reported by key_released), '.' neither; frames apart by spaces.
std::string Frames(std::initializer_list<int> codes, int frames) {
  std::string seen;
  for (int frame = 0; frame < frames; ++frame) {
    keyboard_examine();
    if (frame > 0) seen += ' ';
    for (int code : codes) {
      const bool held = key_down(code) == 1;
      const bool released = key_released(code) == 1;
      seen += held ? 'H' : released ? 'R' : '.';
    }
  }
  return seen;
}

TEST_F(KeyboardTest, TapsBetweenTwoPollsAreEachSeenHeldOnceThenReleasedOnceInTheirOrder) {
  Press(XK_Escape);
  Release(XK_Escape);
  EXPECT_EQ(key_down(kKeyEscape), 0) << "the frame already polled sees no change";
  EXPECT_EQ(Frames({kKeyEscape}, 4), "H R . .");
  // Down twice, Return, Escape inside one frame: four taps, one after another, in that order.
  for (unsigned long symbol : {XK_Down, XK_Down, XK_Return, XK_Escape}) {
    Press(symbol);
    Release(symbol);
  }
  EXPECT_EQ(Frames({kKeyDown, kKeyReturn, kKeyEscape}, 9), "H.. R.. H.. R.. .H. .R. ..H ..R ...");
  // A tap that starts before a poll and ends before the next is as short as can be seen.
  Press(XK_Return);
  EXPECT_EQ(Frames({kKeyReturn}, 1), "H");
  Release(XK_Return);
  Press(XK_Return);
  Release(XK_Return);
  EXPECT_EQ(Frames({kKeyReturn}, 5), "R H R . .");
  EXPECT_EQ(key_down(kAnyKey), 0);
}

TEST_F(KeyboardTest, KeysHeldAcrossPollsAreHeldEveryFrameAndReleasedOnce) {
  Press(XK_Left);
  EXPECT_EQ(Frames({kKeyLeft}, 3), "H H H");
  // The window system's repeat while held adds nothing; Right joins, then both go.
  Press(XK_Left);
  Press(XK_Right);
  Press(XK_Left);
  EXPECT_EQ(Frames({kKeyLeft, kKeyRight}, 2), "HH HH");
  Release(XK_Left);
  Release(XK_Right);
  EXPECT_EQ(Frames({kKeyLeft, kKeyRight}, 3), "RH .R ..");
  // A release of a key that is not held changes nothing either.
  Release(XK_Left);
  EXPECT_EQ(Frames({kKeyLeft}, 2), ". .");
}

TEST_F(KeyboardTest, TapsPilingUpBeyondTheLimitAreDroppedAndNothingSticks) {
  Press(XK_Up);  // held throughout, its release arriving when there is no room left
  for (int tap = 0; tap < 40; ++tap) {
    Press(XK_m);
    Release(XK_m);
  }
  Release(XK_Up);
  std::string seen;
  for (int frame = 0; frame < 40; ++frame) seen += Frames({'m'}, 1);
  EXPECT_EQ(seen.substr(0, 2), ".H") << "Up came first";
  EXPECT_EQ(seen.find_first_not_of("HR", 1), seen.find_last_of('R') + 1) << seen;
  EXPECT_EQ(key_down(kAnyKey), 0) << seen;
  EXPECT_EQ(Frames({'m', kKeyUp}, 2), ".. ..");
}

TEST_F(KeyboardTest, FocusLossLetsHeldKeysGoAndKeepsCompletedTaps) {
  // Seen held: free at once, its release still reported once.
  Press(XK_Left);
  EXPECT_EQ(Frames({kKeyLeft}, 1), "H");
  // Pressed but never seen: its release will never come, the press is forgotten.
  Press(XK_Up);
  // Tapped before the focus went: still seen.
  Press(XK_Return);
  Release(XK_Return);
  // Tapped, then pressed again and held: the tap stays, the press goes.
  Press(XK_space);
  Release(XK_space);
  Press(XK_space);
  ScreenHooks.focus_lost_hook();
  EXPECT_EQ(key_down(kKeyLeft), 0);
  EXPECT_EQ(key_released(kKeyLeft), 1);
  EXPECT_EQ(key_released(kKeyLeft), 0);
  EXPECT_EQ(Frames({kKeyUp, kKeyReturn, kKeySpace}, 5), ".H. .R. ..H ..R ...");
  // Keys pressed after the focus came back work as ever.
  Press(XK_Up);
  Release(XK_Up);
  EXPECT_EQ(Frames({kKeyUp}, 3), "H R .");
}

TEST_F(KeyboardTest, AnyKeyFollowsEveryHeldKey) {
  EXPECT_EQ(key_down(kAnyKey), 0);
  Press(XK_space);
  Press(XK_KP_Home);
  keyboard_examine();
  EXPECT_EQ(key_down(kAnyKey), 1);
  Release(XK_space);
  Release(XK_KP_Home);
  keyboard_examine();  // KP_Home pressed
  keyboard_examine();  // space let go
  EXPECT_EQ(key_down(kAnyKey), 1);
  keyboard_examine();
  EXPECT_EQ(key_down(kAnyKey), 0);
}

TEST_F(KeyboardTest, KeysWithoutCodesAndOtherEventTypesChangeNothing) {
  Press(XK_Tab);
  Press(XK_KP_5);
  ScreenHooks.key_hook(static_cast<KeyEventType>(4), XK_a);
  ScreenHooks.key_hook(static_cast<KeyEventType>(0), XK_Return);
  keyboard_examine();
  EXPECT_EQ(key_down(kAnyKey), 0);
  EXPECT_EQ(key_down(-2), 0);
  EXPECT_EQ(key_down(kKeyCodeCount), 0);
  EXPECT_EQ(key_released(kKeyCodeCount), 0);
  EXPECT_EQ(key_released(-5), 0);
}

TEST_F(KeyboardTest, InitClearsHeldKeysAndShutdownUnhooks) {
  Press(XK_m);
  keyboard_examine();
  ASSERT_EQ(key_down('m'), 1);
  Press(XK_s);
  keyboard_init();
  keyboard_examine();
  EXPECT_EQ(key_down('m'), 0);
  EXPECT_EQ(key_down('s'), 0);
  keyboard_shutdown();
  EXPECT_EQ(ScreenHooks.key_hook, nullptr);
  EXPECT_EQ(ScreenHooks.focus_lost_hook, nullptr);
}

}  // namespace
