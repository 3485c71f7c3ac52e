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

// ---- Geometry ----

// The carousel scrolls this many pixels a frame.
constexpr int kCarouselStep = 45;

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
// The geometry of a menu panel by its sprite number (main menu, in-game menu, quit question,
// level complete, game complete); the level card's for any other number.
PanelGeometry MenuPanelGeometry(int sprite);

// Where a title-screen panel rests and how far it drops per slide frame.
struct PanelPlace {
  int X = 0;
  int RestY = 0;
  int Step = 0;  // (screen height - rest y) / 5
};
// The resting place of the panel sprite of a slide-in state (2 main menu, 4 credits, 5 settings,
// 6 quit question) on the current screen.
PanelPlace SlidePanelPlace(int state);
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
// the band colour, and vector drawing on it in pixels. `name` labels the panel in the recording.
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

// ---- Recording, for the tests: what each rendered panel put where ----

struct RecordedItem {
  Text Content;          // the text, or empty for a picture
  bool Picture = false;
  uint32_t Colour = 0;   // the text's colour
  // Where it is inked, in panel pixels (for a picture: its box).
  double X = 0, Y = 0, Width = 0, Height = 0;
  // The panel area it must stay in (the band for titles, below the band for the rest).
  double AreaX = 0, AreaY = 0, AreaWidth = 0, AreaHeight = 0;
  // A paragraph: false when its wrapped lines need more height than its box (it would end in an
  // ellipsis). Always true for single lines and pictures.
  bool Fits = true;
};

struct RecordedPanel {
  Text Name;
  int Width = 0;
  int Height = 0;
  int Band = 0;
  int64_t Sprite = 0;  // handle of the sprite it went into
  std::vector<RecordedItem> Items;
};

struct PanelRecordingRecord {
  bool Enabled = false;
  std::vector<RecordedPanel> Panels;
};
extern PanelRecordingRecord PanelRecording;
