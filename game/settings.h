// The settings panel with its working copies, and the credits panel.
#pragma once

#include "game/menus.h"
#include "runtime/data/text.h"

// Opens the settings: the working copies from the settings in force, entry 1 highlighted, the
// panel rendered for the mode in force.
void OpenSettings();
// A released Up, Down, Left or Right in the settings panel. Returns true when the highlight or a
// working copy changed (the panel is then re-rendered; the caller plays the rollover sound).
bool SettingsKey(int key);
// Confirms the working copies: music (`music` being the one of the screen the panel was opened
// from), language, and the screen reopened when the mode or the window size changed.
void ApplySettings(int music);
void RenderSettingsPanel(int choice, int mode);
void RenderCredits();

// The settings panel's measures for the current screen (width W / 1.8 rounded, height W / 3,
// rows of twice the title size); the entry size is the row height.
PanelGeometry SettingsGeometry();
// The credits panel's (W / 2 x W / 3); TitleSize is the title's, EntrySize the OK entry's.
PanelGeometry CreditsGeometry();
// The credits' body text size (W / 96).
int CreditsBodySize();
// The credits' body: the lines of the panel, joined by line feeds.
Text CreditsBody();

// How the confirmation reopens the screen; the display module's ReopenDisplay unless a test puts
// another in (returns what ReopenDisplay returns).
using ReopenFunction = int (*)();
void SetReopenFunction(ReopenFunction reopen);
