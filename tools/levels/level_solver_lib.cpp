// The level solver (see level_solver.h): A* over pushes, with the keeper's position reduced to
// the region he can walk to, dead squares and frozen crates pruned, and the cheapest
// crate-to-target assignment as the lower bound; then the same search costed in moves, with the
// keeper's exact cell in each position.
#include "tools/levels/level_solver.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <queue>
#include <vector>

namespace {

constexpr int kInfinity = 1 << 20;
constexpr char kWalkLetters[4] = {'l', 'r', 'u', 'd'};
constexpr char kPushLetters[4] = {'L', 'R', 'U', 'D'};
constexpr int kFallbackWeight = 3;

// What never changes during a search: the floor the keeper can reach, the targets, the dead
// squares and the push distance from every cell to every target.
struct SearchBoard {
  int width = 0;
  int cells = 0;
  int offset[4] = {};
  std::vector<unsigned char> floor;
  std::vector<unsigned char> target;
  std::vector<unsigned char> dead;
  std::vector<std::vector<int>> distance;  // [target number][cell]
};

SearchBoard MakeBoard(const Level& level) {
  SearchBoard board;
  board.width = level.width;
  board.cells = level.width * level.height;
  board.offset[0] = -1;
  board.offset[1] = 1;
  board.offset[2] = -level.width;
  board.offset[3] = level.width;
  board.floor = LevelEnclosure(level);
  board.target.assign(board.cells, 0);
  for (int t : level.targets) board.target[t] = 1;
  // Push distances, found backwards from each target: a crate at p reaches n = p + d when the
  // keeper can stand at p - d.
  for (int t : level.targets) {
    std::vector<int> distance(board.cells, kInfinity);
    std::vector<int> queue{t};
    distance[t] = 0;
    for (size_t head = 0; head < queue.size(); ++head) {
      int n = queue[head];
      for (int d = 0; d < 4; ++d) {
        int p = n - board.offset[d];
        if (!board.floor[p] || distance[p] != kInfinity) continue;
        if (!board.floor[p - board.offset[d]]) continue;
        distance[p] = distance[n] + 1;
        queue.push_back(p);
      }
    }
    board.distance.push_back(std::move(distance));
  }
  board.dead.assign(board.cells, 0);
  for (int c = 0; c < board.cells; ++c) {
    if (!board.floor[c]) continue;
    bool live = false;
    for (const std::vector<int>& distance : board.distance) live = live || distance[c] < kInfinity;
    board.dead[c] = !live;
  }
  return board;
}

// The cheapest assignment of crates to targets (Hungarian method over push distances); at
// least kInfinity when some crate can reach no free target.
int AssignmentCost(const std::vector<std::vector<int>>& distance, const uint16_t* crates, int n) {
  std::array<std::array<int, kMaxCrates + 1>, kMaxCrates + 1> cost{};
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) cost[i + 1][j + 1] = distance[j][crates[i]];
  std::array<int, kMaxCrates + 1> u{}, v{}, match{}, way{};
  for (int i = 1; i <= n; ++i) {
    match[0] = i;
    int j0 = 0;
    std::array<int, kMaxCrates + 1> minv;
    std::array<bool, kMaxCrates + 1> used{};
    minv.fill(INT_MAX / 4);
    do {
      used[j0] = true;
      int i0 = match[j0], delta = INT_MAX / 4, j1 = 0;
      for (int j = 1; j <= n; ++j) {
        if (used[j]) continue;
        int current = cost[i0][j] - u[i0] - v[j];
        if (current < minv[j]) { minv[j] = current; way[j] = j0; }
        if (minv[j] < delta) { delta = minv[j]; j1 = j; }
      }
      for (int j = 0; j <= n; ++j) {
        if (used[j]) { u[match[j]] += delta; v[j] -= delta; }
        else minv[j] -= delta;
      }
      j0 = j1;
    } while (match[j0] != 0);
    do { int j1 = way[j0]; match[j0] = match[j1]; j0 = j1; } while (j0);
  }
  int total = 0;
  for (int j = 1; j <= n; ++j) total += cost[match[j]][j];
  return total;
}

uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// An open-addressing set of node numbers keyed by a 64-bit hash; equality is decided by the
// caller's test.
class NodeTable {
 public:
  NodeTable() : slots_(1 << 16) {}
  template <typename Same>
  int Find(uint64_t hash, Same same) const {
    size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      const Slot& slot = slots_[i];
      if (slot.node < 0) return -1;
      if (slot.hash == hash && same(slot.node)) return slot.node;
    }
  }
  void Insert(uint64_t hash, int node) {
    if ((count_ + 1) * 2 > slots_.size()) Grow();
    Place(hash, node);
    ++count_;
  }

 private:
  struct Slot {
    uint64_t hash = 0;
    int node = -1;
  };
  void Place(uint64_t hash, int node) {
    size_t mask = slots_.size() - 1;
    size_t i = hash & mask;
    while (slots_[i].node >= 0) i = (i + 1) & mask;
    slots_[i] = Slot{hash, node};
  }
  void Grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& slot : old)
      if (slot.node >= 0) Place(slot.hash, slot.node);
  }
  std::vector<Slot> slots_;
  size_t count_ = 0;
};

class Search {
 public:
  // By pushes, a position is the crates and the region the keeper can walk in; by moves, the
  // crates and the keeper's own cell, and a push costs the walk to it plus one.
  Search(const Level& level, const SearchBoard& board, bool by_moves)
      : board_(board), n_(static_cast<int>(level.crates.size())), by_moves_(by_moves) {
    occupied_.assign(board.cells, 0);
    examining_.assign(board.cells, 0);
    reach_.assign(board.cells, 0);
    walk_.assign(board.cells, 0);
    std::vector<uint16_t> crates(level.crates.begin(), level.crates.end());
    AddNode(crates.data(), static_cast<uint16_t>(level.keeper), -1, 0, 0, 0);
  }

  // Runs A* with f = g + weight * h. Returns the goal node or -1; `exhausted` tells whether the
  // whole reachable space was searched.
  int Run(int weight, size_t limit, size_t& expanded, bool& exhausted) {
    std::priority_queue<uint64_t, std::vector<uint64_t>, std::greater<uint64_t>> open;
    open.push(QueueKey(0, weight));
    std::vector<uint16_t> child(n_);
    exhausted = false;
    while (!open.empty()) {
      int node = static_cast<int>(0xFFFFFFFFu - (open.top() & 0xFFFFFFFFu));
      open.pop();
      LoadCrates(node);
      int lowest = ReachAndNormalise(keeper_[node]);
      int normal = by_moves_ ? keeper_[node] : lowest;
      uint64_t hash = CrateHash(node) ^ Mix(normal + 0x10000u);
      auto same_state = [&](int other) {
        return normal_[other] == normal && SameCrates(other, node);
      };
      if (closed_.Find(hash, same_state) >= 0) { ClearCrates(node); continue; }
      normal_[node] = static_cast<uint16_t>(normal);
      closed_.Insert(hash, node);
      ++expanded;
      if (h_[node] == 0) { ClearCrates(node); return node; }
      if (parent_.size() > limit) { ClearCrates(node); return -1; }
      // A copy: storing children may move the node store.
      std::vector<uint16_t> crates(&crates_[static_cast<size_t>(node) * n_], &crates_[static_cast<size_t>(node) * n_] + n_);
      for (int i = 0; i < n_; ++i) {
        int c = crates[i];
        for (int d = 0; d < 4; ++d) {
          int to = c + board_.offset[d];
          int from = c - board_.offset[d];
          if (reach_[from] != stamp_ || !board_.floor[to] || occupied_[to] || board_.dead[to]) continue;
          occupied_[c] = 0;
          occupied_[to] = 1;
          bool frozen = PushFreezes(to);
          occupied_[to] = 0;
          occupied_[c] = 1;
          if (frozen) continue;
          std::copy(crates.begin(), crates.end(), child.begin());
          child[i] = static_cast<uint16_t>(to);
          std::sort(child.begin(), child.end());
          int g = static_cast<int>(g_[node]) + (by_moves_ ? walk_[from] + 1 : 1);
          // The bound is worked out only for positions not already stored as near the start.
          uint64_t child_hash = HashCrates(child.data()) ^ Mix(static_cast<uint16_t>(c));
          int existing = FindGenerated(child.data(), static_cast<uint16_t>(c), child_hash);
          if (existing >= 0 && static_cast<int64_t>(g_[existing]) <= g) continue;
          int h = existing >= 0 ? h_[existing] : AssignmentCost(board_.distance, child.data(), n_);
          if (h >= kInfinity) continue;
          int added = AddNode(child.data(), static_cast<uint16_t>(c), node, g, h, static_cast<uint8_t>(d),
                              child_hash, existing);
          if (added >= 0) open.push(QueueKey(added, weight));
        }
      }
      ClearCrates(node);
    }
    exhausted = true;
    return -1;
  }

