// The level results file: last time, last steps and the unlocked flag of every level, read once
// at start-up and written once at the end of the run.
#include "game/core/results.h"

#include <cstdio>

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
  const Text path = folder + kResultsFileName;
  const Text temporary = path + u".new";
  const int64_t file = file_create(kNewObject, temporary);
  if (!file) return 0;
  file_set_format(file, kFileUtf8);
  bool written = true;
  int64_t bytes = 0;  // what the finished file must hold: the lines are plain ASCII
  for (const LevelRecord& level : LevelList) {
    for (int64_t value : {level.TimeMs, level.Steps, int64_t{level.Unlocked}}) {
      const Text line = str_from_int(value);
      written = file_write_line(file, line) == 1 && written;
      bytes += static_cast<int64_t>(line.size()) + 1;
    }
  }
  file_close(file);
  // A full disk shows only when the buffered lines are flushed at the close: the size tells.
  if (!written || file_size(temporary) != bytes ||
      std::rename(text_to_utf8(temporary).c_str(), text_to_utf8(path).c_str()) != 0) {
    file_delete(temporary);
    return 0;
  }
  return 1;
}

void RecordLevelResult(int64_t index, int64_t time_ms, int64_t steps) {
  if (index < 0 || index >= static_cast<int64_t>(LevelList.size())) return;
  LevelList[index].TimeMs = time_ms;
  LevelList[index].Steps = steps;
  if (index + 1 < static_cast<int64_t>(LevelList.size())) LevelList[index + 1].Unlocked = 1;
}
