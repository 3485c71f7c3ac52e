// The settings panel (keys, working copies, confirmation) and the credits panel, rendered into
// real sprites on the virtual X server's screen, with the sound service on SDL's dummy driver.
#include <gtest/gtest.h>

#include <algorithm>

#include <cstdlib>
#include <string>
#include <vector>

#include "game/music.h"
#include "runtime/display/keyboard.h"
#include "runtime/media/sound.h"
#include "tests/game/panel_fixture.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kOrange = ColourHighlight | 0xFF000000u;
constexpr uint32_t kDisabled = 0x5F5F5F5Fu;

struct ReopenCounter {
  int calls = 0;
};
ReopenCounter Reopens;
int CountReopen() {
  ++Reopens.calls;
  return 1;
}

class SettingsTest : public PanelTest {
 protected:
  void SetUp() override {
    PanelTest::SetUp();
    Reopens = ReopenCounter{};
    SetReopenFunction(&CountReopen);
  }

  // The rows of the last settings panel as it drew them: its items below the band, grouped
  // where their inked heights overlap, top to bottom and each from left to right.
  static std::vector<std::vector<RecordedItem>> Rows() {
    const RecordedPanel& panel = LastRecorded(u"settings");
    std::vector<RecordedItem> items;
    for (const RecordedItem& item : panel.Items) {
      if (item.Y >= panel.Band) items.push_back(item);
    }
    std::sort(items.begin(), items.end(), [](const RecordedItem& a, const RecordedItem& b) { return a.Y < b.Y; });
    std::vector<std::vector<RecordedItem>> rows;
    double bottom = -1;
    for (const RecordedItem& item : items) {
      if (rows.empty() || item.Y >= bottom) rows.emplace_back();
      rows.back().push_back(item);
      bottom = std::max(bottom, item.Y + item.Height);
    }
    // Each row from left to right.
    for (auto& row : rows) {
      std::sort(row.begin(), row.end(), [](const RecordedItem& a, const RecordedItem& b) { return a.X < b.X; });
    }
    return rows;
  }
  // The recorded items on the row of an entry (1-6; OK and Cancel share the last row).
  static std::vector<RecordedItem> Row(int entry) {
    const std::vector<std::vector<RecordedItem>> rows = Rows();
    const size_t row = static_cast<size_t>(std::min(entry, 5) - 1);
    return row < rows.size() ? rows[row] : std::vector<RecordedItem>();
  }
  static std::vector<std::string> RowTexts(int entry) {
    std::vector<std::string> texts;
    for (const RecordedItem& item : Row(entry)) texts.push_back(text_to_utf8(item.Content));
    return texts;
  }
  // Moves the language entry to a base name with Right / Left.
  static void PendLanguage(const Text& base) {
    Menus.SettingsChoice = 1;
    while (SettingsKey(kKeyLeft)) {
    }
    while (Menus.PendingLanguage != base && SettingsKey(kKeyRight)) {
    }
    ASSERT_EQ(Menus.PendingLanguage, base);
  }
};

TEST_F(SettingsTest, PanelHasItsGeometryAndRows) {
  const PanelGeometry g = SettingsGeometry();
  EXPECT_EQ(g.Width, 1067);
  EXPECT_EQ(g.Height, 640);
  EXPECT_EQ(g.Band, 80);
  EXPECT_EQ(g.TitleSize, 26);
  EXPECT_EQ(g.EntrySize, 52);
  EXPECT_EQ(g.Gap, 35);
  Settings.GameScreen = 1;
  Settings.Resolution = 4;
  Settings.MusicOn = 0;
  OpenSettings();
  EXPECT_EQ(RowTexts(1), (std::vector<std::string>{"Language", "ENGLISH"}));
  EXPECT_EQ(RowTexts(2), (std::vector<std::string>{"Music", "Off"}));
  EXPECT_EQ(RowTexts(3), (std::vector<std::string>{"Display", "Windowed"}));
  EXPECT_EQ(RowTexts(4), (std::vector<std::string>{"Window size", "1920x1080"}));
  EXPECT_EQ(RowTexts(5), (std::vector<std::string>{"OK", "Cancel"}));
  // Labels at the left margin, values right-aligned at the right one.
  const std::vector<RecordedItem> row = Row(4);
  EXPECT_NEAR(row[0].X, 10, 4);
  EXPECT_NEAR(row[1].X + row[1].Width, 1067 - 10, 4);
  EXPECT_EQ(row[0].Colour, kWhite);
  EXPECT_EQ(Row(1)[0].Colour, kOrange);
  EXPECT_EQ(Row(1)[1].Colour, kOrange);
  // Five rows, each inside the panel below its band, the last at the bottom of it.
  const std::vector<std::vector<RecordedItem>> rows = Rows();
  ASSERT_EQ(rows.size(), 5u);
  for (const auto& r : rows) {
    for (const RecordedItem& item : r) {
      EXPECT_GE(item.Y, g.Band) << text_to_utf8(item.Content);
      EXPECT_LE(item.Y + item.Height, g.Height) << text_to_utf8(item.Content);
      EXPECT_GE(item.X, 0) << text_to_utf8(item.Content);
      EXPECT_LE(item.X + item.Width, g.Width) << text_to_utf8(item.Content);
    }
  }
  EXPECT_GT(rows[4][0].Y, g.Height / 2);
}

