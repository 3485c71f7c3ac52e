// Placeholder until the play screen is built.
#include "game/play_screen.h"

void SetLayout() {}
void PreparePlayScreen() {}
void RenderHudName() {}
void ResetHudIcons() {}
void DrawPlayScreen() {}