  // The pushes from the start to `node`, as (crate cell, direction) pairs.
  std::vector<std::pair<int, int>> Pushes(int node) const {
    std::vector<std::pair<int, int>> pushes;
    for (; parent_[node] >= 0; node = parent_[node]) pushes.emplace_back(keeper_[node], push_direction_[node]);
    std::reverse(pushes.begin(), pushes.end());
    return pushes;
  }

 private:
  uint64_t QueueKey(int node, int weight) const {
    uint64_t f = static_cast<uint64_t>(g_[node]) + static_cast<uint64_t>(weight) * h_[node];
    return (f << 44) | (static_cast<uint64_t>(h_[node]) << 32) | (0xFFFFFFFFu - static_cast<uint32_t>(node));
  }

  uint64_t HashCrates(const uint16_t* crates) const {
    uint64_t hash = 0;
    for (int i = 0; i < n_; ++i) hash ^= Mix(crates[i]);
    return hash;
  }
  uint64_t CrateHash(int node) const { return HashCrates(&crates_[static_cast<size_t>(node) * n_]); }
  bool SameCrates(int a, int b) const {
    return std::equal(&crates_[static_cast<size_t>(a) * n_], &crates_[static_cast<size_t>(a) * n_] + n_,
                      &crates_[static_cast<size_t>(b) * n_]);
  }

  // Stores a position unless the same crates with the keeper on the same cell are already
  // stored at no greater push count. Returns the node number or -1.
  int FindGenerated(const uint16_t* crates, uint16_t keeper, uint64_t hash) const {
    return generated_.Find(hash, [&](int other) {
      return keeper_[other] == keeper &&
             std::equal(crates, crates + n_, &crates_[static_cast<size_t>(other) * n_]);
    });
  }
  int AddNode(const uint16_t* crates, uint16_t keeper, int parent, int g, int h, uint8_t direction) {
    uint64_t hash = HashCrates(crates) ^ Mix(keeper);
    return AddNode(crates, keeper, parent, g, h, direction, hash, FindGenerated(crates, keeper, hash));
  }
  // The same, with the position's hash and the node already stored for it (or -1) known.
  int AddNode(const uint16_t* crates, uint16_t keeper, int parent, int g, int h, uint8_t direction, uint64_t hash,
              int existing) {
    if (existing >= 0 && static_cast<int64_t>(g_[existing]) <= g) return -1;
    int node = static_cast<int>(parent_.size());
    crates_.insert(crates_.end(), crates, crates + n_);
    keeper_.push_back(keeper);
    normal_.push_back(0);
    parent_.push_back(parent);
    g_.push_back(static_cast<uint32_t>(g));
    h_.push_back(static_cast<uint16_t>(parent < 0 ? AssignmentCost(board_.distance, crates, n_) : h));
    push_direction_.push_back(direction);
    if (existing < 0) generated_.Insert(hash, node);
    return node;
  }

  void LoadCrates(int node) {
    for (int i = 0; i < n_; ++i) occupied_[crates_[static_cast<size_t>(node) * n_ + i]] = 1;
  }
  void ClearCrates(int node) {
    for (int i = 0; i < n_; ++i) occupied_[crates_[static_cast<size_t>(node) * n_ + i]] = 0;
  }

  // Marks the cells the keeper can walk to, with the length of his walk to each; returns the
  // lowest of them, which stands for the whole region.
  int ReachAndNormalise(int keeper) {
    ++stamp_;
    queue_.clear();
    queue_.push_back(keeper);
    reach_[keeper] = stamp_;
    walk_[keeper] = 0;
    int lowest = keeper;
    for (size_t head = 0; head < queue_.size(); ++head) {
      int cell = queue_[head];
      lowest = std::min(lowest, cell);
      for (int d = 0; d < 4; ++d) {
        int next = cell + board_.offset[d];
        if (!board_.floor[next] || occupied_[next] || reach_[next] == stamp_) continue;
        reach_[next] = stamp_;
        walk_[next] = walk_[cell] + 1;
        queue_.push_back(next);
      }
    }
    return lowest;
  }

