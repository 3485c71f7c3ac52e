// The optional log file: a report of the machine, the game and its settings at start, then one
// line per step that can fail. Logging is on only when the game starts with "/LOG"; a log that
// cannot be written never stops the game.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/data/text.h"

struct LogRecord {
  int64_t File = 0;   // handle of the open log file, 0 when none
  int Enabled = 0;    // switched off for good when a write finds the file gone
  Text Stamp;         // start time, "%yyyy-%mm-%dd--%hh-%ii-%ss"
};
extern LogRecord Log;

int LogOpen(const Text& path, const Text& first_line);
void LogEnable();
void LogLine(const Text& text);
Text Tabs(int n);
// Writes "label", two tabs and the value.
void LogValue(const Text& label, const Text& value);
void LogValue(const Text& label, int64_t value);
// "OK" or "FAILED".
Text LogResult(int ok);

// Start-up writes the report in three steps. LogStart makes the time stamp (when the program
// has arguments), opens the log in Folders.SaveTo when the first argument is exactly "/LOG", and
// writes the report up to the "Language:" line of the initial settings.
void LogStart();
// The rest of the initial settings: "GameScreen:", "Music:", "ScreenMode:".
void LogInitialSettings();
// The available languages (display names in the language table's walk order), then the line
// that starts the game's own steps.
void LogAvailableLanguages(const std::vector<Text>& display_names);
