// The keyboard service fed through the screen's hooks, as the screen's event pumping does.
#include "runtime/display/keyboard.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include "runtime/display/input_hooks.h"

namespace {

void Press(unsigned long symbol) { ScreenHooks.key_hook(kKeyPressed, symbol); }
void Release(unsigned long symbol) { ScreenHooks.key_hook(kKeyReleased, symbol); }

class KeyboardTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(keyboard_init(), 1);
    // Releases latched by earlier tests are reported and forgotten.
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
  EXPECT_EQ(key_down(115), 1);
  EXPECT_EQ(key_down(83), 0);
  EXPECT_EQ(key_down(kKeyLeftShift), 1);
  // Let go after Shift: the release arrives as the lower-case symbol and still clears the key.
  Release(XK_Shift_L);
  Release(XK_s);
  EXPECT_EQ(key_down(115), 0);
  EXPECT_EQ(key_down(kAnyKey), 0);
}

TEST_F(KeyboardTest, PressAndReleaseBetweenPollsIsNotReported) {
  EXPECT_EQ(key_released(kKeyEscape), 0);
  Press(XK_Escape);
  Release(XK_Escape);
  EXPECT_EQ(key_released(kKeyEscape), 0);
  EXPECT_EQ(key_released(kKeyEscape), 0);
}

TEST_F(KeyboardTest, KeyPolledWhileHeldReportsOneRelease) {
  Press(XK_Escape);
  EXPECT_EQ(key_released(kKeyEscape), 0);
  EXPECT_EQ(key_released(kKeyEscape), 0);
  Release(XK_Escape);
  EXPECT_EQ(key_released(kKeyEscape), 1);
  EXPECT_EQ(key_released(kKeyEscape), 0);
}

TEST_F(KeyboardTest, FocusLossClearsHeldKeysButKeepsTheLatch) {
  Press(XK_Left);
  Press(XK_Up);
  EXPECT_EQ(key_released(kKeyLeft), 0);
  ScreenHooks.focus_lost_hook();
  EXPECT_EQ(key_down(kKeyLeft), 0);
  EXPECT_EQ(key_down(kKeyUp), 0);
  EXPECT_EQ(key_released(kKeyLeft), 1);
  EXPECT_EQ(key_released(kKeyLeft), 0);
  EXPECT_EQ(key_released(kKeyUp), 0) << "never polled while held";
}

TEST_F(KeyboardTest, AnyKeyFollowsEveryHeldKey) {
  EXPECT_EQ(key_down(kAnyKey), 0);
  Press(XK_space);
  Press(XK_KP_Home);
  EXPECT_EQ(key_down(kAnyKey), 1);
  Release(XK_space);
  EXPECT_EQ(key_down(kAnyKey), 1);
  Release(XK_KP_Home);
  EXPECT_EQ(key_down(kAnyKey), 0);
}

TEST_F(KeyboardTest, KeysWithoutCodesAndOtherEventTypesChangeNothing) {
  Press(XK_Tab);
  Press(XK_KP_5);
  ScreenHooks.key_hook(static_cast<KeyEventType>(4), XK_a);
  ScreenHooks.key_hook(static_cast<KeyEventType>(0), XK_Return);
  EXPECT_EQ(key_down(kAnyKey), 0);
  EXPECT_EQ(key_down(-2), 0);
  EXPECT_EQ(key_down(kKeyCodeCount), 0);
  EXPECT_EQ(key_released(kKeyCodeCount), 0);
  EXPECT_EQ(key_released(-5), 0);
}

TEST_F(KeyboardTest, InitClearsHeldKeysAndShutdownUnhooks) {
  Press(XK_m);
  ASSERT_EQ(key_down('m'), 1);
  keyboard_init();
  EXPECT_EQ(key_down('m'), 0);
  keyboard_shutdown();
  EXPECT_EQ(ScreenHooks.key_hook, nullptr);
  EXPECT_EQ(ScreenHooks.focus_lost_hook, nullptr);
}

}  // namespace
