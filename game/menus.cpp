// Menus and dialog panels. Every panel is drawn once into an image (fill, band, texts through
// vector drawing) and copied into its sprite; the frame loop only shows the sprites.
#include "game/menus.h"

#include <algorithm>
#include <cmath>

#include "game/core/board.h"
#include "game/core/game.h"
#include "game/core/languages.h"
#include "game/maps.h"
#include "game/play_screen.h"
#include "game/screens.h"
#include "game/settings.h"
#include "runtime/data/pack.h"
#include "runtime/display/drawing.h"
#include "runtime/display/image.h"
#include "runtime/display/keyboard.h"
#include "runtime/display/sprite.h"

namespace {

constexpr int kEntryMargin = 10;
constexpr int kLowerPanelMargin = 10;  // the credits and settings panels rest this far above the bottom

// The panel being drawn.
struct PanelDrawingRecord {
  int64_t Image = 0;
  int Width = 0;
  int Height = 0;
  int Band = 0;
  bool Drawing = false;
};
PanelDrawingRecord Panel;
PanelWatcher Watcher;

void SetFont(double size) { vector_font(font_handle(FontMain), size); }

Text GameTitle() { return str_upper(kGameTitle); }

// A four-entry menu: the game title and the entries centred in slots 1-4.
void RenderFourEntryMenu(int sprite, const Text& name, const char16_t* const keys[4], int choice) {
  const PanelGeometry g = MenuPanelGeometry(sprite);
  if (!PanelBegin(name, g.Width, g.Height, g.Band)) return;
  PanelTitle(GameTitle(), g.TitleSize);
  for (int k = 1; k <= 4; ++k) {
    PanelEntry(GameText(keys[k - 1]), g.EntrySize, kPlaceCentre, g.Band + k * g.Gap + (k - 1) * g.EntrySize,
               k == choice ? ColourTextHighlight : ColourText);
  }
  PanelFinish(sprite);
}

// The title background is zoomed to 1.2 screen widths, keeping its proportions; a picture
// loaded anew (after the screen reopened) has its own size again and is zoomed once more.
void ZoomTitleBackground() {
  const int width = static_cast<int>(std::lround(GameDisplay.ScreenWidth * 1.2));
  if (sprite_width(SpriteTitleBackground) == width || width <= 0) return;
  sprite_zoom(SpriteTitleBackground, -1, -1);
  const int own_width = sprite_width(SpriteTitleBackground), own_height = sprite_height(SpriteTitleBackground);
  if (own_width <= 0) return;
  const int height =
      static_cast<int>(std::lround(static_cast<double>(own_height) / own_width * GameDisplay.ScreenWidth * 1.2));
  sprite_zoom(SpriteTitleBackground, width, height);
}

void DrawSlidingPanel(const ScreenEntry& screen) {
  const PanelPlace place = SlidePanelPlace(screen.Panel);
  sprite_display(screen.Panel, place.X, place.RestY + Menus.*screen.Slide * place.Step);
}

// Calls place(sprite, x, y) for each card the carousel shows in this frame.
template <typename Place>
void ForEachShownCard(Place&& place) {
  const int64_t count = static_cast<int64_t>(LevelList.size());
  int shift = 0;
  if (Menus.CarouselDirection == kCarouselToNext) shift = -static_cast<int>(Menus.CarouselOffset);
  if (Menus.CarouselDirection == kCarouselToPrevious) shift = static_cast<int>(Menus.CarouselOffset);
  for (int slot = -2; slot <= 2; ++slot) {
    const int64_t index = Menus.LevelIndex + slot;
    // A card never rendered has no sprite (number 0 is the screenshot's).
    if (index < 0 || index >= count || LevelList[index].CardSprite == 0) continue;
    place(LevelList[index].CardSprite, CarouselCardX(slot) + shift, GameDisplay.ScreenHeight / 2);
  }
}

// A sprite about to be shown with sprite_display at (x, y) will replace whatever is drawn under
// it, at its own size without rotation; blended, only its opaque rows will.
void CoverWith(int64_t sprite, int x, int y, bool blended = false) {
  int top = 0, rows = 0;
  if (sprite_opaque_rows(sprite, &top, &rows) && blended) {
    sprite_cover(x, y + top, sprite_width(sprite), rows);
  } else if (!blended && sprite_width(sprite) > 0) {
    sprite_cover(x, y, sprite_width(sprite), sprite_height(sprite));
  }
}

// Covers what the screen's panel or cards will hide in this frame.
void CoverWithFront(const ScreenEntry& screen) {
  if (screen.Place == PanelAt::SlidingIn) {
    const PanelPlace place = SlidePanelPlace(screen.Panel);
    CoverWith(screen.Panel, place.X, place.RestY + Menus.*screen.Slide * place.Step);
  } else if (screen.Place == PanelAt::Carousel) {
    ForEachShownCard([](int64_t sprite, int x, int y) { CoverWith(sprite, x, y); });
  }
}

// The spinning background and the title picture over it, each left out where what is drawn
// after it hides it: the title picture's opaque rows, the panel, the cards.
void DrawTitleLayers(const ScreenEntry& screen) {
  int x = 0, y = 0;
  TitleBackgroundPosition(&x, &y);
  CoverWithFront(screen);
  CoverWith(SpriteTitle, 0, 0, true);
  sprite_display(SpriteTitleBackground, x, y);
  sprite_uncover();
  CoverWithFront(screen);
  sprite_display_blended(SpriteTitle, 0, 0);
  sprite_uncover();
}

void DrawCarousel() {
  ForEachShownCard([](int64_t sprite, int x, int y) { sprite_display(sprite, x, y); });
}

// Moves a highlight one step within 1..last; false at the end of the list.
bool Step(int* choice, int delta, int last) {
  const int next = *choice + delta;
  if (next < 1 || next > last) return false;
  *choice = next;
  return true;
}

}  // namespace

