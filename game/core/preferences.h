// The game's preferences: the eight settings of Cratevale.prefs, read once at start from the
// executable's or the player's folder and written once at the normal end into `SaveTo`.
#pragma once

#include "game/core/game.h"
#include "runtime/data/text.h"

constexpr const char16_t* kPreferencesFileName = u"Cratevale.prefs";
constexpr const char16_t* kPreferencesGroup = u"Settings";
constexpr const char16_t* kPreferencesComment = u"Cratevale 1.0 Preferences";

// The number of window sizes a "Resolution" may choose from.
constexpr int kResolutionCount = 10;

// Reads folder + "Cratevale.prefs" into `Settings`. Returns 1 when the file could be opened;
// on 0 no setting is changed. Keys missing from the file take their defaults; values out of
// range take theirs too (see KeepSettingsInRange).
int LoadPreferences(const Text& folder);

// Writes every setting into folder + "Cratevale.prefs", replacing the old file only once the new
// one is complete. Returns 1 when the file was written, 0 when it could not be.
int SavePreferences(const Text& folder);

// The one place where hand-edited values are made safe before any part of the game uses them:
// "Music" other than 0 or 1 turns music on, "GameScreen" outside 0-2 becomes full screen,
// "Resolution" outside the list becomes 1, a negative "Gamepad" or "Pad" becomes 0, "Button"
// below 1 becomes 1 and a negative "LastPlayed" becomes 0. Whether "LastPlayed" names a level
// of the list can only be told once the map pack is read; the level list loader clamps it.
void KeepSettingsInRange(SettingsRecord& settings);
