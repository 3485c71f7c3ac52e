// The synthesizer, the sequencer's renderer and the audio writers (see music.h).
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "tools/music/music.h"

namespace music {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDt = 1.0 / kSampleRate;
constexpr int kOggSerial = 0x43726174;  // every stream gets the same serial: same bytes each build

// Deterministic white noise in -1..1.
struct Noise {
  uint32_t state;
  explicit Noise(uint32_t seed) : state(seed * 2654435761U + 0x9e3779b9U) {
    if (state == 0) state = 1;
  }
  double Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state / 2147483647.5 - 1.0;
  }
};

// One-pole low-pass filter.
struct LowPass {
  double a = 1, y = 0;
  void Set(double cutoff) { a = 1 - std::exp(-2 * kPi * std::min(cutoff, 18000.0) * kDt); }
  double Run(double x) { return y += a * (x - y); }
};

struct Envelope {
  double attack, decay, sustain, release;
};

// Attack to 1, decay towards the sustain level while held, then a straight fade to silence.
double EnvelopeAt(const Envelope& e, double t, double held) {
  auto level = [&](double s) {
    if (s < e.attack) return s / e.attack;
    return e.sustain + (1 - e.sustain) * std::exp(-(s - e.attack) / e.decay);
  };
  if (t < held) return level(t);
  return level(held) * std::max(0.0, 1 - (t - held) / e.release);
}

// Band-limited step correction for the oscillators below.
double PolyBlep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1;
  }
  if (t > 1 - dt) {
    t = (t - 1) / dt;
    return t * t + t + t + 1;
  }
  return 0;
}

double Saw(double phase, double dt) { return 2 * phase - 1 - PolyBlep(phase, dt); }

double Pulse(double phase, double duty, double dt) {
  double shifted = phase + (1 - duty);
  if (shifted >= 1) shifted -= 1;
  return Saw(phase, dt) - Saw(shifted, dt);
}

double Frequency(int pitch) { return 440.0 * std::pow(2.0, (pitch - 69) / 12.0); }

