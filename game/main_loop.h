// The frame loop: one iteration is one frame. Window events, the flip (the runtime holds flips to
// 60 a second), the picture of the current screen (drawing changes nothing), the timers and
// animations, then the frame's input mapped to actions and applied. Everything below the loop
// (the screen flow, drawing, input) is called from here and never calls back up.
#pragma once

#include "game/input.h"

// Enters the loop and runs frames until the player quits or a fatal error ends it.
void RunMainLoop();
// The loop entry: panels rendered, play screen prepared, frame rate, window shown, music.
void EnterMainLoop();
// One frame: window events, flip, drawing, timers and animations, input.
void RunFrame();
// The picture of the current screen (the heads-up boxes brought up to date first); it changes
// nothing the next frame depends on.
void DrawScreen();
// Applies one frame's input: its actions in their fixed order, each on the screen shown at that
// moment (an earlier action of the frame may have changed it).
void HandleFrameInput(const FrameInput& input);
