// The climbing search for deep levels (see level_climb.h).
#include "tools/levels/level_climb.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <unordered_set>
#include <vector>

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class Random {
 public:
  explicit Random(uint64_t seed) : engine_(seed * 0x9E3779B97F4A7C15ull + 7) {}
  int Below(int n) { return n <= 1 ? 0 : static_cast<int>(engine_() % static_cast<uint64_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }
  double Unit() { return static_cast<double>(engine_() >> 11) / 9007199254740992.0; }

 private:
  std::mt19937_64 engine_;
};

bool Contains(const std::vector<int>& sorted, int cell) { return std::binary_search(sorted.begin(), sorted.end(), cell); }

// The floor cells the keeper can reach from his start (crates ignored).
std::vector<int> InsideCells(const Level& level) {
  std::vector<unsigned char> inside = LevelEnclosure(level);
  std::vector<int> cells;
  for (size_t c = 0; c < inside.size(); ++c)
    if (inside[c]) cells.push_back(static_cast<int>(c));
  return cells;
}

// A cell for a crate, target or keeper to move to: mostly a neighbour of `from`, sometimes
// anywhere inside. -1 when the pick is not free.
int PickCell(const Level& level, const std::vector<int>& inside, int from, Random& random) {
  int to;
  if (random.Chance(65)) {
    const int offset[4] = {-1, 1, -level.width, level.width};
    to = from + offset[random.Below(4)] * (random.Chance(75) ? 1 : 2);
    if (to < 0 || to >= level.width * level.height || !std::binary_search(inside.begin(), inside.end(), to)) return -1;
  } else {
    to = inside[random.Below(static_cast<int>(inside.size()))];
  }
  return to;
}

// Puts in or takes out a wall piece of two or three cells on the floor inside (`inside`, sorted).
// Only pieces the climb put in are taken out again (`room_walls` are the walls the room began
// with), so the family's shape stays. Returns the change in floor cells, or 0 for no change.
int ChangeWalls(Level& level, const std::vector<int>& inside, const std::vector<unsigned char>& room_walls,
                Random& random) {
  static const int kPieces[][3][2] = {
      {{0, 0}, {1, 0}, {1, 0}}, {{0, 0}, {0, 1}, {0, 1}}, {{0, 0}, {1, 0}, {2, 0}}, {{0, 0}, {0, 1}, {0, 2}},
      {{0, 0}, {1, 0}, {0, 1}}, {{0, 0}, {1, 0}, {1, 1}}, {{0, 0}, {0, 1}, {1, 1}}, {{1, 0}, {0, 1}, {1, 1}},
  };
  const auto& piece = kPieces[random.Below(8)];
  bool add = random.Chance(55);
  int x0 = 1 + random.Below(level.width - 2), y0 = 1 + random.Below(level.height - 2);
  int change = 0;
  for (const auto& offset : piece) {
    int x = x0 + offset[0], y = y0 + offset[1];
    if (x < 1 || y < 1 || x >= level.width - 1 || y >= level.height - 1) return 0;
    int c = y * level.width + x;
    if (add) {
      if (level.walls[c]) continue;  // the piece's first cell twice
      if (!Contains(inside, c) || Contains(level.crates, c) || Contains(level.targets, c) || c == level.keeper) return 0;
      level.walls[c] = 1;
      --change;
    } else {
      if (!level.walls[c]) continue;
      if (room_walls[c]) return 0;
      level.walls[c] = 0;
      ++change;
    }
  }
  return change;
}

// A changed copy of the level, or false when the change made no playable level.
bool Mutate(const Level& from, const std::vector<unsigned char>& room_walls, int most_added, Random& random,
            Level& level) {
  level = from;
  std::vector<int> inside = InsideCells(level);
  int added = 0;
  for (size_t c = 0; c < level.walls.size(); ++c) added += level.walls[c] && !room_walls[c];
  int kind = random.Below(most_added > 0 ? 10 : 9);
  if (kind < 4 || kind == 8) {  // a crate (and now and then its neighbour too)
    for (int moves = kind == 8 ? 2 : 1; moves > 0; --moves) {
      int i = random.Below(static_cast<int>(level.crates.size()));
      int to = PickCell(level, inside, level.crates[i], random);
      if (to < 0 || Contains(level.crates, to) || to == level.keeper) return false;
      level.crates[i] = to;
      std::sort(level.crates.begin(), level.crates.end());
    }
  } else if (kind < 7) {  // a target
    int i = random.Below(static_cast<int>(level.targets.size()));
    int to = PickCell(level, inside, level.targets[i], random);
    if (to < 0 || Contains(level.targets, to)) return false;
    level.targets[i] = to;
    std::sort(level.targets.begin(), level.targets.end());
  } else if (kind == 7) {  // the keeper
    int to = PickCell(level, inside, level.keeper, random);
    if (to < 0 || Contains(level.crates, to)) return false;
    level.keeper = to;
  } else {
    // At most three cells of wall per obstacle of the settings are put in, so the room keeps
    // its family's shape; the floor stays one region (no cell shut off) and no wall cell stands alone in it.
    int change = ChangeWalls(level, inside, room_walls, random);
    if (change == 0 || added - change > most_added || LoneWallPieces(level) > 0 ||
        static_cast<int>(InsideCells(level).size()) != static_cast<int>(inside.size()) + change)
      return false;
  }
  return LevelProblem(level).empty() && StartBound(level) < kNoBound;
}

std::string FamilyLine(const ClimbSettings& settings) {
  char line[160];
  std::snprintf(line, sizeof line, "; family %s, %d crates in a %d x %d room, seed %llu\n", RoomFamilyName(settings.family),
                settings.crates, settings.width, settings.height, static_cast<unsigned long long>(settings.seed));
  return line;
}

}  // namespace