TEST_F(SettingsTest, LanguageIsShownInCapitals) {
  UseLanguage(u"fr_FR");
  OpenSettings();
  EXPECT_EQ(RowTexts(1)[1], "FRANÇAIS");
  UseLanguage(u"es_ES");
  OpenSettings();
  EXPECT_EQ(RowTexts(1)[1], "ESPAÑOL");
}

TEST_F(SettingsTest, ResolutionIsDrawnDisabledOutsideWindowedModeEvenHighlighted) {
  Settings.GameScreen = 0;
  OpenSettings();
  RenderSettingsPanel(4, 0);
  for (const RecordedItem& item : Row(4)) EXPECT_EQ(item.Colour, kDisabled);
  // On the screen: the label's ink is the disabled grey over the panel, never white or orange.
  const RecordedItem label = Row(4)[0];
  sprite_display(SpriteSettingsPanel, 0, 0);
  const std::vector<uint32_t> pixels = x11_read_screen(static_cast<int>(label.X), static_cast<int>(label.Y),
                                                       static_cast<int>(label.Width), static_cast<int>(label.Height));
  int grey = 0;
  for (uint32_t p : pixels) {
    const int r = p & 255, g = (p >> 8) & 255, b = (p >> 16) & 255;
    EXPECT_TRUE(r == g && g == b && r >= 74 && r <= 83) << std::hex << p;
    if (r >= 81) ++grey;
  }
  EXPECT_GT(grey, 20);
  // The band and the highlighted entry have their colours.
  EXPECT_EQ(x11_screen_pixel(3, 3), x11_rgb(232, 106, 23));
  RenderSettingsPanel(2, 0);
  const RecordedItem music = Row(2)[0];
  sprite_display(SpriteSettingsPanel, 0, 0);
  const std::vector<uint32_t> orange = x11_read_screen(static_cast<int>(music.X), static_cast<int>(music.Y),
                                                       static_cast<int>(music.Width), static_cast<int>(music.Height));
  EXPECT_GT(std::count(orange.begin(), orange.end(), x11_rgb(232, 106, 23)), 20);
}

struct KeyCase {
  int screen;
  int before;
  int key;
  int after;
  bool changed;
};

TEST_F(SettingsTest, UpAndDownSkipTheResolutionOutsideWindowedMode) {
  const KeyCase kCases[] = {
      {0, 3, kKeyDown, 5, true},  {2, 3, kKeyDown, 5, true},  {1, 3, kKeyDown, 4, true}, {0, 5, kKeyUp, 3, true},
      {2, 5, kKeyUp, 3, true},    {1, 5, kKeyUp, 4, true},    {0, 1, kKeyUp, 1, false},  {0, 6, kKeyDown, 6, false},
      {0, 5, kKeyDown, 6, true},  {0, 6, kKeyUp, 5, true},    {1, 2, kKeyDown, 3, true}, {0, 5, kKeyLeft, 5, false},
      {0, 6, kKeyRight, 6, false}, {0, 2, kKeyReturn, 2, false},
  };
  for (const KeyCase& c : kCases) {
    Settings.GameScreen = c.screen;
    OpenSettings();
    Menus.SettingsChoice = c.before;
    const size_t rendered = PanelRecording.Panels.size();
    EXPECT_EQ(SettingsKey(c.key), c.changed) << c.screen << " " << c.before << " " << c.key;
    EXPECT_EQ(Menus.SettingsChoice, c.after) << c.screen << " " << c.before << " " << c.key;
    EXPECT_EQ(PanelRecording.Panels.size(), rendered + (c.changed ? 1 : 0));
  }
}

