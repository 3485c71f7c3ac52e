// The proof records (see level_proofs.h).
#include "tools/levels/level_proofs.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <set>

namespace {

constexpr size_t kMaxRecordedMoves = 100000;

bool ParseCount(std::string_view field, size_t& value) {
  if (field.empty() || field.size() > 12) return false;
  auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
  return error == std::errc() && end == field.data() + field.size();
}

bool ParseFlag(std::string_view field, bool& value) {
  if (field != "0" && field != "1") return false;
  value = field == "1";
  return true;
}

bool IsMoveLetter(char c) {
  return c == 'l' || c == 'r' || c == 'u' || c == 'd' || c == 'L' || c == 'R' || c == 'U' || c == 'D';
}

bool IsSourceName(std::string_view name) {
  return !name.empty() && name.size() <= 32 && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
  });
}

// The reason a line is not a record, or an empty text.
std::string ParseRecord(std::string_view line, ProofRecord& record) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (size_t tab = line.find('\t'); tab != std::string_view::npos && fields.size() < 8; tab = line.find('\t', start)) {
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
  fields.push_back(line.substr(start));
  if (fields.size() != 8) return "not eight fields";
  if (!IsSourceName(fields[0])) return "a bad source name";
  record.source = std::string(fields[0]);
  if (fields[1].size() != 16) return "a bad hash";
  auto [end, error] = std::from_chars(fields[1].data(), fields[1].data() + 16, record.hash, 16);
  if (error != std::errc() || end != fields[1].data() + 16) return "a bad hash";
  size_t pushes = 0;
  if (!ParseCount(fields[2], pushes) || pushes > kMaxRecordedMoves) return "a bad push count";
  record.pushes = static_cast<int>(pushes);
  if (!ParseFlag(fields[3], record.fewest_pushes) || !ParseFlag(fields[4], record.fewest_moves)) return "a bad flag";
  if (!ParseCount(fields[5], record.proof_expanded) || !ParseCount(fields[6], record.expanded))
    return "a bad position count";
  std::string_view moves = fields[7];
  if (!moves.empty() && moves.back() == '\r') moves.remove_suffix(1);
  if (moves.empty() || moves.size() > kMaxRecordedMoves || !std::all_of(moves.begin(), moves.end(), IsMoveLetter))
    return "bad moves";
  record.moves = std::string(moves);
  return {};
}

}  // namespace

uint64_t SourceHash(std::string_view text) {
  uint64_t hash = 0xCBF29CE484222325ull;
  for (char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001B3ull;
  }
  return hash;
}

std::string ParseProofTable(std::string_view text, std::vector<ProofRecord>& records) {
  records.clear();
  std::set<std::string> seen;
  size_t number = 0;
  for (size_t start = 0; start < text.size(); ++number) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (line.empty() || line == "\r" || line[0] == '#') continue;
    ProofRecord record;
    std::string problem = ParseRecord(line, record);
    if (problem.empty() && !seen.insert(record.source).second) problem = "a level listed twice";
    if (!problem.empty()) {
      records.clear();
      return "line " + std::to_string(number + 1) + ": " + problem;
    }
    records.push_back(std::move(record));
  }
  return {};
}

std::string WriteProofTable(const std::vector<ProofRecord>& records) {
  std::string text =
      "# The solver's proofs, written by \"levels record\"; the build trusts a line only while the\n"
      "# level source's hash matches and the moves still solve the level.\n"
      "# source\thash\tpushes\tfewest pushes\tfewest moves\tproof positions\tpositions\tmoves\n";
  for (const ProofRecord& record : records) {
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(record.hash));
    text += record.source + "\t" + hash + "\t" + std::to_string(record.pushes) + "\t" +
            (record.fewest_pushes ? "1" : "0") + "\t" + (record.fewest_moves ? "1" : "0") + "\t" +
            std::to_string(record.proof_expanded) + "\t" + std::to_string(record.expanded) + "\t" + record.moves + "\n";
  }
  return text;
}
