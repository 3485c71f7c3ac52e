// The level toolchain's command line: proves the levels solvable, solves one level, compiles
// the level folder into the map pack's staging folder with the solutions file, prints a level
// of a built map pack, and runs the generator used while writing levels.
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/data/pack.h"
#include "tools/levels/level_art.h"
#include "tools/levels/level_build.h"
#include "tools/levels/level_climb.h"
#include "tools/levels/level_compiler.h"
#include "tools/levels/level_generator.h"
#include "tools/levels/level_solver.h"
#include "tools/levels/level_source.h"

namespace {

namespace fs = std::filesystem;

int Usage() {
  std::fprintf(stderr,
               "usage: levels verify <level folder>\n"
               "       levels compile <level folder> <staging folder> <solutions file>\n"
               "       levels record <level folder>\n"
               "       levels differ <level folder>\n"
               "       levels solve <level source> [<search limit> <moves search limit>]\n"
               "       levels show <map pack or staging folder> <level name>\n"
               "       levels picture <map pack or staging folder> <level name> <width> <png file>\n"
               "       levels generate <crates> <width> <height> <obstacles> <pulls> <attempts> <seed> <shown> [<limit> [<slack weight>]]\n"
               "       levels deep <family> <crates> <width> <height> <obstacles> <attempts> <seed> <shown> <limit> <least depth> <least pushes> [<targets>]\n"
               "       levels climb <family> <crates> <width> <height> <obstacles> <seed> <steps> <seconds> <limit> <folder> [<level source>]\n"
               "         (families: open halls ring stacks bays winding; targets: scattered clustered)\n");
  return 2;
}

bool ReadFile(const fs::path& path, std::string& text) { return ReadWholeFile(path.string(), text); }

bool WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Proves a level folder, with the help of its proof records when `use_records`; prints each
// problem and note, a line of figures per level when `each` (else the depth table), and the
// time it all took.
// Returns 1 when every level passed.
int Prove(const fs::path& folder, bool each, bool use_records, std::vector<BuiltLevel>& built) {
  auto start = std::chrono::steady_clock::now();
  std::vector<std::string> problems, notes;
  bool passed = ProveLevelFolder(folder.string(), built, problems, use_records, &notes);
  for (const std::string& note : notes) std::fprintf(stderr, "levels: %s\n", note.c_str());
  for (const std::string& problem : problems) std::fprintf(stderr, "levels: %s\n", problem.c_str());
  for (size_t i = 0; each && i < built.size(); ++i) {
    const BuiltLevel& entry = built[i];
    int depth = LevelDepth(entry);
    std::printf("%s %-14s crates %2zu  pushes %3d%s  bound %3d  depth %3s  moves %4zu%s  proof %8zu  positions %8zu"
                "  %6.2f s\n",
                entry.name.c_str(), entry.source.c_str(), entry.level.crates.size(), entry.solution.pushes,
                entry.solution.fewest_pushes ? "*" : " ", entry.bound, depth < 0 ? "-" : std::to_string(depth).c_str(),
                entry.solution.moves.size(), entry.solution.fewest_moves ? "*" : " ", entry.solution.proof_expanded,
                entry.solution.expanded, entry.seconds);
  }
  if (each) std::printf("%s", ExpertTierSummary(built).c_str());
  else std::printf("%s", DepthTable(built).c_str());
  size_t recorded = 0;
  for (const BuiltLevel& entry : built) recorded += entry.from_record;
  if (recorded) std::printf("%zu of them from their proof records\n", recorded);
  std::printf("%zu levels proved in %.2f s (* = the fewest possible)\n", built.size(), SecondsSince(start));
  return passed;
}

int CommandVerify(const fs::path& folder) {
  std::vector<BuiltLevel> built;
  return Prove(folder, true, false, built) ? 0 : 1;
}

// Proves the levels whose proof records are missing or stale and writes the folder's proof
// table afresh.
int CommandRecord(const fs::path& folder) {
  // The levels that passed keep their records even when another one fails.
  std::vector<BuiltLevel> built;
  bool passed = Prove(folder, true, true, built);
  std::string table = ProofTableOf(built);
  if (!WriteFile(folder / "proofs.tsv", std::vector<uint8_t>(table.begin(), table.end()))) {
    std::fprintf(stderr, "levels: cannot write %s\n", (folder / "proofs.tsv").c_str());
    return 1;
  }
  return passed ? 0 : 1;
}

int CommandCompile(const fs::path& folder, const fs::path& staging, const fs::path& solutions) {
  std::vector<BuiltLevel> built;
  if (!Prove(folder, false, true, built)) return 1;
  if (!WriteMapPackFolder(built, staging.string(), solutions.string())) {
    std::fprintf(stderr, "levels: cannot write %s or %s\n", staging.c_str(), solutions.c_str());
    return 1;
  }
  return 0;
}

int CommandSolve(const fs::path& path, size_t limit, size_t moves_limit) {
  Level level;
  Solution solution;
  auto start = std::chrono::steady_clock::now();
  std::string text;
  std::string problem = ReadFile(path, text) ? ParseLevelSource(text, level) : "cannot read it";
  if (problem.empty()) problem = LevelProblem(level);
  if (problem.empty()) {
    solution = SolveLevel(level, limit, moves_limit);
    if (!solution.solved) problem = "no solution (" + solution.failure + ")";
  }
  if (!problem.empty()) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), problem.c_str());
    return 1;
  }
  std::printf("%s", LevelToText(level).c_str());
  std::printf("crates %zu, pushes %d%s, start bound %d, moves %zu%s, crate changes %d, proof %zu, positions %zu, %.2f s\n%s\n",
              level.crates.size(), solution.pushes, solution.fewest_pushes ? " (fewest possible)" : "", StartBound(level),
              solution.moves.size(), solution.fewest_moves ? " (fewest possible)" : "", CrateChanges(level, solution.moves),
              solution.proof_expanded, solution.expanded, SecondsSince(start), solution.moves.c_str());
  return 0;
}