TEST_F(SettingsTest, KeysAreIgnoredWhileThePanelSlides) {
  OpenSettings();
  Menus.SettingsSlide = 3;
  EXPECT_FALSE(SettingsKey(kKeyDown));
  Menus.SettingsChoice = 2;
  EXPECT_FALSE(SettingsKey(kKeyRight));
  EXPECT_EQ(Menus.PendingMusic, 1);
}

TEST_F(SettingsTest, SwitchingToWindowedEnablesTheResolutionAtOnce) {
  Settings.GameScreen = 0;
  OpenSettings();
  Menus.SettingsChoice = 3;
  EXPECT_TRUE(SettingsKey(kKeyRight));
  EXPECT_EQ(Menus.PendingScreen, 1);
  EXPECT_EQ(RowTexts(3)[1], "Windowed");
  EXPECT_EQ(Row(4)[0].Colour, kWhite);
  EXPECT_TRUE(SettingsKey(kKeyDown));
  EXPECT_EQ(Menus.SettingsChoice, 4);
  EXPECT_EQ(Row(4)[0].Colour, kOrange);
  // Back to full screen, the entry is grey again and skipped.
  Menus.SettingsChoice = 3;
  EXPECT_TRUE(SettingsKey(kKeyLeft));
  EXPECT_FALSE(SettingsKey(kKeyLeft));
  EXPECT_EQ(Menus.PendingScreen, 0);
  EXPECT_EQ(Row(4)[0].Colour, kDisabled);
  Menus.SettingsChoice = 3;
  EXPECT_TRUE(SettingsKey(kKeyRight));
  EXPECT_TRUE(SettingsKey(kKeyRight));
  EXPECT_FALSE(SettingsKey(kKeyRight));
  EXPECT_EQ(RowTexts(3)[1], "Borderless");
}

TEST_F(SettingsTest, ValuesStopAtTheEndsOfTheirLists) {
  Settings.GameScreen = 1;
  Settings.Resolution = 0;
  OpenSettings();
  Menus.SettingsChoice = 4;
  EXPECT_FALSE(SettingsKey(kKeyLeft));
  for (int i = 1; i <= 9; ++i) EXPECT_TRUE(SettingsKey(kKeyRight));
  EXPECT_FALSE(SettingsKey(kKeyRight));
  EXPECT_EQ(Menus.PendingResolution, 9);
  EXPECT_EQ(RowTexts(4)[1], "3840x2160");
  // Music: Left sets on, Right sets off, each only once.
  Menus.SettingsChoice = 2;
  EXPECT_FALSE(SettingsKey(kKeyLeft));
  EXPECT_TRUE(SettingsKey(kKeyRight));
  EXPECT_FALSE(SettingsKey(kKeyRight));
  EXPECT_EQ(RowTexts(2)[1], "Off");
  // Languages: nothing before the first or after the last.
  Menus.SettingsChoice = 1;
  list_first(Languages.LanguageList);
  EXPECT_FALSE(SettingsKey(kKeyLeft));
  const size_t rendered = PanelRecording.Panels.size();
  for (int64_t i = 1; i < list_size(Languages.LanguageList); ++i) EXPECT_TRUE(SettingsKey(kKeyRight));
  EXPECT_FALSE(SettingsKey(kKeyRight));
  EXPECT_EQ(PanelRecording.Panels.size(), rendered + list_size(Languages.LanguageList) - 1);
  EXPECT_EQ(Menus.PendingLanguage, list_current(Languages.LanguageList)->BaseName);
  // A size outside the list (hand-edited preferences) shows nothing; Right starts at the first.
  Settings.Resolution = 40;
  OpenSettings();
  EXPECT_EQ(RowTexts(4).size(), 1u);
  Menus.SettingsChoice = 4;
  EXPECT_FALSE(SettingsKey(kKeyLeft));
  EXPECT_TRUE(SettingsKey(kKeyRight));
  EXPECT_EQ(Menus.PendingResolution, 0);
}

TEST_F(SettingsTest, WithoutLanguagesTheLanguageEntryShowsNothingAndStays) {
  list_clear(Languages.LanguageList);
  OpenSettings();
  EXPECT_EQ(RowTexts(1), (std::vector<std::string>{"Language"}));
  EXPECT_FALSE(SettingsKey(kKeyLeft));
  EXPECT_FALSE(SettingsKey(kKeyRight));
  EXPECT_EQ(Menus.PendingLanguage, u"en_GB");
  RebuildLanguageList();
}

