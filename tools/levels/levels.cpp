// The level toolchain's command line: proves the levels solvable, solves one level, compiles
// the level folder into the map pack's staging folder with the solutions file, prints a level
// of a built map pack, and runs the generator used while writing levels.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/data/pack.h"
#include "tools/levels/level_art.h"
#include "tools/levels/level_compiler.h"
#include "tools/levels/level_generator.h"
#include "tools/levels/level_solver.h"
#include "tools/levels/level_source.h"
#include "tools/mapwriter/mapwriter.h"

namespace {

namespace fs = std::filesystem;

int Usage() {
  std::fprintf(stderr,
               "usage: levels verify <level folder>\n"
               "       levels compile <level folder> <staging folder> <solutions file>\n"
               "       levels solve <level source>\n"
               "       levels show <map pack or staging folder> <level name>\n"
               "       levels picture <map pack or staging folder> <level name> <width> <png file>\n"
               "       levels generate <crates> <width> <height> <obstacles> <pulls> <attempts> <seed> <shown> [<limit>]\n");
  return 2;
}

bool ReadFile(const fs::path& path, std::string& text) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream buffer;
  buffer << file.rdbuf();
  text = buffer.str();
  return true;
}

bool WriteFile(const fs::path& path, const void* data, size_t size) {
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  std::ofstream file(path, std::ios::binary);
  file.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(file);
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Reads, checks and solves one level source; gives the reason it fails, or an empty text.
std::string LoadAndSolve(const fs::path& path, Level& level, Solution& solution) {
  std::string text;
  if (!ReadFile(path, text)) return "cannot read " + path.string();
  std::string problem = ParseLevelSource(text, level);
  if (problem.empty()) problem = LevelProblem(level);
  if (!problem.empty()) return problem;
  solution = SolveLevel(level);
  if (!solution.solved) return "no solution (" + solution.failure + ")";
  if (!ReplayMoves(level, solution.moves)) return "the solver's solution does not solve it";
  return {};
}

struct BuiltLevel {
  std::string source;  // the source's name in the index
  std::string name;    // the level's name in the pack: its number, two digits
  Level level;
  Solution solution;
};

// Reads the index and the title table of a level folder and proves every level; prints a
// message naming each level that fails and why, a line per level when `each`, and the time it
// took. Returns 1 when all pass.
int ProveLevels(const fs::path& folder, bool each, std::vector<BuiltLevel>& built) {
  std::string index_text, titles_text;
  std::vector<std::string> sources;
  if (!ReadFile(folder / "order.txt", index_text)) {
    std::fprintf(stderr, "levels: cannot read %s\n", (folder / "order.txt").c_str());
    return 0;
  }
  std::string problem = ParseLevelIndex(index_text, sources);
  if (!problem.empty()) {
    std::fprintf(stderr, "levels: order.txt: %s\n", problem.c_str());
    return 0;
  }
  auto start = std::chrono::steady_clock::now();
  int failures = 0;
  std::vector<std::string> keys;
  for (size_t i = 0; i < sources.size(); ++i) {
    BuiltLevel entry;
    entry.source = sources[i];
    entry.name = (i < 9 ? "0" : "") + std::to_string(i + 1);
    auto level_start = std::chrono::steady_clock::now();
    problem = LoadAndSolve(folder / (sources[i] + ".txt"), entry.level, entry.solution);
    if (!problem.empty()) {
      std::fprintf(stderr, "levels: level %s (%s): %s\n", entry.name.c_str(), sources[i].c_str(), problem.c_str());
      ++failures;
      continue;
    }
    keys.push_back(entry.level.title_key);
    if (each)
      std::printf("%s %-14s crates %2zu  pushes %3d%s  moves %4zu%s  positions %8zu  %6.2f s\n",
                  entry.name.c_str(), sources[i].c_str(), entry.level.crates.size(), entry.solution.pushes,
                  entry.solution.fewest_pushes ? "*" : " ", entry.solution.moves.size(),
                  entry.solution.fewest_moves ? "*" : " ", entry.solution.expanded, SecondsSince(level_start));
    built.push_back(std::move(entry));
  }
  if (!ReadFile(folder / "titles.tsv", titles_text)) {
    std::fprintf(stderr, "levels: cannot read %s\n", (folder / "titles.tsv").c_str());
    ++failures;
  } else if (!(problem = TitleTableProblem(titles_text, keys)).empty()) {
    std::fprintf(stderr, "levels: %s\n", problem.c_str());
    ++failures;
  }
  std::printf("%zu levels proved in %.2f s (* = the fewest possible)\n", built.size(), SecondsSince(start));
  return failures == 0;
}

int CommandVerify(const fs::path& folder) {
  std::vector<BuiltLevel> built;
  return ProveLevels(folder, true, built) ? 0 : 1;
}

// Writes the staging folder of the map pack (index, MAPS/, TILES/, THUMBS/) afresh, and the
// solutions file: a header line, then per level its name, source, move count, push count and
// moves, tab-separated.
int CommandCompile(const fs::path& folder, const fs::path& staging, const fs::path& solutions_path) {
  std::vector<BuiltLevel> built;
  if (!ProveLevels(folder, false, built)) return 1;
  std::error_code error;
  fs::remove_all(staging, error);
  std::vector<std::string> names;
  std::string solutions = "# level\tsource\tmoves\tpushes\tsolution\n";
  bool written = true;
  for (const BuiltLevel& entry : built) {
    names.push_back(entry.name);
    MapRecord map = CompileLevel(entry.level, entry.name);
    MemoryBlock bytes = WriteMap(map);
    std::vector<uint8_t> thumbnail = RenderThumbnail(map);
    written = written && !bytes.empty() && !thumbnail.empty();
    written = written && WriteFile(staging / "MAPS" / entry.name, bytes.data(), bytes.size());
    written = written && WriteFile(staging / "THUMBS" / (entry.name + ".png"), thumbnail.data(), thumbnail.size());
    solutions += entry.name + "\t" + entry.source + "\t" + std::to_string(entry.solution.moves.size()) + "\t" +
                 std::to_string(entry.solution.pushes) + "\t" + entry.solution.moves + "\n";
  }
  MemoryBlock index = WriteMapIndex(MakeMapIndex(names));
  written = written && WriteFile(staging / "index", index.data(), index.size());
  for (int tile = 1; tile <= kTileCount; ++tile) {
    std::vector<uint8_t> picture = RenderTile(tile);
    written = written && !picture.empty() && WriteFile(staging / "TILES" / std::to_string(tile), picture.data(), picture.size());
  }
  written = written && WriteFile(solutions_path, solutions.data(), solutions.size());
  if (!written) {
    std::fprintf(stderr, "levels: cannot write %s or %s\n", staging.c_str(), solutions_path.c_str());
    return 1;
  }
  return 0;
}

int CommandSolve(const fs::path& path) {
  Level level;
  Solution solution;
  auto start = std::chrono::steady_clock::now();
  std::string problem = LoadAndSolve(path, level, solution);
  if (!problem.empty()) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), problem.c_str());
    return 1;
  }
  std::printf("%s", LevelToText(level).c_str());
  std::printf("crates %zu, pushes %d%s, moves %zu%s, crate changes %d, positions %zu, %.2f s\n%s\n",
              level.crates.size(), solution.pushes, solution.fewest_pushes ? " (fewest possible)" : "",
              solution.moves.size(), solution.fewest_moves ? " (fewest possible)" : "", CrateChanges(level, solution.moves), solution.expanded, SecondsSince(start),
              solution.moves.c_str());
  return 0;
}

