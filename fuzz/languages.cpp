// Feeds arbitrary bytes to the language module as a language pack: every language file it
// lists is loaded and its texts looked up.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "game/core/languages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = memfd_create("languages", 0);
  if (fd < 0) return 0;
  if (write(fd, data, size) == static_cast<ssize_t>(size)) {
    const Text path = text_from_utf8("/proc/self/fd/" + std::to_string(fd));
    map_clear(Languages.TextTable);
    ScanLanguages(path);
    for (const LanguageRecord& language : Languages.LanguageList.elements) LoadLanguage(path, language.BaseName);
    GameText(u"tMenuSTART");
    LanguagePosition(u"en_GB");
  }
  close(fd);
  return 0;
}
