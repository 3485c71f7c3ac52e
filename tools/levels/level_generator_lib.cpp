// The level generator (see level_generator.h).
#include "tools/levels/level_generator.h"

#include <algorithm>
#include <random>
#include <string>
#include <unordered_set>

namespace {

class Random {
 public:
  explicit Random(uint64_t seed) : engine_(seed) {}
  int Below(int n) { return n <= 1 ? 0 : static_cast<int>(engine_() % static_cast<uint64_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }

 private:
  std::mt19937_64 engine_;
};

// A room of floor inside an outer wall, shaped by the settings' family, with corners cut away
// and wall pieces of two and three cells inside (a single wall cell is never dropped).
Level MakeRoom(const GeneratorSettings& settings, Random& random) {
  Level level;
  level.title_key = "tLevelGENERATED";
  const int w = settings.width, h = settings.height;
  level.width = w + 2;
  level.height = h + 2;
  level.walls.assign(static_cast<size_t>(level.width) * level.height, 1);
  auto set = [&](int x, int y, unsigned char wall) {
    if (x >= 1 && y >= 1 && x <= w && y <= h) level.walls[y * level.width + x] = wall;
  };
  for (int y = 1; y <= h; ++y)
    for (int x = 1; x <= w; ++x) set(x, y, 0);
  // Corners are cut from open rooms and halls; the other families keep their ways whole.
  bool cut_corners = settings.family == RoomFamily::kOpen || settings.family == RoomFamily::kHalls;
  for (int corner = 0; corner < 4; ++corner) {
    if (!random.Chance(50) || !cut_corners) continue;
    int cw = 1 + random.Below(std::max(1, w / 3));
    int ch = 1 + random.Below(std::max(1, h / 3));
    for (int dy = 0; dy < ch; ++dy)
      for (int dx = 0; dx < cw; ++dx) set(corner & 1 ? w - dx : 1 + dx, corner & 2 ? h - dy : 1 + dy, 1);
  }
  int obstacles = settings.obstacles;
  switch (settings.family) {
    case RoomFamily::kOpen:
      break;
    case RoomFamily::kHalls: {
      // A wall across the room with one or two doors.
      int x = w / 2 + random.Below(3) - 1;
      for (int y = 1; y <= h; ++y) set(x, y, 1);
      int doors = 1 + random.Below(2);
      for (int i = 0; i < doors; ++i) set(x, 1 + random.Below(h), 0);
      break;
    }
    case RoomFamily::kRing: {
      // A block in the middle, two cells from the wall, with a notch or two cut into it: bays
      // two cells square off the walk (a notch one cell wide would be a dead end, filled in
      // when the room is tidied).
      for (int y = 3; y <= h - 2; ++y)
        for (int x = 3; x <= w - 2; ++x) set(x, y, 1);
      int notches = 1 + random.Below(3);
      for (int i = 0; i < notches; ++i) {
        int x = 3 + random.Below(std::max(1, w - 5)), y = 3 + random.Below(std::max(1, h - 5));
        bool from_side = random.Chance(50), near = random.Chance(50);
        for (int a = 0; a < 2; ++a)
          for (int b = 0; b < 2; ++b) {
            if (from_side) set(near ? 3 + b : w - 2 - b, y + a, 0);
            else set(x + a, near ? 3 + b : h - 2 - b, 0);
          }
      }
      obstacles /= 2;
      break;
    }
    case RoomFamily::kStacks: {
      // Every third row, shelves of two to four cells with gaps of one or two.
      for (int y = 2 + random.Below(2); y < h; y += 3) {
        for (int x = 1 + random.Below(2); x <= w;) {
          int length = 2 + random.Below(3);
          for (int i = 0; i < length; ++i) set(x + i, y, 1);
          x += length + 1 + random.Below(2);
        }
      }
      obstacles /= 3;
      break;
    }
    case RoomFamily::kBays: {
      // Walls down from the top every three or four columns, leaving an aisle of two rows.
      for (int x = 2 + random.Below(3); x < w; x += 3 + random.Below(2)) {
        int length = h - 2 - random.Below(2);
        for (int y = 1; y <= length; ++y) set(x, y, 1);
      }
      obstacles /= 3;
      break;
    }
    case RoomFamily::kWinding: {
      // Walls from alternate sides, each leaving a way of two cells at its end.
      bool from_left = random.Chance(50);
      for (int y = 3 + random.Below(2); y < h - 1; y += 3 + random.Below(2)) {
        for (int x = 1; x <= w - 2; ++x) set(from_left ? x : w + 1 - x, y, 1);
        from_left = !from_left;
      }
      obstacles /= 3;
      break;
    }
  }
  static const int kPieces[][3][2] = {
      {{0, 0}, {1, 0}, {1, 0}}, {{0, 0}, {0, 1}, {0, 1}}, {{0, 0}, {1, 0}, {2, 0}}, {{0, 0}, {0, 1}, {0, 2}},
      {{0, 0}, {1, 0}, {0, 1}}, {{0, 0}, {1, 0}, {1, 1}}, {{0, 0}, {0, 1}, {1, 1}}, {{1, 0}, {0, 1}, {1, 1}},
  };
  for (int i = 0; i < obstacles; ++i) {
    const auto& piece = kPieces[random.Below(8)];
    int x = 1 + random.Below(w);
    int y = 1 + random.Below(h);
    for (const auto& cell : piece) set(x + cell[0], y + cell[1], 1);
  }
  // A wall cell with floor on all four sides becomes floor.
  for (int y = 2; y < h; ++y)
    for (int x = 2; x < w; ++x) {
      int c = y * level.width + x;
      if (level.walls[c] && !level.walls[c - 1] && !level.walls[c + 1] && !level.walls[c - level.width] &&
          !level.walls[c + level.width])
        level.walls[c] = 0;
    }
  return level;
}

std::vector<int> FloorCells(const Level& level) {
  std::vector<int> cells;
  for (int c = 0; c < level.width * level.height; ++c)
    if (!level.walls[c]) cells.push_back(c);
  return cells;
}

// `count` floor cells side by side: the first cells a walk outward from a corner or dead end of
// the room reaches (a cell with walls on two sides or more; any floor cell if there is none).
std::vector<int> ClusterCells(const Level& level, int count, Random& random) {
  const int offset[4] = {-1, 1, -level.width, level.width};
  std::vector<int> floor = FloorCells(level), corners;
  for (int c : floor) {
    int walls = 0;
    for (int step : offset) walls += level.walls[c + step];
    if (walls >= 2) corners.push_back(c);
  }
  if (corners.empty()) corners = floor;
  std::vector<int> cells{corners[random.Below(static_cast<int>(corners.size()))]};
  std::vector<unsigned char> seen(level.walls.size(), 0);
  seen[cells[0]] = 1;
  for (size_t head = 0; head < cells.size() && static_cast<int>(cells.size()) < count; ++head) {
    int order[4] = {0, 1, 2, 3};
    for (int i = 3; i > 0; --i) std::swap(order[i], order[random.Below(i + 1)]);
    for (int d : order) {
      int next = cells[head] + offset[d];
      if (level.walls[next] || seen[next] || static_cast<int>(cells.size()) >= count) continue;
      seen[next] = 1;
      cells.push_back(next);
    }
  }
  return cells;
}

// Fills dead ends (floor cells with three walls around) and every floor region but the
// largest; the room is good when enough floor remains.
bool TidyRoom(Level& level, int crates) {
  for (bool changed = true; changed;) {
    changed = false;
    for (int c : FloorCells(level)) {
      int walls = 0;
      for (int step : {-1, 1, -level.width, level.width}) walls += level.walls[c + step];
      if (walls >= 3) {
        level.walls[c] = 1;
        changed = true;
      }
    }
  }
  std::vector<int> floor = FloorCells(level);
  std::vector<unsigned char> best;
  size_t best_size = 0;
  std::vector<unsigned char> seen(level.walls.size(), 0);
  for (int c : floor) {
    if (seen[c]) continue;
    Level probe = level;
    probe.keeper = c;
    std::vector<unsigned char> region = LevelEnclosure(probe);
    size_t size = 0;
    for (size_t i = 0; i < region.size(); ++i) {
      if (region[i]) {
        seen[i] = 1;
        ++size;
      }
    }
    if (size > best_size) {
      best_size = size;
      best = region;
    }
  }
  for (int c : floor)
    if (!best[c]) level.walls[c] = 1;
  return static_cast<int>(best_size) >= crates * 3 + 6;
}

// Pulls crates away from their targets: the keeper walks to a crate, stands beside it and
// steps back, dragging it one cell. Pulls that would shut the keeper into a small pocket are
// avoided (he could pull nothing more from there), and the crate pulled last is favoured so
// that crates travel in runs.
void PullAway(Level& level, int pulls, Random& random) {
  const int offset[4] = {-1, 1, -level.width, level.width};
  std::vector<unsigned char> occupied(level.walls.size(), 0);
  for (int c : level.crates) occupied[c] = 1;
  auto region_size = [&](int keeper) {
    Level probe = level;
    for (size_t c = 0; c < occupied.size(); ++c)
      if (occupied[c]) probe.walls[c] = 1;
    probe.keeper = keeper;
    std::vector<unsigned char> reach = LevelEnclosure(probe);
    return std::make_pair(static_cast<int>(std::count(reach.begin(), reach.end(), 1)), reach);
  };
  int last = -1;
  for (int done = 0; done < pulls; ++done) {
    std::vector<unsigned char> reach = region_size(level.keeper).second;
    struct Option {
      int crate, direction, room;
    };
    std::vector<Option> options;
    int most = 0;
    for (size_t cell = 0; cell < occupied.size(); ++cell) {
      if (!occupied[cell]) continue;
      int crate = static_cast<int>(cell);
      for (int d = 0; d < 4; ++d) {
        int keeper = crate + offset[d], back = keeper + offset[d];
        if (!reach[keeper] || level.walls[back] || occupied[back]) continue;
        occupied[crate] = 0;
        occupied[keeper] = 1;
        int room = region_size(back).first;
        occupied[keeper] = 0;
        occupied[crate] = 1;
        options.push_back({crate, d, room});
        most = std::max(most, room);
      }
    }
    std::vector<Option> good;
    for (const Option& option : options)
      if (option.room * 2 >= most) good.push_back(option);
    if (good.empty()) break;
    Option choice = good[random.Below(static_cast<int>(good.size()))];
    for (const Option& option : good)
      if (option.crate == last && random.Chance(70)) choice = option;
    int keeper = choice.crate + offset[choice.direction];
    occupied[choice.crate] = 0;
    occupied[keeper] = 1;
    level.keeper = keeper + offset[choice.direction];
    last = keeper;
  }
  level.crates.clear();
  for (size_t c = 0; c < occupied.size(); ++c)
    if (occupied[c]) level.crates.push_back(static_cast<int>(c));
}

// Marks the keeper's region (floor not occupied, reached from `keeper`) in `reach` with a new
// `stamp`, leaves its cells in `todo`, and returns its lowest cell: the region's name in a
// position's state.
int WalkRegion(const std::vector<unsigned char>& floor, const std::vector<unsigned char>& occupied,
               const int (&offset)[4], int keeper, std::vector<int>& reach, int& stamp, std::vector<int>& todo) {
  ++stamp;
  todo.assign(1, keeper);
  reach[keeper] = stamp;
  int lowest = keeper;
  for (size_t head = 0; head < todo.size(); ++head) {
    lowest = std::min(lowest, todo[head]);
    for (int step : offset) {
      int next = todo[head] + step;
      if (floor[next] && !occupied[next] && reach[next] != stamp) {
        reach[next] = stamp;
        todo.push_back(next);
      }
    }
  }
  return lowest;
}

// Breadth-first reverse play of the crates of `group` (cells of some of the level's crates),
// the other crates standing still: a position found lies as many pushes from the level's
// current position as any position can, up to `cap` positions searched. With `anywhere` the
// keeper may start in any region (the current position is the solution), otherwise in his own.
// Takes the deepest position with the fewest crates on targets as the level's new position;
// with a `slack_weight`, a position's depth beyond the solver's lower bound counts that many
// times more (the solver must search the more, the farther the bound falls short).
void PullFarthest(Level& level, std::vector<int> group, bool anywhere, size_t cap, int slack_weight,
                  const PushBound& bound, Random& random) {
  const int offset[4] = {-1, 1, -level.width, level.width};
  const int cells = level.width * level.height;
  std::sort(group.begin(), group.end());
  std::vector<unsigned char> floor(cells, 0);
  for (int c = 0; c < cells; ++c) floor[c] = !level.walls[c];
  std::vector<int> fixed;
  for (int c : level.crates)
    if (!std::binary_search(group.begin(), group.end(), c)) {
      fixed.push_back(c);
      floor[c] = 0;
    }
  struct Position {
    std::vector<uint16_t> crates;
    int keeper;
  };
  std::vector<Position> queue;
  std::vector<int> depth;
  std::unordered_set<std::string> seen;
  std::vector<unsigned char> occupied(cells, 0);
  std::vector<int> reach(cells, -1), child_reach(cells, -1), todo;
  int stamp = 0, child_stamp = 0;
  auto walk = [&](int keeper, std::vector<int>& reach, int& stamp) {
    return WalkRegion(floor, occupied, offset, keeper, reach, stamp, todo);
  };
  auto region = [&](int keeper) { return walk(keeper, reach, stamp); };
  auto key = [](const std::vector<uint16_t>& crates, int keeper) {
    std::string text(reinterpret_cast<const char*>(crates.data()), crates.size() * 2);
    text += static_cast<char>(keeper & 0xFF);
    text += static_cast<char>(keeper >> 8);
    return text;
  };
  std::vector<uint16_t> goal(group.begin(), group.end());
  for (int c : goal) occupied[c] = 1;
  for (int c = 0; c < cells; ++c) {
    if (!floor[c] || occupied[c] || (!anywhere && c != level.keeper)) continue;
    int lowest = region(c);
    if (seen.insert(key(goal, lowest)).second) {
      queue.push_back({goal, lowest});
      depth.push_back(0);
    }
  }
  for (int c : goal) occupied[c] = 0;
  for (size_t head = 0; head < queue.size() && queue.size() < cap; ++head) {
    Position position = queue[head];
    for (int c : position.crates) occupied[c] = 1;
    region(position.keeper);
    for (size_t i = 0; i < position.crates.size(); ++i) {
      int crate = position.crates[i];
      for (int d = 0; d < 4; ++d) {
        int keeper = crate + offset[d];
        int back = keeper + offset[d];
        if (reach[keeper] != stamp || !floor[back] || occupied[back]) continue;
        std::vector<uint16_t> crates = position.crates;
        crates[i] = static_cast<uint16_t>(keeper);
        std::sort(crates.begin(), crates.end());
        occupied[crate] = 0;
        occupied[keeper] = 1;
        int lowest = walk(back, child_reach, child_stamp);
        occupied[keeper] = 0;
        occupied[crate] = 1;
        if (seen.insert(key(crates, lowest)).second) {
          queue.push_back({crates, lowest});
          depth.push_back(depth[head] + 1);
        }
      }
    }
    for (int c : position.crates) occupied[c] = 0;
  }
  // The deepest position with few crates left on their targets; ties broken at random.
  std::vector<unsigned char> target(cells, 0);
  for (int t : level.targets) target[t] = 1;
  std::vector<int> all;
  auto worth = [&](size_t i) {
    int on = 0;
    for (int c : queue[i].crates) on += target[c];
    int value = depth[i] - 8 * on;
    if (slack_weight > 0) {
      all = fixed;
      all.insert(all.end(), queue[i].crates.begin(), queue[i].crates.end());
      int lower = PushBoundOf(bound, all);
      if (lower < kNoBound) value += slack_weight * (depth[i] - lower);
    }
    return value;
  };
  int best = -1 << 30;
  std::vector<size_t> ties;
  for (size_t i = 0; i < queue.size(); ++i) {
    int w = worth(i);
    if (w > best) { best = w; ties.clear(); }
    if (w == best) ties.push_back(i);
  }
  const Position& chosen = queue[ties[random.Below(static_cast<int>(ties.size()))]];
  level.crates = fixed;
  level.crates.insert(level.crates.end(), chosen.crates.begin(), chosen.crates.end());
  std::sort(level.crates.begin(), level.crates.end());
  level.keeper = chosen.keeper;
}

// Reverse play of all crates at once, breadth first from every position with the crates on
// their targets: each position found is as many pushes from solved as its depth, exactly, so
// its depth less its start bound is its depth as a puzzle. Moves the level's crates and keeper
// to the deepest position of at least `min_pushes` pushes with at most one crate on a target
// (ties broken at random) and returns its fewest pushes, or -1 when no position qualifies.
// Positions are a state each: the crates in ascending order, then the lowest cell of the
// keeper's region; at most `search_limit` are stored.
int PullDeepest(Level& level, const GeneratorSettings& settings, Random& random) {
  const size_t cap = settings.search_limit;
  const int min_pushes = settings.min_pushes;
  const int offset[4] = {-1, 1, -level.width, level.width};
  const int cells = level.width * level.height;
  const int n = static_cast<int>(level.targets.size());
  const size_t stride = static_cast<size_t>(n) + 1;
  std::vector<unsigned char> floor(cells, 0), occupied(cells, 0);
  for (int c = 0; c < cells; ++c) floor[c] = !level.walls[c];
  std::vector<uint16_t> states;
  std::vector<uint8_t> depth;
  std::vector<uint32_t> slots(1 << 16, 0);  // state number + 1
  auto hash_of = [&](const uint16_t* state) {
    uint64_t hash = 0x9E3779B97F4A7C15ull;
    for (size_t i = 0; i < stride; ++i) hash = (hash ^ state[i]) * 0x100000001B3ull;
    return hash ^ (hash >> 29);
  };
  auto insert = [&](const uint16_t* state, uint8_t d) {
    if ((depth.size() + 1) * 2 > slots.size()) {
      std::vector<uint32_t> grown(slots.size() * 2, 0);
      size_t mask = grown.size() - 1;
      for (uint32_t slot : slots) {
        if (!slot) continue;
        size_t i = hash_of(&states[(slot - 1) * stride]) & mask;
        while (grown[i]) i = (i + 1) & mask;
        grown[i] = slot;
      }
      slots.swap(grown);
    }
    size_t mask = slots.size() - 1;
    size_t i = hash_of(state) & mask;
    for (; slots[i]; i = (i + 1) & mask)
      if (std::equal(state, state + stride, &states[(slots[i] - 1) * stride])) return;
    slots[i] = static_cast<uint32_t>(depth.size() + 1);
    states.insert(states.end(), state, state + stride);
    depth.push_back(d);
  };
  std::vector<int> reach(cells, 0), child_reach(cells, 0), todo;
  int stamp = 0, child_stamp = 0;
  auto walk = [&](int keeper, std::vector<int>& reach, int& stamp) {
    return WalkRegion(floor, occupied, offset, keeper, reach, stamp, todo);
  };
  auto region = [&](int keeper) { return walk(keeper, reach, stamp); };
  std::vector<uint16_t> state(stride);
  for (int i = 0; i < n; ++i) state[i] = static_cast<uint16_t>(level.targets[i]);
  for (int t : level.targets) occupied[t] = 1;
  std::vector<int> start_regions(cells, 0);
  for (int c = 0; c < cells; ++c) {
    if (!floor[c] || occupied[c] || start_regions[c]) continue;
    state[n] = static_cast<uint16_t>(region(c));
    for (int r : todo) start_regions[r] = 1;
    insert(state.data(), 0);
  }
  for (int t : level.targets) occupied[t] = 0;
  PushBound bound = MakePushBound(level);
  std::vector<int> position(n);
  auto bound_of = [&](size_t i) {
    for (int k = 0; k < n; ++k) position[k] = states[i * stride + k];
    return PushBoundOf(bound, position);
  };
  std::vector<uint16_t> crates(n), child(stride);
  for (size_t head = 0; head < depth.size() && depth.size() < cap; ++head) {
    std::copy(&states[head * stride], &states[head * stride] + n, crates.begin());
    int keeper = states[head * stride + n];
    uint8_t next_depth = static_cast<uint8_t>(std::min(255, depth[head] + 1));
    for (int c : crates) occupied[c] = 1;
    region(keeper);
    for (int i = 0; i < n; ++i) {
      int crate = crates[i];
      for (int d = 0; d < 4; ++d) {
        int to = crate + offset[d], back = to + offset[d];
        if (reach[to] != stamp || !floor[back] || occupied[back]) continue;
        std::copy(crates.begin(), crates.end(), child.begin());
        child[i] = static_cast<uint16_t>(to);
        std::sort(child.begin(), child.begin() + n);
        occupied[crate] = 0;
        occupied[to] = 1;
        child[n] = static_cast<uint16_t>(walk(back, child_reach, child_stamp));
        occupied[to] = 0;
        occupied[crate] = 1;
        insert(child.data(), next_depth);
      }
    }
    for (int c : crates) occupied[c] = 0;
  }
  std::vector<unsigned char> target(cells, 0);
  for (int t : level.targets) target[t] = 1;
  int best_gap = -1, best_depth = -1;
  std::vector<size_t> ties;
  for (size_t i = 0; i < depth.size(); ++i) {
    if (depth[i] < min_pushes || depth[i] == 255) continue;
    int on = 0;
    for (int k = 0; k < n; ++k) on += target[states[i * stride + k]];
    if (on > 1) continue;
    int lower = bound_of(i);
    if (lower >= kNoBound) continue;
    int gap = depth[i] - lower;
    if (gap < best_gap || (gap == best_gap && depth[i] < best_depth)) continue;
    if (gap > best_gap || depth[i] > best_depth) ties.clear();
    best_gap = gap;
    best_depth = depth[i];
    ties.push_back(i);
  }
  if (settings.note) {
    int deepest = depth.empty() ? 0 : depth.back();
    settings.note(std::to_string(depth.size()) + " positions, the deepest " + std::to_string(deepest) +
                  " pushes; chosen: " + (ties.empty() ? std::string("none") :
                  std::to_string(best_depth) + " pushes, " + std::to_string(best_gap) + " beyond the bound"));
  }
  if (ties.empty()) return -1;
  size_t chosen = ties[random.Below(static_cast<int>(ties.size()))];
  level.crates.assign(&states[chosen * stride], &states[chosen * stride] + n);
  // The keeper stands anywhere in his region; its lowest cell will do.
  level.keeper = states[chosen * stride + n];
  return best_depth;
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
  // Drop the empty rows and columns at the edges.
  int left = level.width, right = -1, top = level.height, bottom = -1;
  for (int y = 0; y < level.height; ++y)
    for (int x = 0; x < level.width; ++x)
      if (level.walls[y * level.width + x]) {
        left = std::min(left, x); right = std::max(right, x);
        top = std::min(top, y); bottom = std::max(bottom, y);
      }
  if (right < 0) return;
  int width = right - left + 1;
  auto move = [&](int c) { return (c / level.width - top) * width + (c % level.width - left); };
  Level trimmed = level;
  trimmed.width = width;
  trimmed.height = bottom - top + 1;
  trimmed.walls.assign(static_cast<size_t>(trimmed.width) * trimmed.height, 0);
  for (int y = top; y <= bottom; ++y)
    for (int x = left; x <= right; ++x) trimmed.walls[move(y * level.width + x)] = level.walls[y * level.width + x];
  for (int& c : trimmed.crates) c = move(c);
  for (int& c : trimmed.targets) c = move(c);
  trimmed.keeper = move(level.keeper);
  level = trimmed;
}

}  // namespace

const char* RoomFamilyName(RoomFamily family) {
  switch (family) {
    case RoomFamily::kOpen: return "open";
    case RoomFamily::kHalls: return "halls";
    case RoomFamily::kRing: return "ring";
    case RoomFamily::kStacks: return "stacks";
    case RoomFamily::kBays: return "bays";
    case RoomFamily::kWinding: return "winding";
  }
  return "open";
}

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
    if (!TidyRoom(level, settings.crates)) continue;
    std::vector<int> floor = FloorCells(level);
    std::vector<int> picks = floor;
    for (int i = 0; i < settings.crates; ++i) std::swap(picks[i], picks[i + random.Below(static_cast<int>(picks.size()) - i)]);
    if (settings.targets == TargetPlacement::kClustered) picks = ClusterCells(level, settings.crates + 1, random);
    level.targets.assign(picks.begin(), picks.begin() + settings.crates);
    std::sort(level.targets.begin(), level.targets.end());
    level.crates = level.targets;
    level.keeper = picks[settings.crates];
    if (settings.min_depth > 0) {
      // The deepest position is searched below, once the room is whole.
    } else if (settings.pulls > 0) {
      PullAway(level, settings.pulls, random);
    } else {
      // Stages of reverse play, each moving a group of crates (all of them when pulls is 0).
      int group_size = settings.pulls < 0 ? -settings.pulls : settings.crates;
      PushBound bound = MakePushBound(level);
      std::vector<int> order = level.crates;
      for (size_t i = order.size(); i > 1; --i) std::swap(order[i - 1], order[random.Below(static_cast<int>(i))]);
      for (size_t first = 0; first < order.size(); first += group_size) {
        // The crates of this group, where the earlier stages left them: order holds targets,
        // and this stage's crates still stand on theirs.
        std::vector<int> group(order.begin() + first, order.begin() + std::min(order.size(), first + group_size));
        PullFarthest(level, group, first == 0, settings.search_limit, settings.slack_weight, bound, random);
      }
    }
    bool deep = settings.min_depth > 0;
    int exact_pushes = -1;
    if (deep) {
      exact_pushes = PullDeepest(level, settings, random);
      if (exact_pushes < 0) continue;
    }
    int on_target = 0;
    for (int c : level.crates) on_target += std::binary_search(level.targets.begin(), level.targets.end(), c);
    if (on_target > settings.crates / 3) continue;
    DropHiddenWalls(level);
    if (!LevelProblem(level).empty()) continue;
    Candidate candidate;
    candidate.bound = StartBound(level);
    if (deep && exact_pushes - candidate.bound < settings.min_depth) continue;
    candidate.solution = SolveLevel(level, settings.search_limit, deep ? 0 : settings.search_limit);
    if (deep && settings.note)
      settings.note("  solver: " + (candidate.solution.fewest_pushes ? std::to_string(candidate.solution.pushes) +
                    " pushes, bound " + std::to_string(candidate.bound) : std::string("no proof")) +
                    " (reverse play: " + std::to_string(exact_pushes) + ")");
    if (!candidate.solution.solved) continue;
    if (deep && !candidate.solution.fewest_pushes) continue;
    candidate.depth = candidate.solution.pushes - candidate.bound;
    candidate.reverse_pushes = exact_pushes;
    candidate.level = level;
    candidate.crate_changes = CrateChanges(level, candidate.solution.moves);
    candidate.score = candidate.solution.pushes + 3 * candidate.crate_changes;
    // Searching for hard levels, the proof's effort counts most.
    if (settings.slack_weight > 0)
      candidate.score = static_cast<int>(candidate.solution.proof_expanded / 1000) + candidate.solution.pushes;
    found.push_back(std::move(candidate));
  }
  if (settings.min_depth > 0) {
    std::stable_sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) {
      if (a.depth != b.depth) return a.depth > b.depth;
      if (a.solution.pushes != b.solution.pushes) return a.solution.pushes > b.solution.pushes;
      return a.solution.proof_expanded > b.solution.proof_expanded;
    });
    for (Candidate& c : found) c.score = c.depth;
    return found;
  }
  std::stable_sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) { return a.score > b.score; });
  return found;
}
