// The language-pack builder: reads the hand-written language files, adds the level titles,
// checks that every language has exactly the keys of the reference language (en_GB) with the
// same placeholders, and writes the zip archive the game reads its texts from.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace languages {

inline constexpr const char* kReferenceLanguage = "en_GB";
inline constexpr const char* kHeaderGroup = "LANGUAGE FILE";
inline constexpr const char* kTitlesGroup = "LEVEL TITLES";

struct Entry {
  std::string key, value;  // UTF-8; the value without leading and trailing blanks
};

struct Group {
  std::string name;
  std::vector<Entry> entries;
};

struct LanguageFile {
  std::string base;  // the file name without ".language", e.g. "de_DE"
  std::vector<Group> groups;
};

// Level titles: one row per title key with one text per language column.
struct TitleTable {
  std::vector<std::string> languages;  // column names after the key column
  std::vector<std::pair<std::string, std::vector<std::string>>> rows;
};

// Parses a language file's text (UTF-8 with byte-order mark, or Latin-1 without one), with the
// line rules of the game's preferences reader. Problems (keys outside a group, duplicate keys,
// keys without a name) are appended to problems, each naming the file.
LanguageFile ParseLanguage(const std::string& base, const std::string& text,
                           std::vector<std::string>* problems);

// Parses the tab-separated titles table: a header line naming the language columns, then one
// line per title key. Empty lines are skipped.
TitleTable ParseTitles(const std::string& text, std::vector<std::string>* problems);

// Appends the level-title group to a language. A language without its own column takes the
// reference language's texts, so that every language has every key.
void AddTitles(LanguageFile* file, const TitleTable& titles);

// Every key the game looks up, whichever screen shows it.
const std::vector<std::string>& RequiredKeys();

// The value of key, or nullptr when the file lacks it.
const std::string* FindValue(const LanguageFile& file, const std::string& key);

// Problems of the reference language itself: a required key missing, or an empty value.
std::vector<std::string> CheckReference(const LanguageFile& reference);
// Problems of another language against the reference: keys it lacks, keys the reference
// lacks, empty values, and "#" placeholders that differ from the reference's.
std::vector<std::string> CheckAgainst(const LanguageFile& reference, const LanguageFile& file);

// The file as the game reads it: byte-order mark, an empty line, then groups and key lines.
std::string RenderLanguage(const LanguageFile& file);

// Writes a zip archive of the given (name, bytes) entries in the given order, with fixed time
// stamps and owners so the same entries always give the same bytes. Empty text on success,
// else the reason.
std::string WriteZip(const std::string& path,
                     const std::vector<std::pair<std::string, std::string>>& entries);

}  // namespace languages
