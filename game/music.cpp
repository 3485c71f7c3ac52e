// The game's music and sound effects on the sound service.
#include "game/music.h"

#include "game/core/game.h"
#include "game/presentation.h"
#include "runtime/media/sound.h"

void PlayMusic(int music) { Loop.MusicChannel = sound_play(music, kSoundLoop | kSoundNewChannel); }

void StopMusic(int music) { sound_stop(music, static_cast<int>(Loop.MusicChannel)); }

void SwitchMusic(int from, int to) {
  if (!Settings.MusicOn) return;
  StopMusic(from);
  PlayMusic(to);
}

void PlayEffect(int sound) { sound_play(sound, kSoundNewChannel); }