// Prints, per level of a folder, the earlier level it differs least from (LevelDifference).
int CommandDiffer(const fs::path& folder) {
  std::vector<BuiltLevel> built;
  std::vector<std::string> problems;
  ProveLevelFolder(folder.string(), built, problems, true);
  for (const std::string& problem : problems) std::fprintf(stderr, "levels: %s\n", problem.c_str());
  for (size_t i = 1; i < built.size(); ++i) {
    size_t nearest = 0;
    int least = INT_MAX;
    for (size_t j = 0; j < i; ++j) {
      int difference = LevelDifference(built[i].level, built[j].level);
      if (difference < least) {
        least = difference;
        nearest = j;
      }
    }
    std::printf("%s %-14s nearest earlier level %s %-14s %4d cells apart\n", built[i].name.c_str(),
                built[i].source.c_str(), built[nearest].name.c_str(), built[nearest].source.c_str(), least);
  }
  return problems.empty() ? 0 : 1;
}

// Reads a level's map from a built map pack or its staging folder; 0 when there is none.
int ReadBuiltMap(const fs::path& pack, const std::string& name, MapRecord& map) {
  int64_t handle = 0;
  if (!fs::is_directory(pack)) handle = pack_open(kNewObject, text_from_utf8(pack.string()), kPackerRuntime);
  auto read_entry = [&](const Text& entry) {
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
  if (png.empty() || !WriteFile(png_path, png)) {
    std::fprintf(stderr, "levels: cannot draw %s into %s\n", name.c_str(), png_path.c_str());
    return 1;
  }
  return 0;
}

void PrintCandidates(const GeneratorSettings& settings, const std::vector<Candidate>& candidates, size_t shown) {
  for (size_t i = 0; i < candidates.size() && i < shown; ++i) {
    const Candidate& c = candidates[i];
    std::printf("; %s, %d crates in a %d x %d room, seed %llu #%zu: score %d, pushes %d%s, bound %d, depth %d, "
                "moves %zu%s, crate changes %d, proof %zu, positions %zu\n%s\n",
                RoomFamilyName(settings.family), settings.crates, settings.width, settings.height,
                static_cast<unsigned long long>(settings.seed), i, c.score, c.solution.pushes,
                c.solution.fewest_pushes ? " (fewest)" : "", c.bound, c.depth, c.solution.moves.size(),
                c.solution.fewest_moves ? " (fewest)" : "", c.crate_changes, c.solution.proof_expanded,
                c.solution.expanded, LevelToText(c.level).c_str());
  }
}

// The room family of that name into `family`; false for a name no family has.
bool RoomFamilyFromName(const std::string& name, RoomFamily* family) {
  for (int f = 0; f < kRoomFamilies; ++f) {
    if (name == RoomFamilyName(static_cast<RoomFamily>(f))) {
      *family = static_cast<RoomFamily>(f);
      return true;
    }
  }
  return false;
}

// The search for depth: prints the deepest candidates of a room family.
int CommandDeep(char** argv) {
  GeneratorSettings settings;
  bool known = RoomFamilyFromName(argv[0], &settings.family);
  settings.crates = std::atoi(argv[1]);
  settings.width = std::atoi(argv[2]);
  settings.height = std::atoi(argv[3]);
  settings.obstacles = std::atoi(argv[4]);
  settings.attempts = std::atoi(argv[5]);
  settings.seed = std::strtoull(argv[6], nullptr, 10);
  size_t shown = std::strtoul(argv[7], nullptr, 10);
  settings.search_limit = std::strtoul(argv[8], nullptr, 10);
  settings.min_depth = std::max(1, std::atoi(argv[9]));
  settings.min_pushes = std::atoi(argv[10]);
  if (argv[11]) {
    std::string targets = argv[11];
    if (targets == "clustered") settings.targets = TargetPlacement::kClustered;
    else if (targets != "scattered") known = false;
  }
  if (!known || settings.crates < 1 || settings.crates > kMaxCrates || settings.width < 3 || settings.height < 3 ||
      settings.width > kBoardWidth - 2 || settings.height > kBoardHeight - 2)
    return Usage();
  settings.note = [](const std::string& note) {
    std::fprintf(stderr, "%s\n", note.c_str());
    std::fflush(stderr);
  };
  std::vector<Candidate> candidates = GenerateLevels(settings);
  PrintCandidates(settings, candidates, shown);
  return 0;
}

// The climbing search: from a generated room of the family (or from the given level), climbs on
// depth and writes its best level, once it has at least 70 pushes and a depth of at least 10,
// to <folder>/<family>-<seed>.txt (rewritten as better ones are found).
int CommandClimb(int argc, char** argv) {
  ClimbSettings settings;
  const bool known = RoomFamilyFromName(argv[0], &settings.family);
  settings.crates = std::atoi(argv[1]);
  settings.width = std::atoi(argv[2]);
  settings.height = std::atoi(argv[3]);
  settings.obstacles = std::atoi(argv[4]);
  settings.seed = std::strtoull(argv[5], nullptr, 10);
  settings.steps = std::atoi(argv[6]);
  settings.seconds = std::atof(argv[7]);
  settings.solver_limit = std::strtoul(argv[8], nullptr, 10);
  fs::path folder = argv[9];
  if (!known || settings.crates < 1 || settings.crates > kMaxCrates || settings.width < 3 || settings.height < 3 ||
      settings.width > kBoardWidth - 2 || settings.height > kBoardHeight - 2 || settings.solver_limit == 0)
    return Usage();
  ClimbedLevel start;
  if (argc > 10) {
    std::string text;
    Level level;
    std::string problem = ReadFile(argv[10], text) ? ParseLevelSource(text, level) : "cannot read it";
    if (problem.empty() && !ProveClimbedLevel(level, settings.solver_limit, start))
      problem = "not proved push-optimal within the limit";
    if (!problem.empty()) {
      std::fprintf(stderr, "%s: %s\n", argv[10], problem.c_str());
      return 1;
    }
    settings.crates = static_cast<int>(level.crates.size());
  } else {
    start = StartingLevel(settings);
    if (!start.solution.solved) {
      std::fprintf(stderr, "levels: no room proved for %s seed %s\n", argv[0], argv[5]);
      return 1;
    }
  }
  std::fprintf(stderr, "start: pushes %d, bound %d, depth %d\n", start.solution.pushes, start.bound, start.depth);
  auto start_time = std::chrono::steady_clock::now();
  ClimbReport report = ClimbLevel(start, settings, [&](const ClimbedLevel& c) {
    std::fprintf(stderr, "%7.1f s: pushes %d, bound %d, depth %d, proof %zu\n", SecondsSince(start_time),
                 c.solution.pushes, c.bound, c.depth, c.solution.proof_expanded);
    if (c.solution.pushes < 70 || c.depth < 10) return;
    std::string text = ClimbCandidateText(c, settings);
    fs::path path = folder / (std::string(argv[0]) + "-" + argv[5] + ".txt");
    if (!WriteFile(path, std::vector<uint8_t>(text.begin(), text.end())))
      std::fprintf(stderr, "levels: cannot write %s\n", path.c_str());
  });
  const ClimbedLevel& best = report.best;
  std::printf("%s", ClimbCandidateText(best, settings).c_str());
  std::printf("; %d tried, %d proved, %d refused, %d restarts, %.1f s\n", report.tried, report.proved, report.refused,
              report.restarts, report.seconds);
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
  if (argv[8] && argv[9]) settings.slack_weight = std::atoi(argv[9]);
  if (settings.crates < 1 || settings.crates > kMaxCrates || settings.width < 3 || settings.height < 3 ||
      settings.width > kBoardWidth - 2 || settings.height > kBoardHeight - 2)
    return Usage();
  std::vector<Candidate> candidates = GenerateLevels(settings);
  for (size_t i = 0; i < candidates.size() && i < shown; ++i) {
    const Candidate& c = candidates[i];
    std::printf("; seed %llu #%zu: score %d, pushes %d%s, moves %zu%s, crate changes %d, proof %zu, positions %zu\n%s\n",
                static_cast<unsigned long long>(settings.seed), i, c.score, c.solution.pushes,
                c.solution.fewest_pushes ? " (fewest)" : "", c.solution.moves.size(),
                c.solution.fewest_moves ? " (fewest)" : "", c.crate_changes, c.solution.proof_expanded,
                c.solution.expanded, LevelToText(c.level).c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  std::string command = argv[1];
  if (command == "verify" && argc == 3) return CommandVerify(argv[2]);
  if (command == "record" && argc == 3) return CommandRecord(argv[2]);
  if (command == "differ" && argc == 3) return CommandDiffer(argv[2]);
  if (command == "compile" && argc == 5) return CommandCompile(argv[2], argv[3], argv[4]);
  if (command == "solve" && (argc == 3 || argc == 5))
    return CommandSolve(argv[2], argc == 5 ? std::strtoul(argv[3], nullptr, 10) : kDefaultSearchLimit,
                        argc == 5 ? std::strtoul(argv[4], nullptr, 10) : kMovesSearchLimit);
  if (command == "show" && argc == 4) return CommandShow(argv[2], argv[3]);
  if (command == "picture" && argc == 6) return CommandPicture(argv[2], argv[3], std::atoi(argv[4]), argv[5]);
  if (command == "generate" && argc >= 10 && argc <= 12) return CommandGenerate(argv + 2);
  if (command == "deep" && (argc == 13 || argc == 14)) return CommandDeep(argv + 2);
  if (command == "climb" && (argc == 12 || argc == 13)) return CommandClimb(argc - 2, argv + 2);
  return Usage();
}
