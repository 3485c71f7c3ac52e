// Building the map pack from a level folder (see level_build.h).
#include "tools/levels/level_build.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/levels/level_art.h"
#include "tools/levels/level_compiler.h"
#include "tools/levels/level_proofs.h"
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

// Takes a level's solution from its proof record when the record is for these very source
// bytes and its moves still solve the level with the recorded number of pushes.
bool TakeRecord(const ProofRecord* record, const BuiltLevel& entry, Solution& solution) {
  if (!record || record->hash != entry.hash) return false;
  int pushes = 0;
  if (!ReplayMoves(entry.level, record->moves, &pushes) || pushes != record->pushes) return false;
  solution = Solution{};
  solution.solved = true;
  solution.fewest_pushes = record->fewest_pushes;
  solution.fewest_moves = record->fewest_moves;
  solution.moves = record->moves;
  solution.pushes = record->pushes;
  solution.expanded = record->expanded;
  solution.proof_expanded = record->proof_expanded;
  return true;
}

// Reads, checks and solves one level source, from its proof record when that still holds;
// gives the reason it fails, or an empty text.
std::string LoadAndSolve(const fs::path& path, const ProofRecord* record, BuiltLevel& entry) {
  std::string text;
  if (!ReadWholeFile(path.string(), text)) return "cannot read " + path.string();
  Level& level = entry.level;
  Solution& solution = entry.solution;
  entry.hash = SourceHash(text);
  std::string problem = ParseLevelSource(text, level);
  if (problem.empty()) problem = LevelProblem(level);
  if (!problem.empty()) return problem;
  entry.bound = StartBound(level);
  entry.from_record = TakeRecord(record, entry, solution);
  if (!entry.from_record) solution = SolveLevel(level);
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

bool ProveLevelFolder(const std::string& folder, std::vector<BuiltLevel>& built, std::vector<std::string>& problems,
                      bool use_records, std::vector<std::string>* notes) {
  built.clear();
  problems.clear();
  const fs::path base(folder);
  std::vector<ProofRecord> records;
  std::string records_text;
  if (use_records && ReadWholeFile((base / "proofs.tsv").string(), records_text)) {
    std::string problem = ParseProofTable(records_text, records);
    if (!problem.empty() && notes) notes->push_back("proofs.tsv: " + problem + "; proving every level afresh");
  }
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
    const ProofRecord* record = nullptr;
    for (const ProofRecord& r : records)
      if (r.source == sources[i]) record = &r;
    auto start = std::chrono::steady_clock::now();
    problem = LoadAndSolve(base / (sources[i] + ".txt"), record, entry);
    entry.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (use_records && notes && problem.empty() && !entry.from_record)
      notes->push_back("level " + entry.name + " (" + sources[i] + "): " +
                       (record ? "its proof record is stale" : "no proof record") + ", proved afresh");
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

int LevelDepth(const BuiltLevel& entry) {
  if (!entry.solution.fewest_pushes || entry.bound >= kNoBound) return -1;
  return entry.solution.pushes - entry.bound;
}

std::string DepthTable(const std::vector<BuiltLevel>& built) {
  std::string table = "level source         crates pushes bound depth\n";
  char line[128];
  for (const BuiltLevel& entry : built) {
    int depth = LevelDepth(entry);
    std::string shown = depth < 0 ? "-" : std::to_string(depth);
    std::snprintf(line, sizeof line, "%-5s %-14s %6zu %6d %5d %5s\n", entry.name.c_str(), entry.source.c_str(),
                  entry.level.crates.size(), entry.solution.pushes, entry.bound, shown.c_str());
    table += line;
  }
  return table + ExpertTierSummary(built);
}

std::string ExpertTierSummary(const std::vector<BuiltLevel>& built) {
  if (built.size() < kFirstExpertLevel) return {};
  int least = INT_MAX, deep = 0;
  for (size_t i = kFirstExpertLevel - 1; i < built.size(); ++i) {
    int depth = LevelDepth(built[i]);
    least = std::min(least, depth);
    deep += depth >= 20;
  }
  char line[128];
  std::snprintf(line, sizeof line, "expert tier, levels %zu-%zu: least depth %d, %d levels 20 or more deep\n",
                kFirstExpertLevel, built.size(), least, deep);
  return line;
}

std::string ProofTableOf(const std::vector<BuiltLevel>& built) {
  std::vector<ProofRecord> records;
  for (const BuiltLevel& entry : built) {
    ProofRecord record;
    record.source = entry.source;
    record.hash = entry.hash;
    record.pushes = entry.solution.pushes;
    record.fewest_pushes = entry.solution.fewest_pushes;
    record.fewest_moves = entry.solution.fewest_moves;
    record.proof_expanded = entry.solution.proof_expanded;
    record.expanded = entry.solution.expanded;
    record.moves = entry.solution.moves;
    records.push_back(std::move(record));
  }
  return WriteProofTable(records);
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
