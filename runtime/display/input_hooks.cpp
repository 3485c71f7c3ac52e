// The screen's input hooks, shared by the screen and the input services.
#include "runtime/display/input_hooks.h"

ScreenInputHooks ScreenHooks;
