#include "game/core/preferences.h"

#include <gtest/gtest.h>

#include <string>

#include "game/core/game.h"
#include "tests/support/temp_folder.h"

namespace {

const std::string kMark = "\xEF\xBB\xBF\n";

class PreferencesTest : public testing::Test {
 protected:
  void SetUp() override { Settings = SettingsRecord(); }
  void TearDown() override { Settings = SettingsRecord(); }

  Text Folder() const { return text_from_utf8(folder.path()); }
  // Loads a file holding the Settings group with one more line in it.
  void LoadWith(const std::string& line) {
    folder.Write("Cratevale.prefs", "[Settings]\n" + line + "\n");
    ASSERT_EQ(LoadPreferences(Folder()), 1);
  }

  TempFolder folder;
};

int LastPlayed() { return Settings.LastPlayed; }

TEST_F(PreferencesTest, SaveWritesEveryKeyInOrderAndLoadsBackUnchanged) {
  LoadWith("LastPlayed = 12");
  Settings.Language = u"de_DE";
  Settings.MusicOn = 0;
  Settings.GameScreen = 2;
  Settings.Resolution = 7;
  Settings.Gamepad = 1;
  Settings.Pad = 1;
  Settings.Button = 3;
  const SettingsRecord saved = Settings;
  EXPECT_EQ(SavePreferences(Folder()), 1);
  EXPECT_EQ(folder.Read("Cratevale.prefs"),
            kMark +
                "; Cratevale 1.0 Preferences\n"
                "[Settings]\n"
                "Language = de_DE\n"
                "Music = 0\n"
                "GameScreen = 2\n"
                "Resolution = 7\n"
                "Gamepad = 1\n"
                "Pad = 1\n"
                "Button = 3\n"
                "LastPlayed = 12\n");

  Settings = SettingsRecord();
  ASSERT_EQ(LoadPreferences(Folder()), 1);
  EXPECT_EQ(Settings.Language, saved.Language);
  EXPECT_EQ(Settings.MusicOn, saved.MusicOn);
  EXPECT_EQ(Settings.GameScreen, saved.GameScreen);
  EXPECT_EQ(Settings.Resolution, saved.Resolution);
  EXPECT_EQ(Settings.Gamepad, saved.Gamepad);
  EXPECT_EQ(Settings.Pad, saved.Pad);
  EXPECT_EQ(Settings.Button, saved.Button);
  EXPECT_EQ(LastPlayed(), 12);
}

TEST_F(PreferencesTest, MissingFileChangesNothing) {
  Settings.Language = u"xx_XX";
  Settings.Resolution = 5;
  EXPECT_EQ(LoadPreferences(Folder()), 0);
  EXPECT_EQ(Settings.Language, u"xx_XX");
  EXPECT_EQ(Settings.Resolution, 5);
}

TEST_F(PreferencesTest, MissingKeysTakeTheirDefaultsAndGameScreenKeepsItsValue) {
  LoadWith("LastPlayed = 6");
  Settings.Language = u"xx_XX";
  Settings.MusicOn = 0;
  Settings.GameScreen = 2;
  Settings.Resolution = 5;
  Settings.Button = 4;
  LoadWith("");
  EXPECT_EQ(Settings.Language, u"");
  EXPECT_EQ(Settings.MusicOn, 1);
  EXPECT_EQ(Settings.GameScreen, 2);
  EXPECT_EQ(Settings.Resolution, 1);
  EXPECT_EQ(Settings.Gamepad, 0);
  EXPECT_EQ(Settings.Pad, 0);
  EXPECT_EQ(Settings.Button, 1);
  EXPECT_EQ(LastPlayed(), 0);
}

TEST_F(PreferencesTest, KeysAreFoundWhateverTheirCaseAndRewrittenAsTheGameNamesThem) {
  folder.Write("Cratevale.prefs",
               "; my notes\n[settings]\nlanguage = en_GB\nMUSIC=0\nbutton = 3\nExtra = 1\n");
  ASSERT_EQ(LoadPreferences(Folder()), 1);
  EXPECT_EQ(Settings.Language, u"en_GB");
  EXPECT_EQ(Settings.MusicOn, 0);
  EXPECT_EQ(Settings.Button, 3);
  ASSERT_EQ(SavePreferences(Folder()), 1);
  // The file is made anew: unknown keys and the player's comments go.
  EXPECT_EQ(folder.Read("Cratevale.prefs"),
            kMark +
                "; Cratevale 1.0 Preferences\n[Settings]\nLanguage = en_GB\nMusic = 0\n"
                "GameScreen = 0\nResolution = 1\nGamepad = 0\nPad = 0\nButton = 3\nLastPlayed = 0\n");
}

TEST_F(PreferencesTest, HandEditedValuesOutOfRangeFallBackToSafeOnes) {
  struct Case {
    const char* line;
    int SettingsRecord::*field;
    int expected;
  } cases[] = {
      {"Music = 2", &SettingsRecord::MusicOn, 1},
      {"Music = -1", &SettingsRecord::MusicOn, 1},
      {"Music = 0", &SettingsRecord::MusicOn, 0},
      {"GameScreen = 3", &SettingsRecord::GameScreen, 0},
      {"GameScreen = -1", &SettingsRecord::GameScreen, 0},
      {"GameScreen = 2", &SettingsRecord::GameScreen, 2},
      {"Resolution = 10", &SettingsRecord::Resolution, 1},
      {"Resolution = -2", &SettingsRecord::Resolution, 1},
      {"Resolution = 0", &SettingsRecord::Resolution, 0},
      {"Resolution = 9", &SettingsRecord::Resolution, 9},
      {"Resolution = big", &SettingsRecord::Resolution, 0},
      {"Gamepad = -1", &SettingsRecord::Gamepad, 0},
      {"Gamepad = 3", &SettingsRecord::Gamepad, 3},
      {"Pad = -5", &SettingsRecord::Pad, 0},
      {"Button = 0", &SettingsRecord::Button, 1},
      {"Button = -3", &SettingsRecord::Button, 1},
      {"Button = 3", &SettingsRecord::Button, 3},
  };
  for (const Case& c : cases) {
    Settings = SettingsRecord();
    LoadWith(c.line);
    EXPECT_EQ(Settings.*c.field, c.expected) << c.line;
  }
  LoadWith("LastPlayed = 7");
  EXPECT_EQ(LastPlayed(), 7);
  LoadWith("LastPlayed = -4");
  EXPECT_EQ(LastPlayed(), 0);
}

TEST_F(PreferencesTest, UnwritableFolderFailsTheSave) {
  EXPECT_EQ(SavePreferences(Folder() + u"missing/"), 0);
}

}  // namespace
