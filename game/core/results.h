// The level results file, Cratevale.scores: for every level of LevelList, in its order, three
// lines holding the last completion time in milliseconds, the last step count and the unlocked
// flag, each a decimal number.
#pragma once

#include "runtime/data/text.h"

constexpr const char16_t* kResultsFileName = u"Cratevale.scores";

// Reads folder + "Cratevale.scores" into LevelList. Lines missing at the end read as 0; extra
// lines are ignored. Returns 1 when the file could be opened, else 0 and changes nothing.
int LoadResults(const Text& folder);

// Writes LevelList into folder + "Cratevale.scores" through a temporary file in the same folder
// that replaces the old file only once it is completely written. Returns 1 on success; on
// failure 0, and the previous file is left as it was. With no levels in LevelList nothing is
// written (0): the file is kept for the pack it was written for.
int SaveResults(const Text& folder);

// Records a completion of level `index` of LevelList (the time and steps replace the stored
// ones, better or worse) and unlocks the level after it, if any.
void RecordLevelResult(int64_t index, int64_t time_ms, int64_t steps);
