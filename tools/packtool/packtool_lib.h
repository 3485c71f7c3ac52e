// The pack tool: builds runtime-format packs from folders, lists the entries of a pack and
// extracts them again. It reads packs with the runtime's own pack service, so what it lists and
// extracts is exactly what the game sees.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "runtime/data/block_codec.h"
#include "runtime/runtime.h"

struct PackSource {
  std::string name;  // UTF-8, "/" between folders
  MemoryBlock data;
};

// The stored form of an entry's data: the block container when it is smaller than the data,
// else the data as it is.
MemoryBlock packtool_store(const MemoryBlock& data, int64_t block_size = kDefaultBlockSize);

// Writes a runtime-format pack (layout version 1 or 2) holding these entries in this order.
// Returns an empty text on success, else what went wrong.
std::string packtool_write(const std::string& pack_path, const std::vector<PackSource>& entries,
                           int version = 2, int64_t block_size = kDefaultBlockSize);

// The three commands. Each returns an empty text on success, else what went wrong.
std::string packtool_create(const std::string& pack_path, const std::string& folder);
std::string packtool_list(const std::string& pack_path, std::ostream& out);
std::string packtool_extract(const std::string& pack_path, const std::string& folder,
                             const std::vector<std::string>& names);

// The whole program: arguments without the program name; the exit status.
int packtool_run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
