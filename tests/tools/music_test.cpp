// Tests of the synthesizer and sequencer, the audio writers, and the music and sound effects of
// the built asset pack: length, seamless loops, headroom and the WAV layout the game reads.
#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "tests/support/content_pack.h"
#include "tools/music/music.h"

namespace {

constexpr int64_t kSoundBuffer = 15728640;  // the game reads every sound into this many bytes

struct Pcm {
  int channels = 0, rate = 0;
  std::vector<int16_t> samples;  // interleaved
  size_t frames() const { return channels ? samples.size() / size_t(channels) : 0; }
};

struct MemoryFile {
  const std::vector<uint8_t>* bytes;
  size_t position;
};

size_t MemoryRead(void* out, size_t size, size_t count, void* source) {
  auto* file = static_cast<MemoryFile*>(source);
  size_t wanted = size * count, left = file->bytes->size() - file->position;
  size_t n = std::min(wanted, left);
  std::memcpy(out, file->bytes->data() + file->position, n);
  file->position += n;
  return size ? n / size : 0;
}

int MemorySeek(void* source, ogg_int64_t offset, int whence) {
  auto* file = static_cast<MemoryFile*>(source);
  ogg_int64_t base = whence == SEEK_SET ? 0
                     : whence == SEEK_CUR ? ogg_int64_t(file->position)
                                          : ogg_int64_t(file->bytes->size());
  ogg_int64_t target = base + offset;
  if (target < 0 || target > ogg_int64_t(file->bytes->size())) return -1;
  file->position = size_t(target);
  return 0;
}

long MemoryTell(void* source) { return long(static_cast<MemoryFile*>(source)->position); }

bool DecodeOgg(const std::vector<uint8_t>& bytes, Pcm* out) {
  MemoryFile file{&bytes, 0};
  OggVorbis_File vf;
  ov_callbacks callbacks{MemoryRead, MemorySeek, nullptr, MemoryTell};
  if (ov_open_callbacks(&file, &vf, nullptr, 0, callbacks) != 0) return false;
  vorbis_info* info = ov_info(&vf, -1);
  out->channels = info->channels;
  out->rate = int(info->rate);
  char buffer[4096];
  int section = 0;
  for (;;) {
    long got = ov_read(&vf, buffer, sizeof buffer, 0, 2, 1, &section);
    if (got == 0) break;
    if (got < 0) continue;
    const int16_t* samples = reinterpret_cast<const int16_t*>(buffer);
    out->samples.insert(out->samples.end(), samples, samples + got / 2);
  }
  ov_clear(&vf);
  return true;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("cratevale_music_test_" + name)).string();
}

// The jump from the last frame to the first, and the jump that 99 % of the steps inside the
// piece stay below, for one channel.
std::pair<int, int> SeamAndTypicalStep(const Pcm& pcm, int channel) {
  std::vector<int> steps;
  for (size_t i = 1; i < pcm.frames(); ++i) {
    steps.push_back(std::abs(pcm.samples[i * pcm.channels + channel] -
                             pcm.samples[(i - 1) * pcm.channels + channel]));
  }
  std::nth_element(steps.begin(), steps.begin() + steps.size() * 99 / 100, steps.end());
  int seam = std::abs(pcm.samples[channel] - pcm.samples[(pcm.frames() - 1) * pcm.channels + channel]);
  return {seam, steps[steps.size() * 99 / 100]};
}

// ---- Notes -------------------------------------------------------------------------------

TEST(MusicNotes, PitchNamesFollowTheUsualOctaveNumbers) {
  const std::pair<const char*, int> cases[] = {
      {"C4", 60}, {"A4", 69}, {"F#3", 54}, {"Bb2", 46}, {"B3", 59}, {"C0", 12},
      {"H4", -1}, {"C", -1},  {"C#", -1},  {"C10", -1}, {"c4", -1}, {"", -1}};
  for (const auto& [name, pitch] : cases) EXPECT_EQ(music::PitchOfName(name), pitch) << name;
}

TEST(MusicNotes, NoteLinesPlaceNotesAndRestsOnTheBeat) {
  std::vector<music::Note> notes;
  EXPECT_DOUBLE_EQ(music::ParseNotes("A4:1.5 r:1 | C5:0.5", 4, 0.5, &notes), 7.0);
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_DOUBLE_EQ(notes[0].beat, 4.0);
  EXPECT_DOUBLE_EQ(notes[1].beat, 6.5);
  EXPECT_EQ(notes[1].pitch, 72);
  EXPECT_DOUBLE_EQ(notes[1].velocity, 0.5);
  for (const char* bad : {"A4", "A4:", "A4:x", "A4:-1", "A4:0", "Q4:1", "A4:1x"}) {
    EXPECT_LT(music::ParseNotes(bad, 0, 1, &notes), 0) << bad;
  }
}

