// The pack service's front end: the packer registry and the table of open packs. Each call
// finds the pack and hands over to its packer's operations.
#include "runtime/data/pack.h"

#include <utility>
#include <vector>

namespace {

struct PackObject {
  const PackerOps* ops = nullptr;
  void* record = nullptr;
  ~PackObject() {
    if (ops && record) ops->close(record);
  }
};

struct PackState {
  std::vector<std::pair<int16_t, const PackerOps*>> packers;
  ObjectTable<PackObject> packs;
};

PackState& Packs() {
  static PackState state = [] {
    PackState fresh;
    fresh.packers = {{kPackerZip, pack_zip_packer()}, {kPackerRuntime, pack_runtime_packer()}};
    return fresh;
  }();
  return state;
}

PackObject* FindPack(int64_t handle) {
  PackObject* pack = Packs().packs.Find(handle);
  return pack && pack->record ? pack : nullptr;
}

}  // namespace

void packer_register(int number, const PackerOps* ops) {
  if (!ops || packer_find(static_cast<int16_t>(number))) return;
  Packs().packers.emplace_back(static_cast<int16_t>(number), ops);
}

const PackerOps* packer_find(int number) {
  auto& packers = Packs().packers;
  if (number == kFirstPacker) return packers.empty() ? nullptr : packers.front().second;
  for (const auto& [registered, ops] : packers) {
    if (registered == static_cast<int16_t>(number)) return ops;
  }
  return nullptr;
}

int64_t pack_open(int64_t number, const Text& path, int packer) {
  const PackerOps* ops = packer_find(packer);
  if (!ops) return 0;
  int64_t handle = 0;
  PackObject* pack = Packs().packs.Create(number, &handle);
  if (!pack) return 0;
  pack->ops = ops;
  pack->record = ops->open(path);
  if (!pack->record) {
    Packs().packs.Free(handle);
    return 0;
  }
  return handle;
}

void pack_close(int64_t handle) { Packs().packs.Free(handle); }

int pack_examine(int64_t handle) {
  PackObject* pack = FindPack(handle);
  return pack ? pack->ops->examine(pack->record) : 0;
}

int pack_next_entry(int64_t handle) {
  PackObject* pack = FindPack(handle);
  return pack ? pack->ops->next_entry(pack->record) : 0;
}

Text pack_entry_name(int64_t handle) {
  PackObject* pack = FindPack(handle);
  return pack ? pack->ops->entry_name(pack->record) : Text();
}

int pack_entry_type(int64_t handle) {
  PackObject* pack = FindPack(handle);
  return pack ? pack->ops->entry_type(pack->record) : -1;
}

int64_t pack_entry_size(int64_t handle, int selector) {
  PackObject* pack = FindPack(handle);
  return pack ? pack->ops->entry_size(pack->record, selector) : -1;
}

int64_t pack_extract_to_memory(int64_t handle, uint8_t* buffer, int64_t size, const Text& entry) {
  PackObject* pack = FindPack(handle);
  if (!pack || size < 0 || (!buffer && size > 0)) return -1;
  return pack->ops->extract_to_memory(pack->record, buffer, size, entry);
}

int64_t pack_extract_to_file(int64_t handle, const Text& target, const Text& entry) {
  PackObject* pack = FindPack(handle);
  if (!pack || target.empty()) return -1;
  return pack->ops->extract_to_file(pack->record, target, entry);
}

int64_t pack_extract_to_block(int64_t handle, const Text& entry, int64_t limit, MemoryBlock* block) {
  PackObject* pack = FindPack(handle);
  if (!pack || !block) return -1;
  return pack->ops->extract_to_block(pack->record, entry, limit, block);
}
