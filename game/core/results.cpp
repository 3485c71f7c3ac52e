// The level results file: last time, last steps and the unlocked flag of every level, read once
// at start-up and written once at the end of the run.
#include "game/core/results.h"

#include <string>

#include "game/core/game.h"
#include "runtime/data/files.h"
#include "runtime/runtime.h"

namespace {

// The next line's number; a line missing at the end of the file reads as 0.
int64_t ReadNumberLine(int64_t file) {
  if (file_eof(file)) return 0;
  return str_to_int(file_read_line(file));
}

}  // namespace

int LoadResults(const Text& folder) {
  const int64_t file = file_open_read(kNewObject, folder + kResultsFileName);
  if (!file) return 0;
  file_set_format(file, kFileUtf8);
  for (LevelRecord& level : LevelList) {
    level.TimeMs = ReadNumberLine(file);
    level.Steps = ReadNumberLine(file);
    level.Unlocked = ReadNumberLine(file) != 0 ? 1 : 0;
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
  LevelList[index].TimeMs = time_ms;
  LevelList[index].Steps = steps;
  if (index + 1 < static_cast<int64_t>(LevelList.size())) LevelList[index + 1].Unlocked = 1;
}
