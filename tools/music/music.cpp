// Writes the game's music and sound effects into a folder: music <folder>.
// music1.ogg (menus) and music2.ogg (levels) loop seamlessly; rollover3.wav and click3.wav are
// 16-bit PCM.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/music/music.h"

namespace {

// Loudest sample of the music: headroom below full scale for the encoder's small overshoots.
constexpr double kMusicPeak = 0.8;
// The game reads every sound whole into a buffer of this many bytes.
constexpr std::uintmax_t kSoundLimit = 15728640;

// Empty when the written file fits the game's sound buffer, else why not.
std::string CheckSize(const std::string& path) {
  std::error_code error;
  std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) return "cannot measure " + path;
  if (size > kSoundLimit) {
    return path + " is " + std::to_string(size) + " bytes, its limit " + std::to_string(kSoundLimit);
  }
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: music <folder>\n");
    return 2;
  }
  std::string folder = argv[1];
  struct Track {
    const char* name;
    music::Song (*compose)();
  };
  const Track tracks[] = {{"music1.ogg", music::MenuSong}, {"music2.ogg", music::LevelSong}};
  std::string error;
  for (const Track& track : tracks) {
    music::Audio audio = music::RenderSong(track.compose());
    music::Normalize(&audio, kMusicPeak);
    if (error.empty()) error = music::WriteOgg(audio, folder + "/" + track.name);
  }
  if (error.empty()) error = music::WriteWav(music::RolloverSound(), folder + "/rollover3.wav");
  if (error.empty()) error = music::WriteWav(music::ClickSound(), folder + "/click3.wav");
  for (const char* name : {"music1.ogg", "music2.ogg", "rollover3.wav", "click3.wav"}) {
    if (error.empty()) error = CheckSize(folder + "/" + name);
  }
  if (!error.empty()) {
    std::fprintf(stderr, "music: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
