// Making pack files for tests: zip archives written with the archive library's own writer, so
// that the zip packer is tested against archives it did not make itself.
#pragma once

#include <string>
#include <vector>

struct ZipItem {
  std::string name;  // a name ending in "/" is a folder entry
  std::string data;
};

// Writes a zip archive holding the items in this order; false when it cannot be written.
bool WriteZipFile(const std::string& path, const std::vector<ZipItem>& items);
