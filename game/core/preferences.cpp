// The game's preferences: which keys Cratevale.prefs holds, in which order, with which defaults,
// and how values a player typed by hand are kept within what the game can use.
#include "game/core/preferences.h"

#include "runtime/data/prefs.h"

namespace {

constexpr int kDefaultMusic = 1;
constexpr int kDefaultGameScreen = 0;  // full screen
constexpr int kDefaultResolution = 1;
constexpr int kDefaultGamepad = 0;
constexpr int kDefaultPad = 0;
constexpr int kDefaultButton = 1;
constexpr int kDefaultLastPlayed = 0;
constexpr int kGameScreenModes = 3;  // full screen, windowed, borderless

int InRange(int value, int lowest, int highest, int fallback) {
  return (value < lowest || value > highest) ? fallback : value;
}

}  // namespace

void KeepSettingsInRange(SettingsRecord& settings) {
  settings.MusicOn = InRange(settings.MusicOn, 0, 1, kDefaultMusic);
  settings.GameScreen = InRange(settings.GameScreen, 0, kGameScreenModes - 1, kDefaultGameScreen);
  settings.Resolution = InRange(settings.Resolution, 0, kResolutionCount - 1, kDefaultResolution);
  if (settings.Gamepad < 0) settings.Gamepad = kDefaultGamepad;
  if (settings.Pad < 0) settings.Pad = kDefaultPad;
  if (settings.Button < 1) settings.Button = kDefaultButton;
  if (settings.LastPlayed < 0) settings.LastPlayed = kDefaultLastPlayed;
}

int LoadPreferences(const Text& folder) {
  if (!prefs_open(folder + kPreferencesFileName)) {
    prefs_close();
    return 0;
  }
  prefs_select_group(kPreferencesGroup);
  Settings.Language = prefs_read_string(u"Language", Text());
  Settings.MusicOn = prefs_read_int(u"Music", kDefaultMusic);
  Settings.GameScreen = prefs_read_int(u"GameScreen", Settings.GameScreen);
  Settings.Resolution = prefs_read_int(u"Resolution", kDefaultResolution);
  Settings.Gamepad = prefs_read_int(u"Gamepad", kDefaultGamepad);
  Settings.Pad = prefs_read_int(u"Pad", kDefaultPad);
  Settings.Button = prefs_read_int(u"Button", kDefaultButton);
  Settings.LastPlayed = prefs_read_int(u"LastPlayed", kDefaultLastPlayed);
  prefs_close();
  KeepSettingsInRange(Settings);
  return 1;
}

int SavePreferences(const Text& folder) {
  if (!prefs_create(folder + kPreferencesFileName)) return 0;
  prefs_write_comment(kPreferencesComment);
  prefs_select_group(kPreferencesGroup);
  prefs_write_string(u"Language", Settings.Language);
  prefs_write_int(u"Music", Settings.MusicOn);
  prefs_write_int(u"GameScreen", Settings.GameScreen);
  prefs_write_int(u"Resolution", Settings.Resolution);
  prefs_write_int(u"Gamepad", Settings.Gamepad);
  prefs_write_int(u"Pad", Settings.Pad);
  prefs_write_int(u"Button", Settings.Button);
  prefs_write_int(u"LastPlayed", Settings.LastPlayed);
  return prefs_close();
}
