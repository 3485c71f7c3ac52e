// The process entry of Cratevale.
#include <cstdio>

#include "game/game.h"
#include "runtime/data/text.h"

int main() {
  std::printf("%s %s\n", text_to_utf8(kGameTitle).c_str(), text_to_utf8(kGameVersion).c_str());
  return 0;
}