double ClimbScore(int pushes, int depth, int least_pushes) {
  if (pushes >= least_pushes) return 3.0 * depth + least_pushes + (pushes - least_pushes) / (pushes + 1.0);
  return 3.0 * depth + pushes;
}

bool ProveClimbedLevel(const Level& level, size_t limit, ClimbedLevel& result) {
  if (!LevelProblem(level).empty()) return false;
  int bound = StartBound(level);
  if (bound >= kNoBound) return false;
  auto start = std::chrono::steady_clock::now();
  Solution solution = SolveLevel(level, limit, 0);
  if (!solution.solved || !solution.fewest_pushes) return false;
  result.level = level;
  result.solution = std::move(solution);
  result.bound = bound;
  result.depth = result.solution.pushes - bound;
  result.seconds = SecondsSince(start);
  return true;
}

ClimbedLevel StartingLevel(const ClimbSettings& settings) {
  GeneratorSettings room;
  room.family = settings.family;
  room.crates = settings.crates;
  room.width = settings.width;
  room.height = settings.height;
  room.obstacles = settings.obstacles;
  room.pulls = -2;  // the crates pulled as far as they go, two at a time
  room.attempts = 6;
  room.search_limit = settings.solver_limit;
  room.seed = settings.seed;
  ClimbedLevel start;
  for (const Candidate& candidate : GenerateLevels(room))
    if (ProveClimbedLevel(candidate.level, settings.solver_limit, start)) return start;
  start.solution.solved = false;
  return start;
}

ClimbReport ClimbLevel(const ClimbedLevel& start, const ClimbSettings& settings,
                       const std::function<void(const ClimbedLevel&)>& found) {
  auto began = std::chrono::steady_clock::now();
  Random random(settings.seed);
  ClimbReport report;
  report.best = start;
  auto score = [&](const ClimbedLevel& c) { return ClimbScore(c.solution.pushes, c.depth, settings.least_pushes); };
  const std::vector<unsigned char> room_walls = start.level.walls;
  ClimbedLevel current = start;
  double best_score = score(start), current_score = best_score;
  std::unordered_set<std::string> seen{LevelToText(start.level)};
  int since_better = 0;
  // Most changes make an unplayable level and are not counted; a room that allows none ends
  // the climb after this many attempts.
  for (long attempt = 0; report.tried < settings.steps && attempt < 100L * settings.steps; ++attempt) {
    double elapsed = SecondsSince(began);
    if (settings.seconds > 0 && elapsed > settings.seconds) break;
    // The temperature falls from 3 to 0.3 over the run (by tries or by time, whichever is
    // further on): early on a change may cost a push of depth, late only a fraction.
    double progress = static_cast<double>(report.tried) / std::max(1, settings.steps);
    if (settings.seconds > 0) progress = std::max(progress, elapsed / settings.seconds);
    double temperature = 3.0 - 2.7 * progress;
    Level level;
    if (!Mutate(current.level, room_walls, settings.walls ? 3 * std::max(1, settings.obstacles) : 0, random, level))
      continue;
    ++report.tried;
    ++since_better;
    if (!seen.insert(LevelToText(level)).second) continue;
    ClimbedLevel next;
    if (!ProveClimbedLevel(level, settings.solver_limit, next)) {
      ++report.refused;
      continue;
    }
    ++report.proved;
    double s = score(next);
    if (s >= current_score || random.Unit() < std::exp((s - current_score) / temperature)) {
      current = next;
      current_score = s;
    }
    if (s > best_score) {
      best_score = s;
      report.best = next;
      since_better = 0;
      if (found) found(next);
    }
    if (since_better > settings.stall) {
      current = report.best;
      current_score = best_score;
      since_better = 0;
      ++report.restarts;
    }
  }
  report.seconds = SecondsSince(began);
  return report;
}

std::string ClimbCandidateText(const ClimbedLevel& climbed, const ClimbSettings& settings) {
  std::string text = FamilyLine(settings);
  char line[300];
  std::snprintf(line, sizeof line,
                "; made by the climbing search (levels climb %s %d %d %d %d %llu ...)\n"
                "; pushes %d (proved fewest), bound %d, depth %d, proof %zu positions (%zu in all), %.2f s\n",
                RoomFamilyName(settings.family), settings.crates, settings.width, settings.height, settings.obstacles,
                static_cast<unsigned long long>(settings.seed), climbed.solution.pushes, climbed.bound, climbed.depth,
                climbed.solution.proof_expanded, climbed.solution.expanded, climbed.seconds);
  text += line;
  text += "Title: tLevelGENERATED\n";
  text += LevelToText(climbed.level);
  return text;
}
