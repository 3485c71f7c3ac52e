// Reading WAV files from memory: where the samples lie and what format they are in. The samples
// are not copied; the sound service converts them to the device format itself.
#pragma once

#include <cstddef>
#include <cstdint>

// Samples inside a caller's buffer, with their format in SDL's terms (AUDIO_U8 or AUDIO_S16LSB).
struct WavSamples {
  const uint8_t* samples = nullptr;
  size_t bytes = 0;  // whole sample frames only
  uint16_t format = 0;
  int channels = 0;
  int rate = 0;
};

// 1 when the block starts like a RIFF file ("RIFF"); such a block is a WAV or nothing.
int wav_is_riff(const uint8_t* data, size_t size);

// Finds the samples of an uncompressed 8- or 16-bit WAV held in `data`. The fmt chunk must sit at
// offset 12; the data chunk is the first "data" chunk after it (chunks in between are skipped).
// Every size is checked against `size`: a chunk that claims more bytes than the block holds fails.
// Returns 1 and fills `out`, or 0.
int wav_parse(const uint8_t* data, size_t size, WavSamples* out);
