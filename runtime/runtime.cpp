// The memory block shared by every service.
#include "runtime/runtime.h"

#include <new>

namespace {
// Larger requests are refused rather than attempted: no pack entry of the game comes near it.
constexpr int64_t kMaxBlockSize = int64_t{1} << 32;
}  // namespace

MemoryBlock memory_allocate(int64_t size) {
  if (size <= 0 || size > kMaxBlockSize) return MemoryBlock();
  try {
    return MemoryBlock(static_cast<size_t>(size), 0);
  } catch (const std::bad_alloc&) {
    return MemoryBlock();
  }
}

bool memory_append(MemoryBlock& block, const uint8_t* bytes, size_t count) {
  if (count == 0) return true;
  constexpr uint64_t kLimit = kMaxBlockSize;
  if (!bytes || block.size() > kLimit || count > kLimit - block.size()) return false;
  try {
    block.insert(block.end(), bytes, bytes + count);
  } catch (const std::bad_alloc&) {
    return false;  // the growth failed before the block changed
  }
  return true;
}
