// The process-wide records of the game.
#include "game/core/game.h"

SettingsRecord Settings;
FolderRecord Folders;
DisplayRecord GameDisplay;
std::vector<LevelRecord> LevelList;

const std::vector<Text> ResolutionList = {u"1024x576",  u"1280x720",  u"1366x768",  u"1600x900",  u"1920x1080",
                                          u"2048x1152", u"2560x1440", u"2880x1620", u"3200x1800", u"3840x2160"};

void ResolutionSize(int64_t index, int* width, int* height) {
  constexpr int64_t kFallback = 1;  // the default window size
  if (index < 0 || index >= static_cast<int64_t>(ResolutionList.size())) index = kFallback;
  const Text& entry = ResolutionList[static_cast<size_t>(index)];
  *width = static_cast<int>(str_to_int(str_field(entry, 1, u"x")));
  *height = static_cast<int>(str_to_int(str_field(entry, 2, u"x")));
}