// ---- Geometry ----

PanelGeometry RowsGeometry(int width, int height, int rows) {
  const int sw = PanelBasisWidth();
  PanelGeometry g;
  g.Width = width;
  g.Height = height;
  g.Band = sw / 24;
  g.TitleSize = sw / 72;
  g.EntrySize = 2 * g.TitleSize;
  g.Gap = (g.Height - g.Band - rows * g.EntrySize) / (rows + 1);
  return g;
}

PanelGeometry MenuPanelGeometry(int sprite) {
  const int sw = PanelBasisWidth();
  switch (sprite) {
    case SpriteMainMenu:
    case SpriteInGameMenu:
      return RowsGeometry(sw / 4, sw / 4, 4);
    case SpriteQuitQuestion:
      return RowsGeometry(sw / 2, sw / 6, 4);
    case SpriteLevelComplete:
    case SpriteGameComplete:
      return RowsGeometry(sw / 2, sw / 3, 6);
    default: {  // a level card
      PanelGeometry g;
      g.Width = g.Height = sw / 4;
      g.Band = sw / 24;
      g.TitleSize = g.EntrySize = (sw / 4) / 18;
      return g;
    }
  }
}

PanelPlace SlidePanelPlace(int sprite) {
  const int sw = GameDisplay.ScreenWidth, sh = GameDisplay.ScreenHeight;
  PanelPlace place;
  int width = 0;
  switch (sprite) {
    case SpriteMainMenu:
    case SpriteQuitQuestion:
      width = MenuPanelGeometry(sprite).Width;
      place.RestY = sh / 2;
      break;
    case SpriteCredits:
    case SpriteSettingsPanel: {
      const PanelGeometry g = sprite == SpriteCredits ? CreditsGeometry() : SettingsGeometry();
      width = g.Width;
      place.RestY = sh - g.Height - kLowerPanelMargin;
      break;
    }
    default:
      return place;
  }
  place.X = sw / 2 - width / 2;
  place.Step = (sh - place.RestY) / kSlideFrames;
  return place;
}

