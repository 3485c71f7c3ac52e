// Test helpers for the sound service: WAV files built in memory, and the mixer's output captured
// through SDL's "disk" audio driver, which writes every device buffer to a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/runtime.h"

// One stereo frame of 16-bit samples as the device receives it.
struct StereoFrame {
  int16_t left = 0;
  int16_t right = 0;
  bool operator==(const StereoFrame&) const = default;
};

// A RIFF/WAVE file: 8-bit samples are unsigned bytes, 16-bit samples little-endian words.
// `before_data` is an extra chunk ("LIST" and its body) placed between fmt and data when not empty.
MemoryBlock MakeWav(int channels, int rate, int bits, const std::vector<int>& samples,
                    const std::vector<uint8_t>& before_data = {});

// A 16-bit stereo 44100 Hz WAV of the frames.
MemoryBlock MakeStereoWav(const std::vector<StereoFrame>& frames);

// Frames whose samples are all non-zero and distinct: left 1000 + i, right -(1000 + i) (i from 0).
std::vector<StereoFrame> RampFrames(int count);

// Opens the sound service on the disk driver (once per process) writing to a file of its own.
// Returns the sound_init result.
int AudioCaptureOpen();
// Bytes the disk driver has written so far (whole frames).
size_t AudioCaptureSize();
// The frames written from byte `from` on, after waiting `settle_ms` for buffered output to land.
std::vector<StereoFrame> AudioCaptureRead(size_t from, int settle_ms = 150);
// Waits until the sound's channel has finished (sound_status 0), at most timeout_ms. True if it did.
bool AudioWaitFinished(int64_t sound, int channel, int timeout_ms = 5000);
void AudioSleep(int ms);

// The first index at which `frames` holds a non-silent frame, or frames.size().
size_t FirstSound(const std::vector<StereoFrame>& frames, size_t from = 0);
