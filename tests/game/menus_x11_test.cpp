// Menus, level cards, the carousel and the title screen, rendered into real sprites on the
// virtual X server's screen; layouts are checked through the panels' recording, colours by
// reading the drawn pixels back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "game/screen_flow.h"
#include "game/screens.h"
#include "runtime/display/keyboard.h"
#include "tests/game/panel_fixture.h"

namespace {

const uint32_t kBandPixel = x11_rgb(232, 106, 23);
const uint32_t kFillPixel = x11_rgb(74, 74, 74);
const uint32_t kWhitePixel = x11_rgb(255, 255, 255);
const uint32_t kGreenPixel = x11_rgb(0, 255, 0);  // the cleared screen

struct ScreenSize {
  int width, height;
};
const ScreenSize kSizes[] = {{1024, 576}, {1920, 1080}, {3840, 2160}};
const char16_t* const kLanguages[] = {u"en_GB", u"de_DE", u"es_ES", u"fr_FR"};

using MenusTest = PanelTest;

// Gives every other level a result so that both card forms are drawn, with the widest figures.
void MixLockedAndSolvedLevels() {
  for (size_t i = 0; i < LevelList.size(); ++i) {
    LevelList[i].Unlocked = i % 2 == 0;
    LevelList[i].TimeMs = i % 2 == 0 ? 3599000 : 0;  // 59:59
    LevelList[i].Steps = i % 2 == 0 ? 99999 : 0;
  }
}

// The pixels of the ink box of a recorded text drawn with its panel's top-left at (x, y).
std::vector<uint32_t> InkPixels(const RecordedItem& item, int x, int y) {
  const int left = x + static_cast<int>(item.X), top = y + static_cast<int>(item.Y);
  return x11_read_screen(left, top, static_cast<int>(item.Width), static_cast<int>(item.Height));
}

const RecordedItem* FindText(const RecordedPanel& panel, const Text& text) {
  for (const RecordedItem& item : panel.Items) {
    if (!item.Picture && item.Content == text) return &item;
  }
  return nullptr;
}

int Count(const std::vector<uint32_t>& pixels, uint32_t colour) {
  return static_cast<int>(std::count(pixels.begin(), pixels.end(), colour));
}

// One screen size and one shipped language per test.
class PanelLayoutTest : public PanelTest,
                        public testing::WithParamInterface<std::tuple<ScreenSize, const char16_t*>> {};

TEST_P(PanelLayoutTest, EveryPanelAndCardKeepsItsTextsApartAndInside) {
  const auto [size, language] = GetParam();
  MixLockedAndSolvedLevels();
  Board.StepCount = 99999;
  Menus.LevelIndex = 11;
  SetScreenSize(size.width, size.height);
  UseLanguage(language);
  RenderAllPanels();
  // The settings panel with each value of each row, so the widest value of every row is seen.
  for (int64_t l = 0; l < list_size(Languages.LanguageList); ++l) {
    list_select(Languages.LanguageList, l);
    for (int screen = 0; screen <= 2; ++screen) {
      Menus.PendingScreen = screen;
      Menus.PendingMusic = screen % 2;
      Menus.PendingResolution = screen == 1 ? 9 : 5;
      RenderSettingsPanel(4, screen);
    }
  }
  EXPECT_EQ(Recorded(u"settings").size(), 1 + 3 * static_cast<size_t>(list_size(Languages.LanguageList)));
  size_t cards = 0;
  for (const RecordedPanel& panel : PanelRecording.Panels) {
    if (panel.Name.starts_with(u"card")) ++cards;
    EXPECT_NE(panel.Sprite, 0) << text_to_utf8(panel.Name);
    EXPECT_EQ(sprite_width(panel.Sprite), panel.Width);
    EXPECT_EQ(sprite_height(panel.Sprite), panel.Height);
    for (const std::string& fault : PanelLayoutFaults(panel)) ADD_FAILURE() << fault;
  }
  EXPECT_EQ(cards, LevelList.size());
  // The seven panels once, the settings for each value, and every card.
  EXPECT_EQ(PanelRecording.Panels.size(), 7 + 3 * list_size(Languages.LanguageList) + LevelList.size());
}

INSTANTIATE_TEST_SUITE_P(SizesAndLanguages, PanelLayoutTest,
                         testing::Combine(testing::ValuesIn(kSizes), testing::ValuesIn(kLanguages)),
                         [](const testing::TestParamInfo<PanelLayoutTest::ParamType>& info) {
                           const ScreenSize size = std::get<0>(info.param);
                           return std::to_string(size.width) + "x" + std::to_string(size.height) + "_" +
                                  text_to_utf8(std::get<1>(info.param));
                         });

TEST_F(MenusTest, PanelsHaveTheirSizesOnAFullHdScreen) {
  RenderAllPanels();
  const struct {
    int sprite, width, height;
  } kPanels[] = {{SpriteMainMenu, 480, 480},       {SpriteInGameMenu, 480, 480},     {SpriteQuitQuestion, 960, 320},
                 {SpriteLevelComplete, 960, 640},  {SpriteGameComplete, 960, 640},  {SpriteSettingsPanel, 1067, 640},
                 {SpriteCredits, 960, 640}};
  for (const auto& panel : kPanels) {
    EXPECT_EQ(sprite_width(panel.sprite), panel.width) << panel.sprite;
    EXPECT_EQ(sprite_height(panel.sprite), panel.height) << panel.sprite;
  }
  EXPECT_EQ(sprite_width(LevelList[0].CardSprite), 480);
}

TEST_F(MenusTest, BandFillAndHighlightedEntryHaveTheirColours) {
  RenderMainMenu(2);
  const RecordedPanel& menu = LastRecorded(u"main menu");
  sprite_display(SpriteMainMenu, 0, 0);
  EXPECT_EQ(x11_screen_pixel(3, 3), kBandPixel);
  EXPECT_EQ(x11_screen_pixel(476, 79), kBandPixel);
  EXPECT_EQ(x11_screen_pixel(3, 81), kFillPixel);
  EXPECT_EQ(x11_screen_pixel(476, 476), kFillPixel);
  const RecordedItem* highlighted = FindText(menu, GameText(u"tMenuSETTINGS"));
  const RecordedItem* plain = FindText(menu, GameText(u"tMenuSTART"));
  ASSERT_TRUE(highlighted && plain);
  const std::vector<uint32_t> orange = InkPixels(*highlighted, 0, 0), white = InkPixels(*plain, 0, 0);
  EXPECT_GT(Count(orange, kBandPixel), 20);
  EXPECT_EQ(Count(orange, kWhitePixel), 0);
  EXPECT_GT(Count(white, kWhitePixel), 20);
  EXPECT_EQ(Count(white, kBandPixel), 0);
  // The title is white inside the band.
  const RecordedItem* title = FindText(menu, u"CRATEVALE");
  ASSERT_TRUE(title);
  EXPECT_LT(title->Y + title->Height, menu.Band);
  EXPECT_GT(Count(InkPixels(*title, 0, 0), kWhitePixel), 10);
}

TEST_F(MenusTest, LevelCompleteShowsTheLevelNumberTimeAndSteps) {
  Menus.LevelIndex = 11;
  LevelList[11].TimeMs = 754999;  // 12:34
  Board.StepCount = 321;
  RenderLevelComplete(3);
  const std::vector<std::string> texts = Texts(LastRecorded(u"level complete"));
  const std::vector<std::string> expected = {"Level 12 complete!", "Time", "12:34", "Steps", "321", "Retry", "Menu", "Next"};
  EXPECT_EQ(texts, expected);
  const RecordedPanel& panel = LastRecorded(u"level complete");
  EXPECT_EQ(FindText(panel, u"Next")->Colour, ColourHighlight | 0xFF000000u);
  EXPECT_EQ(FindText(panel, u"Retry")->Colour, 0xFFFFFFFFu);
  EXPECT_EQ(MinutesSeconds(0), u"00:00");
  EXPECT_EQ(MinutesSeconds(6000000), u"100:00");
}

TEST_F(MenusTest, CardsShowHeaderTitleThumbnailAndResultsOrTheLock) {
  LevelList[0].TimeMs = 65000;
  LevelList[0].Steps = 42;
  LevelList[2].Unlocked = 0;
  RenderLevelCard(0, false);
  RenderLevelCard(2, false);
  RenderLevelCard(2, true);
  const auto cards = Recorded(u"card 3");
  ASSERT_EQ(cards.size(), 2u);
  const RecordedPanel& first = LastRecorded(u"card 1");
  const std::vector<std::string> texts = Texts(first);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], "Level 1");
  EXPECT_EQ(texts[1], text_to_utf8(GameText(LevelList[0].TitleKey)));
  EXPECT_FALSE(texts[1].empty());
  EXPECT_EQ(texts[2], "Time: 01:05\nSteps: 42\n");
  // The header sits above the title, both in the band; the thumbnail fills the card's width.
  EXPECT_LT(first.Items[0].Y + first.Items[0].Height, first.Items[1].Y + 0.5);
  ASSERT_EQ(first.Items.size(), 4u);
  EXPECT_TRUE(first.Items[2].Picture);
  EXPECT_EQ(first.Items[2].Width, 480);
  EXPECT_EQ(first.Items[2].Height, 270);
  // Locked: the lock mark (3 x the text size square, centred) instead of the results.
  const RecordedPanel& locked = *cards[0];
  ASSERT_EQ(locked.Items.size(), 4u);
  EXPECT_TRUE(locked.Items[3].Picture);
  EXPECT_EQ(locked.Items[3].X, 240 - 39);
  EXPECT_EQ(locked.Items[3].Width, 78);
  // The current card is drawn unlocked whatever its record says.
  EXPECT_FALSE(cards[1]->Items[3].Picture);
  // A re-rendered card keeps its sprite; the lock mark is drawn on the card.
  const int64_t sprite = LevelList[2].CardSprite;
  EXPECT_EQ(cards[0]->Sprite, cards[1]->Sprite);
  sprite_display(sprite, 0, 0);
  EXPECT_EQ(x11_screen_pixel(2, 2), kBandPixel);
  EXPECT_NE(x11_screen_pixel(240, 270), kFillPixel);  // the thumbnail
  // After a change of screen size the card gets a sprite of the new size.
  SetScreenSize(1024, 576);
  RenderLevelCard(2, false);
  EXPECT_EQ(sprite_width(LevelList[2].CardSprite), 256);
  EXPECT_EQ(sprite_width(sprite), 0);
}