int CarouselCardX(int slot) {
  const int sw = GameDisplay.ScreenWidth, cw = PanelBasisWidth() / 4;
  switch (slot) {
    case -2: return sw / 2 - 2 * cw - cw / 2 - cw / 6 - cw / 6;
    case -1: return sw / 2 - cw - cw / 2 - cw / 6;
    case 0: return sw / 2 - cw / 2;
    case 1: return sw / 2 + cw / 2 + cw / 6;
    default: return sw / 2 + cw / 2 + cw / 6 + cw + cw / 6;
  }
}

void TitleBackgroundPosition(int* x, int* y) {
  const int title_height = sprite_height(SpriteTitle);
  *x = GameDisplay.ScreenWidth / 2 - sprite_width(SpriteTitleBackground) / 2;
  *y = (GameDisplay.ScreenHeight - title_height) / 2 - sprite_height(SpriteTitleBackground) / 2 + title_height;
}

Text MinutesSeconds(int64_t milliseconds) {
  // A clock that reads before its start shows no time rather than a negative one.
  const int64_t seconds = std::max<int64_t>(milliseconds, 0) / 1000;
  auto two_digits = [](int64_t value) { return (value < 10 ? u"0" : u"") + str_from_int(value); };
  return two_digits(seconds / 60) + u":" + two_digits(seconds % 60);
}

int PanelBasisWidth() {
  return static_cast<int>(std::min<int64_t>(GameDisplay.ScreenWidth, 2 * int64_t{GameDisplay.ScreenHeight}));
}

int CarouselSpacing() {
  const int card = PanelBasisWidth() / 4;
  return card + card / 6;
}

// ---- The common panel machinery ----

void SetPanelWatcher(const PanelWatcher& watcher) { Watcher = watcher; }

bool PanelBegin(const Text& name, int width, int height, int band) {
  if (Panel.Drawing) vector_drawing_stop();  // a panel left unfinished is dropped
  if (Panel.Image) image_free(Panel.Image);
  Panel = PanelDrawingRecord{};
  if (width <= 0 || height <= 0) return false;
  Panel.Image = image_create(kNewObject, width, height, 32, ColourPanelDark);
  if (!Panel.Image) return false;
  Panel.Width = width;
  Panel.Height = height;
  Panel.Band = band;
  if (drawing_start(image_output(Panel.Image))) {
    draw_box(0, 0, width, band, ColourHighlight);
    drawing_stop();
  }
  if (!vector_drawing_start(image_vector_output(Panel.Image, kUnitPixel))) {
    image_free(Panel.Image);
    Panel = PanelDrawingRecord{};
    return false;
  }
  Panel.Drawing = true;
  if (Watcher.Begin) Watcher.Begin(name, width, height, band);
  return true;
}

void PanelText(const Text& text, double size, double x, double y, uint32_t colour) {
  if (!Panel.Drawing) return;
  SetFont(size);
  vector_source_color(colour);
  vector_move_to(x, y);
  vector_text_draw(text);
  if (Watcher.Line) Watcher.Line(text, x, y, colour);
}

void PanelTitle(const Text& title, double size) {
  if (!Panel.Drawing) return;
  SetFont(size);
  PanelText(title, size, Panel.Width / 2 - vector_text_width(title) / 2, Panel.Band / 2 - vector_text_height(title) / 2,
            ColourText);
}

void PanelEntry(const Text& text, double size, int placement, double y, uint32_t colour) {
  if (!Panel.Drawing) return;
  SetFont(size);
  double x = kEntryMargin;
  if (placement == kPlaceCentre) x = Panel.Width / 2 - vector_text_width(text) / 2;
  if (placement == kPlaceRight) x = Panel.Width - vector_text_width(text) - kEntryMargin;
  PanelText(text, size, x, y, colour);
}