TEST_F(SettingsTest, ReopeningAfterACancelShowsTheSettingsInForce) {
  Settings.GameScreen = 0;
  Settings.MusicOn = 1;
  OpenSettings();
  PendLanguage(u"de_DE");
  Menus.SettingsChoice = 2;
  ASSERT_TRUE(SettingsKey(kKeyRight));
  Menus.SettingsChoice = 3;
  ASSERT_TRUE(SettingsKey(kKeyRight));
  // Cancel drops the copies; the next opening takes them from the settings again.
  OpenSettings();
  EXPECT_EQ(Menus.SettingsChoice, 1);
  EXPECT_EQ(Menus.PendingLanguage, u"en_GB");
  EXPECT_EQ(Menus.PendingMusic, 1);
  EXPECT_EQ(Menus.PendingScreen, 0);
  EXPECT_EQ(RowTexts(1)[1], "ENGLISH");
  EXPECT_EQ(RowTexts(2)[1], "On");
  EXPECT_EQ(RowTexts(3)[1], "Full screen");
  EXPECT_EQ(Reopens.calls, 0);
}

TEST_F(SettingsTest, ConfirmingOnlyALanguageChangesTheTextsWithoutReopening) {
  GameState = ScreenState::MenuSettings;
  OpenSettings();
  PendLanguage(u"de_DE");
  PanelRecording.Panels.clear();
  ApplySettings(CurrentScreen().Music);
  EXPECT_EQ(Reopens.calls, 0);
  EXPECT_EQ(Loop.ScreenReopened, 0);
  EXPECT_EQ(Settings.Language, u"de_DE");
  EXPECT_EQ(Texts(LastRecorded(u"settings"))[0], "Einstellungen");
  EXPECT_EQ(Texts(LastRecorded(u"main menu"))[1], "Spielen");
  EXPECT_EQ(Texts(LastRecorded(u"credits"))[0], "Mitwirkende");
  EXPECT_EQ(Texts(LastRecorded(u"card 1"))[0], "Level 1");
  EXPECT_EQ(Recorded(u"quit question").size(), 1u);
  EXPECT_EQ(Recorded(u"level complete").size(), 1u);
  EXPECT_EQ(Recorded(u"game complete").size(), 1u);
  EXPECT_EQ(Recorded(u"in-game menu").size(), 1u);
  // Confirming again with nothing changed renders nothing and reopens nothing.
  OpenSettings();
  PanelRecording.Panels.clear();
  ApplySettings(CurrentScreen().Music);
  EXPECT_TRUE(PanelRecording.Panels.empty());
  EXPECT_EQ(Reopens.calls, 0);
}

TEST_F(SettingsTest, AChangeOfModeOrWindowSizeReopensTheScreenOnce) {
  const struct {
    int screen, resolution, pending_screen, pending_resolution;
    int reopened;
  } kCases[] = {
      {0, 1, 1, 1, 1}, {1, 1, 2, 1, 1}, {1, 1, 1, 4, 1}, {1, 1, 1, 1, 0},
      {0, 1, 0, 4, 0}, {2, 3, 2, 1, 0}, {2, 3, 0, 3, 1},
  };
  for (const auto& c : kCases) {
    Reopens = ReopenCounter{};
    Settings.GameScreen = c.screen;
    Settings.Resolution = c.resolution;
    OpenSettings();
    Menus.PendingScreen = c.pending_screen;
    Menus.PendingResolution = c.pending_resolution;
    ApplySettings(CurrentScreen().Music);
    EXPECT_EQ(Reopens.calls, c.reopened) << c.screen << " " << c.pending_screen << " " << c.pending_resolution;
    EXPECT_EQ(Loop.ScreenReopened, c.reopened);
    // The reopening itself stores the new mode and size; confirming alone does not.
    EXPECT_EQ(Settings.GameScreen, c.screen);
    EXPECT_EQ(Settings.Resolution, c.resolution);
  }
  // A language change together with a new mode leaves the rendering to the reopening.
  Settings.GameScreen = 0;
  OpenSettings();
  PendLanguage(u"fr_FR");
  Menus.PendingScreen = 2;
  PanelRecording.Panels.clear();
  Reopens = ReopenCounter{};
  ApplySettings(CurrentScreen().Music);
  EXPECT_EQ(Reopens.calls, 1);
  EXPECT_EQ(Settings.Language, u"fr_FR");
  EXPECT_TRUE(PanelRecording.Panels.empty());
}

