// Fuzz target for the language-pack builder's parsers: language files and the level-titles
// table. A parsed language file, written out again and re-read, must give the same keys.
#include <cstdint>
#include <string>

// The builder's library is not part of the fuzz build; its parsers are compiled in here.
#include "tools/languages/languages_lib.cpp"

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
      if (entry.key.find_first_of("\r\n[;=") == std::string::npos && entry.key == languages::Trim(entry.key) &&
          group.name.find_first_of("\r\n]") == std::string::npos && !value) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
