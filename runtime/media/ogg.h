// The Ogg Vorbis decoder of the sound service, reading from memory through libvorbisfile.
#pragma once

#include "runtime/media/sound.h"

// The decoder to hand to sound_decoder_register.
const SoundDecoder* ogg_vorbis_decoder();
