// The save folder as this copy of the game's own: one copy of the game per save folder,
// temporary files of earlier runs cleared away, and saves that fail at the end reported.
#pragma once

#include "runtime/data/text.h"

constexpr const char16_t* kLockFileName = u"Cratevale.lock";

// Takes the lock of Folders.SaveTo for the rest of the run (the system drops it when the process
// ends, however it ends). 1 when this copy may use the folder, also when no lock can be had there
// (a folder that cannot be opened); 0 when another copy of the game holds it.
int ClaimSaveFolder();
// Gives the lock back (the end of the run).
void ReleaseSaveFolder();
// The box and the line on stderr of a copy that finds another copy running on its save folder.
void ReportAlreadyRunning();

// Deletes the temporary files that a save or a screenshot leaves in `folder` when the game is
// killed during it: "." + the file's name + "." + six characters. Only while the folder is
// claimed: another copy could be writing them.
void RemoveStaleTemporaryFiles(const Text& folder);

// The saves of the normal end: the preferences and the level results into Folders.SaveTo. Each
// save that fails is logged and said on stderr; the file it would have replaced is left as it
// was. Without levels (no map pack) there are no results to save.
void SaveProgress();
