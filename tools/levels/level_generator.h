// The level generator used while writing the game's levels: it builds a random room, puts
// crates on targets and pulls them away by reverse play (every position so reached can be
// solved by pushing), then ranks the candidates by the solver's solution. Its results are starting points that a person curates; the build never runs it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/levels/level_solver.h"
#include "tools/levels/level_source.h"

struct GeneratorSettings {
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
};

struct Candidate {
  Level level;
  Solution solution;
  int crate_changes = 0;  // how often the next push moves a different crate
  int score = 0;
};

// Tries `attempts` candidates and returns the solvable ones, best score first.
std::vector<Candidate> GenerateLevels(const GeneratorSettings& settings);

// Counts how often a solution switches from one crate to another.
int CrateChanges(const Level& level, const std::string& moves);
