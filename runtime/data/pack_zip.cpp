// Packer 1: zip archives, read forward through libarchive. Because the reader only moves
// forward, restarting an enumeration or looking an entry up by name closes the archive, opens it
// again from its file and scans the headers from the start; the archive then stays on the entry
// found, so an enumeration that extracts each entry by name goes on with the entry after it.
#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "runtime/data/pack.h"

namespace {

constexpr size_t kReadBlockSize = 10240;
constexpr int64_t kFileChunk = 0x200000;

struct ZipPack {
  archive* reader = nullptr;
  std::string path;               // UTF-8, kept for reopening
  archive_entry* current = nullptr;  // owned by the reader
  bool started = false;           // headers were read since the last (re)open
  bool sizes_read = false;
  std::map<std::string, int64_t> stored_sizes;  // from the central directory, by raw name
  ~ZipPack() {
    if (reader) archive_read_free(reader);
  }
};

ZipPack& Pack(void* record) { return *static_cast<ZipPack*>(record); }

archive* OpenReader(const std::string& path) {
  archive* reader = archive_read_new();
  if (!reader) return nullptr;
  archive_read_support_format_zip(reader);
  if (archive_read_open_filename(reader, path.c_str(), kReadBlockSize) != ARCHIVE_OK) {
    archive_read_free(reader);
    return nullptr;
  }
  return reader;
}

// Puts the reader back before the first header. False when the file cannot be opened again.
bool Rewind(ZipPack& pack) {
  pack.current = nullptr;
  if (pack.reader && !pack.started) return true;
  if (pack.reader) archive_read_free(pack.reader);
  pack.reader = OpenReader(pack.path);
  pack.started = false;
  return pack.reader != nullptr;
}

bool NextHeader(ZipPack& pack) {
  if (!pack.reader) return false;
  pack.started = true;
  archive_entry* entry = nullptr;
  // A warning still delivers the header (a name that the locale cannot show, say); only the
  // end of the archive or a damaged one ends the enumeration.
  const int result = archive_read_next_header(pack.reader, &entry);
  if (result != ARCHIVE_OK && result != ARCHIVE_WARN) {
    pack.current = nullptr;
    return false;
  }
  pack.current = entry;
  return true;
}

// Names compare as UTF-8 when the archive can give them so, else as ISO-8859-1 bytes.
bool NameEquals(archive_entry* entry, const Text& wanted) {
  if (const char* utf8 = archive_entry_pathname_utf8(entry)) return text_to_utf8(wanted) == utf8;
  const char* raw = archive_entry_pathname(entry);
  return raw && text_to_latin1(wanted) == raw;
}

// The entry to extract: the one of that name, or the current entry for an empty name.
archive_entry* Select(ZipPack& pack, const Text& name) {
  if (!name.empty()) {
    if (!Rewind(pack)) return nullptr;
    while (NextHeader(pack)) {
      if (NameEquals(pack.current, name)) break;
    }
  }
  if (!pack.current || archive_entry_filetype(pack.current) == AE_IFDIR) return nullptr;
  return pack.current;
}

// ---- Stored sizes, from the archive's central directory ----

uint32_t Le(const uint8_t* p, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
  return value;
}

std::string ReadRange(FILE* file, int64_t offset, int64_t size) {
  std::string bytes(static_cast<size_t>(size), '\0');
  if (fseeko(file, offset, SEEK_SET) != 0 || std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
    return std::string();
  }
  return bytes;
}

// Reads every entry's compressed size. Archives whose directory is missing, damaged or in the
// 64-bit layout simply give no sizes.
void ReadStoredSizes(ZipPack& pack) {
  constexpr int64_t kEndRecord = 22;
  constexpr int64_t kLongestComment = 0xFFFF;
  constexpr int64_t kDirectoryItem = 46;
  pack.sizes_read = true;
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(pack.path.c_str(), "rb"), std::fclose);
  if (!file || fseeko(file.get(), 0, SEEK_END) != 0) return;
  const int64_t file_size = ftello(file.get());
  if (file_size < kEndRecord) return;
  const int64_t tail_size = std::min(file_size, kEndRecord + kLongestComment);
  const std::string tail = ReadRange(file.get(), file_size - tail_size, tail_size);
  if (tail.empty()) return;
  const auto* t = reinterpret_cast<const uint8_t*>(tail.data());
  int64_t end = tail_size - kEndRecord;
  while (end >= 0 && std::memcmp(t + end, "PK\5\6", 4) != 0) --end;
  if (end < 0) return;
  const int64_t directory_size = Le(t + end + 12, 4);
  const int64_t directory_at = Le(t + end + 16, 4);
  if (directory_at + directory_size > file_size) return;
  const std::string directory = ReadRange(file.get(), directory_at, directory_size);
  // A directory that cannot be read (an I/O error, a file that shrank since its size was taken)
  // gives no sizes; the walk never goes past the bytes actually read.
  if (static_cast<int64_t>(directory.size()) != directory_size) return;
  const int64_t read_size = static_cast<int64_t>(directory.size());
  const auto* d = reinterpret_cast<const uint8_t*>(directory.data());
  for (int64_t at = 0; read_size - at >= kDirectoryItem && std::memcmp(d + at, "PK\1\2", 4) == 0;) {
    const int64_t name_length = Le(d + at + 28, 2);
    const int64_t item_size = kDirectoryItem + name_length + Le(d + at + 30, 2) + Le(d + at + 32, 2);
    if (item_size > read_size - at) return;
    const uint32_t stored = Le(d + at + 20, 4);
    if (stored != 0xFFFFFFFFu) {
      pack.stored_sizes.emplace(std::string(directory, static_cast<size_t>(at + kDirectoryItem), name_length), stored);
    }
    at += item_size;
  }
}

