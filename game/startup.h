// Start-up and shutdown: from the process entry to the first frame of the main loop, and the end.
#pragma once

// Starts the runtime, finds the folders, reads the preferences and the language, opens the
// screen and loads every sound and picture. Returns 1 when the main loop is to run; 0 after a
// fatal error (its box was shown and the runtime is already shut down).
int StartUp(int argc, char** argv);
// The end of the program: saves the preferences and the results into Folders.SaveTo unless
// Loop.FatalEnd is set, then shuts the runtime down in its fixed order.
void ShutDown();