// ---- Rendering ---------------------------------------------------------------------------

TEST(MusicRendering, LoopIsExactlyTheSongLongAndTailsWrapToTheStart) {
  music::Song song{120, 4, {{music::Instrument::Pad, 0.5, 0, {{3.5, 0.5, 57, 1.0}}}}};
  music::Audio audio = music::RenderSong(song);
  EXPECT_EQ(audio.frames(), size_t(2 * music::kSampleRate));  // four beats at 120 a minute
  // The pad's release rings past the end: it must sound at the start of the loop.
  float start = 0;
  for (size_t i = 0; i < 2000; ++i) start = std::max(start, std::fabs(audio.samples[i * 2]));
  EXPECT_GT(start, 0.01f);
  float before = 0;  // and nothing sounds just before the note begins
  for (size_t i = 40000; i < 60000; ++i) before = std::max(before, std::fabs(audio.samples[i * 2]));
  EXPECT_EQ(before, 0.0f);
}

TEST(MusicRendering, EveryInstrumentSoundsAndStartsWithoutAStep) {
  for (int i = 0; i <= int(music::Instrument::Rim); ++i) {
    music::Song song{120, 8, {{music::Instrument(i), 0.5, 0.5, {{1, 1, 60, 1.0}}}}};
    music::Audio audio = music::RenderSong(song);
    size_t onset = size_t(0.5 * music::kSampleRate);  // beat 1
    float peak = 0;
    for (float s : audio.samples) peak = std::max(peak, std::fabs(s));
    EXPECT_GT(peak, 0.05f) << "instrument " << i;
    EXPECT_LT(std::fabs(audio.samples[onset * 2 + 1]), 0.02f) << "instrument " << i;
    EXPECT_EQ(audio.samples[(onset - 1) * 2 + 1], 0.0f) << "instrument " << i;
  }
}

// Each pitched instrument, asked for A3, repeats itself every 1/220 of a second.
TEST(MusicRendering, PitchedInstrumentsPlayInTune) {
  const music::Instrument pitched[] = {
      music::Instrument::ElectricPiano, music::Instrument::Flute,   music::Instrument::Pad,
      music::Instrument::Pluck,         music::Instrument::Bass,    music::Instrument::SawBass,
      music::Instrument::Lead,          music::Instrument::Organ};
  for (music::Instrument instrument : pitched) {
    music::Song song{60, 2, {{instrument, 0.5, 0, {{0, 1, 57, 1.0}}}}};
    music::Audio audio = music::RenderSong(song);
    auto at = [&](size_t i) { return double(audio.samples[i * 2]); };
    const size_t from = 4410, span = 8820;  // 0.1 s to 0.3 s into the note
    double best = -1;
    int best_lag = 0;
    std::vector<double> score(300, 0.0);
    for (int lag = 150; lag < 290; ++lag) {
      double sum = 0, energy = 0;
      for (size_t i = from; i < from + span; ++i) {
        sum += at(i) * at(i + size_t(lag));
        energy += at(i) * at(i);
      }
      score[size_t(lag)] = sum / energy;
      if (score[size_t(lag)] > best) best = score[size_t(lag)], best_lag = lag;
    }
    // Refine the period between samples with a parabola through the peak and its neighbours.
    double l = score[size_t(best_lag) - 1], c = score[size_t(best_lag)], r = score[size_t(best_lag) + 1];
    double period = best_lag + 0.5 * (l - r) / (l - 2 * c + r);
    EXPECT_NEAR(music::kSampleRate / period, 220.0, 2.0) << "instrument " << int(instrument);
  }
}

TEST(MusicRendering, NormalizeSetsThePeak) {
  music::Audio audio;
  audio.samples = {0.1f, -0.5f, 0.25f, 0.0f};
  music::Normalize(&audio, 0.8);
  EXPECT_FLOAT_EQ(audio.samples[1], -0.8f);
  EXPECT_FLOAT_EQ(audio.samples[0], 0.16f);
}

// ---- Writers -----------------------------------------------------------------------------

TEST(MusicWriters, OggKeepsTheExactLengthAndTheSameBytes) {
  music::Audio audio;
  const size_t frames = 30000;  // not a multiple of any block size
  for (size_t i = 0; i < frames; ++i) {
    float s = float(0.5 * std::sin(2 * M_PI * 330.0 * double(i) / music::kSampleRate));
    audio.samples.push_back(s);
    audio.samples.push_back(-s);
  }
  ASSERT_EQ(music::WriteOgg(audio, TempPath("a.ogg")), "");
  ASSERT_EQ(music::WriteOgg(audio, TempPath("b.ogg")), "");
  std::vector<uint8_t> bytes = ReadFile(TempPath("a.ogg"));
  EXPECT_EQ(bytes, ReadFile(TempPath("b.ogg")));
  Pcm pcm;
  ASSERT_TRUE(DecodeOgg(bytes, &pcm));
  EXPECT_EQ(pcm.channels, 2);
  EXPECT_EQ(pcm.rate, music::kSampleRate);
  EXPECT_EQ(pcm.frames(), frames);  // no padding: a looping track has no gap
  EXPECT_NE(music::WriteOgg(audio, "/nonexistent/folder/x.ogg"), "");
  std::filesystem::remove(TempPath("a.ogg"));
  std::filesystem::remove(TempPath("b.ogg"));
}