// Renders one note of an instrument into mono samples (the note plus its release tail).
std::vector<float> RenderVoice(Instrument instrument, int pitch, double held, uint32_t seed) {
  double f = Frequency(pitch);
  Noise noise(seed);
  auto voice = [&](const Envelope& e, auto&& sample) {
    size_t count = size_t((held + e.release) * kSampleRate) + 1;
    std::vector<float> out(count);
    for (size_t i = 0; i < count; ++i) {
      double t = i * kDt;
      out[i] = float(EnvelopeAt(e, t, held) * sample(t));
    }
    return out;
  };
  auto drum = [&](double length, auto&& sample) {
    std::vector<float> out(size_t(length * kSampleRate));
    for (size_t i = 0; i < out.size(); ++i) {
      double t = i * kDt;
      // Short ramps at both ends so that no drum starts or stops on a step.
      double fade = std::min({1.0, (out.size() - i) / 64.0, t / 0.001});
      out[i] = float(sample(t) * fade);
    }
    return out;
  };
  switch (instrument) {
    case Instrument::ElectricPiano: {
      double phase = 0;
      return voice({0.004, 0.9, 0.0, 0.25}, [&](double t) {
        phase += 2 * kPi * f * kDt;
        double index = 1.1 * std::exp(-t / 0.4) + 0.15;
        return 0.8 * std::sin(phase + index * std::sin(phase)) +
               0.2 * std::sin(2 * phase) * std::exp(-t / 0.2);
      });
    }
    case Instrument::Flute: {
      double phase = 0;
      LowPass breath;
      breath.Set(2500);
      return voice({0.08, 0.3, 0.8, 0.15}, [&](double t) {
        double vibrato = t > 0.25 ? 1 + 0.004 * std::sin(2 * kPi * 5 * t) : 1;
        phase += 2 * kPi * f * vibrato * kDt;
        return 0.85 * std::sin(phase) + 0.12 * std::sin(2 * phase) + 0.05 * std::sin(3 * phase) +
               0.05 * breath.Run(noise.Next());
      });
    }
    case Instrument::Pad: {
      double phases[3] = {0, 0.33, 0.67};
      const double detune[3] = {0.996, 1.0, 1.004};
      LowPass filter;
      filter.Set(1400);
      return voice({0.5, 1.0, 0.8, 0.9}, [&](double) {
        double sum = 0;
        for (int k = 0; k < 3; ++k) {
          double dt = f * detune[k] * kDt;
          phases[k] += dt;
          if (phases[k] >= 1) phases[k] -= 1;
          sum += Saw(phases[k], dt);
        }
        return filter.Run(sum / 3);
      });
    }
    case Instrument::Pluck: {
      // A delay line one period long, filled with soft noise and averaged as it circulates.
      // Averaging neighbours delays the line by half a sample, so it is half a sample shorter.
      size_t length = std::max<size_t>(2, size_t(std::lround(kSampleRate / f - 0.5)));
      std::vector<double> line(length);
      LowPass soften;
      soften.Set(3000);
      double largest = 1e-9;
      for (double& x : line) largest = std::max(largest, std::fabs(x = soften.Run(noise.Next())));
      for (double& x : line) x /= largest;  // every pluck starts at full strength
      double position = 0;
      return voice({0.002, 10.0, 1.0, 0.08}, [&](double) {
        size_t i = size_t(position) % length, j = (i + 1) % length;
        double out = line[i];
        line[i] = 0.497 * (line[i] + line[j]);
        position += 1;
        return out;
      });
    }
    case Instrument::Bass: {
      double phase = 0;
      return voice({0.008, 0.4, 0.6, 0.08}, [&](double) {
        phase += 2 * kPi * f * kDt;
        return std::sin(phase) + 0.25 * std::sin(2 * phase);
      });
    }
    case Instrument::SawBass: {
      double phase = 0;
      LowPass first, second;
      return voice({0.004, 0.2, 0.7, 0.06}, [&](double t) {
        double dt = f * kDt;
        phase += dt;
        if (phase >= 1) phase -= 1;
        double cutoff = 300 + 1600 * std::exp(-t / 0.08);
        first.Set(cutoff);
        second.Set(cutoff);
        return 1.4 * second.Run(first.Run(Saw(phase, dt)));
      });
    }
    case Instrument::Lead: {
      double phase = 0;
      LowPass filter;
      filter.Set(3200);
      return voice({0.01, 0.25, 0.65, 0.12}, [&](double t) {
        double dt = f * (1 + 0.003 * std::sin(2 * kPi * 5.5 * t)) * kDt;
        phase += dt;
        if (phase >= 1) phase -= 1;
        return 0.6 * filter.Run(Pulse(phase, 0.35, dt));
      });
    }
    case Instrument::Organ: {
      double phase = 0;
      return voice({0.005, 0.12, 0.3, 0.05}, [&](double) {
        phase += 2 * kPi * f * kDt;
        return 0.6 * std::sin(phase) + 0.3 * std::sin(2 * phase) + 0.2 * std::sin(3 * phase);
      });
    }
    case Instrument::Kick: {
      double phase = 0;
      return drum(0.35, [&](double t) {
        phase += 2 * kPi * (45 + 90 * std::exp(-t / 0.035)) * kDt;
        return std::sin(phase) * std::exp(-t / 0.22) + 0.3 * noise.Next() * std::exp(-t / 0.003);
      });
    }
    case Instrument::Snare: {
      double phase = 0;
      LowPass low, band;
      low.Set(900);
      band.Set(7000);
      return drum(0.22, [&](double t) {
        phase += 2 * kPi * 185 * kDt;
        double n = noise.Next();
        double noisy = band.Run(n) - low.Run(n);
        return 0.5 * std::sin(phase) * std::exp(-t / 0.05) + 0.9 * noisy * std::exp(-t / 0.09);
      });
    }
    case Instrument::ClosedHat:
    case Instrument::OpenHat:
    case Instrument::Shaker: {
      LowPass low;
      low.Set(instrument == Instrument::Shaker ? 4000 : 6000);
      double decay = instrument == Instrument::ClosedHat ? 0.018
                     : instrument == Instrument::OpenHat ? 0.12
                                                          : 0.03;
      double attack = instrument == Instrument::Shaker ? 0.015 : 0.0005;
      return drum(decay * 6, [&](double t) {
        double n = noise.Next();
        double rise = std::min(1.0, t / attack);
        return 0.7 * (n - low.Run(n)) * rise * std::exp(-std::max(0.0, t - attack) / decay);
      });
    }
    case Instrument::Rim:
      return drum(0.06, [&](double t) {
        return (0.7 * std::sin(2 * kPi * 1700 * t) + 0.4 * std::sin(2 * kPi * 820 * t)) *
               std::exp(-t / 0.012) * std::min(1.0, t / 0.0005);
      });
  }
  return {};
}