// ---- Operations ----

void* Open(const Text& path) {
  if (path.empty()) return nullptr;
  auto pack = std::make_unique<ZipPack>();
  pack->path = text_to_utf8(path);
  pack->reader = OpenReader(pack->path);
  return pack->reader ? pack.release() : nullptr;
}

void Close(void* record) { delete static_cast<ZipPack*>(record); }

int Examine(void* record) { return Rewind(Pack(record)) ? 1 : 0; }

int NextEntry(void* record) { return NextHeader(Pack(record)) ? 1 : 0; }

Text EntryName(void* record) {
  ZipPack& pack = Pack(record);
  if (!pack.current) return Text();
  if (const char* utf8 = archive_entry_pathname_utf8(pack.current)) return text_from_utf8(utf8);
  const char* raw = archive_entry_pathname(pack.current);
  return raw ? text_from_latin1(raw) : Text();
}

int EntryType(void* record) {
  ZipPack& pack = Pack(record);
  if (!pack.current) return -1;
  return archive_entry_filetype(pack.current) == AE_IFDIR ? kEntryDirectory : kEntryFile;
}

int64_t EntrySize(void* record, int selector) {
  ZipPack& pack = Pack(record);
  if (!pack.current) return -1;
  if (selector != kStoredSize) {
    return archive_entry_size_is_set(pack.current) ? archive_entry_size(pack.current) : -1;
  }
  if (!pack.sizes_read) ReadStoredSizes(pack);
  const char* raw = archive_entry_pathname(pack.current);
  auto found = raw ? pack.stored_sizes.find(raw) : pack.stored_sizes.end();
  return found == pack.stored_sizes.end() ? -1 : found->second;
}

int64_t ExtractToMemory(void* record, uint8_t* buffer, int64_t size, const Text& entry) {
  ZipPack& pack = Pack(record);
  if (!Select(pack, entry)) return -1;
  if (size == 0) return 0;
  const la_ssize_t read = archive_read_data(pack.reader, buffer, static_cast<size_t>(size));
  return read < 0 ? -1 : read;
}

int64_t ExtractToFile(void* record, const Text& target, const Text& entry) {
  ZipPack& pack = Pack(record);
  if (!Select(pack, entry)) return -1;
  MemoryBlock chunk = memory_allocate(kFileChunk);
  if (chunk.empty()) return -1;
  const std::string path = text_to_utf8(target);
  FILE* file = std::fopen(path.c_str(), "w+");
  if (!file) return -1;
  int64_t total = 0;
  bool failed = false;
  for (;;) {
    const la_ssize_t read = archive_read_data(pack.reader, chunk.data(), chunk.size());
    if (read <= 0) {
      failed = read < 0;
      break;
    }
    if (std::fwrite(chunk.data(), 1, static_cast<size_t>(read), file) != static_cast<size_t>(read)) {
      failed = true;
      break;
    }
    total += read;
  }
  if (std::fclose(file) != 0 || failed) {
    std::remove(path.c_str());
    return -1;
  }
  return total;
}

int64_t ExtractWhole(void* record, const Text& entry, int64_t limit, MemoryBlock* block) {
  ZipPack& pack = Pack(record);
  if (!Select(pack, entry)) return -1;
  MemoryBlock data;
  uint8_t chunk[16384];
  for (;;) {
    const la_ssize_t read = archive_read_data(pack.reader, chunk, sizeof chunk);
    if (read < 0) return -1;
    if (read == 0) break;
    if (read > limit - static_cast<int64_t>(data.size())) return -1;
    if (!memory_append(data, chunk, static_cast<size_t>(read))) return -1;
  }
  *block = std::move(data);
  return static_cast<int64_t>(block->size());
}

const PackerOps kZipPacker = {
    Close, Open, Examine, EntrySize, EntryType, NextEntry, EntryName, ExtractToFile, ExtractToMemory, ExtractWhole,
};

}  // namespace

const PackerOps* pack_zip_packer() { return &kZipPacker; }
