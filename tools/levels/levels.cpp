// The level toolchain's command line: proves levels solvable, solves one level, compiles the
// level sources into the map pack's staging folder, and prints a level of a built map pack.
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/levels/level_generator.h"
#include "tools/levels/level_solver.h"
#include "tools/levels/level_source.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: levels solve <level source>\n"
               "       levels verify <level folder>\n"
               "       levels generate <crates> <width> <height> <obstacles> <pulls> <attempts> <seed> <shown>\n");
  return 2;
}

bool ReadFile(const std::string& path, std::string& text) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream buffer;
  buffer << file.rdbuf();
  text = buffer.str();
  return true;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Reads, checks and solves one level source; prints the reason and returns 0 when it fails.
int LoadAndSolve(const std::string& path, const std::string& label, Level& level, Solution& solution) {
  std::string text;
  if (!ReadFile(path, text)) {
    std::fprintf(stderr, "%s: cannot read %s\n", label.c_str(), path.c_str());
    return 0;
  }
  std::string problem = ParseLevelSource(text, level);
  if (problem.empty()) problem = LevelProblem(level);
  if (!problem.empty()) {
    std::fprintf(stderr, "%s: %s\n", label.c_str(), problem.c_str());
    return 0;
  }
  solution = SolveLevel(level);
  if (!solution.solved) {
    std::fprintf(stderr, "%s: no solution (%s)\n", label.c_str(), solution.failure.c_str());
    return 0;
  }
  return 1;
}

int CommandSolve(const std::string& path) {
  Level level;
  Solution solution;
  auto start = std::chrono::steady_clock::now();
  if (!LoadAndSolve(path, path, level, solution)) return 1;
  std::printf("%s", LevelToText(level).c_str());
  std::printf("crates %zu, pushes %d%s, moves %zu, positions %zu, %.2f s\n%s\n", level.crates.size(),
              solution.pushes, solution.optimal ? " (fewest possible)" : "", solution.moves.size(),
              solution.expanded, SecondsSince(start), solution.moves.c_str());
  return 0;
}

int CommandVerify(const std::string& folder) {
  std::string index_text;
  std::vector<std::string> names;
  if (!ReadFile(folder + "/order.txt", index_text)) {
    std::fprintf(stderr, "cannot read %s/order.txt\n", folder.c_str());
    return 1;
  }
  std::string problem = ParseLevelIndex(index_text, names);
  if (!problem.empty()) {
    std::fprintf(stderr, "order.txt: %s\n", problem.c_str());
    return 1;
  }
  auto start = std::chrono::steady_clock::now();
  int failures = 0;
  for (size_t i = 0; i < names.size(); ++i) {
    Level level;
    Solution solution;
    auto level_start = std::chrono::steady_clock::now();
    if (!LoadAndSolve(folder + "/" + names[i] + ".txt", names[i], level, solution)) {
      ++failures;
      continue;
    }
    std::printf("%2zu %-16s crates %2zu  pushes %3d%s  moves %4zu  positions %8zu  %6.2f s\n", i + 1,
                names[i].c_str(), level.crates.size(), solution.pushes, solution.optimal ? "*" : " ",
                solution.moves.size(), solution.expanded, SecondsSince(level_start));
  }
  std::printf("%zu levels, %d failed, %.2f s\n", names.size(), failures, SecondsSince(start));
  return failures ? 1 : 0;
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
  if (settings.crates < 1 || settings.crates > kMaxCrates || settings.width < 3 || settings.height < 3 ||
      settings.width > kBoardWidth - 2 || settings.height > kBoardHeight - 2)
    return Usage();
  std::vector<Candidate> candidates = GenerateLevels(settings);
  for (size_t i = 0; i < candidates.size() && i < shown; ++i) {
    const Candidate& c = candidates[i];
    std::printf("; seed %llu #%zu: score %d, pushes %d%s, moves %zu, crate changes %d, positions %zu\n%s\n",
                static_cast<unsigned long long>(settings.seed), i, c.score, c.solution.pushes,
                c.solution.optimal ? " (fewest)" : "", c.solution.moves.size(), c.crate_changes,
                c.solution.expanded, LevelToText(c.level).c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  std::string command = argv[1];
  if (command == "solve") return CommandSolve(argv[2]);
  if (command == "verify") return CommandVerify(argv[2]);
  if (command == "generate" && argc == 10) return CommandGenerate(argv + 2);
  return Usage();
}
