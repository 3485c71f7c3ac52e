// Placeholder until the menus are built.
#include "game/menus.h"

void RenderAllPanels() {}
void RenderMainMenu(int) {}
void RenderInGameMenu(int) {}
void RenderQuitQuestion(int) {}
void RenderLevelComplete(int) {}
void RenderGameComplete() {}
void RenderLevelCard(int64_t, bool) {}
void RenderAllLevelCards() {}
void TiltTitleBackground() {}
void DrawTitleScreen() {}
void DrawOverlayPanel() {}
bool NavigateMenu(int) { return false; }
bool StartCarouselScroll(int) { return false; }
