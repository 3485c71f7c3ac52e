// The process entry of Cratevale: start-up, the frame loop, the end.
#include "game/main_loop.h"
#include "game/startup.h"

int main(int argc, char** argv) {
  if (StartUp(argc, argv)) {
    RunMainLoop();
    ShutDown();
  }
  return 0;
}