// ---- Navigation ----

struct NavigationCase {
  ScreenState state;
  int key;
  int before;
  int slide;
  int after;
  bool changed;
};

int* ChoiceOf(ScreenState state) {
  switch (state) {
    case ScreenState::MainMenu: return &Menus.MainMenuChoice;
    case ScreenState::InGameMenu: return &Menus.InGameChoice;
    case ScreenState::MenuQuit:
    case ScreenState::GameQuit: return &Menus.QuitChoice;
    case ScreenState::LevelComplete: return &Menus.CompleteChoice;
    default: return &Menus.SettingsChoice;
  }
}

TEST_F(MenusTest, NavigationMovesWithinEachListWithoutWrapping) {
  const NavigationCase kCases[] = {
      {ScreenState::MainMenu, kKeyDown, 1, 0, 2, true},       {ScreenState::MainMenu, kKeyDown, 4, 0, 4, false},
      {ScreenState::MainMenu, kKeyUp, 2, 0, 1, true},         {ScreenState::MainMenu, kKeyUp, 1, 0, 1, false},
      {ScreenState::MainMenu, kKeyDown, 1, 3, 1, false},      {ScreenState::MainMenu, kKeyLeft, 2, 0, 2, false},
      {ScreenState::InGameMenu, kKeyDown, 3, 0, 4, true},     {ScreenState::InGameMenu, kKeyDown, 4, 0, 4, false},
      {ScreenState::InGameMenu, kKeyUp, 1, 0, 1, false},      {ScreenState::InGameMenu, kKeyRight, 1, 0, 1, false},
      {ScreenState::MenuQuit, kKeyRight, 1, 0, 2, true},      {ScreenState::MenuQuit, kKeyRight, 2, 0, 2, false},
      {ScreenState::MenuQuit, kKeyLeft, 2, 0, 1, true},       {ScreenState::MenuQuit, kKeyLeft, 2, 1, 2, false},
      {ScreenState::GameQuit, kKeyLeft, 1, 0, 1, false},      {ScreenState::GameQuit, kKeyRight, 1, 0, 2, true},
      {ScreenState::GameQuit, kKeyDown, 1, 0, 1, false},      {ScreenState::LevelComplete, kKeyLeft, 3, 0, 2, true},
      {ScreenState::LevelComplete, kKeyLeft, 1, 0, 1, false}, {ScreenState::LevelComplete, kKeyRight, 3, 0, 3, false},
      {ScreenState::LevelComplete, kKeyRight, 1, 0, 2, true}, {ScreenState::LevelComplete, kKeyUp, 2, 0, 2, false},
      {ScreenState::Playing, kKeyDown, 1, 0, 1, false},       {ScreenState::LevelSelect, kKeyRight, 1, 0, 1, false},
  };
  for (const NavigationCase& c : kCases) {
    Menus = MenuRecord{};
    GameState = c.state;
    *ChoiceOf(c.state) = c.before;
    Menus.MainMenuSlide = Menus.QuitSlide = c.slide;
    const size_t rendered = PanelRecording.Panels.size();
    EXPECT_EQ(NavigateMenu(c.key), c.changed) << ScreenOf(c.state).Name << " " << c.key << " " << c.before;
    EXPECT_EQ(*ChoiceOf(c.state), c.after) << ScreenOf(c.state).Name << " " << c.key << " " << c.before;
    // A change re-renders the panel with the new highlight; no change renders nothing.
    EXPECT_EQ(PanelRecording.Panels.size(), rendered + (c.changed ? 1 : 0));
  }
}

