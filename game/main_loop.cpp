// Placeholder until the frame loop is built.
#include "game/main_loop.h"

void RunMainLoop() {}
