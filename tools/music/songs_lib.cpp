// The game's music and sound effects, composed for the synthesizer (see music.h).
//
// The menu piece is calm: 80 beats a minute in F major, a pad and a round bass under an
// electric-piano tune, then plucked arpeggios and soft percussion, then the tune again on a
// flute. The level piece is lively without pressing: 112 beats a minute in C major, a pumping
// bass, off-beat organ chords, a light drum kit and a bouncy pulse lead with two tunes.
#include <cstdio>
#include <cstdlib>

#include "tools/music/music.h"

namespace music {
namespace {

constexpr int kBeatsPerBar = 4;

// Appends a line of notes written in the compact form; the texts below are fixed, so a
// malformed one is a programming error.
void Line(Part* part, const std::string& text, int bar, double velocity = 1.0) {
  if (ParseNotes(text, bar * kBeatsPerBar, velocity, &part->notes) < 0) {
    std::fprintf(stderr, "music: malformed notes \"%s\"\n", text.c_str());
    std::abort();
  }
}

std::vector<int> Chord(const std::string& names) {
  std::vector<int> pitches;
  size_t i = 0;
  while (i < names.size()) {
    size_t end = names.find(' ', i);
    if (end == std::string::npos) end = names.size();
    if (end > i) pitches.push_back(PitchOfName(names.substr(i, end - i)));
    i = end + 1;
  }
  return pitches;
}

// A pattern of sixteenth notes for one bar: 'x' a full hit, 'o' a soft one, anything else rest.
void Pattern(Part* part, const std::string& steps, int first_bar, int last_bar, int pitch = 60) {
  for (int bar = first_bar; bar <= last_bar; ++bar) {
    for (size_t step = 0; step < steps.size(); ++step) {
      if (steps[step] != 'x' && steps[step] != 'o') continue;
      part->notes.push_back({bar * kBeatsPerBar + step * 0.25, 0.25, pitch,
                             steps[step] == 'x' ? 1.0 : 0.55});
    }
  }
}

// Notes of a chord at the given beats (relative to the bar), each `length` beats long.
void Stabs(Part* part, const std::vector<int>& chord, int bar, const std::vector<double>& beats,
           double length) {
  for (double beat : beats) {
    for (int pitch : chord) part->notes.push_back({bar * kBeatsPerBar + beat, length, pitch, 1.0});
  }
}

// Eighth-note arpeggio over a chord, an octave up: up, down and up again.
void Arpeggio(Part* part, const std::vector<int>& chord, int bar) {
  const int order[8] = {0, 1, 2, 3, 2, 1, 0, 1};
  for (int i = 0; i < 8; ++i) {
    int pitch = chord[size_t(order[i]) % chord.size()] + 12;
    part->notes.push_back({bar * kBeatsPerBar + i * 0.5, 0.5, pitch, i % 2 ? 0.7 : 1.0});
  }
}

}  // namespace

Song MenuSong() {
  const char* chords[8] = {"F3 A3 C4 E4",  "A3 C4 E4 G4", "Bb3 D4 F4 A4", "Bb3 C4 E4 G4",
                           "A3 C4 D4 F4",  "A3 C4 E4 G4", "Bb3 D4 F4 G4", "Bb3 C4 E4 G4"};
  const char* bass[8] = {"F2:3 C3:1", "A2:3 E3:1", "Bb2:3 F3:1", "C3:3 G2:1",
                         "D3:3 A2:1", "A2:3 E3:1", "G2:3 D3:1",  "C3:2 G2:1 C3:1"};
  const char* tune_a[8] = {"A4:1.5 C5:0.5 E5:1 C5:1", "E5:1.5 D5:0.5 C5:2",
                           "D5:1 C5:0.5 Bb4:0.5 A4:1 F4:1", "G4:3 r:1",
                           "F4:1 A4:1 D5:1.5 C5:0.5", "C5:1.5 A4:0.5 E4:2",
                           "F4:1 G4:1 Bb4:1 A4:0.5 G4:0.5", "G4:2 E4:1 r:1"};
  const char* tune_b[8] = {"C5:1 F5:1 E5:1 C5:1", "E5:2 G5:1 E5:1", "F5:1.5 D5:0.5 Bb4:2",
                           "C5:1 Bb4:0.5 A4:0.5 G4:2", "A4:1 D5:1 F5:1 E5:1", "E5:1 C5:1 A4:2",
                           "Bb4:1 D5:1 G5:1 F5:0.5 E5:0.5", "E5:3 r:1"};
  Part pad{Instrument::Pad, 0.16, 0.0, {}};
  Part low{Instrument::Bass, 0.22, 0.0, {}};
  Part keys{Instrument::ElectricPiano, 0.40, -0.2, {}};
  Part flute{Instrument::Flute, 0.34, 0.2, {}};
  Part arp{Instrument::Pluck, 0.35, 0.45, {}};
  Part kick{Instrument::Kick, 0.45, 0.0, {}};
  Part shaker{Instrument::Shaker, 0.5, -0.35, {}};
  Part rim{Instrument::Rim, 0.35, 0.3, {}};
  for (int bar = 0; bar < 24; ++bar) {
    int step = bar % 8;
    std::vector<int> chord = Chord(chords[step]);
    Stabs(&pad, chord, bar, {0}, 4);
    Line(&low, bass[step], bar);
    if (bar < 8) Line(&keys, tune_a[step], bar);
    if (bar >= 8 && bar < 16) Line(&keys, tune_b[step], bar, 0.9);
    if (bar >= 16) Line(&flute, tune_a[step], bar);
    if (bar >= 8) Arpeggio(&arp, chord, bar);
  }
  Pattern(&kick, "x.......o.......", 8, 23);
  Pattern(&shaker, "..o...x...o...x.", 8, 23);
  for (int bar = 9; bar < 24; bar += 2) Pattern(&rim, "............o...", bar, bar);
  Song song{80, 24 * kBeatsPerBar, {pad, low, keys, flute, arp, kick, shaker, rim}};
  song.echo_mix = 0.2;
  return song;
}

Song LevelSong() {
  const char* chords[8] = {"C4 E4 G4", "A3 C4 E4", "A3 C4 F4", "B3 D4 G4",
                           "C4 E4 G4", "B3 E4 G4", "A3 C4 F4", "B3 D4 G4"};
  const char* roots[8] = {"C2", "A1", "F1", "G1", "C2", "E2", "F1", "G1"};
  const char* tune_a[8] = {"E5:0.5 G5:0.5 C6:0.5 G5:0.5 E5:1 D5:0.5 C5:0.5",
                           "A4:0.5 C5:0.5 E5:1 D5:0.5 C5:0.5 A4:1",
                           "F4:0.5 A4:0.5 C5:0.5 F5:0.5 E5:1 C5:1",
                           "D5:1.5 B4:0.5 G4:1 r:1",
                           "E5:0.5 G5:0.5 C6:0.5 G5:0.5 E5:1 G5:1",
                           "B5:1 G5:0.5 E5:0.5 B4:1 E5:1",
                           "A5:1 G5:0.5 F5:0.5 E5:0.5 D5:0.5 C5:1",
                           "D5:2 r:2"};
  const char* tune_b[8] = {"C5:0.75 C5:0.75 D5:0.5 E5:1 G4:1",
                           "A4:0.75 A4:0.75 B4:0.5 C5:1 E4:1",
                           "F4:0.5 A4:0.5 C5:0.5 A4:0.5 F5:1 E5:1",
                           "D5:0.5 C5:0.5 B4:0.5 A4:0.5 G4:2",
                           "C5:0.75 C5:0.75 D5:0.5 E5:1 G4:1",
                           "B4:0.75 B4:0.75 C5:0.5 E5:1 G5:1",
                           "F4:0.5 A4:0.5 C5:0.5 A4:0.5 F5:1 E5:1",
                           "B4:0.5 C5:0.5 D5:0.5 F5:0.5 G5:2"};
  Part bass{Instrument::SawBass, 0.32, 0.0, {}};
  Part organ{Instrument::Organ, 0.22, -0.25, {}};
  Part lead{Instrument::Lead, 0.5, 0.1, {}};
  Part arp{Instrument::Pluck, 0.45, 0.45, {}};
  Part kick{Instrument::Kick, 0.75, 0.0, {}};
  Part snare{Instrument::Snare, 0.9, 0.05, {}};
  Part hats{Instrument::ClosedHat, 0.6, 0.3, {}};
  Part open{Instrument::OpenHat, 0.4, 0.3, {}};
  for (int bar = 0; bar < 32; ++bar) {
    int step = bar % 8;
    std::vector<int> chord = Chord(chords[step]);
    std::string r = roots[step];
    std::string up = r.substr(0, r.size() - 1) + char(r.back() + 1);
    Line(&bass, r + ":0.5 " + r + ":0.5 " + up + ":0.5 " + r + ":0.5 " + r + ":0.5 " + r +
                    ":0.5 " + up + ":0.5 " + r + ":0.5",
         bar, 0.9);
    Stabs(&organ, chord, bar, {0.5, 1.5, 2.5, 3.5}, 0.25);
    if (bar >= 8 && bar < 16) Line(&lead, tune_a[step], bar);
    if (bar >= 16 && bar < 24) Line(&lead, tune_b[step], bar);
    if (bar >= 24) {
      Line(&lead, tune_a[step], bar, 0.9);
      Arpeggio(&arp, chord, bar);
    }
  }
  Pattern(&kick, "x.......x.o.....", 0, 31);
  Pattern(&snare, "....x.......x...", 4, 31);
  Pattern(&hats, "o.x.o.x.o.x.o.x.", 0, 31);
  for (int bar = 3; bar < 32; bar += 4) Pattern(&open, "..............x.", bar, bar);
  return Song{112, 32 * kBeatsPerBar, {bass, organ, lead, arp, kick, snare, hats, open}};
}

}  // namespace music
