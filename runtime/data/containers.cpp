// The hash that fixes the walk order of every map.
#include "runtime/data/containers.h"

uint32_t map_hash(const Text& key) {
  uint32_t h = 0;
  for (char16_t unit : key) h = h * 65599u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(unit)));
  return h;
}