void PanelParagraph(const Text& text, double size, double x, double y, double width, double height, int flags,
                    uint32_t colour) {
  if (!Panel.Drawing) return;
  SetFont(size);
  vector_source_color(colour);
  vector_move_to(x, y);
  vector_paragraph_draw(text, width, height, flags);
  if (Watcher.Paragraph) Watcher.Paragraph(text, x, y, width, height, flags, colour);
}

void PanelPicture(GdkPixbuf* picture, double x, double y, double width, double height) {
  if (!Panel.Drawing || !picture) return;
  vector_move_to(x, y);
  vector_image_draw(picture, 255, width, height);
  if (Watcher.Picture) Watcher.Picture(x, y, width, height);
}

int64_t PanelFinish(int64_t number) {
  if (!Panel.Drawing) return 0;
  vector_drawing_stop();
  int64_t sprite = number;
  if (number == kNewObject || sprite_width(number) != Panel.Width || sprite_height(number) != Panel.Height) {
    sprite = sprite_create(number, Panel.Width, Panel.Height);
  }
  if (sprite && drawing_start(sprite_output(sprite))) {
    draw_image(image_handle(Panel.Image), 0, 0);
    drawing_stop();
  }
  image_free(Panel.Image);
  if (Watcher.Finish) Watcher.Finish(sprite);
  Panel = PanelDrawingRecord{};
  return sprite;
}

// ---- The panels ----

void RenderMainMenu(int choice) {
  static constexpr const char16_t* kKeys[4] = {u"tMenuSTART", u"tMenuSETTINGS", u"tMenuCREDITS", u"tMenuQUIT"};
  RenderFourEntryMenu(SpriteMainMenu, u"main menu", kKeys, choice);
}

void RenderInGameMenu(int choice) {
  static constexpr const char16_t* kKeys[4] = {u"tInGameRESUME", u"tInGameRESTART", u"tInGameSETTINGS",
                                               u"tInGameQUIT"};
  RenderFourEntryMenu(SpriteInGameMenu, u"in-game menu", kKeys, choice);
}

void RenderQuitQuestion(int choice) {
  const PanelGeometry g = MenuPanelGeometry(SpriteQuitQuestion);
  if (!PanelBegin(u"quit question", g.Width, g.Height, g.Band)) return;
  PanelTitle(GameTitle(), g.TitleSize);
  PanelParagraph(GameText(u"tQuitQUESTION"), g.EntrySize, kEntryMargin, g.Band + g.Gap, g.Width - 2 * kEntryMargin,
                 2 * g.EntrySize + g.Gap, kParagraphCentre, ColourText);
  const int y = g.Band + 3 * g.Gap + 3 * g.EntrySize;
  PanelEntry(GameText(u"tQuitYES"), g.EntrySize, kPlaceLeft, y, choice == 1 ? ColourTextHighlight : ColourText);
  PanelEntry(GameText(u"tQuitNO"), g.EntrySize, kPlaceRight, y, choice == 2 ? ColourTextHighlight : ColourText);
  PanelFinish(SpriteQuitQuestion);
}

void RenderLevelComplete(int choice) {
  const PanelGeometry g = MenuPanelGeometry(SpriteLevelComplete);
  if (!PanelBegin(u"level complete", g.Width, g.Height, g.Band)) return;
  PanelTitle(str_replace(GameText(u"tCompleteTITLE"), u"###", str_from_int(Menus.LevelIndex + 1)), g.TitleSize);
  const bool known = Menus.LevelIndex >= 0 && Menus.LevelIndex < static_cast<int64_t>(LevelList.size());
  const int64_t time = known ? LevelList[Menus.LevelIndex].TimeMs : 0;
  const int time_y = g.Band + g.Gap, steps_y = g.Band + 2 * g.Gap + g.EntrySize;
  PanelText(GameText(u"tCompleteTIME"), g.EntrySize, kEntryMargin, time_y, ColourText);
  PanelEntry(MinutesSeconds(time), g.EntrySize, kPlaceRight, time_y, ColourText);
  PanelText(GameText(u"tCompleteSTEPS"), g.EntrySize, kEntryMargin, steps_y, ColourText);
  PanelEntry(str_from_int(Board.StepCount), g.EntrySize, kPlaceRight, steps_y, ColourText);
  const int y = g.Band + 6 * g.Gap + 5 * g.EntrySize;
  PanelEntry(GameText(u"tCompleteRETRY"), g.EntrySize, kPlaceLeft, y, choice == 1 ? ColourTextHighlight : ColourText);
  PanelEntry(GameText(u"tCompleteMENU"), g.EntrySize, kPlaceCentre, y, choice == 2 ? ColourTextHighlight : ColourText);
  PanelEntry(GameText(u"tCompleteNEXT"), g.EntrySize, kPlaceRight, y, choice == 3 ? ColourTextHighlight : ColourText);
  PanelFinish(SpriteLevelComplete);
}

