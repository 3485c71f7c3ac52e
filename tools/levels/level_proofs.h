// The proof records (proofs.tsv in the level folder): the solver's answer for each level,
// kept with the hash of the level source it was found for, so that the build need not repeat
// long searches. A record counts only while its level's source is unchanged to the byte and
// its solution still solves the level; any other level is proved afresh.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct ProofRecord {
  std::string source;  // the level source's name in the index
  uint64_t hash = 0;   // SourceHash of the source's text
  int pushes = 0;
  bool fewest_pushes = false;
  bool fewest_moves = false;
  size_t proof_expanded = 0;
  size_t expanded = 0;
  std::string moves;
};

// A 64-bit hash (FNV-1a) of a level source's bytes.
uint64_t SourceHash(std::string_view text);

// Reads a proof table: "#" comment lines, then per level a line of source name, hash (16 hex
// digits), pushes, fewest pushes (0/1), fewest moves (0/1), proof positions, positions and
// moves, tab-separated. Returns an empty text, or the first line that is malformed and why
// (then `records` holds nothing).
std::string ParseProofTable(std::string_view text, std::vector<ProofRecord>& records);

// The table for these records, in their order; ParseProofTable reads it back.
std::string WriteProofTable(const std::vector<ProofRecord>& records);
