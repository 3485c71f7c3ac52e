// The pack tool's work. Packs are written entry by entry into a temporary file beside the target
// and renamed into place at the end, so a failed build never leaves a pack that looks complete.
// The output depends only on the files' names and bytes: entries are sorted byte-wise and the
// format holds no dates.
#include "tools/packtool/packtool_lib.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "runtime/data/pack.h"

namespace fs = std::filesystem;

namespace {

constexpr char kMagicVersion1[] = "1zlp";
constexpr char kMagicVersion2[] = "2zlp";
constexpr int64_t kLongestName = 0x7FFF;  // the name length is a signed 16-bit field
constexpr int kVersion1Padding = 6;

void PutLittleEndian(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

bool ReadWholeFile(const fs::path& path, MemoryBlock* data) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  data->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// An entry name may become a path under the extraction folder only when it stays inside it.
bool IsSafeEntryPath(const std::string& name) {
  if (name.empty() || name.front() == '/') return false;
  size_t start = 0;
  while (start < name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    const std::string part = name.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = end + 1;
  }
  return true;
}

// Closes the pack however the command ends.
struct OpenPack {
  int64_t handle = 0;
  ~OpenPack() {
    if (handle) pack_close(handle);
  }
};

// Opens a pack of the runtime's format or, failing that, a zip archive.
std::string OpenForReading(const std::string& pack_path, OpenPack* pack) {
  if (!fs::is_regular_file(pack_path)) return "cannot read " + pack_path;
  const Text path = text_from_utf8(pack_path);
  pack->handle = pack_open(kNewObject, path, kPackerRuntime);
  if (!pack->handle) pack->handle = pack_open(kNewObject, path, kPackerZip);
  if (!pack->handle || !pack_examine(pack->handle)) return pack_path + " is not a pack";
  return std::string();
}

std::string ExtractCurrent(int64_t handle, const std::string& name, const fs::path& folder) {
  const bool directory = pack_entry_type(handle) == kEntryDirectory;
  std::string relative = name;
  if (directory && !relative.empty() && relative.back() == '/') relative.pop_back();
  if (!IsSafeEntryPath(relative)) return "refusing to extract " + name + ": it leads outside the folder";
  const fs::path target = folder / fs::path(relative);
  std::error_code error;
  if (directory) {
    fs::create_directories(target, error);
    return error ? "cannot create " + target.string() : std::string();
  }
  fs::create_directories(target.parent_path(), error);
  if (error) return "cannot create " + target.parent_path().string();
  if (pack_extract_to_file(handle, text_from_utf8(target.string()), Text()) < 0) {
    return "cannot extract " + name + " to " + target.string();
  }
  return std::string();
}

}  // namespace

MemoryBlock packtool_store(const MemoryBlock& data, int64_t block_size) {
  MemoryBlock container = block_container_encode(data.data(), static_cast<int64_t>(data.size()), block_size);
  return container.size() < data.size() ? container : data;
}

std::string packtool_write(const std::string& pack_path, const std::vector<PackSource>& entries, int version,
                           int64_t block_size) {
  const std::string temporary = pack_path + ".partial";
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  if (!out) return "cannot create " + temporary;
  out << (version == 1 ? kMagicVersion1 : kMagicVersion2);
  for (const PackSource& entry : entries) {
    if (static_cast<int64_t>(entry.name.size()) > kLongestName) {
      out.close();
      std::remove(temporary.c_str());
      return "entry name too long: " + entry.name.substr(0, 64) + "...";
    }
    const MemoryBlock stored = packtool_store(entry.data, block_size);
    std::string header;
    PutLittleEndian(header, entry.data.size(), 8);
    PutLittleEndian(header, stored.size(), 8);
    PutLittleEndian(header, entry.name.size(), 2);
    if (version == 1) header.append(kVersion1Padding, '\0');
    out << header << entry.name;
    out.write(reinterpret_cast<const char*>(stored.data()), static_cast<std::streamsize>(stored.size()));
  }
  out.close();
  std::error_code error;
  if (!out || (fs::rename(temporary, pack_path, error), error)) {
    std::remove(temporary.c_str());
    return "cannot write " + pack_path;
  }
  return std::string();
}

std::string packtool_create(const std::string& pack_path, const std::string& folder) {
  std::error_code error;
  if (!fs::is_directory(folder, error)) return folder + " is not a folder";
  const fs::path own_output = fs::weakly_canonical(pack_path, error);
  std::vector<fs::path> files;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (!it->is_regular_file()) continue;
    if (fs::weakly_canonical(it->path(), error) == own_output) continue;
    files.push_back(it->path());
  }
  if (error) return "cannot list " + folder + ": " + error.message();
  std::vector<PackSource> entries;
  for (const fs::path& file : files) {
    PackSource entry;
    entry.name = file.lexically_relative(folder).generic_string();
    if (text_to_utf8(text_from_utf8(entry.name)) != entry.name) return "file name is not UTF-8: " + file.string();
    if (!ReadWholeFile(file, &entry.data)) return "cannot read " + file.string();
    entries.push_back(std::move(entry));
  }
  std::sort(entries.begin(), entries.end(),
            [](const PackSource& a, const PackSource& b) { return a.name < b.name; });
  return packtool_write(pack_path, entries);
}

std::string packtool_list(const std::string& pack_path, std::ostream& out) {
  OpenPack pack;
  if (std::string error = OpenForReading(pack_path, &pack); !error.empty()) return error;
  while (pack_next_entry(pack.handle)) {
    out << text_to_utf8(pack_entry_name(pack.handle)) << '\t' << pack_entry_size(pack.handle, kUnpackedSize) << '\t'
        << pack_entry_size(pack.handle, kStoredSize) << '\n';
  }
  return std::string();
}

std::string packtool_extract(const std::string& pack_path, const std::string& folder,
                             const std::vector<std::string>& names) {
  OpenPack pack;
  if (std::string error = OpenForReading(pack_path, &pack); !error.empty()) return error;
  std::vector<bool> found(names.size(), false);
  while (pack_next_entry(pack.handle)) {
    const std::string name = text_to_utf8(pack_entry_name(pack.handle));
    auto wanted = std::find(names.begin(), names.end(), name);
    if (!names.empty() && wanted == names.end()) continue;
    if (wanted != names.end()) found[wanted - names.begin()] = true;
    if (std::string error = ExtractCurrent(pack.handle, name, folder); !error.empty()) return error;
  }
  for (size_t i = 0; i < names.size(); ++i) {
    if (!found[i]) return "no entry " + names[i] + " in " + pack_path;
  }
  return std::string();
}

int packtool_run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  const std::string command = arguments.empty() ? std::string() : arguments[0];
  std::string error;
  if (command == "create" && arguments.size() == 3) {
    error = packtool_create(arguments[1], arguments[2]);
  } else if (command == "list" && arguments.size() == 2) {
    error = packtool_list(arguments[1], out);
  } else if (command == "extract" && arguments.size() >= 3) {
    error = packtool_extract(arguments[1], arguments[2], std::vector<std::string>(arguments.begin() + 3, arguments.end()));
  } else {
    err << "usage: packtool create <pack file> <folder>\n"
           "       packtool list <pack file>\n"
           "       packtool extract <pack file> <folder> [entry ...]\n";
    return 2;
  }
  if (error.empty()) return 0;
  err << "packtool: " << error << '\n';
  return 1;
}