void RenderGameComplete() {
  const PanelGeometry g = MenuPanelGeometry(SpriteGameComplete);
  if (!PanelBegin(u"game complete", g.Width, g.Height, g.Band)) return;
  PanelTitle(GameTitle(), g.TitleSize);
  // The text ends where the OK row starts: a longer one is cut with an ellipsis, never drawn over it.
  const int text_y = g.Band + g.Gap, ok_y = g.Band + 6 * g.Gap + 5 * g.EntrySize;
  PanelParagraph(GameText(u"tGcCONGRATULATIONS") + u"\n\n" + GameText(u"tGcGAMECOMPLETE"), g.EntrySize, 0, text_y,
                 g.Width, ok_y - text_y, kParagraphCentre, ColourText);
  PanelEntry(GameText(u"tSettingsOK"), g.EntrySize, kPlaceCentre, ok_y, ColourTextHighlight);
  PanelFinish(SpriteGameComplete);
}

void RenderLevelCard(int64_t index, bool current) {
  if (index < 0 || index >= static_cast<int64_t>(LevelList.size())) return;
  LevelRecord& level = LevelList[index];
  const PanelGeometry g = MenuPanelGeometry(-1);
  const int cw = g.Width, band = g.Band, size = g.EntrySize;
  if (!PanelBegin(u"card " + str_from_int(index + 1), cw, cw, band)) return;
  SetFont(size);
  const Text header = str_replace(GameText(u"tStartHEADER"), u"#", str_from_int(index + 1));
  const int u = static_cast<int>(std::lround(vector_text_height(header, kMeasureInk)));
  PanelText(header, size, cw / 2 - vector_text_width(header) / 2, band / 2 - u - u / 2, ColourText);
  const Text title = GameText(level.TitleKey);
  SetFont(size);
  PanelText(title, size, cw / 2 - vector_text_width(title) / 2, band / 2, ColourText);
  // A level that cannot be played shows no picture of itself and the lock mark, whatever its
  // stored results say.
  const bool playable = LevelPlayable(index);
  if (playable) {
    const int64_t thumbnail = LevelThumbnail(Folders.GameDir + u"Cratevale.maps", level.Name, kPackerRuntime);
    PanelPicture(image_handle(thumbnail), 0, band, cw, cw * 0.5625);
    image_free(thumbnail);
  }
  if (playable && (level.Unlocked || current)) {
    const Text stats = GameText(u"tStartTIME") + u" " + MinutesSeconds(level.TimeMs) + u"\n" +
                       GameText(u"tStartSTEPS") + u" " + str_from_int(level.Steps) + u"\n";
    PanelParagraph(stats, size, 0, cw - band, cw, band, kParagraphCentre, ColourText);
  } else {
    const int lock = 3 * size;
    PanelPicture(image_handle(ImageLockMark), cw / 2 - lock / 2, cw - band, lock, lock);
  }
  // A card keeps its sprite while it has one of the right size; otherwise it gets a new one.
  const bool reuse = level.CardSprite != 0 && sprite_width(level.CardSprite) == cw && sprite_height(level.CardSprite) == cw;
  if (!reuse && level.CardSprite != 0) sprite_free(level.CardSprite);
  level.CardSprite = PanelFinish(reuse ? level.CardSprite : kNewObject);
}

