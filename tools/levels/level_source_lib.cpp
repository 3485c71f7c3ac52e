// Level sources: reading the plain-text level notation and the level index, and the limits a
// level must keep (see level_source.h).
#include "tools/levels/level_source.h"

#include <algorithm>
#include <climits>
#include <set>

namespace {

constexpr size_t kMaxLineLength = 256;
constexpr size_t kMaxMapRows = 256;  // far beyond the board, but bounds what a source can ask for
constexpr size_t kMaxNameLength = 32;

bool IsMapCharacter(char c) {
  return c == '#' || c == '$' || c == '.' || c == '@' || c == '*' || c == '+' || c == ' ' ||
         c == '-' || c == '_';
}

// A map row holds only map characters and at least one wall.
bool IsMapRow(std::string_view line) {
  if (line.find('#') == std::string_view::npos) return false;
  return std::all_of(line.begin(), line.end(), IsMapCharacter);
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

// Splits a text into lines, dropping a "\r" before each line end.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string LineError(size_t line_number, const std::string& reason) {
  return "line " + std::to_string(line_number + 1) + ": " + reason;
}

// A title key is "t" followed by letters and digits: it becomes a language-file key.
bool IsTitleKey(std::string_view key) {
  if (key.size() < 2 || key.size() > 255 || key[0] != 't') return false;
  return std::all_of(key.begin(), key.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  });
}

// Fills the level's cells from the map rows; the rows are known to hold map characters only.
void FillCells(const std::vector<std::string_view>& rows, Level& level, int& keepers) {
  level.height = static_cast<int>(rows.size());
  level.width = 0;
  for (std::string_view row : rows) level.width = std::max(level.width, static_cast<int>(row.size()));
  level.walls.assign(static_cast<size_t>(level.width) * level.height, 0);
  keepers = 0;
  for (int y = 0; y < level.height; ++y) {
    for (int x = 0; x < static_cast<int>(rows[y].size()); ++x) {
      int cell = y * level.width + x;
      switch (rows[y][x]) {
        case '#': level.walls[cell] = 1; break;
        case '$': level.crates.push_back(cell); break;
        case '.': level.targets.push_back(cell); break;
        case '*': level.crates.push_back(cell); level.targets.push_back(cell); break;
        case '@': level.keeper = cell; ++keepers; break;
        case '+': level.keeper = cell; level.targets.push_back(cell); ++keepers; break;
        default: break;
      }
    }
  }
}

}  // namespace

std::string ParseLevelSource(std::string_view source, Level& level) {
  level = Level{};
  std::vector<std::string_view> lines = SplitLines(source);
  std::vector<std::string_view> rows;
  bool map_ended = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    if (line.size() > kMaxLineLength) return LineError(i, "line too long");
    if (IsMapRow(line)) {
      if (map_ended) return LineError(i, "a second map");
      // Trailing blanks are floor the notation does not need; drop them.
      while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
      if (rows.size() == kMaxMapRows) return LineError(i, "too many map rows");
      rows.push_back(line);
      continue;
    }
    if (!rows.empty()) map_ended = true;
    std::string_view text = TrimBlanks(line);
    if (text.empty() || text[0] == ';') continue;
    size_t colon = text.find(':');
    if (colon == std::string_view::npos) return LineError(i, "neither a map row nor a \"Key: value\" line");
    std::string_view key = TrimBlanks(text.substr(0, colon));
    std::string_view value = TrimBlanks(text.substr(colon + 1));
    if (key == "Title") {
      if (!level.title_key.empty()) return LineError(i, "a second title");
      if (!IsTitleKey(value)) return LineError(i, "the title must be a key such as tLevelDOCK");
      level.title_key = std::string(value);
    }
  }
  if (rows.empty()) return "no map";
  if (level.title_key.empty()) return "no title key";
  int keepers = 0;
  FillCells(rows, level, keepers);
  if (keepers != 1) return keepers == 0 ? "no keeper" : "more than one keeper";
  std::sort(level.crates.begin(), level.crates.end());
  std::sort(level.targets.begin(), level.targets.end());
  return {};
}

