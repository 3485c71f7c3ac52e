// The process-wide records of the game.
#include "game/core/game.h"

SettingsRecord Settings;
FolderRecord Folders;
DisplayRecord GameDisplay;
std::vector<LevelRecord> LevelList;
int GameState = StudioSplash;
