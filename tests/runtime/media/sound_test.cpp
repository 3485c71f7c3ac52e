// The sound service: WAV reading, decoding, conversion and the mixer's real output, captured
// through SDL's disk audio driver.
#include "runtime/media/sound.h"

#include <gtest/gtest.h>
#include <SDL/SDL_audio.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/media/ogg.h"
#include "runtime/media/wav.h"
#include "tests/support/audio_capture.h"
#include "tests/support/png_fixtures.h"
#include "tests/support/temp_folder.h"

namespace {

// ---- WAV reading -----------------------------------------------------------------------------

void Patch32(MemoryBlock& block, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) block[at + i] = (value >> (8 * i)) & 0xFF;
}

TEST(Wav, FindsSamplesAndFormat) {
  const MemoryBlock wav = MakeWav(1, 22050, 8, {1, 2, 3, 4, 5});
  WavSamples samples;
  ASSERT_EQ(wav_parse(wav.data(), wav.size(), &samples), 1);
  EXPECT_EQ(samples.samples, wav.data() + 44);
  EXPECT_EQ(samples.bytes, 5u);
  EXPECT_EQ(samples.format, AUDIO_U8);
  EXPECT_EQ(samples.channels, 1);
  EXPECT_EQ(samples.rate, 22050);
}

TEST(Wav, FindsDataChunkAfterOtherChunks) {
  const MemoryBlock wav = MakeWav(2, 44100, 16, {7, -7, 8, -8}, {'I', 'N', 'F', 'O', 'x'});
  WavSamples samples;
  ASSERT_EQ(wav_parse(wav.data(), wav.size(), &samples), 1);
  EXPECT_EQ(samples.bytes, 8u);
  EXPECT_EQ(samples.format, AUDIO_S16LSB);
  EXPECT_EQ(samples.samples[0], 7);
  EXPECT_EQ(samples.samples[2], 0xF9);  // -7, low byte
}

TEST(Wav, ReadsWholeFramesOnly) {
  MemoryBlock wav = MakeWav(2, 44100, 16, {1, 2, 3, 4, 5});  // two and a half frames
  WavSamples samples;
  ASSERT_EQ(wav_parse(wav.data(), wav.size(), &samples), 1);
  EXPECT_EQ(samples.bytes, 8u);
}

TEST(Wav, RefusesDamagedOrUnsupportedFiles) {
  const MemoryBlock good = MakeWav(2, 44100, 16, {1, 2, 3, 4});
  struct Case {
    const char* what;
    size_t at;       // byte to patch (32-bit value), or 0 for none
    uint32_t value;
    size_t keep;     // bytes of the file given to the reader
  };
  const Case cases[] = {
      {"data chunk claims more bytes than the block holds", 40, 9, good.size()},
      {"data chunk cut short", 0, 0, good.size() - 1},
      {"fmt chunk runs off the end", 16, 0x7FFFFFF0, good.size()},
      {"fmt chunk too short for its fields", 16, 8, good.size()},
      {"no fmt chunk at 12", 12, 0x20746d66 + 1, good.size()},
      {"compressed samples", 20, 0x00020002, good.size()},
      {"24-bit samples", 32, 0x00180006, good.size()},
      {"no data chunk", 36, 0x61746164 + 1, good.size()},
      {"header only", 0, 0, 30},
  };
  for (const Case& c : cases) {
    MemoryBlock wav = good;
    if (c.at) Patch32(wav, c.at, c.value);
    WavSamples samples;
    EXPECT_EQ(wav_parse(wav.data(), c.keep, &samples), 0) << c.what;
  }
}

// ---- The service -----------------------------------------------------------------------------

// Sound numbers used by the tests below; each test stops and frees what it made.
constexpr int64_t kTestSound = 40;
constexpr int64_t kOtherSound = 41;

constexpr size_t kDeviceBufferFrames = 2048;

// Waits until the device has written `frames` more frames since byte `from` of the capture (at
// most five seconds): on a busy machine the device may run late, so no fixed time will do.
void AudioWaitWritten(size_t from, size_t frames) {
  for (int waited = 0; waited < 5000 && AudioCaptureSize() < from + frames * sizeof(StereoFrame); waited += 5) {
    AudioSleep(5);
  }
}

class SoundTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_NE(AudioCaptureOpen(), 0);
    sound_decoder_register(ogg_vorbis_decoder());
  }
  // Lets the output of an earlier test reach the capture file before this one measures it.
  void SetUp() override { AudioSleep(60); }
  void TearDown() override {
    sound_stop(kAllObjects, -1);
    sound_free(kTestSound);
    sound_free(kOtherSound);
  }
};

// Plays kTestSound once on a new channel and returns the mixer's output from its first sound on
// (empty when it did not play to its end).
std::vector<StereoFrame> PlayOnceAndCapture(int volume = -1) {
  const size_t start = AudioCaptureSize();
  const int channel = sound_play(kTestSound, kSoundNewChannel, volume);
  if (channel < kSoundFirstChannel || !AudioWaitFinished(kTestSound, channel)) return {};
  std::vector<StereoFrame> out = AudioCaptureRead(start);
  out.erase(out.begin(), out.begin() + FirstSound(out));
  return out;
}

