// The joystick service: the axis arithmetic, and reads without any device present.
#include "runtime/media/joystick.h"

#include <gtest/gtest.h>

namespace {

TEST(Joystick, AxisScalingRoundsTowardZero) {
  const struct {
    int value;
    int scaled;
  } cases[] = {{0, 0}, {32767, 999}, {-32768, -1000}, {16383, 499}, {16384, 500},
               {-16383, -499}, {-16384, -500}, {32, 0}, {33, 1}, {-33, -1}, {-32, 0}};
  for (const auto& c : cases) EXPECT_EQ(joystick_scale_axis(c.value), c.scaled) << c.value;
}

TEST(Joystick, HalfTheRangeEitherWayIsTheDeadZone) {
  const struct {
    int value;
    int direction;
  } cases[] = {{0, 0},       {16383, 0},      {16384, 1},      {32767, 1},     {-16383, 0},
               {-16384, -1}, {-32768, -1},    {16350, 0},      {-16350, 0},    {20000, 1}};
  for (const auto& c : cases) EXPECT_EQ(joystick_direction(c.value), c.direction) << c.value;
}

TEST(Joystick, WithoutDevicesEveryReadIsZero) {
  // The test machine has no gamepad.
  EXPECT_EQ(joystick_init(), 0);
  EXPECT_EQ(joystick_init(), 0) << "a second start looks for devices again";
  EXPECT_EQ(joystick_examine(0), 1);
  for (int stick = -1; stick <= 2; ++stick) {
    EXPECT_EQ(joystick_axis_x(0, stick), 0);
    EXPECT_EQ(joystick_axis_y(0, stick), 0);
  }
  for (int button = -1; button <= 2; ++button) EXPECT_EQ(joystick_button(0, button), 0);
  joystick_shutdown();
  EXPECT_EQ(joystick_examine(0), 1);
  EXPECT_EQ(joystick_button(0, 1), 0);
}

}  // namespace
