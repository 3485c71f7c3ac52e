// Feeds arbitrary bytes to the results reader as the results file of a five-level list. Whatever
// the bytes, every level comes out within what a completion can be (no negative or wrapped
// numbers, a flag of 0 or 1), and saving what was read and reading it again gives the same
// results.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "game/core/game.h"
#include "game/core/results.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string folder = [] {
    char pattern[] = "/tmp/cratevale-fuzz-results-XXXXXX";
    return mkdtemp(pattern) ? std::string(pattern) + "/" : std::string();
  }();
  if (folder.empty()) return 0;
  FILE* file = std::fopen((folder + "Cratevale.scores").c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  LevelList.assign(5, LevelRecord());
  const Text where = text_from_utf8(folder);
  if (!LoadResults(where)) return 0;
  for (const LevelRecord& level : LevelList) {
    if (level.TimeMs < 0 || level.TimeMs > kMostResultTimeMs) __builtin_trap();
    if (level.Steps < 0 || level.Steps > kMostResultSteps) __builtin_trap();
    if (level.Unlocked != 0 && level.Unlocked != 1) __builtin_trap();
  }
  const std::vector<LevelRecord> read = LevelList;
  if (!SaveResults(where)) return 0;
  LevelList.assign(5, LevelRecord());
  if (!LoadResults(where)) __builtin_trap();
  for (size_t i = 0; i < read.size(); ++i) {
    const LevelRecord& a = read[i];
    const LevelRecord& b = LevelList[i];
    if (a.TimeMs != b.TimeMs || a.Steps != b.Steps || a.Unlocked != b.Unlocked) __builtin_trap();
  }
  return 0;
}
