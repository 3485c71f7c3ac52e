// The level results file: last time, last steps and the unlocked flag of every level, read once
// at start-up and written once at the end of the run.
#include "game/core/results.h"

#include <algorithm>
#include <string>

#include "game/core/game.h"
#include "game/core/log.h"
#include "runtime/data/files.h"
#include "runtime/runtime.h"

namespace {

// One line as the game writes it: decimal digits (blanks around them allowed) making a number
// from 0 to `most`. -1 for anything else: an empty line, a sign, any other character, a number
// beyond `most`, a line cut short at the end of the file.
int64_t StrictNumber(int64_t file, int64_t most) {
  const Text line = file_read_line(file);
  if (!file_line_ended(file)) return -1;
  size_t at = 0, end = line.size();
  while (at < end && (line[at] == u' ' || line[at] == u'\t')) ++at;
  while (end > at && (line[end - 1] == u' ' || line[end - 1] == u'\t')) --end;
  if (at == end) return -1;
  int64_t value = 0;
  for (; at < end; ++at) {
    if (line[at] < u'0' || line[at] > u'9') return -1;
    const int digit = line[at] - u'0';
    if (digit > most || value > (most - digit) / 10) return -1;
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace

int LoadResults(const Text& folder) {
  const int64_t file = file_open_read(kNewObject, folder + kResultsFileName);
  if (!file) return 0;
  file_set_format(file, kFileUtf8);
  for (size_t index = 0; index < LevelList.size(); ++index) {
    LevelRecord& level = LevelList[index];
    const bool first = index == 0;
    if (file_eof(file)) {
      // Levels the file was not written for. An empty file counts as no file: the first
      // level stays playable.
      level.TimeMs = 0;
      level.Steps = 0;
      level.Unlocked = first ? 1 : 0;
      continue;
    }
    const int64_t time_ms = StrictNumber(file, kMostResultTimeMs);
    const int64_t steps = file_eof(file) ? -1 : StrictNumber(file, kMostResultSteps);
    const int64_t unlocked = file_eof(file) ? -1 : StrictNumber(file, 1);
    if (time_ms < 0 || steps < 0 || unlocked < 0) {
      // A damaged entry is reset alone: the level is as never completed, and locked unless it
      // is the first.
      level.TimeMs = 0;
      level.Steps = 0;
      level.Unlocked = first ? 1 : 0;
      LogValue(u"Level result (" + level.Name + u"):", u"RESET");
      continue;
    }
    level.TimeMs = time_ms;
    level.Steps = steps;
    level.Unlocked = static_cast<int>(unlocked);
  }
  file_close(file);
  return 1;
}

int SaveResults(const Text& folder) {
  // Without levels (the map pack could not be read) there is nothing to write, and an empty file
  // would throw away every level's results.
  if (LevelList.empty()) return 0;
  std::string text;
  for (const LevelRecord& level : LevelList) {
    for (int64_t value : {level.TimeMs, level.Steps, int64_t{level.Unlocked}}) {
      text += text_to_utf8(str_from_int(value)) + "\n";
    }
  }
  // Replaced whole or not at all where the folder allows it, else rewritten in place.
  return file_replace(folder + kResultsFileName, text);
}

void RecordLevelResult(int64_t index, int64_t time_ms, int64_t steps) {
  if (index < 0 || index >= static_cast<int64_t>(LevelList.size())) return;
  // Kept within what the file may hold, so that a clock set back during play cannot store a time
  // the next start would have to throw away.
  LevelList[index].TimeMs = std::clamp<int64_t>(time_ms, 0, kMostResultTimeMs);
  LevelList[index].Steps = std::clamp<int64_t>(steps, 0, kMostResultSteps);
  if (index + 1 < static_cast<int64_t>(LevelList.size())) LevelList[index + 1].Unlocked = 1;
}
