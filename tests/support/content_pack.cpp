// Test helpers for the built asset pack (see content_pack.h).
#include "tests/support/content_pack.h"

#include "runtime/data/pack.h"
#include "runtime/data/text.h"
#include "runtime/runtime.h"

namespace {

const Text& AssetPackPath() {
  static const Text path = text_from_utf8(CRATEVALE_PACK_DIR "Cratevale.data");
  return path;
}

}  // namespace

std::vector<std::string> AssetPackNames() {
  std::vector<std::string> names;
  int64_t pack = pack_open(kNewObject, AssetPackPath(), kPackerRuntime);
  if (!pack) return names;
  if (pack_examine(pack)) {
    while (pack_next_entry(pack)) names.push_back(text_to_utf8(pack_entry_name(pack)));
  }
  pack_close(pack);
  return names;
}

std::vector<uint8_t> ReadAssetEntry(const std::string& name, int64_t buffer_size) {
  std::vector<uint8_t> bytes;
  int64_t pack = pack_open(kNewObject, AssetPackPath(), kPackerRuntime);
  if (!pack) return bytes;
  MemoryBlock buffer = memory_allocate(buffer_size);
  int64_t size = pack_extract_to_memory(pack, buffer.data(), buffer_size, text_from_utf8(name));
  pack_close(pack);
  if (size > 0) bytes.assign(buffer.begin(), buffer.begin() + size);
  return bytes;
}
