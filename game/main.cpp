// The process entry of Cratevale: the command-line answers, start-up, the frame loop, the end.
#include <cstdio>
#include <cstring>

#include "game/main_loop.h"
#include "game/startup.h"

#ifndef CRATEVALE_VERSION
#error "the build defines CRATEVALE_VERSION (the project version)"
#endif

namespace {

constexpr const char* kUsage =
    "Usage: cratevale [/LOG]\n"
    "       cratevale --help | --version\n"
    "\n"
    "Cratevale is a crate-pushing puzzle game: steer the keeper over the board and\n"
    "push every crate onto a target; each solved level unlocks the next. It is\n"
    "played with the keyboard or a gamepad, full screen or in a window.\n"
    "\n"
    "Only the first argument is looked at:\n"
    "  /LOG       also write a log of the machine and of every start-up step\n"
    "             (in capital letters, exactly so)\n"
    "  --help     print this help and end\n"
    "  --version  print the version and end\n"
    "\n"
    "The game reads its packs Cratevale.data, Cratevale.maps and Cratevale.languages\n"
    "from the folder of its executable. It keeps the settings (Cratevale.prefs), the\n"
    "level results (Cratevale.scores), the logs (\"Log <date>--<time>.log\") and the\n"
    "screenshots (\"Cratevale <date> <time>.png\", the S key) in\n"
    "  ~/.Torvelin game studio/Cratevale/\n"
    "or in the executable's folder when a Cratevale.prefs already lies there.\n"
    "The keys are listed in the manual page cratevale(6).\n";

constexpr const char* kVersion = "Cratevale " CRATEVALE_VERSION "\n";

// Prints a command-line answer on stdout. A failed write (a closed or full stdout) is reported
// on stderr and ends with status 1, so that a caller never takes a lost answer for success.
int Answer(const char* text) {
  if (std::fputs(text, stdout) < 0 || std::fflush(stdout) != 0) {
    std::fputs("cratevale: cannot write to standard output\n", stderr);
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // "--help" and "--version" answer before anything starts: no display, no files. Like "/LOG",
  // they count only as the first argument; any other first argument starts the game.
  if (argc > 1 && std::strcmp(argv[1], "--help") == 0) return Answer(kUsage);
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) return Answer(kVersion);
  if (StartUp(argc, argv)) {
    RunMainLoop();
    ShutDown();
  }
  return 0;
}
