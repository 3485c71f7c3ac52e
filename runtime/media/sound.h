// The sound service: music and sound effects played through the SDL audio device. Sounds are
// loaded from memory blocks (WAV as it is, compressed formats through registered decoders),
// converted once to the device's format, and mixed on 32 channels by a callback on SDL's audio
// thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/runtime.h"

// Play flags.
constexpr int kSoundLoop = 1;        // restart at the end, without a gap
constexpr int kSoundNewChannel = 2;  // keep this sound's other channels playing

// Flag of sound_load_in_background: the decoding stops after the first samples until
// sound_release_loads, or until the samples are wanted.
constexpr int kSoundLoadHeld = 1;
// The mixer's channels. The numbers the game sees start at kSoundFirstChannel.
constexpr int kSoundChannelCount = 32;
constexpr int kSoundFirstChannel = 2;
// sound_status results.
constexpr int kSoundStopped = 0;
constexpr int kSoundPlaying = 1;
constexpr int kSoundPaused = 2;
constexpr int kSoundMissing = 3;

// A decoder of compressed sound data. Every decoder hands out 16-bit signed little-endian samples.
struct SoundDecoder {
  // An open stream over the bytes (which must outlive it), or nullptr when they are not this
  // decoder's format.
  void* (*open_memory)(const uint8_t* data, size_t size);
  // Up to `bytes` bytes of samples: the count read, 0 at the end, negative for a damaged stretch
  // that was passed over. Flag bit 0 rewinds at the end instead of stopping.
  long (*read)(void* stream, uint8_t* buffer, long bytes, int flags);
  int (*rewind)(void* stream);         // 1 on success
  int (*channels)(void* stream);       // channel count
  int64_t (*total_frames)(void* stream);  // sample frames in the stream, or a negative value
  int (*rate)(void* stream);           // samples per second
  void (*close)(void* stream);
};

// Opens the audio device (44100 Hz, 16-bit stereo, 512-frame buffer, or what the device grants)
// and starts the mixer. Non-zero when the device is open, also on later calls; 0 on failure.
int sound_init();
// Frees every sound. The device stays open until the process ends.
void sound_shutdown();
// Adds a decoder to those tried, in order, on data that is not a WAV. Adding one twice does nothing.
void sound_decoder_register(const SoundDecoder* decoder);

// Loads a WAV or a decodable sound from the first `size` bytes of `block` under `number` (or a
// new handle with kNewObject), replacing the sound that held the number. Returns the sound's
// handle, or 0 when the data cannot be read or converted (an old sound under the number stays).
int64_t sound_load_from_memory(int64_t number, const MemoryBlock& block, int64_t size);
// As sound_load_from_memory, but a compressed sound is decoded and converted on a thread of its
// own, taking the block over, so that several sounds decode side by side and alongside the
// caller. The samples are the same as sound_load_from_memory's. Every call that reads the sound's
// samples (playing it, its length) waits for them; sound_finish_loading waits too and tells
// whether they came.
// With the service open, the call returns once the data is known to open with a decoder and to
// convert to the device format (0 when not: an old sound under the number stays); WAV data is
// loaded at once. Before sound_init, WAV data too goes to a thread, and the call returns at once:
// the thread opens and decodes the data and waits for the device only to convert it, and
// sound_check_loading tells, once the service is open, whether the data opened.
// With kSoundLoadHeld the decoding stops after the first samples, leaving the processor to the
// caller, until sound_release_loads or a call that wants the samples.
int64_t sound_load_in_background(int64_t number, MemoryBlock block, int64_t size, int flags = 0);
// Lets every held background load go on decoding.
void sound_release_loads();
// Waits until a background load knows whether its data opens: 1 when it opened (with a decoder
// that gave its first samples, or as a WAV) and its format converts to the device's, so that only
// memory can still make it fail; 0 when not (the sound is then freed), when the sound does
// not exist or while the service is closed. 1 at once for a sound loaded otherwise.
int sound_check_loading(int64_t sound);
// Waits for the sound's background load: 1 when its samples are ready (at once for a sound loaded
// otherwise), 0 when the sound does not exist or its decoding failed (its number is then empty).
// While the service is closed, 0 for a load still waiting for the device, which goes on waiting.
int sound_finish_loading(int64_t sound);
// Stops and frees one sound, or every sound with kAllObjects; a background load of it is given
// up without waiting for its decoding to end.
void sound_free(int64_t sound);

// Starts a sound: without kSoundNewChannel its other channels stop first. `volume` 0..100, or -1
// for the sound's own. Returns the channel number with kSoundNewChannel, else 1; 0 when the
// service is closed, the sound does not exist or all channels are busy.
int sound_play(int64_t sound, int flags, int volume = -1);

// Channel arguments below: a channel number (>= kSoundFirstChannel) names that channel when it
// plays this sound; 0 names the first channel that plays this sound; -1 every channel that does.
// Sound -1 stands for every sound: with channel 0 or -1 it names every channel.
void sound_stop(int64_t sound, int channel);
// Pausing and resuming touch only channels that have not finished.
void sound_pause(int64_t sound, int channel);
void sound_resume(int64_t sound, int channel);
// kSoundStopped (also for a finished channel), kSoundPlaying, kSoundPaused, or kSoundMissing when
// the sound does not exist. With channel -1: playing if any channel plays, else paused if any is.
int sound_status(int64_t sound, int channel);
// Sets the volume (clamped to 0..100) of the named channels; with channel 0 also the sound's own
// volume, used by later plays.
void sound_volume(int64_t sound, int volume, int channel);

// The granted device format (0 while closed): samples per second, SDL sample format, channels.
int sound_device_frequency();
int sound_device_format();
int sound_device_channels();
// Bytes of data of a loaded sound (in the device format), 0 when it does not exist.
int64_t sound_length(int64_t sound);
// The samples of a loaded sound (sound_length bytes in the device format), null when it does not exist.
const uint8_t* sound_samples(int64_t sound);
