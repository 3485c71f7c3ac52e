// Menus and dialog panels: the common panel machinery, the main and in-game menus, the quit
// question, the completion panels, the level cards and carousel, the title screen and the menu
// navigation.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/data/text.h"

typedef struct _GdkPixbuf GdkPixbuf;

// Renders every panel and every level card (at the loop entry, after a language change and
// after the screen reopened).
void RenderAllPanels();
// Every panel and card, and the heads-up name box while a level is under way: after a language
// change or a reopened screen.
void RenderAllTexts();
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
// Draws the picture of a title-screen state: the studio splash, or the spinning background, the
// title, and the state's panel sliding in or the carousel.
void DrawTitleScreen();
// Draws the centred panel of an overlay state over the dimmed board.
void DrawOverlayPanel();
// A released navigation key (kKeyUp, kKeyDown, kKeyLeft, kKeyRight) in the current state's
// panel. Returns true when the highlight changed (the panel is then re-rendered; the caller plays
// the rollover sound).
bool NavigateMenu(int key);
// Starts scrolling the carousel (kCarouselToNext or kCarouselToPrevious). Returns true when a
// scroll started.
bool StartCarouselScroll(int direction);
// One frame of a carousel scroll: kCarouselStep pixels further (the last step only the rest of
// the card spacing), or the scroll ends on its card.
void AdvanceCarouselScroll();

// ---- Geometry ----

// The measures of a panel: its size, band height, title and entry text sizes and the gap
// between its rows, in pixels for the current screen.
struct PanelGeometry {
  int Width = 0;
  int Height = 0;
  int Band = 0;
  int TitleSize = 0;
  int EntrySize = 0;
  int Gap = 0;
};
// The geometry of a panel of `rows` rows of entries: the band a 24th of PanelBasisWidth(), the
// title a 72nd, the entries twice the title, the rest shared out evenly between the rows.
PanelGeometry RowsGeometry(int width, int height, int rows);
// The geometry of a menu panel by its sprite number (main menu, in-game menu, quit question,
// level complete, game complete); the level card's for any other number.
PanelGeometry MenuPanelGeometry(int sprite);

// Where a title-screen panel rests and how far it drops per slide frame.
struct PanelPlace {
  int X = 0;
  int RestY = 0;
  int Step = 0;  // (screen height - rest y) / 5
};
// The resting place of a panel that slides in (main menu, credits, settings, quit question), by
// its sprite, on the current screen.
PanelPlace SlidePanelPlace(int sprite);
// The left edge of the carousel card at `slot` (-2..2, 0 the centre card) when still.
int CarouselCardX(int slot);
// The title background's place on the screen for its current size.
void TitleBackgroundPosition(int* x, int* y);
// A time in milliseconds as minutes and seconds, "MM:SS": the whole seconds, each part at least
// two digits padded with "0", the minutes never cut ("123:04"); a negative time shows "00:00".
// The one rule for every time the game shows.
Text MinutesSeconds(int64_t milliseconds);
// The width the panels and level cards are sized from: the screen's width, but no more than twice
// its height, so that on wider screens (21:9, 32:9) they stay as high as the screen has room for.
int PanelBasisWidth();
// How far the carousel's cards move in one scroll: the spacing of two cards, CW + CW / 6.
int CarouselSpacing();

// ---- The common panel machinery, shared with the settings and credits panels ----

constexpr int kPlaceLeft = 0;
constexpr int kPlaceCentre = 1;
constexpr int kPlaceRight = 2;

// Starts a panel: a width x height image in the panel fill with the band (0, 0, width, band) in
// the band colour, and vector drawing on it in pixels. `name` labels the panel for the watcher.
// False when the image or its drawing cannot be made (nothing is then drawn).
bool PanelBegin(const Text& name, int width, int height, int band);
// A single line at the font size with its top-left at (x, y).
void PanelText(const Text& text, double size, double x, double y, uint32_t colour);
// The title, white at the size, centred in the band.
void PanelTitle(const Text& title, double size);
// An entry on a row: left at x = 10, centred, or right at x = width - text width - 10.
void PanelEntry(const Text& text, double size, int placement, double y, uint32_t colour);
// Wrapped text in the box at (x, y) (vector_paragraph_draw with the flags).
void PanelParagraph(const Text& text, double size, double x, double y, double width, double height, int flags,
                    uint32_t colour);
// A picture scaled to width x height at (x, y).
void PanelPicture(GdkPixbuf* picture, double x, double y, double width, double height);
// Ends the panel: copies the image into the sprite `number`, made anew at the panel's size when
// it is missing or of another size (kNewObject: always a new sprite), and frees the image.
// Returns the sprite's handle, or 0 when nothing could be drawn.
int64_t PanelFinish(int64_t number);

// ---- Watching the panels as they are drawn ----

// Called while a panel is drawn, with the panel's font set: what it puts where, in panel pixels.
// The tests record the panels through it; the game sets none.
struct PanelWatcher {
  void (*Begin)(const Text& name, int width, int height, int band) = nullptr;
  void (*Line)(const Text& text, double x, double y, uint32_t colour) = nullptr;
  void (*Paragraph)(const Text& text, double x, double y, double width, double height, int flags,
                    uint32_t colour) = nullptr;
  void (*Picture)(double x, double y, double width, double height) = nullptr;
  void (*Finish)(int64_t sprite) = nullptr;
};
void SetPanelWatcher(const PanelWatcher& watcher);
