// Packer 4: the runtime's own pack format. Opening checks only the magic; the index of names,
// sizes and data offsets is read on first use by walking the entry headers, without touching
// the data, and extraction seeks straight to an entry's data.
//
// A pack is trusted only as far as it is consistent: the index ends at the first entry whose
// header, name or data does not lie wholly inside the file, so a truncated pack lists the
// entries that are still complete and an entry's size can never make a read run past the end.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "runtime/data/block_codec.h"
#include "runtime/data/pack.h"

namespace {

constexpr char kMagicVersion1[4] = {'1', 'z', 'l', 'p'};
constexpr char kMagicVersion2[4] = {'2', 'z', 'l', 'p'};
constexpr int64_t kMagicSize = 4;
constexpr int64_t kHeaderVersion1 = 24;
constexpr int64_t kHeaderVersion2 = 18;

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

struct IndexItem {
  int64_t unpacked = 0;
  int64_t stored = 0;
  int64_t offset = 0;  // of the stored data
  std::string name;    // UTF-8
};

struct RuntimePack {
  FilePtr file;
  int version = 2;
  int64_t file_size = 0;
  bool indexed = false;
  std::vector<IndexItem> index;
  int64_t current = -1;
  bool current_valid = false;
};

RuntimePack& Pack(void* record) { return *static_cast<RuntimePack*>(record); }

int64_t LittleEndian(const uint8_t* p, int bytes) {
  uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
  return static_cast<int64_t>(value);
}

bool ReadAt(FILE* file, int64_t offset, void* buffer, int64_t size) {
  if (fseeko(file, offset, SEEK_SET) != 0) return false;
  return size == 0 || std::fread(buffer, 1, static_cast<size_t>(size), file) == static_cast<size_t>(size);
}

void BuildIndex(RuntimePack& pack) {
  if (pack.indexed) return;
  pack.indexed = true;
  const int64_t header_size = pack.version == 1 ? kHeaderVersion1 : kHeaderVersion2;
  uint8_t header[kHeaderVersion1];
  for (int64_t at = kMagicSize; pack.file_size - at >= header_size;) {
    if (!ReadAt(pack.file.get(), at, header, header_size)) return;
    IndexItem item;
    item.unpacked = LittleEndian(header, 8);
    item.stored = LittleEndian(header + 8, 8);
    const int64_t name_length = static_cast<int16_t>(LittleEndian(header + 16, 2));
    at += header_size;
    if (item.unpacked < 0 || item.stored < 0 || name_length < 0) return;
    if (name_length > pack.file_size - at) return;
    item.name.resize(static_cast<size_t>(name_length));
    if (!ReadAt(pack.file.get(), at, item.name.data(), name_length)) return;
    item.offset = at + name_length;
    if (item.stored > pack.file_size - item.offset) return;
    at = item.offset + item.stored;
    pack.index.push_back(std::move(item));
  }
}

// The entry of that name (the first one, byte for byte), or the current entry for an empty name.
const IndexItem* FindEntry(RuntimePack& pack, const Text& entry) {
  if (entry.empty()) return pack.current_valid ? &pack.index[pack.current] : nullptr;
  BuildIndex(pack);
  const std::string wanted = text_to_utf8(entry);
  for (const IndexItem& item : pack.index) {
    if (item.name == wanted) return &item;
  }
  return nullptr;
}

int64_t Extract(RuntimePack& pack, const IndexItem& item, uint8_t* buffer, int64_t size) {
  if (size < item.unpacked) return -1;
  if (item.stored == item.unpacked) {
    return ReadAt(pack.file.get(), item.offset, buffer, item.unpacked) ? item.unpacked : -1;
  }
  MemoryBlock stored = memory_allocate(item.stored);
  if (stored.size() != static_cast<size_t>(item.stored)) return -1;
  if (!ReadAt(pack.file.get(), item.offset, stored.data(), item.stored)) return -1;
  const int64_t unpacked = block_container_decode(stored.data(), item.stored, buffer, size);
  return unpacked == item.unpacked ? unpacked : -1;
}

int64_t ExtractToBlock(RuntimePack& pack, const IndexItem& item, int64_t limit, MemoryBlock* block) {
  if (item.unpacked > limit) return -1;
  MemoryBlock data = memory_allocate(item.unpacked);
  if (data.size() != static_cast<size_t>(item.unpacked)) return -1;
  const int64_t result = Extract(pack, item, data.data(), item.unpacked);
  if (result >= 0) *block = std::move(data);
  return result;
}

// ---- Operations ----

void* Open(const Text& path) {
  if (path.empty()) return nullptr;
  FilePtr file(std::fopen(text_to_utf8(path).c_str(), "rb"));
  char magic[kMagicSize];
  if (!file || std::fread(magic, 1, kMagicSize, file.get()) != kMagicSize) return nullptr;
  int version;
  if (std::memcmp(magic, kMagicVersion1, kMagicSize) == 0) {
    version = 1;
  } else if (std::memcmp(magic, kMagicVersion2, kMagicSize) == 0) {
    version = 2;
  } else {
    return nullptr;
  }
  if (fseeko(file.get(), 0, SEEK_END) != 0) return nullptr;
  auto pack = std::make_unique<RuntimePack>();
  pack->file_size = ftello(file.get());
  pack->file = std::move(file);
  pack->version = version;
  return pack.release();
}

void Close(void* record) { delete static_cast<RuntimePack*>(record); }

int Examine(void* record) {
  RuntimePack& pack = Pack(record);
  BuildIndex(pack);
  pack.current = -1;
  pack.current_valid = false;
  return 1;
}

int NextEntry(void* record) {
  RuntimePack& pack = Pack(record);
  BuildIndex(pack);
  if (pack.current < static_cast<int64_t>(pack.index.size())) ++pack.current;
  pack.current_valid = pack.current < static_cast<int64_t>(pack.index.size());
  return pack.current_valid ? 1 : 0;
}

Text EntryName(void* record) {
  RuntimePack& pack = Pack(record);
  return pack.current_valid ? text_from_utf8(pack.index[pack.current].name) : Text();
}

int EntryType(void* record) { return Pack(record).current_valid ? kEntryFile : -1; }

int64_t EntrySize(void* record, int selector) {
  RuntimePack& pack = Pack(record);
  if (!pack.current_valid) return -1;
  const IndexItem& item = pack.index[pack.current];
  return selector == kStoredSize ? item.stored : item.unpacked;
}

int64_t ExtractToMemory(void* record, uint8_t* buffer, int64_t size, const Text& entry) {
  RuntimePack& pack = Pack(record);
  const IndexItem* item = FindEntry(pack, entry);
  return item ? Extract(pack, *item, buffer, size) : -1;
}

int64_t ExtractToFile(void* record, const Text& target, const Text& entry) {
  RuntimePack& pack = Pack(record);
  const IndexItem* item = FindEntry(pack, entry);
  MemoryBlock data;
  if (!item || ExtractToBlock(pack, *item, item->unpacked, &data) < 0) return -1;
  const std::string path = text_to_utf8(target);
  FilePtr file(std::fopen(path.c_str(), "w+"));
  if (!file) return -1;
  const bool written = data.empty() || std::fwrite(data.data(), 1, data.size(), file.get()) == data.size();
  if (std::fclose(file.release()) != 0 || !written) {
    std::remove(path.c_str());
    return -1;
  }
  return static_cast<int64_t>(data.size());
}

int64_t ExtractWhole(void* record, const Text& entry, int64_t limit, MemoryBlock* block) {
  RuntimePack& pack = Pack(record);
  const IndexItem* item = FindEntry(pack, entry);
  return item ? ExtractToBlock(pack, *item, limit, block) : -1;
}

const PackerOps kRuntimePacker = {
    Close, Open, Examine, EntrySize, EntryType, NextEntry, EntryName, ExtractToFile, ExtractToMemory, ExtractWhole,
};

}  // namespace

const PackerOps* pack_runtime_packer() { return &kRuntimePacker; }
