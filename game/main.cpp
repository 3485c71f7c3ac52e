// The process entry of Cratevale.
#include <cstdio>

#include "game/core/game.h"
#include "runtime/data/files.h"
#include "runtime/data/text.h"

int main(int argc, char** argv) {
  program_set_arguments(argc, argv);
  std::printf("%s %s\n", text_to_utf8(kGameTitle).c_str(), text_to_utf8(kGameVersion).c_str());
  return 0;
}
