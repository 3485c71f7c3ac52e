// Start-up and shutdown: from the process entry to the first frame of the main loop, and the end.
#pragma once

#include "runtime/data/text.h"

constexpr const char16_t* kMapPackName = u"Cratevale.maps";
// The per-user folder below the home folder (with a "." in front).
constexpr const char16_t* kUserFolderName = u"Torvelin game studio/Cratevale";

// Starts the runtime, finds the folders, reads the preferences and the language, opens the
// screen and loads every sound and picture. Returns 1 when the main loop is to run; 0 after a
// fatal error (its box was shown and the runtime is already shut down).
int StartUp(int argc, char** argv);
// StartUp with the packs read from `game_dir` (ending in "/") instead of the executable's folder.
int StartUpFrom(const Text& game_dir, int argc, char** argv);
// The end of the program: saves the preferences and the results into Folders.SaveTo unless
// Loop.FatalEnd is set, then shuts the runtime down in its fixed order.
void ShutDown();
// Closes everything the runtime holds, in its fixed order (the log file first, flushed).
void ShutDownRuntime();

// A fatal error: the box titled "Cratevale::" + the error title with `message` and an OK button,
// the same two texts on the standard error stream, then Loop.FatalEnd and Loop.QuitRequested set.
// The caller ends the program without saving.
void FatalErrorBox(const Text& message);

// The per-user folder: $HOME, a "/" when it lacks one, "." + kUserFolderName + "/". Without HOME
// the path is relative to the working folder.
Text UserDirPath();
// Creates every missing folder along the path (mode 0700). Returns 1, or 0 when a folder could
// not be made.
int CreatePath(const Text& path);
