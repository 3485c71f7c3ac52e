// Fuzzes the level-source reader with whatever bytes come, and the limits check, the notation
// writer, the index, title-table and proof-table readers and a short solver run on what it
// accepts.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tools/levels/level_proofs.h"
#include "tools/levels/level_solver.h"
#include "tools/levels/level_source.h"

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
  // A proof table that reads is written back to the same records.
  std::vector<ProofRecord> records, again;
  if (ParseProofTable(text, records).empty()) {
    if (!ParseProofTable(WriteProofTable(records), again).empty() || again.size() != records.size()) __builtin_trap();
  }
  return 0;
}
