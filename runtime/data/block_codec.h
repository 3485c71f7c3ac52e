// The block compression of the runtime's pack format: a bit-stream coder for single blocks and
// the "1zlb" container that chains them.
//
// A block starts with one literal byte. Control bits follow from 16-bit little-endian tag words,
// most significant bit first; a tag word is read from the current input position whenever a bit
// is wanted and the previous word is used up. Bit 0 copies one literal byte; bit 1 is a match:
// length = gamma + 2, offset = (gamma - 2) * 256 + next byte + 1, copied byte by byte from that
// far back in the block's output. A gamma code starts at 1 and doubles in the next bit while the
// bit after it is 1. Blocks lie back to back with no length of their own, so a block's size is
// exactly the number of bytes its decoder consumes.
//
// The container: "1zlb", 4 reserved zero bytes, the unpacked size (8 bytes, little-endian), the
// block size B (8 bytes), then the blocks, each holding the next B bytes of the data.
#pragma once

#include <cstdint>

#include "runtime/runtime.h"

constexpr int64_t kBlockContainerHeader = 24;
// The block size the compressor uses unless told otherwise.
constexpr int64_t kDefaultBlockSize = int64_t{1} << 20;

// Decodes one block of exactly `out_size` bytes from `in`. Returns the number of input bytes
// the block took, or -1 when the input is corrupt (a match reaching before the block's start or
// past its end, or input that runs out).
int64_t block_decode(const uint8_t* in, int64_t in_size, uint8_t* out, int64_t out_size);

// Decodes a whole container into `out` (room for `capacity` bytes). Returns the unpacked size,
// or -1 when the container is corrupt or its data does not fit.
int64_t block_container_decode(const uint8_t* in, int64_t in_size, uint8_t* out, int64_t capacity);

// Compresses one block; the result decodes with block_decode to the same bytes. An empty input
// gives an empty result.
MemoryBlock block_encode(const uint8_t* in, int64_t size);

// Compresses data into a container of blocks of `block_size` bytes.
MemoryBlock block_container_encode(const uint8_t* data, int64_t size,
                                   int64_t block_size = kDefaultBlockSize);
