// Test helpers for the built asset pack: entries are read the way the game reads them, into a
// zero-filled buffer of the game's fixed size for their kind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The names of the entries of Cratevale.data in the build folder, in pack order.
std::vector<std::string> AssetPackNames();
// The entry's bytes, or empty when the pack or the entry cannot be read or the entry does not
// fit a buffer of buffer_size bytes.
std::vector<uint8_t> ReadAssetEntry(const std::string& name, int64_t buffer_size);
