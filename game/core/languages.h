// Languages: every text the game shows comes from a language file, looked up by a text key such
// as "tMenuSTART". The language files lie in the language pack beside the executable (a zip
// archive, or a folder of the same files); each is an INI-style file named after its language
// (base name + ".language") whose group "LANGUAGE FILE" gives the display name in "tLangFileNAME".
//
// The files are read straight from the pack into memory and parsed there: nothing is written
// to disk while languages are listed or loaded.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/data/containers.h"
#include "runtime/data/text.h"

constexpr const char16_t* kLanguagePackName = u"Cratevale.languages";
constexpr const char16_t* kLanguageExtension = u"language";
constexpr const char16_t* kLanguageHeaderGroup = u"LANGUAGE FILE";
constexpr const char16_t* kLanguageNameKey = u"tLangFileNAME";
constexpr const char16_t* kDefaultLanguage = u"en_GB";
// Language files are a few kilobytes; anything past this is not one and is not read.
constexpr int64_t kLargestLanguageFile = int64_t{1} << 20;

struct LanguageRecord {
  Text DisplayName;
  Text BaseName;
};

// The languages' state: the loaded texts and the languages of the pack.
struct LanguagesRecord {
  // Text key -> text of the loaded language(s). Only grows: a later load replaces the keys it has.
  Map<Text> TextTable = map_create<Text>(kGameMapBuckets);
  // Display name -> language, filled by ScanLanguages.
  Map<LanguageRecord> LanguageTable = map_create<LanguageRecord>(kGameMapBuckets);
  // The languages in the walk order of LanguageTable, with a current element.
  List<LanguageRecord> LanguageList;
  // Position of the current language in LanguageList (set from LanguagePosition).
  int64_t LanguageIndex = 0;
};
extern LanguagesRecord Languages;

// The text of a key in the loaded language; the empty text when the key is missing.
Text GameText(const Text& key);

// Lists the languages of the pack (or folder) into Languages.LanguageTable and rebuilds
// Languages.LanguageList.
// Returns 1, or 0 when the pack cannot be read.
int ScanLanguages(const Text& pack_path);
// Reads base + ".language" from the pack (or folder) into Languages.TextTable. Returns 1 when it
// was read.
int LoadLanguage(const Text& pack_path, const Text& base);
// LoadLanguage with its log line "Load language (base):" and "OK" or "FAILED".
int LoadLanguageWithLog(const Text& pack_path, const Text& base);
// The 0-based position of base in Languages.LanguageList, which becomes the current element. When no
// language has that base name: 0, and the last language is left current.
int64_t LanguagePosition(const Text& base);
void RebuildLanguageList();
// LANG up to its first ".": "de_DE.UTF-8" gives "de_DE"; empty when LANG is unset.
Text SystemLanguage();

// 1 when a listed language has this base name.
int LanguageAvailable(const Text& base);
// The display names of Languages.LanguageTable in its walk order (the log's "[AVAILABLE LANGUAGES]").
std::vector<Text> LanguageDisplayNames();

// The languages' step of start-up: scan the pack beside the executable, report the available
// languages in the log, fall back to "en_GB" when the chosen language is not in the pack, load it
// and position Languages.LanguageList on it.
void StartLanguages();
// The settings panel's switch: the chosen language becomes the setting and is loaded, with its
// log line. Keys the new language lacks keep their old texts.
int SwitchLanguage(const Text& base);
