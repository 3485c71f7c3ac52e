// Feeds arbitrary bytes to the results reader as the results file of a five-level list.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "game/game.h"
#include "game/results.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string folder = [] {
    char pattern[] = "/tmp/cratevale-fuzz-results-XXXXXX";
    return mkdtemp(pattern) ? std::string(pattern) + "/" : std::string();
  }();
  if (folder.empty()) return 0;
  FILE* file = std::fopen((folder + "Cratevale.scores").c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  LevelList.assign(5, LevelRecord());
  LoadResults(text_from_utf8(folder));
  return 0;
}
