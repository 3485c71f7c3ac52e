// Test helpers for the sound service: WAV building and the disk driver's captured output.
#include "tests/support/audio_capture.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "runtime/media/sound.h"
#include "tests/support/png_fixtures.h"

namespace {

std::string CapturePath() {
  static const std::string path = "/tmp/cratevale_audio_capture_" + std::to_string(getpid()) + ".raw";
  return path;
}

void RemoveCapture() { std::remove(CapturePath().c_str()); }

void Put16(MemoryBlock& block, uint32_t value) {
  block.push_back(value & 0xFF);
  block.push_back((value >> 8) & 0xFF);
}

void Put32(MemoryBlock& block, uint32_t value) {
  Put16(block, value & 0xFFFF);
  Put16(block, value >> 16);
}

void PutTag(MemoryBlock& block, const char* tag) {
  for (int i = 0; i < 4; ++i) block.push_back(static_cast<uint8_t>(tag[i]));
}

}  // namespace

MemoryBlock MakeWav(int channels, int rate, int bits, const std::vector<int>& samples,
                    const std::vector<uint8_t>& before_data) {
  const uint32_t data_bytes = static_cast<uint32_t>(samples.size() * (bits / 8));
  MemoryBlock wav;
  PutTag(wav, "RIFF");
  Put32(wav, 0);  // patched below
  PutTag(wav, "WAVE");
  PutTag(wav, "fmt ");
  Put32(wav, 16);
  Put16(wav, 1);
  Put16(wav, channels);
  Put32(wav, rate);
  Put32(wav, static_cast<uint32_t>(rate) * channels * bits / 8);
  Put16(wav, channels * bits / 8);
  Put16(wav, bits);
  if (!before_data.empty()) {
    PutTag(wav, "LIST");
    Put32(wav, static_cast<uint32_t>(before_data.size()));
    wav.insert(wav.end(), before_data.begin(), before_data.end());
    if (before_data.size() % 2) wav.push_back(0);
  }
  PutTag(wav, "data");
  Put32(wav, data_bytes);
  for (int sample : samples) {
    if (bits == 8) {
      wav.push_back(static_cast<uint8_t>(sample));
    } else {
      Put16(wav, static_cast<uint16_t>(sample));
    }
  }
  const uint32_t riff_bytes = static_cast<uint32_t>(wav.size() - 8);
  for (int i = 0; i < 4; ++i) wav[4 + i] = (riff_bytes >> (8 * i)) & 0xFF;
  return wav;
}

MemoryBlock MakeStereoWav(const std::vector<StereoFrame>& frames) {
  std::vector<int> samples;
  for (const StereoFrame& frame : frames) {
    samples.push_back(frame.left);
    samples.push_back(frame.right);
  }
  return MakeWav(2, 44100, 16, samples);
}

std::vector<StereoFrame> RampFrames(int count) {
  std::vector<StereoFrame> frames;
  for (int i = 0; i < count; ++i) {
    frames.push_back({static_cast<int16_t>(1000 + i), static_cast<int16_t>(-(1000 + i))});
  }
  return frames;
}

int AudioCaptureOpen() {
  static int result = [] {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", CapturePath().c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "2", 1);  // milliseconds per buffer: about five times real time
    std::atexit(RemoveCapture);
    return sound_init();
  }();
  return result;
}

size_t AudioCaptureSize() {
  std::ifstream file(CapturePath(), std::ios::binary | std::ios::ate);
  if (!file) return 0;
  const auto size = static_cast<size_t>(file.tellg());
  return size - size % sizeof(StereoFrame);
}

std::vector<StereoFrame> AudioCaptureRead(size_t from, int settle_ms) {
  AudioSleep(settle_ms);
  const MemoryBlock bytes = ReadWholeFile(CapturePath());
  std::vector<StereoFrame> frames;
  for (size_t at = from; at + sizeof(StereoFrame) <= bytes.size(); at += sizeof(StereoFrame)) {
    StereoFrame frame;
    std::memcpy(&frame, bytes.data() + at, sizeof frame);
    frames.push_back(frame);
  }
  return frames;
}

bool AudioWaitFinished(int64_t sound, int channel, int timeout_ms) {
  for (int waited = 0; waited < timeout_ms; waited += 5) {
    if (sound_status(sound, channel) == kSoundStopped) return true;
    AudioSleep(5);
  }
  return false;
}

void AudioSleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

size_t FirstSound(const std::vector<StereoFrame>& frames, size_t from) {
  for (size_t i = from; i < frames.size(); ++i) {
    if (frames[i] != StereoFrame{}) return i;
  }
  return frames.size();
}
