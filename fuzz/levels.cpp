// Fuzzes the level-source reader with whatever bytes come, and the limits check, the notation
// writer, the index and title-table readers and a short solver run on what it accepts.
#include <cstddef>
#include <cstdint>
#include <string_view>

// The fuzz programs link only the game; the level tools' parts they test are compiled in.
#include "tools/levels/level_solver_lib.cpp"
#include "tools/levels/level_source_lib.cpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  Level level;
  if (ParseLevelSource(text, level).empty()) {
    LevelToText(level);
    if (LevelProblem(level).empty()) {
      Solution solution = SolveLevel(level, 2000, 2000);
      if (solution.solved && !ReplayMoves(level, solution.moves)) __builtin_trap();
    }
  }
  std::vector<std::string> names;
  ParseLevelIndex(text, names);
  TitleTableProblem(text, {"tLevelDOCK"});
  return 0;
}
