// Placeholder until the settings are built.
#include "game/settings.h"

void OpenSettings() {}
bool SettingsKey(int) { return false; }
void ApplySettings() {}
void RenderSettingsPanel(int, int) {}
void RenderCredits() {}
