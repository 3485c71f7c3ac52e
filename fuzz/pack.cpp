// Feeds arbitrary bytes to the pack reader as a runtime-format pack and as a zip archive, and
// straight to the block decoder: every entry is listed and extracted the way the game does, into
// a buffer of a fixed size, by its name and as the current entry.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/data/block_codec.h"
#include "runtime/data/pack.h"

namespace {

constexpr int64_t kBufferSize = 1 << 16;
constexpr int kMostEntries = 64;

void ReadEveryEntry(const Text& path, int packer, std::vector<uint8_t>& buffer) {
  const int64_t pack = pack_open(kNewObject, path, packer);
  if (!pack) return;
  pack_examine(pack);
  for (int n = 0; n < kMostEntries && pack_next_entry(pack); ++n) {
    const Text name = pack_entry_name(pack);
    pack_entry_type(pack);
    pack_entry_size(pack, kUnpackedSize);
    pack_entry_size(pack, kStoredSize);
    pack_extract_to_memory(pack, buffer.data(), kBufferSize, Text());
    pack_extract_to_memory(pack, buffer.data(), kBufferSize, name);
    MemoryBlock block;
    pack_extract_to_block(pack, Text(), kBufferSize, &block);
  }
  pack_close(pack);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::vector<uint8_t> buffer(kBufferSize);
  block_container_decode(data, static_cast<int64_t>(size), buffer.data(), kBufferSize);
  if (size > 0) block_decode(data + 1, static_cast<int64_t>(size) - 1, buffer.data(), 1 + data[0] * 64);

  const int fd = memfd_create("pack", 0);
  if (fd < 0) return 0;
  if (write(fd, data, size) == static_cast<ssize_t>(size)) {
    const Text path = text_from_utf8("/proc/self/fd/" + std::to_string(fd));
    ReadEveryEntry(path, kPackerRuntime, buffer);
    ReadEveryEntry(path, kPackerZip, buffer);
  }
  close(fd);
  return 0;
}
