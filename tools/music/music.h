// The music tool: a small synthesizer and sequencer that composes the game's two looping music
// tracks and its two sound effects in code, and writes them as Ogg Vorbis and 16-bit WAV.
//
// A song is a list of parts (one instrument each) holding notes written in a compact text form;
// rendering places every note into a circular buffer exactly one loop long, so the tails of the
// last notes ring on into the first samples and the loop has neither a gap nor a click.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace music {

inline constexpr int kSampleRate = 44100;

enum class Instrument {
  ElectricPiano,  // soft bell-like keys
  Flute,          // breathy sine with vibrato
  Pad,            // detuned, filtered saw chords with slow attack
  Pluck,          // plucked string (Karplus-Strong)
  Bass,           // round sine bass
  SawBass,        // filtered saw bass with a short pluck
  Lead,           // bright pulse lead
  Organ,          // short organ chord stabs
  Kick,
  Snare,
  ClosedHat,
  OpenHat,
  Shaker,
  Rim,
};

struct Note {
  double beat;      // start, in beats from the start of the song
  double length;    // in beats
  int pitch;        // MIDI note number (60 is middle C); drums ignore it
  double velocity;  // 0..1
};

struct Part {
  Instrument instrument;
  double volume;
  double pan;  // -1 left .. 1 right
  std::vector<Note> notes;
};

struct Song {
  double tempo;  // beats per minute
  int beats;     // length of the loop in beats
  std::vector<Part> parts;
  double echo_mix = 0;  // 0 = no echo; the echo repeats after 3/4 of a beat
};

// Stereo samples, interleaved left/right, in -1..1.
struct Audio {
  int channels = 2;
  std::vector<float> samples;
  size_t frames() const { return samples.size() / size_t(channels); }
};

// Parses a note line such as "A4:1.5 C5:0.5 r:1 Bb3:2" (pitch name and octave, or "r" for a
// rest, then the length in beats) into notes starting at beat `start`. Returns the beat after
// the last note, or -1 when the text is malformed.
double ParseNotes(const std::string& text, double start, double velocity, std::vector<Note>* out);
// "C4" gives 60, "F#3" 54, "Bb2" 46; -1 for a malformed name.
int PitchOfName(const std::string& name);

// Renders the whole song as one loop: frames = beats x 60 / tempo x sample rate.
Audio RenderSong(const Song& song);
// Scales the audio so that its largest sample is `peak` (in 0..1).
void Normalize(Audio* audio, double peak);

// The game's pieces.
Song MenuSong();   // calm, for the menus
Song LevelSong();  // lively, for playing
Audio RolloverSound();  // a soft tick when the selection moves
Audio ClickSound();     // a short confirming click

// Writers. Both produce the same bytes for the same audio. Empty text on success, else why not.
std::string WriteOgg(const Audio& audio, const std::string& path);
std::string WriteWav(const Audio& audio, const std::string& path);  // 16-bit PCM

}  // namespace music
