// Building the map pack from a level folder (see level_build.h).
#include "tools/levels/level_build.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/levels/level_art.h"
#include "tools/levels/level_compiler.h"
#include "tools/mapwriter/mapwriter.h"

namespace {

namespace fs = std::filesystem;

bool WriteWholeFile(const fs::path& path, const void* data, size_t size) {
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  std::ofstream file(path, std::ios::binary);
  file.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(file);
}

// Reads, checks and solves one level source; gives the reason it fails, or an empty text.
std::string LoadAndSolve(const fs::path& path, Level& level, Solution& solution) {
  std::string text;
  if (!ReadWholeFile(path.string(), text)) return "cannot read " + path.string();
  std::string problem = ParseLevelSource(text, level);
  if (problem.empty()) problem = LevelProblem(level);
  if (!problem.empty()) return problem;
  solution = SolveLevel(level);
  if (!solution.solved) return "no solution (" + solution.failure + ")";
  if (!ReplayMoves(level, solution.moves)) return "the solver's solution does not solve it";
  return {};
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& text) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream buffer;
  buffer << file.rdbuf();
  text = buffer.str();
  return true;
}

bool ProveLevelFolder(const std::string& folder, std::vector<BuiltLevel>& built, std::vector<std::string>& problems) {
  built.clear();
  problems.clear();
  const fs::path base(folder);
  std::string index_text, titles_text;
  std::vector<std::string> sources;
  if (!ReadWholeFile((base / "order.txt").string(), index_text)) {
    problems.push_back("cannot read " + (base / "order.txt").string());
    return false;
  }
  std::string problem = ParseLevelIndex(index_text, sources);
  if (!problem.empty()) {
    problems.push_back("order.txt: " + problem);
    return false;
  }
  std::vector<std::string> keys;
  for (size_t i = 0; i < sources.size(); ++i) {
    BuiltLevel entry;
    entry.source = sources[i];
    entry.name = (i < 9 ? "0" : "") + std::to_string(i + 1);
    auto start = std::chrono::steady_clock::now();
    problem = LoadAndSolve(base / (sources[i] + ".txt"), entry.level, entry.solution);
    entry.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!problem.empty()) {
      problems.push_back("level " + entry.name + " (" + sources[i] + "): " + problem);
      continue;
    }
    keys.push_back(entry.level.title_key);
    built.push_back(std::move(entry));
  }
  if (!ReadWholeFile((base / "titles.tsv").string(), titles_text))
    problems.push_back("cannot read " + (base / "titles.tsv").string());
  else if (!(problem = TitleTableProblem(titles_text, keys)).empty())
    problems.push_back(problem);
  return problems.empty();
}

bool WriteMapPackFolder(const std::vector<BuiltLevel>& built, const std::string& staging, const std::string& solutions) {
  const fs::path stage(staging);
  std::error_code error;
  fs::remove_all(stage, error);
  std::vector<std::string> names;
  std::string lines = "# level\tsource\tmoves\tpushes\tsolution\n";
  bool written = true;
  for (const BuiltLevel& entry : built) {
    names.push_back(entry.name);
    MapRecord map = CompileLevel(entry.level, entry.name);
    MemoryBlock bytes = WriteMap(map);
    std::vector<uint8_t> thumbnail = RenderThumbnail(map);
    written = written && !bytes.empty() && !thumbnail.empty();
    written = written && WriteWholeFile(stage / "MAPS" / entry.name, bytes.data(), bytes.size());
    written = written && WriteWholeFile(stage / "THUMBS" / (entry.name + ".png"), thumbnail.data(), thumbnail.size());
    lines += entry.name + "\t" + entry.source + "\t" + std::to_string(entry.solution.moves.size()) + "\t" +
             std::to_string(entry.solution.pushes) + "\t" + entry.solution.moves + "\n";
  }
  MemoryBlock index = WriteMapIndex(MakeMapIndex(names));
  written = written && WriteWholeFile(stage / "index", index.data(), index.size());
  for (int tile = 1; tile <= kTileCount; ++tile) {
    std::vector<uint8_t> picture = RenderTile(tile);
    written = written && !picture.empty() &&
              WriteWholeFile(stage / "TILES" / std::to_string(tile), picture.data(), picture.size());
  }
  return written && WriteWholeFile(solutions, lines.data(), lines.size());
}
