// The settings panel with its working copies, and the credits panel.
#pragma once

// Opens the settings: the working copies from the settings in force, entry 1 highlighted, the
// panel rendered for the mode in force.
void OpenSettings();
// A released Up, Down, Left or Right in the settings panel. Returns true when the highlight or a
// working copy changed (the panel is then re-rendered; the caller plays the rollover sound).
bool SettingsKey(int key);
// Confirms the working copies: music, language, and the screen reopened when the mode or the
// window size changed.
void ApplySettings();
void RenderSettingsPanel(int choice, int mode);
void RenderCredits();
