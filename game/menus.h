// Menus and dialog panels: the common panel machinery, the main and in-game menus, the quit
// question, the completion panels, the level cards and carousel, the title screen and the menu
// navigation.
#pragma once

#include <cstdint>

// Renders every panel and every level card (at the loop entry, after a language change and
// after the screen reopened).
void RenderAllPanels();
void RenderMainMenu(int choice);
void RenderInGameMenu(int choice);
void RenderQuitQuestion(int choice);
void RenderLevelComplete(int choice);
void RenderGameComplete();
// The card of a level; `current` draws it unlocked whatever its record says.
void RenderLevelCard(int64_t index, bool current);
void RenderAllLevelCards();
// Gives the title background its tilt, once at the first loop entry.
void TiltTitleBackground();
// Draws the picture of a title-screen state (0-6): splash, or spinning background, title, the
// state's panel sliding in, the carousel; advances the slides and the carousel scroll.
void DrawTitleScreen();
// Draws the panel of an overlay state (8-12) over the dimmed board.
void DrawOverlayPanel();
// A released navigation key (kKeyUp, kKeyDown, kKeyLeft, kKeyRight) in the current state's
// panel. Returns true when the highlight changed (the panel is then re-rendered; the caller plays
// the rollover sound).
bool NavigateMenu(int key);
// Starts scrolling the carousel: direction 1 towards the next level, 2 towards the previous.
// Returns true when a scroll started.
bool StartCarouselScroll(int direction);
