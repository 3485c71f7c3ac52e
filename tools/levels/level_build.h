// Building the map pack from a level folder: proving every level of its index solvable, then
// writing the pack's staging folder (index, MAPS/, TILES/, THUMBS/) and the solutions file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/levels/level_solver.h"
#include "tools/levels/level_source.h"

struct BuiltLevel {
  std::string source;  // the source's name in the index
  std::string name;    // the level's name in the pack: its place in the index, two digits
  Level level;
  Solution solution;
  double seconds = 0;  // time taken to prove it
  uint64_t hash = 0;   // SourceHash of its source
  bool from_record = false;  // the proof came from proofs.tsv
  int bound = 0;       // StartBound of the level
};

// How far a level's proven fewest pushes lie beyond its start bound; -1 when the solution is
// not proved to have the fewest pushes.
int LevelDepth(const BuiltLevel& entry);

// The expert tier begins with this level (its place in play order, counted from 1).
constexpr size_t kFirstExpertLevel = 45;

// The depth table the build prints: per level its name, source, crates, proven fewest pushes,
// start bound and depth, then the expert tier's line (ExpertTierSummary).
std::string DepthTable(const std::vector<BuiltLevel>& built);
// The expert tier's figures in one line: its least depth and how many levels are 20 or more
// deep; empty when there are no levels from kFirstExpertLevel on.
std::string ExpertTierSummary(const std::vector<BuiltLevel>& built);

// Reads the folder's order.txt, every level source it names and titles.tsv, and proves every
// level solvable. Each problem found is one line in `problems`, naming the level and the
// reason. Returns whether there were none; `built` holds the levels that passed.
// With `use_records`, a level whose proof record in the folder's proofs.tsv still holds (the
// same source bytes, moves that still solve it) takes its solution from there; every other
// level is searched afresh, and `notes` (when given) says which records were stale or why the
// table could not be used.
bool ProveLevelFolder(const std::string& folder, std::vector<BuiltLevel>& built, std::vector<std::string>& problems,
                      bool use_records = false, std::vector<std::string>* notes = nullptr);

// The proof records of these levels, for proofs.tsv.
std::string ProofTableOf(const std::vector<BuiltLevel>& built);

// Writes the staging folder afresh (whatever it held is removed) and the solutions file: a
// header line, then per level its name, source, move count, push count and moves,
// tab-separated. The same levels always give the same bytes. Returns whether all was written.
bool WriteMapPackFolder(const std::vector<BuiltLevel>& built, const std::string& staging, const std::string& solutions);

// A whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& text);
