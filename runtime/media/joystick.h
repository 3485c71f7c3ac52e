// The joystick service: gamepads read through SDL as digital sticks (-1, 0, +1) and numbered
// buttons. Every device present when joystick_init runs is opened; the game refreshes their state
// once per frame with joystick_examine.
#pragma once

#include <cstdint>

// Opens every joystick present now into numbers 0, 1, ... (closing those opened before) and
// returns how many could be opened; 0 when there are none or SDL's joystick support fails.
int joystick_init();
// Closes every joystick.
void joystick_shutdown();
// Refreshes the state of all joysticks. Returns 1.
int joystick_examine(int64_t joystick);
// Stick 0 reads SDL axes 0 and 1, stick 1 axes 3 and 4; any other stick reads 0. -1 left or up,
// +1 right or down, 0 in the dead zone or for an unknown joystick. A stick let back to the centre
// still reads the way it was pushed since the last joystick_examine, so a flick is not lost.
int joystick_axis_x(int64_t joystick, int stick);
int joystick_axis_y(int64_t joystick, int stick);
// 1 while the button (numbered from 1) is held, or when it was pressed since the last
// joystick_examine (a press and release between two frames is seen once); else 0.
int joystick_button(int64_t joystick, int button);

// An SDL axis value (-32768..32767) scaled to -1000..999, rounding toward zero.
int joystick_scale_axis(int value);
// An SDL axis value read as a direction: -1, 0 or +1. Half the range either way is the dead zone.
int joystick_direction(int value);