void RenderAllLevelCards() {
  for (int64_t i = 0; i < static_cast<int64_t>(LevelList.size()); ++i) RenderLevelCard(i, false);
}

void RenderAllTexts() {
  RenderAllPanels();
  if (Loop.InLevel) RenderHudName();
}

void RenderAllPanels() {
  ZoomTitleBackground();
  RenderInGameMenu(Menus.InGameChoice);
  RenderSettingsPanel(Menus.SettingsChoice, Settings.GameScreen);
  RenderMainMenu(Menus.MainMenuChoice);
  RenderLevelComplete(Menus.CompleteChoice);
  RenderCredits();
  RenderQuitQuestion(Menus.QuitChoice);
  RenderAllLevelCards();
  RenderGameComplete();
}

// ---- The title screen and the overlays ----

void TiltTitleBackground() { sprite_rotate(SpriteTitleBackground, kRotateAdd, -3.0f); }

void DrawTitleScreen() {
  const ScreenEntry& screen = CurrentScreen();
  if (screen.Shows == Backdrop::StudioLogo) {
    sprite_display(SpriteStudioSplash, 0, 0);
    return;
  }
  if (screen.Shows != Backdrop::TitleScreen) return;
  ZoomTitleBackground();
  sprite_rotate(SpriteTitleBackground, kRotateAdd, static_cast<float>(Loop.SpinStep));
  DrawTitleLayers(screen);
  if (screen.Place == PanelAt::SlidingIn) DrawSlidingPanel(screen);
  if (screen.Place == PanelAt::Carousel) DrawCarousel();
}

void DrawOverlayPanel() {
  const ScreenEntry& screen = CurrentScreen();
  if (screen.Place != PanelAt::Centred) return;
  const int64_t sprite = screen.Panel;
  sprite_display(sprite, GameDisplay.ScreenWidth / 2 - sprite_width(sprite) / 2,
                 GameDisplay.ScreenHeight / 2 - sprite_height(sprite) / 2);
}

// ---- Navigation ----

bool NavigateMenu(int key) {
  const ScreenEntry& screen = CurrentScreen();
  if (screen.Slide && Menus.*screen.Slide != 0) return false;  // still sliding in
  if (screen.Keys == Navigation::Settings) return SettingsKey(key);
  int delta = 0;
  if (screen.Keys == Navigation::UpDown) delta = key == kKeyDown ? 1 : key == kKeyUp ? -1 : 0;
  if (screen.Keys == Navigation::LeftRight) delta = key == kKeyRight ? 1 : key == kKeyLeft ? -1 : 0;
  if (delta == 0 || !Step(&(Menus.*screen.Choice), delta, screen.Entries)) return false;
  screen.Render(Menus.*screen.Choice);
  return true;
}

bool StartCarouselScroll(int direction) {
  if (Menus.CarouselDirection != kCarouselStill) return false;
  const int64_t count = static_cast<int64_t>(LevelList.size());
  if (direction == kCarouselToPrevious && Menus.LevelIndex >= 1) {
    Menus.CarouselDirection = kCarouselToPrevious;
    return true;
  }
  if (direction == kCarouselToNext && Menus.LevelIndex < count - 1) {
    Menus.CarouselDirection = kCarouselToNext;
    return true;
  }
  return false;
}

void AdvanceCarouselScroll() {
  if (Menus.CarouselDirection == kCarouselStill) return;
  // The cards move by whole steps and then the rest of the card spacing, so the scroll ends with
  // every card where the next rest position puts it.
  if (Menus.CarouselOffset < CarouselSpacing()) {
    Menus.CarouselOffset = std::min<int64_t>(Menus.CarouselOffset + kCarouselStep, CarouselSpacing());
    return;
  }
  Menus.LevelIndex += Menus.CarouselDirection == kCarouselToNext ? 1 : -1;
  Menus.CarouselOffset = kCarouselStep;
  Menus.CarouselDirection = kCarouselStill;
}