TEST_F(MenusTest, SettingsStatesHandTheirKeysToTheSettingsPanel) {
  GameState = ScreenState::GameSettings;
  OpenSettings();
  EXPECT_TRUE(NavigateMenu(kKeyDown));
  EXPECT_EQ(Menus.SettingsChoice, 2);
  GameState = ScreenState::MenuSettings;
  Menus.SettingsSlide = 2;
  EXPECT_FALSE(NavigateMenu(kKeyDown));
}

// ---- Carousel ----

TEST_F(MenusTest, OneLevelPackNeitherScrollsNorShowsMoreThanOneCard) {
  LevelList.resize(1);
  RenderAllLevelCards();
  GameState = ScreenState::LevelSelect;
  EXPECT_FALSE(StartCarouselScroll(1));
  EXPECT_FALSE(StartCarouselScroll(2));
  x11_clear_screen(0, 255, 0);
  DrawTitleScreen();
  EXPECT_EQ(x11_screen_pixel(CarouselCardX(0) + 2, 542), kBandPixel);
  EXPECT_EQ(x11_screen_pixel(CarouselCardX(-1) + 2, 542), kGreenPixel);
  EXPECT_EQ(x11_screen_pixel(CarouselCardX(1) + 2, 542), kGreenPixel);
  EXPECT_EQ(Menus.CarouselDirection, 0);
}

