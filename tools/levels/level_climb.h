// The climbing search for deep levels: it starts from a room of one of the generator's families
// (or from a level given to it), changes the level a little at a time (a crate, a target or the
// keeper moved, a short wall piece put in or taken out again) and has the solver prove every
// change. A change is kept when the level's depth (its proven fewest pushes less its start
// bound) and its length together do not fall, and sometimes when they fall a little (annealing);
// after a long run without a better level it starts again from the best. Only proved figures
// count: a level the solver cannot prove within its position limit is refused.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "tools/levels/level_generator.h"
#include "tools/levels/level_solver.h"
#include "tools/levels/level_source.h"

struct ClimbSettings {
  RoomFamily family = RoomFamily::kWinding;
  int crates = 6;
  int width = 12;          // the room inside its outer wall
  int height = 8;
  int obstacles = 6;
  uint64_t seed = 1;
  int steps = 2000;        // changed levels tried (each proved unless seen before)
  double seconds = 0;      // above 0, the climb stops after this much wall-clock time
  size_t solver_limit = 150000;  // positions for each proof
  int least_pushes = 70;   // below this many pushes, length counts as much as depth
  int stall = 250;         // tries without a better level before starting again from the best
  bool walls = true;       // whether wall pieces may be put in and taken out
};

// A level with its proved figures.
struct ClimbedLevel {
  Level level;
  Solution solution;   // proved fewest pushes (else the level is not kept)
  int bound = 0;       // StartBound
  int depth = 0;       // solution.pushes - bound
  double seconds = 0;  // the proof's time
};

struct ClimbReport {
  ClimbedLevel best;   // best by ClimbScore; best.solution.solved is false when nothing was proved
  int tried = 0;       // changed levels made
  int proved = 0;      // of them proved push-optimal by the solver
  int refused = 0;     // unplayable, unsolvable or beyond the solver's limit
  int restarts = 0;
  double seconds = 0;
};

// How good a climbed level is: depth counts three times a push, pushes count up to
// `least_pushes` only; a level of at least that many pushes is judged by depth alone, then by
// pushes (the fraction).
double ClimbScore(int pushes, int depth, int least_pushes);

// A first level of the settings' family and size: a room the generator builds with the crates
// pulled a little way off their targets, proved by the solver. Its `solution.solved` is false
// when the generator found no room for these settings in a few attempts.
ClimbedLevel StartingLevel(const ClimbSettings& settings);

// Proves a level; false when it is unplayable, unsolvable, or not proved push-optimal within
// `limit` positions.
bool ProveClimbedLevel(const Level& level, size_t limit, ClimbedLevel& result);

// Climbs from `start` (which must be proved, see ProveClimbedLevel). `found` is told of every
// new best level as it is found.
ClimbReport ClimbLevel(const ClimbedLevel& start, const ClimbSettings& settings,
                       const std::function<void(const ClimbedLevel&)>& found = nullptr);

// The candidate file for a climbed level: ";" comment lines (family, crates, room size, seed,
// proved pushes, bound, depth, proof effort), the title line and the map.
std::string ClimbCandidateText(const ClimbedLevel& climbed, const ClimbSettings& settings);
