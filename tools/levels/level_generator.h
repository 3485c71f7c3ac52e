// The level generator used while writing the game's levels: it builds a random room of one of
// its families, puts crates on targets and pulls them away by reverse play (every position so
// reached can be solved by pushing), then ranks the candidates by the solver's solution. Its
// results are starting points that a person curates; the build never runs it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/levels/level_solver.h"
#include "tools/levels/level_source.h"

// The shapes of room the generator builds, each its own family of levels.
enum class RoomFamily {
  kOpen,      // an open room with wall pieces of two and three cells dropped into it
  kHalls,     // two halls side by side, joined by one or two doors
  kRing,      // a walk round a central block with notches
  kStacks,    // rows of shelves with gaps between them
  kBays,      // bays opening off an aisle along the bottom
  kWinding,   // a two-cell-wide way that doubles back on itself
};
constexpr int kRoomFamilies = 6;
const char* RoomFamilyName(RoomFamily family);

// Where the targets go in a room.
enum class TargetPlacement {
  kScattered,  // anywhere on the floor
  kClustered,  // side by side in one patch that begins in a corner or dead end, so that the order
               // the crates arrive in matters
};

struct GeneratorSettings {
  RoomFamily family = RoomFamily::kOpen;
  TargetPlacement targets = TargetPlacement::kScattered;
  int crates = 3;
  int width = 8;         // the room inside its outer wall
  int height = 6;
  int obstacles = 6;     // wall pieces dropped into the room
  // How the crates leave their targets: above 0, that many random pulls; 0, the position
  // farthest from the solution that a breadth-first reverse search finds; below 0, the same in
  // stages, each moving a group of -pulls crates while the others stand still.
  int pulls = 0;
  int attempts = 200;    // candidates tried
  size_t search_limit = 200000;  // positions, for the reverse search and for the solver
  uint64_t seed = 1;
  // Above 0, reverse play favours positions whose solution lies far beyond the solver's lower
  // bound, and candidates are ranked by the solver's effort first: a search for hard levels.
  int slack_weight = 0;
  // Above 0, the search for depth: reverse play covers every position reachable from the
  // solution (up to `search_limit` positions), which gives each its exact fewest pushes, and
  // picks the one deepest beyond its start bound among those of at least `min_pushes` pushes;
  // only candidates at least `min_depth` deep are then proved by the solver, and they are
  // ranked by depth, then pushes, then the solver's effort.
  int min_depth = 0;
  int min_pushes = 0;
  // When given, the search for depth tells a line per room it searched as soon as it has it:
  // the positions it covered, the deepest of them and the position it chose; and a line per
  // position the solver judged.
  std::function<void(const std::string&)> note;
};

struct Candidate {
  Level level;
  Solution solution;
  int crate_changes = 0;  // how often the next push moves a different crate
  int score = 0;
  int bound = 0;          // StartBound
  int depth = 0;          // the proven fewest pushes less the bound (searching for depth)
  int reverse_pushes = 0; // the fewest pushes as reverse play found them (searching for depth)
};

// Tries `attempts` candidates and returns the solvable ones, best score first.
std::vector<Candidate> GenerateLevels(const GeneratorSettings& settings);

// Counts how often a solution switches from one crate to another.
int CrateChanges(const Level& level, const std::string& moves);
