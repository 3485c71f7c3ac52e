// Message boxes: a modal desktop dialog with a title, one text and a fixed set of buttons, run to
// completion on the main thread. Used to report fatal errors, with or without an open screen.
#pragma once

#include "runtime/data/text.h"

// Flags: the buttons offered (without either flag: OK).
constexpr int kMessageBoxYesNo = 2;
constexpr int kMessageBoxYesNoCancel = 4;

// Answers.
constexpr int kMessageBoxNone = 0;  // dismissed without a button, or no desktop to show it on
constexpr int kMessageBoxYes = 6;   // also OK
constexpr int kMessageBoxNo = 7;
constexpr int kMessageBoxCancel = 2;

// Shows the dialog, waits for the answer and returns once the dialog is gone from the screen.
// The text is shown exactly as given (percent signs included).
int message_box(const Text& title, const Text& text, int flags = 0);