class SettingsMusicTest : public SettingsTest {
 protected:
  static void SetUpTestSuite() {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    ASSERT_NE(sound_init(), 0);
  }
  void SetUp() override {
    SettingsTest::SetUp();
    // Two short effects stand in for the two musics: only the channels matter here.
    for (const auto& [number, name] : {std::pair{MenuMusic, "rollover3.wav"}, std::pair{GameMusic, "click3.wav"}}) {
      const std::vector<uint8_t> bytes = ReadAssetEntry(name, 15728640);
      ASSERT_FALSE(bytes.empty());
      ASSERT_NE(sound_load_from_memory(number, bytes, static_cast<int64_t>(bytes.size())), 0);
    }
  }
  void TearDown() override {
    sound_free(kAllObjects);
    SettingsTest::TearDown();
  }
};

TEST_F(SettingsMusicTest, MusicOffFromTheGameStopsTheLevelMusicAndOnStartsItAgain) {
  GameState = ScreenState::GameSettings;
  Loop.InLevel = 1;
  Settings.MusicOn = 1;
  PlayMusic(GameMusic);
  const int channel = static_cast<int>(Loop.MusicChannel);
  ASSERT_EQ(sound_status(GameMusic, channel), kSoundPlaying);
  OpenSettings();
  Menus.SettingsChoice = 2;
  ASSERT_TRUE(SettingsKey(kKeyRight));
  ApplySettings(CurrentScreen().Music);
  EXPECT_EQ(Settings.MusicOn, 0);
  EXPECT_EQ(sound_status(GameMusic, channel), kSoundStopped);
  EXPECT_EQ(sound_status(GameMusic, -1), kSoundStopped);
  OpenSettings();
  Menus.SettingsChoice = 2;
  ASSERT_TRUE(SettingsKey(kKeyLeft));
  ApplySettings(CurrentScreen().Music);
  EXPECT_EQ(Settings.MusicOn, 1);
  EXPECT_EQ(sound_status(GameMusic, static_cast<int>(Loop.MusicChannel)), kSoundPlaying);
  EXPECT_EQ(sound_status(MenuMusic, -1), kSoundStopped);
  EXPECT_EQ(Reopens.calls, 0);
}

TEST_F(SettingsMusicTest, MusicOffFromTheMainMenuStopsTheMenuMusic) {
  GameState = ScreenState::MenuSettings;
  Settings.MusicOn = 1;
  PlayMusic(MenuMusic);
  OpenSettings();
  Menus.PendingMusic = 0;
  ApplySettings(CurrentScreen().Music);
  EXPECT_EQ(sound_status(MenuMusic, -1), kSoundStopped);
  Menus.PendingMusic = 1;
  ApplySettings(CurrentScreen().Music);
  EXPECT_EQ(sound_status(MenuMusic, static_cast<int>(Loop.MusicChannel)), kSoundPlaying);
  EXPECT_EQ(sound_status(GameMusic, -1), kSoundStopped);
}

// ---- Credits ----

TEST_F(SettingsTest, CreditsListTheTeamTheRightsAndTheirAddresses) {
  RenderCredits();
  const std::vector<std::string> texts = Texts(LastRecorded(u"credits"));
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], "Credits");
  EXPECT_EQ(texts[2], "OK");
  const std::string body = texts[1];
  std::vector<std::string> lines;
  size_t start = 0;
  while (true) {
    const size_t end = body.find('\n', start);
    lines.push_back(body.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  ASSERT_EQ(lines.size(), 17u);
  EXPECT_EQ(lines[0], "Cratevale 1.0");
  EXPECT_EQ(lines[1], "Programming, design and levels");
  EXPECT_EQ(lines[2], "Cratevale team");
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[4], "(c) 2026 Torvelin game studio");
  EXPECT_EQ(lines[6], "Kelmaris Interactive");
  EXPECT_EQ(lines[7], "www.torvelin.example");
  EXPECT_EQ(lines[9], "Music and sound");
  EXPECT_EQ(lines[12], "Graphics");
  EXPECT_EQ(lines[15], "Crate and keeper drawings");
  // Every web address lies under the reserved example domain.
  for (const std::string& line : lines) {
    const size_t www = line.find("www.");
    if (www != std::string::npos) {
      EXPECT_NE(line.find(".example", www), std::string::npos) << line;
    }
  }
  // The OK entry is always highlighted.
  EXPECT_EQ(LastRecorded(u"credits").Items[2].Colour, kOrange);
}

}  // namespace