// Reads a level's map from a built map pack or its staging folder; 0 when there is none.
int ReadBuiltMap(const fs::path& pack, const std::string& name, MapRecord& map) {
  int64_t handle = 0;
  if (!fs::is_directory(pack)) handle = pack_open(kNewObject, text_from_utf8(pack.string()), kPackerRuntime);
  MapEntryReader read_entry = [&](const Text& entry) {
    MemoryBlock block;
    if (handle) {
      if (pack_extract_to_block(handle, entry, kMapEntryBufferSize, &block) < 0) block.clear();
    } else {
      std::string bytes;
      if (ReadFile(pack / text_to_utf8(entry), bytes)) block.assign(bytes.begin(), bytes.end());
    }
    return block;
  };
  MemoryBlock bytes = read_entry(MapEntryName(text_from_utf8(name)));
  if (handle) pack_close(handle);
  map = ParseMap(bytes.data(), static_cast<int64_t>(bytes.size()));
  if (map.Width == 0) {
    std::fprintf(stderr, "levels: no level %s in %s\n", name.c_str(), pack.c_str());
    return 0;
  }
  return 1;
}

// Prints a level of a built map pack (or of its staging folder) in the level notation.
int CommandShow(const fs::path& pack, const std::string& name) {
  MapRecord map;
  if (!ReadBuiltMap(pack, name, map)) return 1;
  Level level = LevelFromMap(map);
  std::printf("Title: %s\n%s", level.title_key.c_str(), LevelToText(level).c_str());
  return 0;
}