TEST(MusicWriters, WavClampsAndRoundsSamples) {
  music::Audio audio;
  audio.channels = 1;
  audio.samples = {0.0f, 1.5f, -2.0f, 0.5f};
  ASSERT_EQ(music::WriteWav(audio, TempPath("c.wav")), "");
  std::vector<uint8_t> bytes = ReadFile(TempPath("c.wav"));
  ASSERT_EQ(bytes.size(), 44u + 8u);
  auto sample = [&](int i) { return int16_t(bytes[44 + 2 * i] | bytes[45 + 2 * i] << 8); };
  EXPECT_EQ(sample(1), 32767);
  EXPECT_EQ(sample(2), -32767);
  EXPECT_EQ(sample(3), 16384);
  std::filesystem::remove(TempPath("c.wav"));
}

// ---- The built pack ----------------------------------------------------------------------

TEST(AssetMusic, TracksAreLongLoopSeamlesslyAndDoNotClip) {
  for (const char* name : {"music1.ogg", "music2.ogg"}) {
    std::vector<uint8_t> bytes = ReadAssetEntry(name, kSoundBuffer);
    ASSERT_FALSE(bytes.empty()) << name;
    Pcm pcm;
    ASSERT_TRUE(DecodeOgg(bytes, &pcm)) << name;
    EXPECT_EQ(pcm.channels, 2) << name;
    EXPECT_EQ(pcm.rate, 44100) << name;
    EXPECT_GE(pcm.frames(), size_t(60 * 44100)) << name;
    int peak = 0;
    for (int16_t s : pcm.samples) peak = std::max(peak, std::abs(int(s)));
    EXPECT_LT(peak, 31000) << name;  // about half a decibel of headroom at least
    for (int channel = 0; channel < 2; ++channel) {
      auto [seam, typical] = SeamAndTypicalStep(pcm, channel);
      EXPECT_LE(seam, typical) << name << " channel " << channel;
    }
    // No silent gap anywhere: every second of the loop carries sound.
    for (size_t second = 0; second + 1 < pcm.frames() / 44100; ++second) {
      double sum = 0;
      for (size_t i = second * 44100 * 2; i < (second + 1) * 44100 * 2; ++i) {
        sum += double(pcm.samples[i]) * pcm.samples[i];
      }
      EXPECT_GT(std::sqrt(sum / (44100 * 2)), 300.0) << name << " second " << second;
    }
  }
}

TEST(AssetMusic, EffectsAreShortQuietPcmInTheLayoutTheGameReads) {
  for (const char* name : {"rollover3.wav", "click3.wav"}) {
    std::vector<uint8_t> b = ReadAssetEntry(name, kSoundBuffer);
    ASSERT_GE(b.size(), 44u) << name;
    auto u32 = [&](size_t at) { return uint32_t(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24); };
    auto u16 = [&](size_t at) { return uint16_t(b[at] | b[at + 1] << 8); };
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(b.begin() + 12, b.begin() + 16), "fmt ");
    uint32_t fmt_size = u32(16);
    EXPECT_EQ(u16(20), 1) << name;   // PCM
    EXPECT_EQ(u16(34), 16) << name;  // 16-bit
    EXPECT_EQ(u32(24), 44100u) << name;
    // The data chunk follows the format chunk directly.
    EXPECT_EQ(std::string(b.begin() + 20 + fmt_size, b.begin() + 24 + fmt_size), "data");
    uint32_t data_size = u32(24 + fmt_size);
    ASSERT_EQ(28 + fmt_size + data_size, b.size()) << name;
    size_t frames = data_size / 2 / u16(22);
    EXPECT_GT(frames, 44100u / 50) << name;
    EXPECT_LT(frames, 44100u / 2) << name;
    int peak = 0;
    for (size_t at = 28 + fmt_size; at < b.size(); at += 2) {
      peak = std::max(peak, std::abs(int(int16_t(u16(at)))));
    }
    EXPECT_GT(peak, 3000) << name;
    EXPECT_LT(peak, 26000) << name;
    EXPECT_LT(std::abs(int16_t(u16(28 + fmt_size))), 200) << name;  // starts and ends softly
    EXPECT_LT(std::abs(int16_t(u16(b.size() - 2))), 200) << name;
  }
}

}  // namespace