std::vector<unsigned char> LevelEnclosure(const Level& level) {
  size_t cells = static_cast<size_t>(level.width) * level.height;
  std::vector<unsigned char> inside(cells, 0);
  if (level.keeper < 0 || static_cast<size_t>(level.keeper) >= cells || level.walls.size() != cells)
    return inside;
  std::vector<int> queue{level.keeper};
  inside[level.keeper] = 1;
  for (size_t head = 0; head < queue.size(); ++head) {
    int x = queue[head] % level.width;
    int y = queue[head] / level.width;
    const int dx[4] = {-1, 1, 0, 0};
    const int dy[4] = {0, 0, -1, 1};
    for (int d = 0; d < 4; ++d) {
      int nx = x + dx[d];
      int ny = y + dy[d];
      if (nx < 0 || ny < 0 || nx >= level.width || ny >= level.height) continue;
      int next = ny * level.width + nx;
      if (level.walls[next] || inside[next]) continue;
      inside[next] = 1;
      queue.push_back(next);
    }
  }
  return inside;
}

std::string LevelProblem(const Level& level) {
  if (level.width > kBoardWidth || level.height > kBoardHeight)
    return "larger than the " + std::to_string(kBoardWidth) + " x " + std::to_string(kBoardHeight) + " board";
  if (level.keeper < 0) return "no keeper";
  if (level.crates.empty()) return "no crates";
  if (level.crates.size() > static_cast<size_t>(kMaxCrates))
    return "more than " + std::to_string(kMaxCrates) + " crates";
  if (level.crates.size() != level.targets.size())
    return std::to_string(level.crates.size()) + " crates but " + std::to_string(level.targets.size()) + " targets";
  std::vector<unsigned char> inside = LevelEnclosure(level);
  // The keeper must not reach the edge of the map's rectangle: beyond it there are no walls.
  for (int y = 0; y < level.height; ++y) {
    for (int x = 0; x < level.width; ++x) {
      bool edge = x == 0 || y == 0 || x == level.width - 1 || y == level.height - 1;
      if (edge && inside[y * level.width + x]) return "the keeper is not enclosed by walls";
    }
  }
  for (int crate : level.crates)
    if (!inside[crate]) return "a crate lies where the keeper can never reach";
  for (int target : level.targets)
    if (!inside[target]) return "a target lies where the keeper can never reach";
  // The game would count such a level solved before the first move.
  if (level.crates == level.targets) return "every crate already stands on a target";
  return {};
}

int LoneWallPieces(const Level& level) {
  std::vector<unsigned char> inside = LevelEnclosure(level);
  int lone = 0;
  for (int y = 1; y + 1 < level.height; ++y) {
    for (int x = 1; x + 1 < level.width; ++x) {
      int cell = y * level.width + x;
      if (!level.walls[cell]) continue;
      lone += inside[cell - 1] && inside[cell + 1] && inside[cell - level.width] && inside[cell + level.width];
    }
  }
  return lone;
}

namespace {

// A level's cells as kinds for LevelDifference: 0 wall or outside, 1 floor, 2 target, 3 crate,
// 4 crate on a target, 5 keeper (on a target too).
std::vector<unsigned char> CellKinds(const Level& level) {
  std::vector<unsigned char> inside = LevelEnclosure(level);
  std::vector<unsigned char> kinds(inside.size(), 0);
  for (size_t c = 0; c < kinds.size(); ++c) {
    if (!inside[c]) continue;
    int cell = static_cast<int>(c);
    bool crate = std::binary_search(level.crates.begin(), level.crates.end(), cell);
    bool target = std::binary_search(level.targets.begin(), level.targets.end(), cell);
    kinds[c] = cell == level.keeper ? 5 : crate ? (target ? 4 : 3) : target ? 2 : 1;
  }
  return kinds;
}

}  // namespace

