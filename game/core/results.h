// The level results file, Cratevale.scores: for every level of LevelList, in its order, three
// lines holding the last completion time in milliseconds, the last step count and the unlocked
// flag, each a decimal number.
#pragma once

#include <cstdint>

#include "runtime/data/text.h"

constexpr const char16_t* kResultsFileName = u"Cratevale.scores";

// The largest time and step count a completion can have: no level clock runs for a century, and
// a step takes eight frames of at most 60 a second.
constexpr int64_t kMostResultTimeMs = int64_t{100} * 365 * 24 * 60 * 60 * 1000;
constexpr int64_t kMostResultSteps = kMostResultTimeMs / 1000 * 60 / 8;

// Reads folder + "Cratevale.scores" into LevelList. Every line must be a plain decimal number
// with its line end: times up to kMostResultTimeMs, steps up to kMostResultSteps, the unlocked
// flag 0 or 1. A level whose three lines break that (a line cut short, a sign, another
// character, a number too large) is reset alone: no time, no steps, locked unless it is the
// first level; it is logged. Levels past the end of the file get 0, 0 and locked (the first level
// unlocked when the file is empty); extra lines are ignored. Returns 1 when the file could be
// opened, else 0 and changes nothing.
int LoadResults(const Text& folder);

// Writes LevelList into folder + "Cratevale.scores" through a temporary file in the same folder
// that replaces the old file only once it is completely written. Returns 1 on success; on
// failure 0, and the previous file is left as it was. With no levels in LevelList nothing is
// written (0): the file is kept for the pack it was written for.
int SaveResults(const Text& folder);

// Records a completion of level `index` of LevelList (the time and steps replace the stored
// ones, better or worse; kept within 0 and the largest there can be) and unlocks the level after
// it, if any.
void RecordLevelResult(int64_t index, int64_t time_ms, int64_t steps);