// Draws a level of a built map pack as a 16:9 PNG picture of the given width.
int CommandPicture(const fs::path& pack, const std::string& name, int width, const fs::path& png_path) {
  MapRecord map;
  if (!ReadBuiltMap(pack, name, map)) return 1;
  std::vector<uint8_t> png = RenderBoardPicture(map, width);
  if (png.empty() || !WriteFile(png_path, png.data(), png.size())) {
    std::fprintf(stderr, "levels: cannot draw %s into %s\n", name.c_str(), png_path.c_str());
    return 1;
  }
  return 0;
}

// Prints the best generated candidates in the notation, each with its figures as a comment.
int CommandGenerate(char** argv) {
  GeneratorSettings settings;
  settings.crates = std::atoi(argv[0]);
  settings.width = std::atoi(argv[1]);
  settings.height = std::atoi(argv[2]);
  settings.obstacles = std::atoi(argv[3]);
  settings.pulls = std::atoi(argv[4]);
  settings.attempts = std::atoi(argv[5]);
  settings.seed = std::strtoull(argv[6], nullptr, 10);
  size_t shown = std::strtoul(argv[7], nullptr, 10);
  if (argv[8]) settings.search_limit = std::strtoul(argv[8], nullptr, 10);
  if (settings.crates < 1 || settings.crates > kMaxCrates || settings.width < 3 || settings.height < 3 ||
      settings.width > kBoardWidth - 2 || settings.height > kBoardHeight - 2)
    return Usage();
  std::vector<Candidate> candidates = GenerateLevels(settings);
  for (size_t i = 0; i < candidates.size() && i < shown; ++i) {
    const Candidate& c = candidates[i];
    std::printf("; seed %llu #%zu: score %d, pushes %d%s, moves %zu%s, crate changes %d, positions %zu\n%s\n",
                static_cast<unsigned long long>(settings.seed), i, c.score, c.solution.pushes,
                c.solution.fewest_pushes ? " (fewest)" : "", c.solution.moves.size(),
                c.solution.fewest_moves ? " (fewest)" : "", c.crate_changes,
                c.solution.expanded, LevelToText(c.level).c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  std::string command = argv[1];
  if (command == "verify" && argc == 3) return CommandVerify(argv[2]);
  if (command == "compile" && argc == 5) return CommandCompile(argv[2], argv[3], argv[4]);
  if (command == "solve" && argc == 3) return CommandSolve(argv[2]);
  if (command == "show" && argc == 4) return CommandShow(argv[2], argv[3]);
  if (command == "picture" && argc == 6) return CommandPicture(argv[2], argv[3], std::atoi(argv[4]), argv[5]);
  if (command == "generate" && (argc == 10 || argc == 11)) return CommandGenerate(argv + 2);
  return Usage();
}