int LevelDifference(const Level& a, const Level& b) {
  if (a.walls.empty() || b.walls.empty()) return static_cast<int>(a.walls.size() + b.walls.size());
  std::vector<unsigned char> ka = CellKinds(a), kb = CellKinds(b);
  auto kind_a = [&](int x, int y) { return x < 0 || y < 0 || x >= a.width || y >= a.height ? 0 : ka[y * a.width + x]; };
  int best = INT_MAX;
  for (int mirror = 0; mirror < 4; ++mirror) {
    auto kind_b = [&](int x, int y) {
      if (x < 0 || y < 0 || x >= b.width || y >= b.height) return static_cast<unsigned char>(0);
      if (mirror & 1) x = b.width - 1 - x;
      if (mirror & 2) y = b.height - 1 - y;
      return kb[y * b.width + x];
    };
    // b's corner lies at (dx, dy) in a's cells.
    for (int dy = -b.height + 1; dy < a.height; ++dy) {
      for (int dx = -b.width + 1; dx < a.width; ++dx) {
        int left = std::min(0, dx), top = std::min(0, dy);
        int right = std::max(a.width, dx + b.width), bottom = std::max(a.height, dy + b.height);
        int differ = 0;
        for (int y = top; y < bottom && differ < best; ++y)
          for (int x = left; x < right; ++x) differ += kind_a(x, y) != kind_b(x - dx, y - dy);
        best = std::min(best, differ);
      }
    }
  }
  return best;
}

std::string LevelToText(const Level& level) {
  std::string text;
  for (int y = 0; y < level.height; ++y) {
    std::string row;
    for (int x = 0; x < level.width; ++x) {
      int cell = y * level.width + x;
      bool crate = std::binary_search(level.crates.begin(), level.crates.end(), cell);
      bool target = std::binary_search(level.targets.begin(), level.targets.end(), cell);
      char c = ' ';
      if (level.walls[cell]) c = '#';
      else if (cell == level.keeper) c = target ? '+' : '@';
      else if (crate) c = target ? '*' : '$';
      else if (target) c = '.';
      row += c;
    }
    while (!row.empty() && row.back() == ' ') row.pop_back();
    text += row + "\n";
  }
  return text;
}

std::string ParseLevelIndex(std::string_view index, std::vector<std::string>& names) {
  names.clear();
  std::set<std::string> seen;
  std::vector<std::string_view> lines = SplitLines(index);
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view name = TrimBlanks(lines[i]);
    if (name.empty() || name[0] == '#' || name[0] == ';') continue;
    bool good = name.size() <= kMaxNameLength && std::all_of(name.begin(), name.end(), [](char c) {
      return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    });
    if (!good) return LineError(i, "a level name is lower-case letters, digits, \"-\" and \"_\", at most 32");
    if (!seen.insert(std::string(name)).second) return LineError(i, "\"" + std::string(name) + "\" listed twice");
    names.emplace_back(name);
  }
  if (names.empty()) return "no levels";
  return {};
}

std::string TitleTableProblem(std::string_view table, const std::vector<std::string>& keys) {
  std::vector<std::string_view> lines = SplitLines(table);
  auto fields_of = [](std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (size_t tab = line.find('\t'); tab != std::string_view::npos; tab = line.find('\t', start)) {
      fields.push_back(TrimBlanks(line.substr(start, tab - start)));
      start = tab + 1;
    }
    fields.push_back(TrimBlanks(line.substr(start)));
    return fields;
  };
  if (lines.empty()) return "titles.tsv: no header";
  size_t columns = fields_of(lines[0]).size();
  if (columns < 2) return "titles.tsv: the header names no language";
  std::set<std::string> titled;
  for (size_t i = 1; i < lines.size(); ++i) {
    if (TrimBlanks(lines[i]).empty()) continue;
    std::vector<std::string_view> fields = fields_of(lines[i]);
    if (fields.size() != columns) return "titles.tsv: " + LineError(i, "not one title per language");
    for (std::string_view field : fields)
      if (field.empty()) return "titles.tsv: " + LineError(i, "an empty title");
    if (!titled.insert(std::string(fields[0])).second) return "titles.tsv: " + LineError(i, "a key listed twice");
  }
  for (const std::string& key : keys)
    if (!titled.count(key)) return "titles.tsv: no titles for " + key;
  return {};
}
