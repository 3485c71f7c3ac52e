// Languages: listing the language files of the language pack, loading one into the text table,
// and looking texts up by key.
//
// A zip pack's entries are read into memory and parsed by the preferences engine from there.
// Entry names come from the archive and are only ever compared, never used as paths.
#include "game/core/languages.h"

#include "game/core/game.h"
#include "game/core/log.h"
#include "runtime/data/files.h"
#include "runtime/data/pack.h"
#include "runtime/data/prefs.h"

LanguagesRecord Languages;

namespace {

constexpr int64_t kFolder = -2;  // file_size of a folder

// Closes the pack however a procedure ends.
struct PackHandle {
  int64_t handle = 0;
  ~PackHandle() {
    if (handle) pack_close(handle);
  }
};

int64_t OpenLanguagePack(const Text& pack_path) {
  if (file_size(pack_path) <= 0) return 0;
  return pack_open(kNewObject, pack_path, kPackerZip);
}

// Opens a language file of the zip pack (the current entry for an empty name) in the
// preferences engine. An empty or unreadable entry does not open.
int OpenEntry(int64_t pack, const Text& entry) {
  MemoryBlock bytes;
  if (pack_extract_to_block(pack, entry, kLargestLanguageFile, &bytes) <= 0) return 0;
  return prefs_open_memory(bytes.data(), static_cast<int64_t>(bytes.size())) != 0;
}

// Lists the language file open in the preferences engine under its display name, then closes it.
// A later file with the same display name takes the record over.
void ListOpenFile(const Text& file_name) {
  prefs_select_group(kLanguageHeaderGroup);
  const Text display_name = prefs_read_string(kLanguageNameKey, Text());
  LanguageRecord* record = map_put(Languages.LanguageTable, display_name);
  record->BaseName = file_part(file_name, kWithoutExtension);
  record->DisplayName = display_name;
  prefs_close();
}

// Copies every key of every group of the open language file into Languages.TextTable, then closes it.
// Keys before the first group are not texts and are left out.
void CopyKeysOfOpenFile() {
  prefs_examine_groups();
  while (prefs_next_group()) {
    prefs_examine_keys();
    while (prefs_next_key()) *map_put(Languages.TextTable, prefs_key_name()) = prefs_key_value();
  }
  prefs_close();
}

void ScanFolder(const Text& folder) {
  const int64_t scan = directory_examine(kNewObject, folder, u"*.language");
  if (!scan) return;
  while (directory_next_entry(scan)) {
    const Text name = directory_entry_name(scan);
    const Text path = folder + u"/" + name;
    if (file_size(path) < 0) continue;
    if (prefs_open(path)) {
      ListOpenFile(name);
    } else {
      prefs_close();  // forget the path the engine keeps after a failed open
    }
  }
  directory_finish(scan);
}

}  // namespace

Text GameText(const Text& key) { return map_get(Languages.TextTable, key); }

int ScanLanguages(const Text& pack_path) {
  map_clear(Languages.LanguageTable);
  if (file_size(pack_path) == kFolder) {
    ScanFolder(pack_path);
    RebuildLanguageList();
    return 1;
  }
  PackHandle pack{OpenLanguagePack(pack_path)};
  if (!pack.handle || !pack_examine(pack.handle)) {
    RebuildLanguageList();
    return 0;
  }
  while (pack_next_entry(pack.handle)) {
    if (pack_entry_type(pack.handle) != kEntryFile) continue;
    const Text name = pack_entry_name(pack.handle);
    if (extension_part(name) != kLanguageExtension) continue;
    if (OpenEntry(pack.handle, Text())) ListOpenFile(name);
  }
  RebuildLanguageList();
  return 1;
}

int LoadLanguage(const Text& pack_path, const Text& base) {
  const Text file_name = base + u"." + kLanguageExtension;
  if (file_size(pack_path) == kFolder) {
    if (!prefs_open(pack_path + u"/" + file_name)) {
      prefs_close();
      return 0;
    }
    CopyKeysOfOpenFile();
    return 1;
  }
  PackHandle pack{OpenLanguagePack(pack_path)};
  if (!pack.handle || !OpenEntry(pack.handle, file_name)) return 0;
  CopyKeysOfOpenFile();
  return 1;
}

int LoadLanguageWithLog(const Text& pack_path, const Text& base) {
  const int loaded = LoadLanguage(pack_path, base);
  LogValue(u"Load language (" + base + u"):", LogResult(loaded));
  return loaded;
}

int64_t LanguagePosition(const Text& base) {
  int64_t index = 0;
  for (LanguageRecord* language = list_first(Languages.LanguageList); language; language = list_next(Languages.LanguageList)) {
    if (language->BaseName == base) return index;
    ++index;
  }
  return 0;
}

void RebuildLanguageList() {
  list_clear(Languages.LanguageList);
  map_reset(Languages.LanguageTable);
  while (const LanguageRecord* record = map_next(Languages.LanguageTable)) *list_add(Languages.LanguageList) = *record;
}

Text SystemLanguage() { return str_field(environment_variable(u"LANG"), 1, u"."); }

int LanguageAvailable(const Text& base) {
  map_reset(Languages.LanguageTable);
  while (const LanguageRecord* record = map_next(Languages.LanguageTable)) {
    if (record->BaseName == base) return 1;
  }
  return 0;
}

std::vector<Text> LanguageDisplayNames() {
  std::vector<Text> names;
  map_reset(Languages.LanguageTable);
  while (const LanguageRecord* record = map_next(Languages.LanguageTable)) names.push_back(record->DisplayName);
  return names;
}

void StartLanguages() {
  const Text pack_path = Folders.GameDir + kLanguagePackName;
  ScanLanguages(pack_path);
  LogAvailableLanguages(LanguageDisplayNames());
  if (!LanguageAvailable(Settings.Language)) Settings.Language = kDefaultLanguage;
  LoadLanguageWithLog(pack_path, Settings.Language);
  Languages.LanguageIndex = LanguagePosition(Settings.Language);
}

int SwitchLanguage(const Text& base) {
  Settings.Language = base;
  return LoadLanguageWithLog(Folders.GameDir + kLanguagePackName, base);
}
