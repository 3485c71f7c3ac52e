// Fuzz target: loading a sound from memory (WAV reading, Ogg Vorbis decoding, conversion to the
// device format), then playing and freeing it while the mixer runs.
#include <cstdlib>

#include "runtime/media/ogg.h"
#include "runtime/media/sound.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  if (!sound_init()) std::abort();
  sound_decoder_register(ogg_vorbis_decoder());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const MemoryBlock block(data, data + size);
  if (sound_load_from_memory(0, block, static_cast<int64_t>(size)) != 0) {
    sound_play(0, kSoundLoop | kSoundNewChannel);
    sound_free(0);
  }
  return 0;
}