// Circular echo: each repeat comes back after `delay` frames, the left and right sides
// swapping, so that the echo of the loop's end lands in its beginning.
void Echo(Audio* audio, size_t delay, double feedback, double mix) {
  size_t frames = audio->frames();
  if (delay == 0 || frames == 0) return;
  std::vector<double> wet(frames * 2, 0.0);
  const std::vector<float>& dry = audio->samples;
  for (int pass = 0; pass < 3; ++pass) {  // later passes settle what wraps around
    for (size_t i = 0; i < frames; ++i) {
      size_t from = (i + frames - delay % frames) % frames;
      wet[i * 2] = dry[from * 2 + 1] + feedback * wet[from * 2 + 1];
      wet[i * 2 + 1] = dry[from * 2] + feedback * wet[from * 2];
    }
  }
  for (size_t i = 0; i < frames * 2; ++i) audio->samples[i] += float(mix * wet[i]);
}

}  // namespace

int PitchOfName(const std::string& name) {
  static const int kSteps[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  if (name.size() < 2 || name[0] < 'A' || name[0] > 'G') return -1;
  int pitch = kSteps[name[0] - 'A'];
  size_t i = 1;
  if (name[i] == '#') pitch += 1, ++i;
  else if (name[i] == 'b') pitch -= 1, ++i;
  if (i + 1 != name.size() || name[i] < '0' || name[i] > '9') return -1;
  return pitch + 12 * (name[i] - '0' + 1);
}

double ParseNotes(const std::string& text, double start, double velocity, std::vector<Note>* out) {
  double beat = start;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == '|') {
      ++i;
      continue;
    }
    size_t end = text.find_first_of(" |", i);
    if (end == std::string::npos) end = text.size();
    std::string token = text.substr(i, end - i);
    i = end;
    size_t colon = token.find(':');
    if (colon == std::string::npos) return -1;
    char* stop = nullptr;
    std::string length_text = token.substr(colon + 1);
    double length = std::strtod(length_text.c_str(), &stop);
    if (stop == length_text.c_str() || *stop != 0 || !(length > 0)) return -1;
    std::string name = token.substr(0, colon);
    if (name != "r") {
      int pitch = PitchOfName(name);
      if (pitch < 0) return -1;
      out->push_back({beat, length, pitch, velocity});
    }
    beat += length;
  }
  return beat;
}

Audio RenderSong(const Song& song) {
  double frames_per_beat = 60.0 / song.tempo * kSampleRate;
  size_t frames = size_t(std::llround(song.beats * frames_per_beat));
  Audio audio;
  audio.samples.assign(frames * 2, 0.0f);
  if (frames == 0) return audio;
  uint32_t seed = 1;
  for (const Part& part : song.parts) {
    double left = std::cos((part.pan + 1) * kPi / 4), right = std::sin((part.pan + 1) * kPi / 4);
    for (const Note& note : part.notes) {
      double held = note.length * 60.0 / song.tempo;
      std::vector<float> voice = RenderVoice(part.instrument, note.pitch, held, seed++);
      size_t start = size_t(std::llround(note.beat * frames_per_beat)) % frames;
      double gain = part.volume * note.velocity;
      for (size_t k = 0; k < voice.size(); ++k) {
        size_t at = (start + k) % frames;  // tails past the end ring on at the start
        audio.samples[at * 2] += float(voice[k] * gain * left);
        audio.samples[at * 2 + 1] += float(voice[k] * gain * right);
      }
    }
  }
  if (song.echo_mix > 0) {
    Echo(&audio, size_t(std::llround(0.75 * frames_per_beat)), 0.35, song.echo_mix);
  }
  return audio;
}

void Normalize(Audio* audio, double peak) {
  float largest = 0;
  for (float s : audio->samples) largest = std::max(largest, std::fabs(s));
  if (largest <= 0) return;
  float gain = float(peak / largest);
  for (float& s : audio->samples) s *= gain;
}

