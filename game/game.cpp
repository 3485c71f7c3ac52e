// The process-wide records of the game.
#include "game/game.h"

SettingsRecord Settings;
FolderRecord Folders;
DisplayRecord Display;
std::vector<LevelRecord> LevelList;
int GameState = StudioSplash;
