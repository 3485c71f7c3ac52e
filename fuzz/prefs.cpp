// Feeds arbitrary bytes to the preferences engine as a file and as a memory block: both must
// parse alike, every group and key must enumerate, and a file saved once must come back
// byte for byte when it is read and saved again.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "runtime/data/prefs.h"

namespace {

// One folder for the whole run, in memory when the machine offers it, removed at exit.
std::string FuzzFolder;

void RemoveFuzzFolder() {
  unlink((FuzzFolder + "/fuzz.prefs").c_str());
  rmdir(FuzzFolder.c_str());
}

const std::string& FuzzFile() {
  static const std::string path = [] {
    FuzzFolder = access("/dev/shm", W_OK) == 0 ? "/dev/shm/prefs-fuzz-XXXXXX"
                                               : "/tmp/prefs-fuzz-XXXXXX";
    if (!mkdtemp(FuzzFolder.data())) std::abort();
    std::atexit(RemoveFuzzFolder);
    return FuzzFolder + "/fuzz.prefs";
  }();
  return path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

std::string Enumerate() {
  Text out;
  prefs_examine_groups();
  prefs_examine_keys();
  while (prefs_next_key()) out += prefs_key_name() + u'=' + prefs_key_value() + u'\n';
  while (prefs_next_group()) {
    out += u'[' + prefs_group_name() + u"]\n";
    prefs_examine_keys();
    while (prefs_next_key()) out += prefs_key_name() + u'=' + prefs_key_value() + u'\n';
  }
  return text_to_utf8(out);
}

// Opens the file, reads a key of its first group, writes one and saves.
void OpenWriteAndSave(const Text& path) {
  prefs_open(path);
  prefs_examine_groups();
  prefs_next_group();
  const Text group = prefs_group_name();
  prefs_select_group(group);
  prefs_read_int(u"Music", 1);
  prefs_write_string(u"Fuzz", prefs_read_string(u"Fuzz", u"é"));
  prefs_close();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& file = FuzzFile();
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const Text path = text_from_utf8(file);

  if (!prefs_open(path)) std::abort();
  const std::string from_file = Enumerate();
  prefs_close();
  if (!prefs_open_memory(data, static_cast<int64_t>(size))) std::abort();
  if (Enumerate() != from_file) std::abort();
  prefs_close();

  OpenWriteAndSave(path);
  const std::string saved = ReadFile(file);
  OpenWriteAndSave(path);
  if (ReadFile(file) != saved) std::abort();
  return 0;
}