TEST_F(MenusTest, ACardWithoutSpriteIsNotDrawn) {
  ASSERT_NE(sprite_create(SpriteScreenshot, 600, 600, kSpriteKeepAlpha), 0);  // black where drawn
  GameState = ScreenState::LevelSelect;
  Menus.LevelIndex = 0;
  x11_clear_screen(0, 255, 0);
  DrawTitleScreen();
  EXPECT_EQ(x11_screen_pixel(CarouselCardX(0) + 2, 542), kGreenPixel);
}

TEST_F(MenusTest, ScrollsStopAtTheEndsOfThePack) {
  Menus.LevelIndex = 0;
  EXPECT_FALSE(StartCarouselScroll(2));
  Menus.LevelIndex = static_cast<int64_t>(LevelList.size()) - 1;
  EXPECT_FALSE(StartCarouselScroll(1));
  EXPECT_TRUE(StartCarouselScroll(2));
  EXPECT_FALSE(StartCarouselScroll(1));  // a scroll is running
  EXPECT_EQ(Menus.CarouselDirection, 2);
}

// Panels and cards are sized from the screen's width; on screens more than twice as wide as high
// (21:9, 32:9) that would run them off the bottom edge, so there they are sized as for a screen
// twice as wide as high, and up to that shape as before.
TEST_F(MenusTest, EveryPanelAndCardFitsTheScreensHeightOnVeryWideScreens) {
  const int sizes[][2] = {{1920, 1080}, {2048, 1080}, {2160, 1080}, {2560, 1080}, {3440, 1440},
                          {3840, 1600}, {3840, 1080}, {1080, 1920}};
  for (const auto& size : sizes) {
    const int sw = size[0], sh = size[1];
    SCOPED_TRACE(std::to_string(sw) + "x" + std::to_string(sh));
    SetScreenSize(sw, sh);
    if (sw <= 2 * sh) {
      EXPECT_EQ(MenuPanelGeometry(SpriteMainMenu).Width, sw / 4);
    }
    for (const int sprite : {SpriteMainMenu, SpriteQuitQuestion, SpriteCredits, SpriteSettingsPanel}) {
      const PanelPlace place = SlidePanelPlace(sprite);
      const int height = sprite == SpriteCredits         ? CreditsGeometry().Height
                         : sprite == SpriteSettingsPanel ? SettingsGeometry().Height
                                                         : MenuPanelGeometry(sprite).Height;
      EXPECT_GE(place.RestY, 0) << sprite;
      EXPECT_LE(place.RestY + height, sh) << sprite;
      EXPECT_GE(place.X, 0) << sprite;
    }
    for (const int sprite : {SpriteInGameMenu, SpriteLevelComplete, SpriteGameComplete}) {
      EXPECT_LE(MenuPanelGeometry(sprite).Height, sh) << sprite;
      EXPECT_LE(MenuPanelGeometry(sprite).Width, sw) << sprite;
    }
    // The carousel's cards rest at half height; the middle one is centred.
    EXPECT_LE(sh / 2 + MenuPanelGeometry(-1).Height, sh);
    EXPECT_LE(std::abs(sw - 2 * CarouselCardX(0) - MenuPanelGeometry(-1).Width), 1);
  }
}

