// Screenshots: the picture of the frame just drawn, saved as a PNG file into Folders.SaveTo.
#pragma once

#include <cstdint>

#include "runtime/data/text.h"

// The file for a screenshot taken at `date` (seconds, local time): folder + "Cratevale " + the
// date as "dd-mm-yyyy hh-ii-ss" + ".png". When that file exists already (two screenshots in one
// second), " (2)", " (3)" ... go before ".png" so no picture is overwritten.
Text ScreenshotPath(const Text& folder, int64_t date);

// Grabs the back buffer into sprite 0 and saves it; logs "Saving screenshot:" with OK or
// FAILED. Returns 1 when the file was written.
int TakeScreenshot();
