// One copy per save folder, stale temporary files, and the saves of the normal end.
#include "game/save_folder.h"

#include <cstdio>

#include "game/core/game.h"
#include "game/core/languages.h"
#include "game/core/log.h"
#include "game/core/preferences.h"
#include "game/core/results.h"
#include "game/startup.h"
#include "runtime/data/files.h"
#include "runtime/runtime.h"

namespace {

int SaveFolderLock = kLockUnavailable;

// The names of the temporary files of the game's saves and screenshots: "." + the final name +
// "." + six letters or digits (file_replace and file_temporary_beside make them so).
constexpr const char16_t* kTemporaryNames[] = {u".Cratevale.prefs.", u".Cratevale.scores.", u".Cratevale *.png."};

Text TemporaryPattern(const Text& stem) {
  Text pattern = stem;
  for (int i = 0; i < 6; ++i) pattern += u"[A-Za-z0-9]";
  return pattern;
}

void ReportFailedSave(const Text& label, const Text& path, const char* what) {
  LogValue(label, LogResult(0));
  std::fprintf(stderr, "Cratevale: the %s could not be saved to %s\n", what, text_to_utf8(path).c_str());
  std::fflush(stderr);
}

}  // namespace

int ClaimSaveFolder() {
  ReleaseSaveFolder();
  SaveFolderLock = file_lock(Folders.SaveTo + kLockFileName);
  return SaveFolderLock == kLockHeld ? 0 : 1;
}

void ReleaseSaveFolder() {
  file_unlock(SaveFolderLock);
  SaveFolderLock = kLockUnavailable;
}

void ReportAlreadyRunning() {
  Text message = GameText(u"tErrorRUNNING");
  if (message.empty()) message = u"Cratevale is already running. Please switch to the game that is already open.";
  FatalErrorBox(message);
}

void RemoveStaleTemporaryFiles(const Text& folder) {
  for (const char16_t* stem : kTemporaryNames) {
    const int64_t scan = directory_examine(kNewObject, folder, TemporaryPattern(stem));
    if (!scan) return;
    while (directory_next_entry(scan)) {
      const Text path = folder + directory_entry_name(scan);
      if (file_size(path) >= 0) file_delete(path);  // files only
    }
    directory_finish(scan);
  }
}

void SaveProgress() {
  const Text& folder = Folders.SaveTo;
  if (!SavePreferences(folder)) {
    ReportFailedSave(u"Saving preferences:", folder + kPreferencesFileName, "settings");
  }
  if (!LevelList.empty() && !SaveResults(folder)) {
    ReportFailedSave(u"Saving results:", folder + kResultsFileName, "level results");
  }
}