TEST_F(MenusTest, AScrollMovesTheCardsBy45PixelsAFrameAndEndsAtTheirNextPlaces) {
  RenderAllLevelCards();
  GameState = ScreenState::LevelSelect;
  Menus.LevelIndex = 3;
  ASSERT_TRUE(StartCarouselScroll(1));
  std::vector<int64_t> offsets;
  std::vector<uint32_t> last_frame;
  for (int frame = 0; frame < 20 && Menus.CarouselDirection != 0; ++frame) {
    offsets.push_back(Menus.CarouselOffset);
    x11_clear_screen(0, 255, 0);
    DrawTitleScreen();
    last_frame = x11_read_screen(0, 542, 1920, 1);
    AdvanceTimers();
    if (frame == 0) {
      // Every card is drawn 45 pixels further left.
      EXPECT_EQ(x11_screen_pixel(CarouselCardX(0) - 45 + 2, 542), kBandPixel);
      EXPECT_EQ(x11_screen_pixel(CarouselCardX(0) + 480 - 45 + 2, 542), kGreenPixel);
      EXPECT_EQ(x11_screen_pixel(CarouselCardX(1) - 45 + 2, 542), kBandPixel);
    }
  }
  // Steps of 45 up to the card spacing of 480 + 80 pixels, the last step the rest of it.
  std::vector<int64_t> expected;
  for (int64_t offset = 45; offset < 560; offset += 45) expected.push_back(offset);
  expected.push_back(560);
  EXPECT_EQ(offsets, expected);
  EXPECT_EQ(Menus.LevelIndex, 4);
  EXPECT_EQ(Menus.CarouselOffset, 45);
  // The scroll's last frame already shows the cards where they rest: no jump at its end.
  // (Seen along the cards' title bands: every pixel of the cards' places is band-coloured; the
  // place at the right end gets its card, one not yet shown, when the scroll has ended.)
  auto at_rest = [](const std::vector<uint32_t>& row) {
    for (int slot = -2; slot <= 1; ++slot) {
      for (int x = std::max(CarouselCardX(slot), 0); x < std::min(CarouselCardX(slot) + 480, 1920); ++x) {
        if (row[x] != kBandPixel) return false;
      }
    }
    return true;
  };
  EXPECT_TRUE(at_rest(last_frame));
  x11_clear_screen(0, 255, 0);
  DrawTitleScreen();
  EXPECT_TRUE(at_rest(x11_read_screen(0, 542, 1920, 1)));
  // Backwards on a small screen: 256-pixel cards 298 pixels apart take 7 frames (45 .. 270, 298).
  SetScreenSize(1024, 576);
  ASSERT_TRUE(StartCarouselScroll(2));
  int frames = 0;
  while (Menus.CarouselDirection != 0 && frames < 20) {
    DrawTitleScreen();
    AdvanceTimers();
    ++frames;
  }
  EXPECT_EQ(frames, 7);
  EXPECT_EQ(Menus.LevelIndex, 3);
}

// ---- Title screen, slides and overlays ----

TEST_F(MenusTest, SlidingPanelsRestWhereTheyBelong) {
  const struct {
    ScreenState state;
    int x, rest_y, step;
  } kPlaces[] = {{ScreenState::MainMenu, 720, 540, 108}, {ScreenState::MenuQuit, 480, 540, 108}, {ScreenState::Credits, 480, 430, 130}, {ScreenState::MenuSettings, 427, 430, 130}};
  for (const auto& p : kPlaces) {
    const PanelPlace place = SlidePanelPlace(ScreenOf(p.state).Panel);
    EXPECT_EQ(place.X, p.x) << ScreenOf(p.state).Name;
    EXPECT_EQ(place.RestY, p.rest_y) << ScreenOf(p.state).Name;
    EXPECT_EQ(place.Step, p.step) << ScreenOf(p.state).Name;
  }
}