  // A crate that can move along neither axis stays where it is for good. Crates being examined
  // count as walls, which lets a group of crates block each other.
  bool AxisBlocked(int cell, int step) {
    int a = cell - step, b = cell + step;
    if (!board_.floor[a] || !board_.floor[b] || examining_[a] || examining_[b]) return true;
    if (board_.dead[a] && board_.dead[b]) return true;
    if (occupied_[a] && CrateFrozen(a)) return true;
    if (occupied_[b] && CrateFrozen(b)) return true;
    return false;
  }
  bool CrateFrozen(int cell) {
    examining_[cell] = 1;
    bool frozen = AxisBlocked(cell, 1) && AxisBlocked(cell, board_.width);
    examining_[cell] = 0;
    return frozen;
  }
  // Whether the crate just pushed to `cell` leaves a crate frozen off its target: itself, or a
  // neighbour that its arrival froze.
  bool PushFreezes(int cell) {
    if (!CrateFrozen(cell)) return false;
    if (!board_.target[cell]) return true;
    for (int d = 0; d < 4; ++d) {
      int next = cell + board_.offset[d];
      if (occupied_[next] && !board_.target[next] && CrateFrozen(next)) return true;
    }
    return false;
  }

  const SearchBoard& board_;
  int n_;
  bool by_moves_;
  std::vector<uint16_t> crates_;  // n_ per node, ascending
  std::vector<uint16_t> keeper_;  // the keeper's cell; for pushes, the cell the crate left
  std::vector<uint16_t> normal_;  // lowest reachable cell, set when the node is expanded
  std::vector<int> parent_;
  std::vector<uint32_t> g_;      // pushes or moves from the start
  std::vector<uint16_t> h_;
  std::vector<uint8_t> push_direction_;
  NodeTable generated_;
  NodeTable closed_;
  std::vector<unsigned char> occupied_;
  std::vector<unsigned char> examining_;
  std::vector<unsigned> reach_;
  std::vector<int> walk_;  // valid where reach_ holds the current stamp
  unsigned stamp_ = 0;
  std::vector<int> queue_;
};

// The keeper's shortest walk from `from` to `to` around walls and crates, as move letters.
std::string WalkPath(const SearchBoard& board, const std::vector<unsigned char>& occupied, int from, int to) {
  std::vector<int> came(board.cells, -1);
  std::vector<int> queue{from};
  came[from] = 4;
  for (size_t head = 0; head < queue.size() && came[to] < 0; ++head) {
    int cell = queue[head];
    for (int d = 0; d < 4; ++d) {
      int next = cell + board.offset[d];
      if (!board.floor[next] || occupied[next] || came[next] >= 0) continue;
      came[next] = d;
      queue.push_back(next);
    }
  }
  std::string path;
  for (int cell = to; cell != from && came[cell] >= 0 && came[cell] < 4; cell -= board.offset[came[cell]])
    path += kWalkLetters[came[cell]];
  std::reverse(path.begin(), path.end());
  return path;
}

std::string MovesOf(const Level& level, const SearchBoard& board, const std::vector<std::pair<int, int>>& pushes) {
  std::vector<unsigned char> occupied(board.cells, 0);
  for (int c : level.crates) occupied[c] = 1;
  int keeper = level.keeper;
  std::string moves;
  for (auto [crate, d] : pushes) {
    moves += WalkPath(board, occupied, keeper, crate - board.offset[d]);
    moves += kPushLetters[d];
    occupied[crate] = 0;
    occupied[crate + board.offset[d]] = 1;
    keeper = crate;
  }
  return moves;
}

}  // namespace

PushBound MakePushBound(const Level& level) {
  PushBound bound;
  if (level.keeper < 0 || level.targets.empty() || level.targets.size() > kMaxCrates ||
      level.walls.size() != static_cast<size_t>(level.width) * level.height)
    return bound;
  bound.distance = MakeBoard(level).distance;
  return bound;
}