TEST(SoundClosed, EveryOperationDoesNothingBeforeInit) {
  // A process of its own, so that no earlier test has opened the device.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        const MemoryBlock wav = MakeStereoWav(RampFrames(10));
        const bool quiet = sound_load_from_memory(0, wav, wav.size()) == 0 && sound_play(0, 2) == 0 &&
                           sound_status(0, 0) == 0 && sound_device_frequency() == 0;
        std::exit(quiet ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

// ---- Memory that cannot be had ---------------------------------------------------------------

// The process's address space in bytes, from the kernel's account of it.
uint64_t AddressSpaceBytes() {
  std::ifstream status("/proc/self/status");
  std::string key;
  uint64_t kilobytes = 0;
  while (status >> key) {
    if (key == "VmSize:" && status >> kilobytes) return kilobytes * 1024;
  }
  return 0;
}

// An 8-bit mono 11025 Hz WAV of `bytes` samples of silence: in the device's 16-bit stereo at
// 44100 Hz it takes sixteen times its size.
MemoryBlock QuietWav(size_t bytes) {
  MemoryBlock wav = MakeWav(1, 11025, 8, {128});
  wav.resize(44 + bytes, 128);
  Patch32(wav, 4, static_cast<uint32_t>(wav.size() - 8));
  Patch32(wav, 40, static_cast<uint32_t>(bytes));
  return wav;
}

// The data as a stream of a made-up format when it begins with the tag, else nullptr.
void* OpenTagged(const uint8_t* data, size_t size, const char* tag) {
  const size_t length = std::strlen(tag);
  return size >= length && std::memcmp(data, tag, length) == 0 ? const_cast<uint8_t*>(data) : nullptr;
}

// A decoder of made-up stereo data at 44100 Hz, opened and read as given.
constexpr SoundDecoder StereoDecoder(void* (*open)(const uint8_t*, size_t), long (*read)(void*, uint8_t*, long, int),
                                     int64_t (*frames)(void*)) {
  return {open, read, [](void*) { return 1; }, [](void*) { return 2; }, frames, [](void*) { return 44100; },
          [](void*) {}};
}

// A decoder that opens data beginning with "ENDLESS" and hands out silence that never ends.
constexpr char kEndlessTag[] = "ENDLESS";
const SoundDecoder kEndlessDecoder = StereoDecoder(
    [](const uint8_t* data, size_t size) { return OpenTagged(data, size, kEndlessTag); },
    [](void*, uint8_t* buffer, long bytes, int) -> long {
      std::memset(buffer, 0, static_cast<size_t>(bytes));
      return bytes;
    },
    [](void*) -> int64_t { return -1; });

// Opens the service, caps the address space a little above what the process uses, and loads the
// data. The exit code: 0 when the load failed and a small sound still loads afterwards, else not.
int LoadWithLittleMemoryLeft(const MemoryBlock& data) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  if (!sound_init()) return 2;
  sound_decoder_register(&kEndlessDecoder);
  const MemoryBlock small = MakeStereoWav(RampFrames(100));
  const uint64_t used = AddressSpaceBytes();
  const rlimit cap{used + (uint64_t{32} << 20), RLIM_INFINITY};
  if (used == 0 || setrlimit(RLIMIT_AS, &cap) != 0) return 3;
  const bool failed = sound_load_from_memory(1, data, static_cast<int64_t>(data.size())) == 0;
  // The service goes on working for sounds that fit.
  const bool goes_on = sound_load_from_memory(2, small, static_cast<int64_t>(small.size())) != 0;
  return failed && goes_on ? 0 : 1;
}

// The sanitizers' own allocators end the process where the system's reports failure.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitizerAllocator = true;
#else
constexpr bool kSanitizerAllocator = false;
#endif

TEST(SoundMemory, ASoundWhoseMemoryCannotBeHadFailsToLoadInsteadOfThrowing) {
  if (kSanitizerAllocator) {
    GTEST_SKIP() << "a sanitizer's allocator ends the process where the system's reports failure";
  }
  // Each case in a process of its own, whose address space is capped.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const struct {
    const char* what;
    MemoryBlock data;
  } cases[] = {
      {"a WAV whose conversion to the device format needs more room than there is", QuietWav(8 << 20)},
      {"a compressed stream that decodes for ever", MemoryBlock(kEndlessTag, kEndlessTag + sizeof kEndlessTag)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EXIT(std::exit(LoadWithLittleMemoryLeft(c.data)), testing::ExitedWithCode(0), "");
  }
}

TEST_F(SoundTest, DeviceGrantsTheRequestedFormat) {
  EXPECT_EQ(sound_device_frequency(), 44100);
  EXPECT_EQ(sound_device_format(), AUDIO_S16LSB);
  EXPECT_EQ(sound_device_channels(), 2);
}

TEST_F(SoundTest, WavPlayedOnceComesOutSampleForSample) {
  const std::vector<StereoFrame> ramp = RampFrames(3000);
  const MemoryBlock wav = MakeStereoWav(ramp);
  ASSERT_NE(sound_load_from_memory(kTestSound, wav, wav.size()), 0);
  EXPECT_EQ(sound_length(kTestSound), 3000 * 4);

  const std::vector<StereoFrame> out = PlayOnceAndCapture();
  ASSERT_GE(out.size(), ramp.size());
  for (size_t i = 0; i < ramp.size(); ++i) ASSERT_EQ(out[i], ramp[i]) << "frame " << i;
  EXPECT_EQ(FirstSound(out, ramp.size()), out.size()) << "the sound ends where its data ends";
  EXPECT_EQ(sound_status(kTestSound, 0), kSoundStopped);
}

TEST_F(SoundTest, ShortLoopRefillsTheBufferWithoutGapOrOverrun) {
  // 300 frames: shorter than one device buffer, so one buffer wraps the sound more than once.
  const std::vector<StereoFrame> ramp = RampFrames(300);
  const MemoryBlock wav = MakeStereoWav(ramp);
  ASSERT_NE(sound_load_from_memory(kTestSound, wav, wav.size()), 0);

  const size_t start = AudioCaptureSize();
  const int channel = sound_play(kTestSound, kSoundLoop | kSoundNewChannel);
  ASSERT_GE(channel, kSoundFirstChannel);
  AudioWaitWritten(start, 5000 + 2 * kDeviceBufferFrames);  // the sound starts within two buffers
  EXPECT_EQ(sound_status(kTestSound, channel), kSoundPlaying);
  const std::vector<StereoFrame> out = AudioCaptureRead(start, 50);

  const size_t first = FirstSound(out);
  ASSERT_LE(first + 5000, out.size());
  for (size_t i = 0; i < 5000; ++i) ASSERT_EQ(out[first + i], ramp[i % ramp.size()]) << "frame " << i;
}

TEST_F(SoundTest, PauseSilencesAndResumeContinuesWhereItStopped) {
  const std::vector<StereoFrame> ramp = RampFrames(1000);
  const MemoryBlock wav = MakeStereoWav(ramp);
  ASSERT_NE(sound_load_from_memory(kTestSound, wav, wav.size()), 0);

  const size_t start = AudioCaptureSize();
  const int channel = sound_play(kTestSound, kSoundLoop | kSoundNewChannel);
  AudioWaitWritten(start, 2 * kDeviceBufferFrames);
  sound_pause(kTestSound, channel);
  EXPECT_EQ(sound_status(kTestSound, channel), kSoundPaused);
  // Paused for three buffers: the one mixed when the pause came, and two of silence.
  AudioWaitWritten(AudioCaptureSize(), 3 * kDeviceBufferFrames);
  sound_resume(kTestSound, channel);
  EXPECT_EQ(sound_status(kTestSound, channel), kSoundPlaying);
  AudioWaitWritten(AudioCaptureSize(), 2 * kDeviceBufferFrames);
  sound_stop(kTestSound, channel);
  const std::vector<StereoFrame> out = AudioCaptureRead(start);

  // The sound frames, silence taken out, continue the loop without a jump; the silence in the
  // middle is the pause.
  const size_t first = FirstSound(out);
  size_t heard = 0;
  size_t longest_silence = 0;
  size_t silence = 0;
  for (size_t i = first; i < out.size(); ++i) {
    if (out[i] == StereoFrame{}) {
      ++silence;
      continue;
    }
    if (heard > 0) longest_silence = std::max(longest_silence, silence);
    silence = 0;
    ASSERT_EQ(out[i], ramp[heard % ramp.size()]) << "sound frame " << heard;
    ++heard;
  }
  EXPECT_GT(heard, ramp.size());
  EXPECT_GE(longest_silence, 4096u) << "the pause was heard as silence";
}

TEST_F(SoundTest, VolumeScalesTheMixedSamples) {
  const std::vector<StereoFrame> ramp = RampFrames(600);
  const MemoryBlock wav = MakeStereoWav(ramp);
  ASSERT_NE(sound_load_from_memory(kTestSound, wav, wav.size()), 0);

  const std::vector<StereoFrame> out = PlayOnceAndCapture(50);
  ASSERT_GE(out.size(), ramp.size());
  for (size_t i = 0; i < ramp.size(); ++i) {
    // Volume 50 is SDL volume 64 of 128: half, rounded toward zero.
    const StereoFrame half{static_cast<int16_t>(ramp[i].left / 2), static_cast<int16_t>(ramp[i].right / 2)};
    ASSERT_EQ(out[i], half) << "frame " << i;
  }
}

TEST_F(SoundTest, EightBitMonoWavPlaysAtTheRightPitchAndLength) {
  // 22050 Hz mono 8-bit: each sample becomes two stereo frames at 44100 Hz, 16-bit signed.
  std::vector<int> samples;
  for (int i = 0; i < 2000; ++i) samples.push_back(i % 2 ? 200 : 60);
  const MemoryBlock wav = MakeWav(1, 22050, 8, samples);
  ASSERT_NE(sound_load_from_memory(kTestSound, wav, wav.size()), 0);
  EXPECT_EQ(sound_length(kTestSound), 2000 * 2 * 4);

  const std::vector<StereoFrame> out = PlayOnceAndCapture();
  ASSERT_GE(out.size(), 4000u);
  for (size_t i = 0; i < 4000; ++i) {
    const int16_t expected = static_cast<int16_t>((samples[i / 2] - 128) * 256);
    ASSERT_EQ(out[i], (StereoFrame{expected, expected})) << "frame " << i;
  }
  EXPECT_EQ(FirstSound(out, 4000), out.size());
}

// Noise made into Ogg Vorbis by the system's encoder, read back into a block. Noise keeps the
// audio pages the bulk of the file.
MemoryBlock EncodeWithOggenc(int channels, int rate, int frames) {
  std::vector<int> samples;
  uint32_t seed = 12345;
  for (int i = 0; i < frames; ++i) {
    seed = seed * 1103515245 + 12345;
    const int value = static_cast<int>((seed >> 16) % 16000) - 8000;
    for (int c = 0; c < channels; ++c) samples.push_back(value);
  }
  const MemoryBlock wav = MakeWav(channels, rate, 16, samples);
  TempFolder folder;
  const std::string input = folder.Write("noise.wav", std::string(wav.begin(), wav.end()));
  const std::string output = folder.path() + "noise.ogg";
  if (std::system(("oggenc -Q -o " + output + " " + input).c_str()) != 0) return {};
  return ReadWholeFile(output);
}

TEST_F(SoundTest, OggFromAnotherEncoderDecodesToTheRightLengthAndChannels) {
  struct Case {
    int channels;
    int rate;
    int frames;
    int64_t device_bytes;  // after conversion to 44100 Hz stereo 16-bit
  };
  const Case cases[] = {{2, 44100, 30000, 30000 * 4}, {1, 22050, 11025, 11025 * 2 * 4}};
  for (const Case& c : cases) {
    const MemoryBlock ogg = EncodeWithOggenc(c.channels, c.rate, c.frames);
    ASSERT_FALSE(ogg.empty()) << "oggenc (vorbis-tools) is needed";

    const SoundDecoder* decoder = ogg_vorbis_decoder();
    void* stream = decoder->open_memory(ogg.data(), ogg.size());
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(decoder->channels(stream), c.channels);
    EXPECT_EQ(decoder->rate(stream), c.rate);
    EXPECT_EQ(decoder->total_frames(stream), c.frames);
    decoder->close(stream);

    ASSERT_NE(sound_load_from_memory(kTestSound, ogg, ogg.size()), 0);
    EXPECT_EQ(sound_length(kTestSound), c.device_bytes) << c.channels << " channels at " << c.rate;
  }
}

TEST_F(SoundTest, DamagedOggLoadsWhatCanBeDecodedAndEnds) {
  const MemoryBlock ogg = EncodeWithOggenc(2, 44100, 88200);
  ASSERT_FALSE(ogg.empty());
  MemoryBlock damaged = ogg;
  for (size_t i = damaged.size() / 2; i < damaged.size() / 2 + 200; ++i) damaged[i] ^= 0x5A;
  ASSERT_NE(sound_load_from_memory(kTestSound, damaged, damaged.size()), 0);
  EXPECT_GT(sound_length(kTestSound), 44100 * 4);
  EXPECT_LE(sound_length(kTestSound), 88200 * 4);

  // Cut off in the middle: the samples up to the cut, no more.
  ASSERT_NE(sound_load_from_memory(kOtherSound, ogg, ogg.size() / 2), 0);
  EXPECT_LT(sound_length(kOtherSound), 88200 * 4);
}

// Every sample the decoder hands out for the data, read to its end.
std::vector<uint8_t> DecoderOutput(const MemoryBlock& ogg) {
  const SoundDecoder* decoder = ogg_vorbis_decoder();
  void* stream = decoder->open_memory(ogg.data(), ogg.size());
  std::vector<uint8_t> out;
  if (!stream) return out;
  uint8_t piece[1000];
  for (long got; (got = decoder->read(stream, piece, sizeof piece, 0)) != 0;) {
    if (got > 0) out.insert(out.end(), piece, piece + got);
  }
  decoder->close(stream);
  return out;
}

TEST_F(SoundTest, BackgroundLoadsGiveTheSamplesOfALoadInTurn) {
  // Two tracks side by side, one of them converted from mono 22050 Hz, and a damaged one.
  const MemoryBlock stereo = EncodeWithOggenc(2, 44100, 60000);
  const MemoryBlock mono = EncodeWithOggenc(1, 22050, 20000);
  ASSERT_FALSE(stereo.empty() || mono.empty());
  MemoryBlock damaged = stereo;
  for (size_t i = damaged.size() / 2; i < damaged.size() / 2 + 200; ++i) damaged[i] ^= 0x5A;
  for (const MemoryBlock* ogg : {&stereo, &mono, static_cast<const MemoryBlock*>(&damaged)}) {
    ASSERT_NE(sound_load_from_memory(kTestSound, *ogg, ogg->size()), 0);
    const std::vector<uint8_t> in_turn(sound_samples(kTestSound), sound_samples(kTestSound) + sound_length(kTestSound));
    // In the device's own format, the samples are the decoder's, untouched.
    if (ogg == &stereo) {
      EXPECT_EQ(in_turn, DecoderOutput(stereo));
    }
    ASSERT_NE(sound_load_in_background(kTestSound, *ogg, ogg->size()), 0);
    ASSERT_NE(sound_load_in_background(kOtherSound, stereo, stereo.size()), 0);
    EXPECT_EQ(sound_check_loading(kTestSound), 1);
    ASSERT_EQ(sound_finish_loading(kTestSound), 1);
    ASSERT_EQ(sound_length(kTestSound), static_cast<int64_t>(in_turn.size()));
    EXPECT_EQ(std::memcmp(sound_samples(kTestSound), in_turn.data(), in_turn.size()), 0);
    // Played before it was waited for, a sound waits for its samples.
    const int channel = sound_play(kOtherSound, kSoundNewChannel);
    EXPECT_GE(channel, kSoundFirstChannel);
    sound_stop(kOtherSound, channel);
  }
  // WAV data loads at once; a block no decoder opens is refused at once, keeping the old sound.
  const MemoryBlock wav = MakeStereoWav(RampFrames(100));
  ASSERT_NE(sound_load_in_background(kTestSound, wav, wav.size()), 0);
  EXPECT_EQ(sound_finish_loading(kTestSound), 1);
  EXPECT_EQ(sound_load_in_background(kTestSound, MemoryBlock(1000, 0x42), 1000), 0);
  EXPECT_EQ(sound_length(kTestSound), 400);
  EXPECT_EQ(sound_finish_loading(999), 0);  // no such sound
  EXPECT_EQ(sound_check_loading(999), 0);
  EXPECT_EQ(sound_check_loading(kTestSound), 1);  // loaded at once
  // Freed, or replaced, while still decoding: nothing is left behind.
  ASSERT_NE(sound_load_in_background(kOtherSound, stereo, stereo.size()), 0);
  sound_free(kOtherSound);
  EXPECT_EQ(sound_finish_loading(kOtherSound), 0);
  ASSERT_NE(sound_load_in_background(kOtherSound, stereo, stereo.size()), 0);
  ASSERT_NE(sound_load_from_memory(kOtherSound, wav, wav.size()), 0);
  EXPECT_EQ(sound_length(kOtherSound), 400);
}

// Decoders of made-up data: "COUNTED" gives kCountedPieces pieces of silence, counting the reads
// that gave one; "NOTHING" opens and ends before its first sample.
constexpr char kCountedTag[] = "COUNTED";
constexpr char kNothingTag[] = "NOTHING";
constexpr int kCountedPieces = 50;
std::atomic<int> CountedReads{0};
std::atomic<int64_t> CountedBytes{0};

const SoundDecoder kCountedDecoder = StereoDecoder(
    [](const uint8_t* data, size_t size) { return OpenTagged(data, size, kCountedTag); },
    [](void*, uint8_t* buffer, long bytes, int) -> long {
      if (CountedReads.load() >= kCountedPieces) return 0;
      std::memset(buffer, 0, static_cast<size_t>(bytes));
      CountedBytes += bytes;
      ++CountedReads;
      return bytes;
    },
    [](void*) -> int64_t { return -1; });

const SoundDecoder kNothingDecoder = StereoDecoder(
    [](const uint8_t* data, size_t size) { return OpenTagged(data, size, kNothingTag); },
    [](void*, uint8_t*, long, int) -> long { return 0; }, [](void*) -> int64_t { return 0; });

MemoryBlock Tagged(const char* tag) { return MemoryBlock(tag, tag + std::strlen(tag)); }

TEST_F(SoundTest, AHeldLoadStopsAfterItsFirstSamplesUntilReleasedOrWanted) {
  sound_decoder_register(&kCountedDecoder);
  sound_decoder_register(&kNothingDecoder);
  const MemoryBlock counted = Tagged(kCountedTag);
  CountedReads = 0;
  CountedBytes = 0;
  ASSERT_NE(sound_load_in_background(kTestSound, counted, counted.size(), kSoundLoadHeld), 0);
  EXPECT_EQ(sound_check_loading(kTestSound), 1);
  // However long the caller takes, the held load reads no further.
  AudioSleep(30);
  EXPECT_EQ(CountedReads.load(), 1);
  sound_release_loads();
  ASSERT_EQ(sound_finish_loading(kTestSound), 1);
  EXPECT_EQ(CountedReads.load(), kCountedPieces);
  EXPECT_EQ(sound_length(kTestSound), CountedBytes.load());

  // Wanted before it is released, a held load finishes: playing it waits for its samples.
  CountedReads = 0;
  CountedBytes = 0;
  ASSERT_NE(sound_load_in_background(kTestSound, counted, counted.size(), kSoundLoadHeld), 0);
  const int channel = sound_play(kTestSound, kSoundNewChannel);
  EXPECT_GE(channel, kSoundFirstChannel);
  sound_stop(kTestSound, channel);
  EXPECT_EQ(CountedReads.load(), kCountedPieces);

  // Freed while held: it ends at once, and a release later finds nothing.
  CountedReads = 0;
  ASSERT_NE(sound_load_in_background(kTestSound, counted, counted.size(), kSoundLoadHeld), 0);
  ASSERT_EQ(sound_check_loading(kTestSound), 1);
  sound_free(kTestSound);
  sound_release_loads();
  EXPECT_EQ(sound_length(kTestSound), 0);

  // A stream that opens but ends before its first sample has not opened, held or not.
  for (const int flags : {0, kSoundLoadHeld}) {
    const MemoryBlock nothing = Tagged(kNothingTag);
    ASSERT_NE(sound_load_in_background(kOtherSound, nothing, nothing.size(), flags), 0);
    EXPECT_EQ(sound_check_loading(kOtherSound), 0);
    EXPECT_EQ(sound_length(kOtherSound), 0);
  }

  // A held track gives the samples of a load in turn.
  const MemoryBlock stereo = EncodeWithOggenc(2, 44100, 30000);
  ASSERT_FALSE(stereo.empty());
  ASSERT_NE(sound_load_from_memory(kOtherSound, stereo, stereo.size()), 0);
  const std::vector<uint8_t> in_turn(sound_samples(kOtherSound), sound_samples(kOtherSound) + sound_length(kOtherSound));
  ASSERT_NE(sound_load_in_background(kTestSound, stereo, stereo.size(), kSoundLoadHeld), 0);
  ASSERT_EQ(sound_check_loading(kTestSound), 1);
  sound_release_loads();
  ASSERT_EQ(sound_finish_loading(kTestSound), 1);
  ASSERT_EQ(sound_length(kTestSound), static_cast<int64_t>(in_turn.size()));
  EXPECT_EQ(std::memcmp(sound_samples(kTestSound), in_turn.data(), in_turn.size()), 0);
}

// Loads started before the service opens: each is decoded on its thread at once, waits for the
// device only to convert, and gives the samples of a load in turn once the service is open; a
// load given up while still decoding ends at once. The exit code names the first check that failed.
int LoadBeforeTheServiceOpens(const MemoryBlock& stereo, const MemoryBlock& mono) {
  sound_decoder_register(ogg_vorbis_decoder());
  sound_decoder_register(&kEndlessDecoder);
  const MemoryBlock wav = MakeStereoWav(RampFrames(100));
  const MemoryBlock endless(kEndlessTag, kEndlessTag + sizeof kEndlessTag);
  const MemoryBlock* blocks[] = {&stereo, &mono, &wav};
  for (int64_t number = 0; number < 3; ++number) {
    if (!sound_load_in_background(number, *blocks[number], blocks[number]->size())) return 10 + number;
  }
  if (!sound_load_in_background(3, MemoryBlock(1000, 0x42), 1000)) return 20;
  if (!sound_load_in_background(4, endless, endless.size())) return 21;
  // Nothing can be had before the device's format is known, and nothing is lost by asking.
  if (sound_finish_loading(0) != 0 || sound_check_loading(0) != 0 || sound_length(0) != 0) return 23;
  sound_free(4);  // would decode for ever
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  if (!sound_init()) return 24;
  if (sound_check_loading(3) != 0 || sound_length(3) != 0) return 25;  // opened with no decoder
  for (int64_t number = 0; number < 3; ++number) {
    if (sound_check_loading(number) != 1 || sound_finish_loading(number) != 1) return 30 + number;
    const std::vector<uint8_t> background(sound_samples(number), sound_samples(number) + sound_length(number));
    if (!sound_load_from_memory(number, *blocks[number], blocks[number]->size())) return 40 + number;
    const std::vector<uint8_t> in_turn(sound_samples(number), sound_samples(number) + sound_length(number));
    if (background.empty() || background != in_turn) return 50 + number;
  }
  if (!sound_load_in_background(5, endless, endless.size())) return 60;
  sound_shutdown();  // gives it up
  return sound_length(5) == 0 ? 0 : 61;
}

TEST(SoundClosed, LoadsStartedBeforeTheServiceOpensGiveTheSamplesOfALoadInTurn) {
  // A process of its own, so that no earlier test has opened the device.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const MemoryBlock stereo = EncodeWithOggenc(2, 44100, 60000);
  const MemoryBlock mono = EncodeWithOggenc(1, 22050, 20000);
  ASSERT_FALSE(stereo.empty() || mono.empty()) << "oggenc (vorbis-tools) is needed";
  EXPECT_EXIT(std::exit(LoadBeforeTheServiceOpens(stereo, mono)), testing::ExitedWithCode(0), "");
}

TEST_F(SoundTest, UnreadableDataFailsAndKeepsTheOldSound) {
  const MemoryBlock wav = MakeStereoWav(RampFrames(100));
  const int64_t handle = sound_load_from_memory(kTestSound, wav, wav.size());
  ASSERT_NE(handle, 0);
  const MemoryBlock junk(1000, 0x42);
  EXPECT_EQ(sound_load_from_memory(kTestSound, junk, junk.size()), 0);
  MemoryBlock riff_without_fmt = wav;
  riff_without_fmt[12] = 'X';
  EXPECT_EQ(sound_load_from_memory(kTestSound, riff_without_fmt, riff_without_fmt.size()), 0);
  EXPECT_EQ(sound_load_from_memory(kTestSound, wav, -1), 0);
  EXPECT_EQ(sound_load_from_memory(kTestSound, wav, 0), 0);
  EXPECT_EQ(sound_length(kTestSound), 400);
  EXPECT_EQ(sound_status(kTestSound, 0), kSoundStopped);
}

TEST_F(SoundTest, WavWithUnusableRateFails) {
  // 0x8000AC44 is 44100 with the top bit set: not a rate to play at 44100 Hz.
  for (uint32_t rate : {0u, 1u, 3999u, 192001u, 0x7FFFFFFFu, 0x8000AC44u}) {
    const MemoryBlock wav = MakeWav(1, static_cast<int>(rate), 16, {100, 200, 300, 400});
    EXPECT_EQ(sound_load_from_memory(kTestSound, wav, wav.size()), 0) << rate;
  }
  const MemoryBlock many_channels = MakeWav(3, 44100, 16, {1, 2, 3, 4, 5, 6});
  EXPECT_EQ(sound_load_from_memory(kTestSound, many_channels, many_channels.size()), 0);
}

// Long enough to keep playing through a test: two seconds.
MemoryBlock LongWav() { return MakeWav(2, 44100, 16, std::vector<int>(2 * 44100 * 2, 500)); }

TEST_F(SoundTest, NewChannelFlagPlaysSideBySideAndPlainPlayRestarts) {
  const MemoryBlock wav = LongWav();
  ASSERT_NE(sound_load_from_memory(kTestSound, wav, wav.size()), 0);
  const int first = sound_play(kTestSound, kSoundNewChannel);
  const int second = sound_play(kTestSound, kSoundNewChannel);
  ASSERT_GE(first, kSoundFirstChannel);
  ASSERT_GE(second, kSoundFirstChannel);
  EXPECT_NE(first, second);
  EXPECT_EQ(sound_status(kTestSound, first), kSoundPlaying);
  EXPECT_EQ(sound_status(kTestSound, second), kSoundPlaying);

  // Without the flag every other channel of the sound stops and one restarts.
  EXPECT_EQ(sound_play(kTestSound, 0), 1);
  int playing = 0;
  for (int channel = kSoundFirstChannel; channel < kSoundFirstChannel + kSoundChannelCount; ++channel) {
    playing += sound_status(kTestSound, channel) == kSoundPlaying;
  }
  EXPECT_EQ(playing, 1);
  EXPECT_EQ(sound_status(kTestSound, 0), kSoundPlaying);
}

TEST_F(SoundTest, AllChannelsBusyRefusesAndCutsNothingOff) {
  const MemoryBlock wav = LongWav();
  ASSERT_NE(sound_load_from_memory(kTestSound, wav, wav.size()), 0);
  ASSERT_NE(sound_load_from_memory(kOtherSound, wav, wav.size()), 0);
  for (int i = 0; i < kSoundChannelCount; ++i) {
    ASSERT_EQ(sound_play(kTestSound, kSoundNewChannel), kSoundFirstChannel + i);
  }
  EXPECT_EQ(sound_play(kOtherSound, kSoundNewChannel), 0);
  EXPECT_EQ(sound_play(kOtherSound, 0), 0);
  for (int i = 0; i < kSoundChannelCount; ++i) {
    EXPECT_EQ(sound_status(kTestSound, kSoundFirstChannel + i), kSoundPlaying);
  }
  EXPECT_EQ(sound_status(kOtherSound, -1), kSoundStopped);
}

TEST_F(SoundTest, ChannelArgumentsNameTheSoundsChannels) {
  const MemoryBlock wav = LongWav();
  ASSERT_NE(sound_load_from_memory(kTestSound, wav, wav.size()), 0);
  ASSERT_NE(sound_load_from_memory(kOtherSound, wav, wav.size()), 0);
  const int mine = sound_play(kTestSound, kSoundNewChannel);
  const int other = sound_play(kOtherSound, kSoundNewChannel);

  // A channel number that plays another sound is not this sound's.
  sound_stop(kTestSound, other);
  EXPECT_EQ(sound_status(kOtherSound, other), kSoundPlaying);
  EXPECT_EQ(sound_status(kTestSound, other), kSoundStopped);

  sound_pause(kAllObjects, -1);
  EXPECT_EQ(sound_status(kTestSound, mine), kSoundPaused);
  EXPECT_EQ(sound_status(kOtherSound, 0), kSoundPaused);
  sound_resume(kOtherSound, 0);
  EXPECT_EQ(sound_status(kOtherSound, other), kSoundPlaying);
  EXPECT_EQ(sound_status(kTestSound, mine), kSoundPaused);

  sound_stop(kTestSound, 0);
  EXPECT_EQ(sound_status(kTestSound, mine), kSoundStopped);
  EXPECT_EQ(sound_status(kOtherSound, other), kSoundPlaying);
  EXPECT_EQ(sound_status(12345, 0), kSoundMissing);
  EXPECT_EQ(sound_play(12345, 0), 0);
}

TEST_F(SoundTest, PausingAFinishedChannelLeavesItFinished) {
  const MemoryBlock wav = MakeStereoWav(RampFrames(100));
  ASSERT_NE(sound_load_from_memory(kTestSound, wav, wav.size()), 0);
  const int channel = sound_play(kTestSound, kSoundNewChannel);
  ASSERT_TRUE(AudioWaitFinished(kTestSound, channel));
  sound_pause(kTestSound, channel);
  EXPECT_EQ(sound_status(kTestSound, channel), kSoundStopped);
  sound_resume(kTestSound, channel);
  EXPECT_EQ(sound_status(kTestSound, channel), kSoundStopped);
}

TEST_F(SoundTest, ReloadingOrFreeingAPlayingSoundStopsItsChannels) {
  const MemoryBlock wav = LongWav();
  ASSERT_NE(sound_load_from_memory(kTestSound, wav, wav.size()), 0);
  const int channel = sound_play(kTestSound, kSoundLoop | kSoundNewChannel);
  ASSERT_NE(sound_load_from_memory(kTestSound, wav, wav.size()), 0);
  EXPECT_EQ(sound_status(kTestSound, channel), kSoundStopped);

  const int64_t handle = sound_load_from_memory(kNewObject, wav, wav.size());
  ASSERT_NE(handle, 0);
  const int again = sound_play(handle, kSoundLoop | kSoundNewChannel);
  EXPECT_EQ(sound_status(handle, again), kSoundPlaying);
  sound_free(handle);
  EXPECT_EQ(sound_status(handle, again), kSoundMissing);
  // The freed channel is free for the next sound.
  EXPECT_EQ(sound_play(kTestSound, kSoundNewChannel), again);
}

TEST_F(SoundTest, RapidPlayStopAndFreeWhileMixingStayConsistent) {
  // The game thread starts, stops, reloads and frees sounds while the audio thread mixes them;
  // every stop holds once the mixer has run again. (A race lost only now and then would show
  // here, or under the sanitizers, only by chance.)
  const MemoryBlock wav = LongWav();
  for (int round = 0; round < 300; ++round) {
    const int64_t number = round % 2 ? kTestSound : kOtherSound;
    if (round % 3 == 0 || sound_length(number) == 0) {
      ASSERT_NE(sound_load_from_memory(number, wav, wav.size()), 0);
    }
    const int channel = sound_play(number, kSoundLoop | kSoundNewChannel);
    ASSERT_GE(channel, kSoundFirstChannel);
    usleep(round % 7 * 150);
    if (round % 5 == 0) {
      sound_free(number);
      continue;
    }
    sound_stop(number, channel);
    usleep(3000);  // past the next callback
    ASSERT_EQ(sound_status(number, channel), kSoundStopped) << "round " << round;
  }
}

TEST_F(SoundTest, VolumeIsClampedAndChannelZeroSetsTheSoundsOwn) {
  const std::vector<StereoFrame> ramp = RampFrames(400);
  const MemoryBlock wav = MakeStereoWav(ramp);
  ASSERT_NE(sound_load_from_memory(kTestSound, wav, wav.size()), 0);
  sound_volume(kTestSound, 500, 0);  // 100 after clamping: unchanged samples
  const std::vector<StereoFrame> loud = PlayOnceAndCapture();
  ASSERT_GE(loud.size(), ramp.size());
  EXPECT_EQ(loud[10], ramp[10]);

  sound_volume(kTestSound, -5, 0);  // 0: silent from now on
  const size_t later = AudioCaptureSize();
  ASSERT_TRUE(AudioWaitFinished(kTestSound, sound_play(kTestSound, kSoundNewChannel)));
  const std::vector<StereoFrame> out = AudioCaptureRead(later);
  EXPECT_EQ(FirstSound(out), out.size());
}

}  // namespace