TEST_F(MenusTest, TheMainMenuRisesIntoPlaceOverFiveFrames) {
  RenderMainMenu(1);
  GameState = ScreenState::MainMenu;
  Menus.MainMenuSlide = kSlideFrames;
  std::vector<int> counters;
  for (int frame = 0; frame < 6; ++frame) {
    counters.push_back(Menus.MainMenuSlide);
    x11_clear_screen(0, 255, 0);
    DrawTitleScreen();
    AdvanceTimers();
  }
  EXPECT_EQ(counters, (std::vector<int>{5, 4, 3, 2, 1, 0}));
  // The last frame drew it at rest: its band starts at the screen's middle.
  EXPECT_EQ(x11_screen_pixel(722, 540), kBandPixel);
  EXPECT_EQ(x11_screen_pixel(722, 538), kGreenPixel);
  // One frame earlier it was one step (108 pixels) lower.
  Menus.MainMenuSlide = 1;
  x11_clear_screen(0, 255, 0);
  DrawTitleScreen();
  EXPECT_EQ(x11_screen_pixel(722, 648), kBandPixel);
  EXPECT_EQ(x11_screen_pixel(722, 646), kGreenPixel);
}

TEST_F(MenusTest, TitleBackgroundIsZoomedToOnePointTwoScreenWidths) {
  ASSERT_NE(sprite_create(SpriteTitleBackground, 320, 480), 0);
  ASSERT_NE(sprite_create(SpriteTitle, 1920, 1080), 0);
  GameState = ScreenState::TitleSplash;
  DrawTitleScreen();
  EXPECT_EQ(sprite_width(SpriteTitleBackground), 2304);
  EXPECT_EQ(sprite_height(SpriteTitleBackground), 3456);
  int x = 0, y = 0;
  TitleBackgroundPosition(&x, &y);
  EXPECT_EQ(x, 960 - 1152);
  EXPECT_EQ(y, 0 - 1728 + 1080);
  // A new layout zooms it again from its own size.
  SetScreenSize(1024, 576);
  DrawTitleScreen();
  EXPECT_EQ(sprite_width(SpriteTitleBackground), 1229);
  EXPECT_EQ(sprite_height(SpriteTitleBackground), 1843);
}

TEST_F(MenusTest, OverlayPanelsAreCentred) {
  Menus.LevelIndex = 0;
  RenderLevelComplete(1);
  GameState = ScreenState::LevelComplete;
  x11_clear_screen(0, 255, 0);
  DrawOverlayPanel();
  EXPECT_EQ(x11_screen_pixel(480 + 2, 220 + 2), kBandPixel);
  EXPECT_EQ(x11_screen_pixel(480 - 2, 220 + 2), kGreenPixel);
  EXPECT_EQ(x11_screen_pixel(1440 - 2, 860 - 2), kFillPixel);
  GameState = ScreenState::Playing;
  x11_clear_screen(0, 255, 0);
  DrawOverlayPanel();
  EXPECT_EQ(x11_screen_pixel(482, 222), kGreenPixel);
}

}  // namespace

namespace {

// The layout check itself: a text too wide for its panel and a question too long for its box
// are both reported.
TEST_F(MenusTest, TheLayoutCheckFindsTextsThatDoNotFit) {
  *map_put(Languages.TextTable, Text(u"tMenuSTART")) = u"A menu entry far too long to stay inside its panel";
  *map_put(Languages.TextTable, Text(u"tQuitQUESTION")) =
      u"A question so long that it needs many more lines than the two its box has room for, and then some more";
  RenderMainMenu(1);
  RenderQuitQuestion(1);
  const std::vector<std::string> menu = PanelLayoutFaults(LastRecorded(u"main menu"));
  const std::vector<std::string> quit = PanelLayoutFaults(LastRecorded(u"quit question"));
  ASSERT_EQ(menu.size(), 1u);
  EXPECT_NE(menu[0].find("runs outside"), std::string::npos) << menu[0];
  ASSERT_FALSE(quit.empty());
  EXPECT_NE(quit[0].find("does not fit"), std::string::npos) << quit[0];
}

}  // namespace
