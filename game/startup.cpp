// Placeholder until start-up is built.
#include "game/startup.h"

int StartUp(int, char**) { return 0; }
void ShutDown() {}
