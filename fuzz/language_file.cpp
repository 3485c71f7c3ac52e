// Fuzz target for the language-pack builder's parsers: language files and the level-titles
// table. A parsed language file, written out again and re-read, must give the same keys.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/languages/languages.h"

namespace {

// The text without its leading and trailing blanks (spaces and tabs), as the parser trims keys.
std::string Trimmed(const std::string& text) {
  const size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return std::string();
  return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::vector<std::string> problems;
  if (data[0] & 1) {
    languages::TitleTable titles = languages::ParseTitles(text, &problems);
    languages::LanguageFile file;
    file.base = "de_DE";
    languages::AddTitles(&file, titles);
    return 0;
  }
  languages::LanguageFile file = languages::ParseLanguage("xx_XX", text, &problems);
  languages::LanguageFile reference = languages::ParseLanguage(
      "en_GB", "[LANGUAGE FILE]\ntLangFileNAME = English\n[A]\ntStartHEADER = Level #\n",
      &problems);
  languages::CheckAgainst(reference, file);
  languages::CheckReference(file);
  std::vector<std::string> again;
  languages::LanguageFile reread =
      languages::ParseLanguage("xx_XX", languages::RenderLanguage(file), &again);
  for (const languages::Group& group : file.groups) {
    for (const languages::Entry& entry : group.entries) {
      const std::string* value = languages::FindValue(reread, entry.key);
      // Keys with line breaks or brackets cannot survive a rewrite; all others must.
      if (entry.key.find_first_of("\r\n[;=") == std::string::npos && entry.key == Trimmed(entry.key) &&
          group.name.find_first_of("\r\n]") == std::string::npos && !value) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