int PushBoundOf(const PushBound& bound, const std::vector<int>& crates) {
  if (crates.empty() || crates.size() != bound.distance.size() || crates.size() > kMaxCrates) return kNoBound;
  uint16_t cells[kMaxCrates];
  for (size_t i = 0; i < crates.size(); ++i) {
    if (crates[i] < 0 || static_cast<size_t>(crates[i]) >= bound.distance[0].size()) return kNoBound;
    cells[i] = static_cast<uint16_t>(crates[i]);
  }
  int cost = AssignmentCost(bound.distance, cells, static_cast<int>(crates.size()));
  return cost >= kInfinity ? kNoBound : cost;
}

int StartBound(const Level& level) {
  if (!LevelProblem(level).empty()) return kNoBound;
  return PushBoundOf(MakePushBound(level), level.crates);
}

Solution SolveLevel(const Level& level, size_t limit, size_t moves_limit) {
  Solution solution;
  if (!LevelProblem(level).empty()) {
    solution.failure = "not a playable level";
    return solution;
  }
  SearchBoard board = MakeBoard(level);
  std::vector<uint16_t> start(level.crates.begin(), level.crates.end());
  if (AssignmentCost(board.distance, start.data(), static_cast<int>(start.size())) >= kInfinity) {
    solution.failure = "unsolvable";  // some crate can never reach a target
    return solution;
  }
  for (int weight : {1, kFallbackWeight}) {
    Search search(level, board, false);
    bool exhausted = false;
    int goal = search.Run(weight, limit, solution.expanded, exhausted);
    if (goal >= 0) {
      std::vector<std::pair<int, int>> pushes = search.Pushes(goal);
      solution.solved = true;
      solution.fewest_pushes = weight == 1;
      if (weight == 1) solution.proof_expanded = solution.expanded;
      solution.pushes = static_cast<int>(pushes.size());
      solution.moves = MovesOf(level, board, pushes);
      break;
    }
    if (exhausted) {
      solution.failure = "unsolvable";
      return solution;
    }
  }
  if (!solution.solved) {
    solution.failure = "search limit reached";
    return solution;
  }
  // The game counts steps, so a solution with the fewest moves is the better record, when the
  // search for it stays within its limit.
  Search by_moves(level, board, true);
  bool exhausted = false;
  int goal = by_moves.Run(1, moves_limit, solution.expanded, exhausted);
  if (goal >= 0) {
    std::vector<std::pair<int, int>> pushes = by_moves.Pushes(goal);
    std::string moves = MovesOf(level, board, pushes);
    // A walk-saving solution that needs more pushes than the proven fewest is not recorded: the
    // recorded solution of a level proved push-optimal always has the fewest pushes.
    bool keeps_pushes = !solution.fewest_pushes || static_cast<int>(pushes.size()) == solution.pushes;
    if (moves.size() <= solution.moves.size() && keeps_pushes) {
      solution.fewest_pushes = solution.fewest_pushes && static_cast<int>(pushes.size()) == solution.pushes;
      solution.fewest_moves = true;
      solution.pushes = static_cast<int>(pushes.size());
      solution.moves = moves;
    }
  }
  return solution;
}

int ReplayMoves(const Level& level, const std::string& moves, int* pushes) {
  if (pushes) *pushes = 0;
  if (!LevelProblem(level).empty()) return 0;
  std::vector<unsigned char> floor = LevelEnclosure(level);
  std::vector<unsigned char> occupied(floor.size(), 0);
  for (int c : level.crates) occupied[c] = 1;
  const int offset[4] = {-1, 1, -level.width, level.width};
  int keeper = level.keeper;
  for (char move : moves) {
    const char* letter = std::find(kWalkLetters, kWalkLetters + 4, move | 0x20);
    if (letter == kWalkLetters + 4) return 0;
    int d = static_cast<int>(letter - kWalkLetters);
    int front = keeper + offset[d];
    if (!floor[front]) return 0;
    if (occupied[front]) {
      int beyond = front + offset[d];
      if (!floor[beyond] || occupied[beyond]) return 0;
      occupied[front] = 0;
      occupied[beyond] = 1;
      if (pushes) ++*pushes;
    }
    keeper = front;
  }
  for (int t : level.targets)
    if (!occupied[t]) return 0;
  return 1;
}
