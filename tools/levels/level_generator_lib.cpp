// The level generator (see level_generator.h).
#include "tools/levels/level_generator.h"

#include <algorithm>
#include <random>

namespace {

class Random {
 public:
  explicit Random(uint64_t seed) : engine_(seed) {}
  int Below(int n) { return n <= 1 ? 0 : static_cast<int>(engine_() % static_cast<uint64_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }

 private:
  std::mt19937_64 engine_;
};

// A room of floor inside an outer wall, with corners cut away and wall pieces inside.
Level MakeRoom(const GeneratorSettings& settings, Random& random) {
  Level level;
  level.title_key = "tLevelGENERATED";
  level.width = settings.width + 2;
  level.height = settings.height + 2;
  level.walls.assign(static_cast<size_t>(level.width) * level.height, 1);
  auto set = [&](int x, int y, unsigned char wall) {
    if (x >= 1 && y >= 1 && x <= settings.width && y <= settings.height) level.walls[y * level.width + x] = wall;
  };
  for (int y = 1; y <= settings.height; ++y)
    for (int x = 1; x <= settings.width; ++x) set(x, y, 0);
  for (int corner = 0; corner < 4; ++corner) {
    if (!random.Chance(50)) continue;
    int w = 1 + random.Below(std::max(1, settings.width / 3));
    int h = 1 + random.Below(std::max(1, settings.height / 3));
    for (int dy = 0; dy < h; ++dy)
      for (int dx = 0; dx < w; ++dx)
        set(corner & 1 ? settings.width - dx : 1 + dx, corner & 2 ? settings.height - dy : 1 + dy, 1);
  }
  static const int kPieces[][3][2] = {
      {{0, 0}, {0, 0}, {0, 0}}, {{0, 0}, {1, 0}, {1, 0}}, {{0, 0}, {0, 1}, {0, 1}},
      {{0, 0}, {1, 0}, {2, 0}}, {{0, 0}, {0, 1}, {0, 2}}, {{0, 0}, {1, 0}, {0, 1}},
      {{0, 0}, {1, 0}, {1, 1}}, {{0, 0}, {0, 1}, {1, 1}}, {{1, 0}, {0, 1}, {1, 1}},
  };
  for (int i = 0; i < settings.obstacles; ++i) {
    const auto& piece = kPieces[random.Below(9)];
    int x = 1 + random.Below(settings.width);
    int y = 1 + random.Below(settings.height);
    for (const auto& cell : piece) set(x + cell[0], y + cell[1], 1);
  }
  return level;
}

std::vector<int> FloorCells(const Level& level) {
  std::vector<int> cells;
  for (int c = 0; c < level.width * level.height; ++c)
    if (!level.walls[c]) cells.push_back(c);
  return cells;
}

// The floor must be one connected region without dead-end pockets of single cells.
bool RoomIsGood(const Level& level, int crates) {
  std::vector<int> floor = FloorCells(level);
  if (static_cast<int>(floor.size()) < crates * 3 + 6) return false;
  Level probe = level;
  probe.keeper = floor[0];
  std::vector<unsigned char> inside = LevelEnclosure(probe);
  for (int c : floor) {
    if (!inside[c]) return false;
    int walls = 0;
    for (int step : {-1, 1, -level.width, level.width}) walls += level.walls[c + step];
    if (walls >= 3) return false;
  }
  return true;
}

// Pulls crates away from their targets: the keeper walks to a crate, stands beside it and
// steps back, dragging it one cell. Favouring the crate pulled last makes longer pulls.
void PullAway(Level& level, int pulls, Random& random) {
  const int offset[4] = {-1, 1, -level.width, level.width};
  std::vector<unsigned char> occupied(level.walls.size(), 0);
  for (int c : level.crates) occupied[c] = 1;
  int last = -1;
  for (int i = 0; i < pulls; ++i) {
    Level probe = level;
    probe.walls.assign(level.walls.begin(), level.walls.end());
    for (size_t c = 0; c < occupied.size(); ++c)
      if (occupied[c]) probe.walls[c] = 1;
    std::vector<unsigned char> reach = LevelEnclosure(probe);
    std::vector<std::pair<int, int>> options;  // keeper cell, direction he steps back in
    for (size_t k = 0; k < reach.size(); ++k) {
      if (!reach[k]) continue;
      for (int d = 0; d < 4; ++d) {
        int crate = static_cast<int>(k) - offset[d];
        int back = static_cast<int>(k) + offset[d];
        if (occupied[crate] && !level.walls[back] && !occupied[back]) options.emplace_back(static_cast<int>(k), d);
      }
    }
    if (options.empty()) break;
    std::pair<int, int> choice = options[random.Below(static_cast<int>(options.size()))];
    for (const auto& option : options)
      if (option.first - offset[option.second] == last && random.Chance(60)) choice = option;
    auto [keeper, d] = choice;
    occupied[keeper - offset[d]] = 0;
    occupied[keeper] = 1;
    level.keeper = keeper + offset[d];
    last = keeper;
  }
  level.crates.clear();
  for (size_t c = 0; c < occupied.size(); ++c)
    if (occupied[c]) level.crates.push_back(static_cast<int>(c));
}

// Walls that touch no floor, not even diagonally, are left out of the picture.
void DropHiddenWalls(Level& level) {
  std::vector<unsigned char> inside = LevelEnclosure(level);
  std::vector<unsigned char> keep = level.walls;
  for (int y = 0; y < level.height; ++y) {
    for (int x = 0; x < level.width; ++x) {
      bool touches = false;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          int nx = x + dx, ny = y + dy;
          if (nx >= 0 && ny >= 0 && nx < level.width && ny < level.height && inside[ny * level.width + nx])
            touches = true;
        }
      if (!touches) keep[y * level.width + x] = 0;
    }
  }
  level.walls = keep;
}

}  // namespace

