// Pack archives: the files beside the executable that hold the game's data. A pack is opened
// through a packer (the operations of one archive format, registered under a small number);
// its entries are then enumerated, or pulled out whole by name into memory or into a file.
//
// Packer 1 reads zip archives; packer 4 reads the runtime's own format: the magic "2zlp" (or
// "1zlp" for the older layout), then entries back to back, each an 18-byte header (unpacked size
// and stored size, 8 bytes each, and a signed 2-byte name length; the older layout pads the
// header to 24 bytes), the UTF-8 name and the stored data. Data stored in its unpacked size is
// the entry's bytes as they are; any other stored size is a block container (block_codec.h).
// All integers are little-endian.
//
// Failures are results only: 0 for handles and flags, -1 for sizes, the empty text for names.
#pragma once

#include <cstdint>

#include "runtime/data/text.h"
#include "runtime/runtime.h"

constexpr int kPackerZip = 1;
constexpr int kPackerRuntime = 4;
constexpr int kFirstPacker = -1;  // pack_open with this number takes the first registered packer

constexpr int kEntryFile = 0;
constexpr int kEntryDirectory = 1;

constexpr int kUnpackedSize = 0;  // selectors of pack_entry_size
constexpr int kStoredSize = 1;

// The operations of one archive format. `record` is the packer's own state of one open pack,
// made by `open` and released by `close`. An empty entry name means the current entry of the
// enumeration.
struct PackerOps {
  void (*close)(void* record);
  void* (*open)(const Text& path);
  int (*examine)(void* record);
  int64_t (*entry_size)(void* record, int selector);
  int (*entry_type)(void* record);
  int (*next_entry)(void* record);
  Text (*entry_name)(void* record);
  int64_t (*extract_to_file)(void* record, const Text& target, const Text& entry);
  int64_t (*extract_to_memory)(void* record, uint8_t* buffer, int64_t size, const Text& entry);
  // Reads a whole entry of at most `limit` bytes into `block`; the size, or -1.
  int64_t (*extract_to_block)(void* record, const Text& entry, int64_t limit, MemoryBlock* block);
};

// Both packers are registered when the pack service is first used; registering a number that is
// already present (compared as a 16-bit value) does nothing.
void packer_register(int number, const PackerOps* ops);
const PackerOps* packer_find(int number);

// A handle, or 0 when the packer is unknown or the file is not a pack of its format.
int64_t pack_open(int64_t number, const Text& path, int packer);
void pack_close(int64_t handle);  // kAllObjects closes every pack

// Enumeration: examine (re)starts it; next_entry gives 1 while there is a next entry.
int pack_examine(int64_t handle);
int pack_next_entry(int64_t handle);
Text pack_entry_name(int64_t handle);
int pack_entry_type(int64_t handle);  // kEntryFile, kEntryDirectory, or -1 without a current entry
int64_t pack_entry_size(int64_t handle, int selector);  // -1 when unknown

// Bytes written, or -1. A runtime-format entry larger than the buffer fails; a zip entry is cut
// to the buffer.
int64_t pack_extract_to_memory(int64_t handle, uint8_t* buffer, int64_t size, const Text& entry);
int64_t pack_extract_to_file(int64_t handle, const Text& target, const Text& entry);
// Reads a whole entry into a block of its own size; entries larger than `limit` fail. The size,
// or -1.
int64_t pack_extract_to_block(int64_t handle, const Text& entry, int64_t limit, MemoryBlock* block);

// The two packers, for registering and for tests.
const PackerOps* pack_zip_packer();
const PackerOps* pack_runtime_packer();