Audio RolloverSound() {
  Audio audio;
  audio.channels = 1;
  size_t count = size_t(0.07 * kSampleRate);
  for (size_t i = 0; i < count; ++i) {
    double t = i * kDt, rise = std::min(1.0, t / 0.001);
    double fade = std::min(1.0, double(count - i) / 200.0);
    audio.samples.push_back(float(fade * rise *
                                  (0.8 * std::sin(2 * kPi * 1250 * t) * std::exp(-t / 0.012) +
                                   0.25 * std::sin(2 * kPi * 2500 * t) * std::exp(-t / 0.006))));
  }
  Normalize(&audio, 0.45);
  return audio;
}

Audio ClickSound() {
  Audio audio;
  audio.channels = 1;
  size_t count = size_t(0.18 * kSampleRate);
  auto blip = [](double t, double start, double f) {
    if (t < start) return 0.0;
    double s = t - start;
    return std::sin(2 * kPi * f * s) * std::min(1.0, s / 0.002) * std::exp(-s / 0.035);
  };
  for (size_t i = 0; i < count; ++i) {
    double t = i * kDt;
    double fade = std::min(1.0, double(count - i) / 300.0);
    double thock = std::sin(2 * kPi * 180 * t) * std::min(1.0, t / 0.001) * std::exp(-t / 0.02);
    audio.samples.push_back(
        float(fade * (0.6 * blip(t, 0, 660) + 0.7 * blip(t, 0.05, 990) + 0.5 * thock)));
  }
  Normalize(&audio, 0.6);
  return audio;
}

std::string WriteWav(const Audio& audio, const std::string& path) {
  uint32_t data_bytes = uint32_t(audio.samples.size() * 2);
  uint32_t channels = uint32_t(audio.channels);
  std::vector<uint8_t> out;
  auto put = [&out](uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(value >> (8 * i)));
  };
  auto tag = [&out](const char* text) { out.insert(out.end(), text, text + 4); };
  tag("RIFF");
  put(36 + data_bytes, 4);
  tag("WAVE");
  tag("fmt ");
  put(16, 4);
  put(1, 2);  // PCM
  put(channels, 2);
  put(kSampleRate, 4);
  put(kSampleRate * channels * 2, 4);
  put(channels * 2, 2);
  put(16, 2);
  tag("data");  // directly after the format chunk, where the game's loader expects it
  put(data_bytes, 4);
  for (float s : audio.samples) {
    long value = std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f);
    put(uint32_t(int16_t(value)), 2);
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return "cannot create " + path;
  bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
  if (std::fclose(file) != 0 || !written) return "cannot write " + path;
  return "";
}

std::string WriteOgg(const Audio& audio, const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return "cannot create " + path;
  bool written = true;
  auto write_page = [&](const ogg_page& page) {
    written = written && std::fwrite(page.header, 1, size_t(page.header_len), file) ==
                             size_t(page.header_len);
    written = written && std::fwrite(page.body, 1, size_t(page.body_len), file) ==
                             size_t(page.body_len);
  };
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, audio.channels, kSampleRate, 0.3f) != 0) {
    vorbis_info_clear(&info);
    std::fclose(file);
    return "the encoder refuses the format";
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_comment_add_tag(&comment, "TITLE", "Cratevale");
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, kOggSerial);
  ogg_packet header, header_comment, header_code;
  vorbis_analysis_headerout(&dsp, &comment, &header, &header_comment, &header_code);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &header_comment);
  ogg_stream_packetin(&stream, &header_code);
  ogg_page page;
  while (ogg_stream_flush(&stream, &page) != 0) write_page(page);

  const size_t kChunk = 1024;
  size_t frames = audio.frames(), done = 0;
  bool finished = false;
  while (!finished) {
    size_t count = std::min(kChunk, frames - done);
    if (count == 0) {
      vorbis_analysis_wrote(&dsp, 0);  // marks the end: the last page carries the exact length
    } else {
      float** buffer = vorbis_analysis_buffer(&dsp, int(count));
      for (size_t i = 0; i < count; ++i) {
        for (int c = 0; c < audio.channels; ++c) {
          buffer[c][i] = audio.samples[(done + i) * size_t(audio.channels) + size_t(c)];
        }
      }
      vorbis_analysis_wrote(&dsp, int(count));
      done += count;
    }
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet) == 1) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page) != 0) {
          write_page(page);
          if (ogg_page_eos(&page)) finished = true;
        }
      }
    }
    if (count == 0) finished = true;
  }
  while (ogg_stream_flush(&stream, &page) != 0) write_page(page);
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  if (std::fclose(file) != 0 || !written) return "cannot write " + path;
  return "";
}

}  // namespace music