int CrateChanges(const Level& level, const std::string& moves) {
  const int offset[4] = {-1, 1, -level.width, level.width};
  int keeper = level.keeper;
  int last = -1;
  int changes = 0;
  for (char move : moves) {
    int d = move == 'l' || move == 'L' ? 0 : move == 'r' || move == 'R' ? 1 : move == 'u' || move == 'U' ? 2 : 3;
    keeper += offset[d];
    if (move >= 'A' && move <= 'Z') {
      if (keeper != last) ++changes;
      last = keeper + offset[d];
    }
  }
  return changes;
}

std::vector<Candidate> GenerateLevels(const GeneratorSettings& settings) {
  Random random(settings.seed);
  std::vector<Candidate> found;
  for (int attempt = 0; attempt < settings.attempts; ++attempt) {
    Level level = MakeRoom(settings, random);
    if (!RoomIsGood(level, settings.crates)) continue;
    std::vector<int> floor = FloorCells(level);
    std::vector<int> picks = floor;
    for (int i = 0; i < settings.crates; ++i) std::swap(picks[i], picks[i + random.Below(static_cast<int>(picks.size()) - i)]);
    level.targets.assign(picks.begin(), picks.begin() + settings.crates);
    std::sort(level.targets.begin(), level.targets.end());
    level.crates = level.targets;
    level.keeper = picks[settings.crates];
    PullAway(level, settings.pulls, random);
    int on_target = 0;
    for (int c : level.crates) on_target += std::binary_search(level.targets.begin(), level.targets.end(), c);
    if (on_target > settings.crates / 4) continue;
    DropHiddenWalls(level);
    if (!LevelProblem(level).empty()) continue;
    Candidate candidate;
    candidate.solution = SolveLevel(level, settings.search_limit);
    if (!candidate.solution.solved) continue;
    candidate.level = level;
    candidate.crate_changes = CrateChanges(level, candidate.solution.moves);
    candidate.score = candidate.solution.pushes + 3 * candidate.crate_changes;
    found.push_back(std::move(candidate));
  }
  std::stable_sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) { return a.score > b.score; });
  return found;
}
