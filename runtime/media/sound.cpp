// The sound service: loading, converting and mixing sounds on the SDL audio device.
//
// Depends on SDL 1.2's audio (device, conversion, mixing), the WAV reader and the registered
// decoders. All decoding and conversion happens at load time; the mixing callback only adds
// prepared samples, so it never allocates. Samples are held in memory blocks, so memory that
// cannot be had makes a load fail instead of throwing.
//
// Threads: the callback runs on SDL's audio thread and shares the channel table with the game
// thread without a lock. Each channel's progress is one atomic word holding a start count and the
// bytes left to mix. The game fills a free channel's fields and stores the word last (release);
// the mixer loads the word (acquire), reads the fields, and checks the word again before mixing,
// so it only mixes a channel that was completely set up and not touched since. The mixer moves a
// channel on with a compare-and-swap, so a stop the game made meanwhile is never overwritten. The
// position to mix from follows from the bytes left (data + length - left). Freeing a sound's data
// waits for a callback in progress to end, so the mixer never reads freed samples.
//
// A sound loaded in the background is decoded and converted on a thread of its own, into a job
// record that only that thread touches until the game thread joins it; the sound's samples are
// taken from the job then, before anything reads them. Such a load may start before the device
// is open: its thread opens and decodes the data at once and waits for the device's format only
// to convert. A held load stops after its first samples until it is released. One lock guards
// what the threads and the game thread share besides that: whether the device is open (its format
// is not written again once it is), each job's verdict on opening its data, whether it is held,
// and its cancellation.
#include "runtime/media/sound.h"

#include <SDL/SDL.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "runtime/runtime.h"

#include "runtime/media/wav.h"

namespace {

// ---- Constants -------------------------------------------------------------------------------

constexpr int kDeviceFrequency = 44100;
constexpr int kDeviceChannels = 2;
constexpr int kDeviceBufferFrames = 512;
constexpr int kMaxVolume = 100;
constexpr int kStatePlaying = 1;
constexpr int kStatePaused = 2;
// Rates and channel counts SDL's converter handles with room to spare in its filter list.
constexpr int kMinRate = 4000;
constexpr int kMaxRate = 192000;
constexpr int kMaxSourceChannels = 2;
// No sound of the game comes near this; larger ones are refused rather than attempted.
constexpr size_t kMaxSoundBytes = size_t{1} << 29;
// A decoder is read in pieces of this size; after this many errors in a row the load ends.
constexpr long kDecodeChunk = 4096;
constexpr int kMaxDecoderErrors = 64;
// SDL's converter is given a little more room than it asks for.
constexpr size_t kConversionSlack = 64;

// ---- Types -----------------------------------------------------------------------------------

// A channel's progress word: the start count in the high half, the bytes left in the low half.
constexpr uint64_t PlayWord(uint32_t starts, uint32_t left) { return (uint64_t{starts} << 32) | left; }
constexpr uint32_t StartsOf(uint64_t word) { return static_cast<uint32_t>(word >> 32); }
constexpr uint32_t LeftOf(uint64_t word) { return static_cast<uint32_t>(word); }

struct Channel {
  std::atomic<uint64_t> play{0};  // written last by the game; 0 bytes left = free or finished
  std::atomic<const uint8_t*> data{nullptr};
  std::atomic<uint32_t> length{0};
  std::atomic<int64_t> sound{0};  // handle of the sound last started here
  std::atomic<int> volume{kMaxVolume};
  std::atomic<int> state{0};
  std::atomic<int> flags{0};
};

// What a job found on opening its data. Written by the job's thread under the service's lock.
enum class Opening { Unknown, Failed, Opened };

// A decoding under way on a thread of its own.
struct LoadJob {
  MemoryBlock source;  // the compressed bytes
  size_t bytes = 0;    // how many of them to decode
  std::vector<const SoundDecoder*> decoders;  // those registered when the load started
  MemoryBlock samples;  // the result in the device format, empty on failure
  // Under the service's lock: the verdict on opening the data and the format found, whether the
  // decoding waits after its first samples, and whether the load is given up (read without the
  // lock while decoding).
  Opening opening = Opening::Unknown;
  bool held = false;
  uint16_t format = 0;
  int channels = 0;
  int rate = 0;
  std::atomic<bool> cancelled{false};
  std::thread thread;
  ~LoadJob();
};

struct Sound {
  MemoryBlock data;  // in the device format
  std::unique_ptr<LoadJob> job;  // while decoding in the background
  uint32_t length = 0;
  int volume = kMaxVolume;
  int frequency = 0;
  int bits = 0;
  int channels = 0;
  void* decoder = nullptr;  // streamed playback is not used: always none
  int64_t handle = 0;
  ~Sound();
};

// Samples in some format, before conversion.
struct Pcm {
  const uint8_t* samples = nullptr;
  size_t bytes = 0;
  uint16_t format = 0;
  int channels = 0;
  int rate = 0;
};

// ---- State -----------------------------------------------------------------------------------

struct SoundService {
  bool open = false;
  SDL_AudioSpec device{};
  // Shared with the background loads: the lock, the device opening (under it), and the signal
  // of a change to either or to a job's verdict.
  std::mutex loading_lock;
  bool device_ready = false;
  std::condition_variable loading_changed;
  ObjectTable<Sound> sounds;
  std::vector<const SoundDecoder*> decoders;
};

// Outside the service record and made before it, so that it outlives every sound at process exit:
// the audio thread may still run then.
Channel Channels[kSoundChannelCount];
SoundService Service;

// ---- Channels --------------------------------------------------------------------------------

uint32_t LeftOn(const Channel& channel) { return LeftOf(channel.play.load(std::memory_order_acquire)); }

// Clears the bytes left, keeping the start count; the mixer's pending update then fails.
void StopChannel(Channel& channel) {
  uint64_t word = channel.play.load(std::memory_order_relaxed);
  while (LeftOf(word) != 0 &&
         !channel.play.compare_exchange_weak(word, PlayWord(StartsOf(word), 0), std::memory_order_acq_rel)) {
  }
}

// Channel index for a channel number, or -1.
int IndexOfNumber(int channel) {
  const int index = channel - kSoundFirstChannel;
  return index >= 0 && index < kSoundChannelCount ? index : -1;
}

// Calls f(channel) for every channel named by (handle, channel argument); handle 0 stands for
// every sound, and then channel 0 names every channel as -1 does.
template <typename F>
void ForNamedChannels(int64_t handle, int channel, F&& f) {
  auto plays = [handle](const Channel& c) {
    return handle == 0 || c.sound.load(std::memory_order_relaxed) == handle;
  };
  if (channel >= kSoundFirstChannel) {
    const int index = IndexOfNumber(channel);
    if (index >= 0 && plays(Channels[index])) f(Channels[index]);
    return;
  }
  if (channel != 0 && channel != -1) return;
  for (Channel& c : Channels) {
    if (!plays(c)) continue;
    f(c);
    if (channel == 0 && handle != 0) return;
  }
}

void StopSound(int64_t handle) { ForNamedChannels(handle, -1, StopChannel); }

LoadJob::~LoadJob() {
  {
    std::lock_guard<std::mutex> lock(Service.loading_lock);
    cancelled.store(true, std::memory_order_relaxed);
  }
  Service.loading_changed.notify_all();
  if (thread.joinable()) thread.join();
}

Sound::~Sound() {
  if (handle == 0) return;
  StopSound(handle);
  // A callback in progress may still be reading these samples: wait for it to end.
  SDL_LockAudio();
  SDL_UnlockAudio();
}

// ---- Mixing ----------------------------------------------------------------------------------

void MixChannel(Channel& channel, Uint8* stream, uint32_t stream_bytes) {
  const uint64_t word = channel.play.load(std::memory_order_acquire);
  uint32_t left = LeftOf(word);
  if (left == 0) return;
  const uint8_t* data = channel.data.load(std::memory_order_relaxed);
  const uint32_t length = channel.length.load(std::memory_order_relaxed);
  const bool loops = channel.flags.load(std::memory_order_relaxed) & kSoundLoop;
  const int state = channel.state.load(std::memory_order_relaxed);
  const int volume = channel.volume.load(std::memory_order_relaxed);
  // Mix only what was set up before `word` was stored, and only if nothing changed since.
  std::atomic_thread_fence(std::memory_order_acquire);
  if (channel.play.load(std::memory_order_relaxed) != word) return;
  if (state == kStatePaused || !data || left > length) return;

  const int sdl_volume = volume * SDL_MIX_MAXVOLUME / kMaxVolume;
  uint32_t done = 0;
  while (done < stream_bytes && left > 0) {
    const uint32_t n = std::min(stream_bytes - done, left);
    SDL_MixAudio(stream + done, data + (length - left), n, sdl_volume);
    done += n;
    left -= n;
    // A short looping sound wraps as often as the buffer needs.
    if (left == 0 && loops) left = length;
  }
  uint64_t expected = word;
  channel.play.compare_exchange_strong(expected, PlayWord(StartsOf(word), left), std::memory_order_acq_rel);
}

void MixCallback(void*, Uint8* stream, int bytes) {
  if (bytes <= 0) return;
  for (Channel& channel : Channels) MixChannel(channel, stream, static_cast<uint32_t>(bytes));
}

// ---- Loading ---------------------------------------------------------------------------------

int DeviceFrameBytes() { return Service.device.channels * ((Service.device.format & 0xFF) / 8); }

// The samples converted to the device format, or an empty block (also when its memory cannot be had).
// `holder`, when given, is the block holding the samples: when they are in the device format
// already, it is taken over instead of copied.
MemoryBlock ConvertToDevice(const Pcm& pcm, MemoryBlock* holder = nullptr) {
  if (pcm.rate < kMinRate || pcm.rate > kMaxRate) return {};
  if (pcm.channels < 1 || pcm.channels > kMaxSourceChannels) return {};
  if (pcm.bytes == 0 || pcm.bytes > kMaxSoundBytes) return {};
  SDL_AudioCVT cvt;
  if (SDL_BuildAudioCVT(&cvt, pcm.format, static_cast<Uint8>(pcm.channels), pcm.rate, Service.device.format,
                        Service.device.channels, Service.device.freq) < 0) {
    return {};
  }
  if (!cvt.needed && holder && holder->data() == pcm.samples && holder->size() >= pcm.bytes) {
    // The same bytes a copy would keep: whole frames of the samples.
    const size_t frame = static_cast<size_t>(std::max(DeviceFrameBytes(), 1));
    MemoryBlock samples = std::move(*holder);
    samples.resize(pcm.bytes - pcm.bytes % frame);
    return samples;
  }
  const size_t room = pcm.bytes * static_cast<size_t>(std::max(cvt.len_mult, 1)) + kConversionSlack;
  if (room > kMaxSoundBytes * 2) return {};
  MemoryBlock buffer = memory_allocate(static_cast<int64_t>(room));
  if (buffer.empty()) return {};
  std::memcpy(buffer.data(), pcm.samples, pcm.bytes);
  size_t converted = pcm.bytes;
  if (cvt.needed) {
    cvt.buf = buffer.data();
    cvt.len = static_cast<int>(pcm.bytes);
    if (SDL_ConvertAudio(&cvt) < 0) return {};
    converted = static_cast<size_t>(static_cast<double>(pcm.bytes) * cvt.len_ratio);
  }
  const size_t frame = static_cast<size_t>(std::max(DeviceFrameBytes(), 1));
  converted = std::min(converted, buffer.size() - kConversionSlack);
  converted -= converted % frame;
  if (converted == 0 || converted > kMaxSoundBytes) return {};
  buffer.resize(converted);
  buffer.shrink_to_fit();
  return buffer;
}

// Hands a job's verdict on opening its data to the game thread.
void TellOpening(LoadJob* job, Opening opening, uint16_t format, int channels, int rate) {
  {
    std::lock_guard<std::mutex> lock(Service.loading_lock);
    job->opening = opening;
    job->format = format;
    job->channels = channels;
    job->rate = rate;
  }
  Service.loading_changed.notify_all();
}

// A background load's data opened and gave its first samples: the verdict goes to the game
// thread, and a held load waits until it is released or given up.
void FirstSamplesDecoded(LoadJob* job, const Pcm& pcm) {
  TellOpening(job, Opening::Opened, pcm.format, pcm.channels, pcm.rate);
  std::unique_lock<std::mutex> lock(Service.loading_lock);
  Service.loading_changed.wait(lock, [job] { return !job->held || job->cancelled.load(std::memory_order_relaxed); });
}

// Decodes the whole of an open stream into `decoded` and closes it. False when it holds no
// samples, their memory cannot be had or the job (if any) is given up meanwhile; a job hears of
// the first samples as they come.
bool DecodeStream(const SoundDecoder* decoder, void* stream, MemoryBlock* decoded, Pcm* pcm, LoadJob* job) {
  pcm->channels = decoder->channels(stream);
  pcm->rate = decoder->rate(stream);
  pcm->format = AUDIO_S16LSB;
  const int64_t frames = decoder->total_frames(stream);
  const size_t frame_bytes = static_cast<size_t>(std::max(pcm->channels, 1)) * 2;
  size_t wanted = kMaxSoundBytes;
  if (frames > 0 && static_cast<uint64_t>(frames) < kMaxSoundBytes / frame_bytes) wanted = frames * frame_bytes;
  // Grown as samples arrive, so a stream that claims more than it holds costs nothing.
  uint8_t piece[kDecodeChunk];
  int errors = 0;
  bool room = true;
  while (room && decoded->size() < wanted && errors < kMaxDecoderErrors) {
    if (job && job->cancelled.load(std::memory_order_relaxed)) {
      room = false;
      break;
    }
    const long want = static_cast<long>(std::min<size_t>(kDecodeChunk, wanted - decoded->size()));
    const long got = decoder->read(stream, piece, want, 0);
    if (got == 0) break;
    if (got < 0) {
      ++errors;  // a hole in the data: pass over it
      continue;
    }
    errors = 0;
    const bool first = decoded->empty();
    room = memory_append(*decoded, piece, static_cast<size_t>(std::min(got, want)));
    if (room && first && job) FirstSamplesDecoded(job, *pcm);
  }
  decoder->close(stream);
  if (!room) return false;
  decoded->resize(decoded->size() - decoded->size() % frame_bytes);
  pcm->samples = decoded->data();
  pcm->bytes = decoded->size();
  return pcm->bytes > 0;
}

// The first of the decoders that opens the data, with its stream; nullptr when none does.
const SoundDecoder* OpenWithDecoders(const std::vector<const SoundDecoder*>& decoders, const uint8_t* data,
                                     size_t size, void** stream) {
  for (const SoundDecoder* decoder : decoders) {
    *stream = decoder->open_memory(data, size);
    if (*stream) return decoder;
  }
  return nullptr;
}

// Decodes the whole stream with the first decoder that opens it; `decoded` receives the samples.
// False when no decoder opens it, it holds no samples or their memory cannot be had.
bool DecodeWithRegistry(const uint8_t* data, size_t size, MemoryBlock* decoded, Pcm* pcm) {
  void* stream = nullptr;
  const SoundDecoder* decoder = OpenWithDecoders(Service.decoders, data, size, &stream);
  return decoder && DecodeStream(decoder, stream, decoded, pcm, nullptr);
}

// Decodes and converts a compressed sound; an empty block when it cannot be.
MemoryBlock DecodeToDevice(const uint8_t* data, size_t bytes) {
  Pcm pcm;
  MemoryBlock decoded;
  if (!DecodeWithRegistry(data, bytes, &decoded, &pcm)) return {};
  return ConvertToDevice(pcm, &decoded);
}

// True when SDL converts samples of this rate and channel count to the device format (which
// must be known) and both lie in the range the service takes.
bool Convertible(uint16_t format, int channels, int rate) {
  SDL_AudioCVT cvt;
  return rate >= kMinRate && rate <= kMaxRate && channels >= 1 && channels <= kMaxSourceChannels &&
         SDL_BuildAudioCVT(&cvt, format, static_cast<Uint8>(channels), rate, Service.device.format,
                           Service.device.channels, Service.device.freq) >= 0;
}

// True when a registered decoder opens the data and its samples could be converted to the device
// format: what can still fail after that is memory, or a stream without a single sample.
bool Decodable(const uint8_t* data, size_t size) {
  void* stream = nullptr;
  const SoundDecoder* decoder = OpenWithDecoders(Service.decoders, data, size, &stream);
  if (!decoder) return false;
  const int channels = decoder->channels(stream), rate = decoder->rate(stream);
  decoder->close(stream);
  return Convertible(AUDIO_S16LSB, channels, rate);
}

// The work of a background load, on its own thread: opens the data (a WAV, or with the first
// decoder that opens it and gives samples) and tells what it found, decodes it (a held load
// pausing after its first samples until released), waits for the device to be open
// and converts the samples to its format, the same samples as sound_load_from_memory's.
void RunLoadJob(LoadJob* job) {
  const uint8_t* data = job->source.data();
  const size_t bytes = job->bytes;
  Pcm pcm;
  MemoryBlock decoded;
  bool read = false;
  if (wav_is_riff(data, bytes)) {
    WavSamples wav;
    read = wav_parse(data, bytes, &wav) != 0;
    if (read) pcm = Pcm{wav.samples, wav.bytes, wav.format, wav.channels, wav.rate};
    TellOpening(job, read ? Opening::Opened : Opening::Failed, pcm.format, pcm.channels, pcm.rate);
  } else {
    void* stream = nullptr;
    const SoundDecoder* decoder = OpenWithDecoders(job->decoders, data, bytes, &stream);
    // The data counts as opened once it gave its first samples.
    read = decoder && DecodeStream(decoder, stream, &decoded, &pcm, job);
    bool told = false;
    {
      std::lock_guard<std::mutex> lock(Service.loading_lock);
      told = job->opening != Opening::Unknown;
    }
    if (!told) TellOpening(job, Opening::Failed, 0, 0, 0);
  }
  if (read) {
    std::unique_lock<std::mutex> lock(Service.loading_lock);
    Service.loading_changed.wait(
        lock, [job] { return Service.device_ready || job->cancelled.load(std::memory_order_relaxed); });
    read = !job->cancelled.load(std::memory_order_relaxed);
  }
  if (read) job->samples = ConvertToDevice(pcm, &decoded);
  job->source = MemoryBlock();
}

// A new sound under `number` holding the samples, its handle or 0.
int64_t StoreSound(int64_t number, MemoryBlock samples, std::unique_ptr<LoadJob> job) {
  int64_t handle = 0;
  Sound* sound = Service.sounds.Create(number, &handle);
  if (!sound) return 0;
  sound->length = static_cast<uint32_t>(samples.size());
  sound->data = std::move(samples);
  sound->job = std::move(job);
  sound->frequency = Service.device.freq;
  sound->bits = Service.device.format & 0xFF;
  sound->channels = Service.device.channels;
  sound->handle = handle;
  return handle;
}

// Lets a held load go on decoding.
void Release(LoadJob& job) {
  {
    std::lock_guard<std::mutex> lock(Service.loading_lock);
    job.held = false;
  }
  Service.loading_changed.notify_all();
}

// Waits for a sound's background decoding and takes its samples. False when it failed (the
// sound is then freed) or, leaving the load as it is, while the device is not open.
bool Settle(int64_t handle) {
  Sound* sound = Service.sounds.Find(handle);
  if (!sound) return false;
  if (!sound->job) return true;
  if (!Service.open) return false;
  Release(*sound->job);
  if (sound->job->thread.joinable()) sound->job->thread.join();
  MemoryBlock samples = std::move(sound->job->samples);
  sound->job.reset();
  if (samples.empty()) {
    Service.sounds.Free(handle);
    return false;
  }
  sound->length = static_cast<uint32_t>(samples.size());
  sound->data = std::move(samples);
  sound->frequency = Service.device.freq;
  sound->bits = Service.device.format & 0xFF;
  sound->channels = Service.device.channels;
  return true;
}

}  // namespace

// ---- Public functions ------------------------------------------------------------------------

int sound_init() {
  if (Service.open) return 1;
  // SDL's crash-signal handlers would hide a crash's cause from the debugger and the sanitizers.
  if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_NOPARACHUTE) < 0) return 0;
  SDL_AudioSpec wanted{};
  wanted.freq = kDeviceFrequency;
  wanted.format = AUDIO_S16LSB;
  wanted.channels = kDeviceChannels;
  wanted.samples = kDeviceBufferFrames;
  wanted.callback = MixCallback;
  if (SDL_OpenAudio(&wanted, &Service.device) < 0) return 0;
  Service.open = true;
  {
    std::lock_guard<std::mutex> lock(Service.loading_lock);
    Service.device_ready = true;
  }
  Service.loading_changed.notify_all();
  SDL_PauseAudio(0);
  return 1;
}

void sound_shutdown() { Service.sounds.Free(kAllObjects); }

void sound_decoder_register(const SoundDecoder* decoder) {
  if (!decoder) return;
  if (std::find(Service.decoders.begin(), Service.decoders.end(), decoder) != Service.decoders.end()) return;
  Service.decoders.push_back(decoder);
}

int64_t sound_load_from_memory(int64_t number, const MemoryBlock& block, int64_t size) {
  if (!Service.open || size <= 0) return 0;
  const uint8_t* data = block.data();
  const size_t bytes = std::min(static_cast<size_t>(size), block.size());
  MemoryBlock converted;
  if (wav_is_riff(data, bytes)) {
    WavSamples wav;
    if (!wav_parse(data, bytes, &wav)) return 0;
    converted = ConvertToDevice(Pcm{wav.samples, wav.bytes, wav.format, wav.channels, wav.rate});
  } else {
    converted = DecodeToDevice(data, bytes);
  }
  if (converted.empty()) return 0;
  return StoreSound(number, std::move(converted), nullptr);
}

int64_t sound_load_in_background(int64_t number, MemoryBlock block, int64_t size, int flags) {
  if (size <= 0) return 0;
  const size_t bytes = std::min(static_cast<size_t>(size), block.size());
  if (Service.open && (wav_is_riff(block.data(), bytes) || !Decodable(block.data(), bytes))) {
    return sound_load_from_memory(number, block, size);
  }
  auto job = std::make_unique<LoadJob>();
  job->source = std::move(block);
  job->bytes = bytes;
  job->decoders = Service.decoders;
  job->held = (flags & kSoundLoadHeld) != 0;
  LoadJob* work = job.get();
  try {
    work->thread = std::thread(RunLoadJob, work);
  } catch (const std::system_error&) {
    // No thread to be had: decoded here and now, once the samples can be converted.
    if (!Service.open) return 0;
    work->held = false;
    RunLoadJob(work);
  }
  return StoreSound(number, MemoryBlock(), std::move(job));
}

int sound_check_loading(int64_t sound) {
  const int64_t handle = Service.sounds.HandleOf(sound);
  Sound* found = Service.sounds.Find(handle);
  if (!found || !Service.open) return 0;
  if (!found->job) return 1;
  LoadJob& job = *found->job;
  Opening opening;
  {
    std::unique_lock<std::mutex> lock(Service.loading_lock);
    Service.loading_changed.wait(lock, [&job] { return job.opening != Opening::Unknown; });
    opening = job.opening;
  }
  if (opening == Opening::Opened && Convertible(job.format, job.channels, job.rate)) return 1;
  Service.sounds.Free(handle);
  return 0;
}

void sound_release_loads() {
  Service.sounds.ForEach([](int64_t, Sound& sound) {
    if (sound.job) Release(*sound.job);
  });
}

int sound_finish_loading(int64_t sound) {
  const int64_t handle = Service.sounds.HandleOf(sound);
  return handle != 0 && Settle(handle) ? 1 : 0;
}

void sound_free(int64_t sound) {
  Service.sounds.Free(sound);
}

int sound_play(int64_t sound_number, int flags, int volume) {
  if (!Service.open) return 0;
  const int64_t handle = Service.sounds.HandleOf(sound_number);
  if (handle == 0 || !Settle(handle)) return 0;
  Sound* sound = Service.sounds.Find(handle);
  if (!sound || sound->length == 0) return 0;
  if (!(flags & kSoundNewChannel)) StopSound(handle);

  int index = 0;
  while (index < kSoundChannelCount && LeftOn(Channels[index]) != 0) ++index;
  if (index == kSoundChannelCount) return 0;  // every channel busy: nothing is cut off

  Channel& channel = Channels[index];
  const uint64_t word = channel.play.load(std::memory_order_relaxed);
  // The mixer may hold an older view of this channel; it notices the fields changing.
  std::atomic_thread_fence(std::memory_order_release);
  channel.sound.store(handle, std::memory_order_relaxed);
  channel.data.store(sound->data.data(), std::memory_order_relaxed);
  channel.length.store(sound->length, std::memory_order_relaxed);
  channel.volume.store(sound->volume, std::memory_order_relaxed);
  channel.flags.store(flags, std::memory_order_relaxed);
  channel.state.store(kStatePlaying, std::memory_order_relaxed);
  channel.play.store(PlayWord(StartsOf(word) + 1, sound->length), std::memory_order_release);

  const int number = index + kSoundFirstChannel;
  if (volume != -1) sound_volume(handle, volume, (flags & kSoundNewChannel) ? number : -1);
  return (flags & kSoundNewChannel) ? number : 1;
}

void sound_stop(int64_t sound, int channel) {
  if (!Service.open) return;
  if (sound == kAllObjects) {
    ForNamedChannels(0, -1, StopChannel);
    return;
  }
  const int64_t handle = Service.sounds.HandleOf(sound);
  if (handle == 0) return;
  // Channel 0 stops every channel of the sound, not only the first.
  ForNamedChannels(handle, channel == 0 ? -1 : channel, StopChannel);
}

namespace {

void SetStateOfNamed(int64_t sound, int channel, int state) {
  if (!Service.open) return;
  const int64_t handle = sound == kAllObjects ? 0 : Service.sounds.HandleOf(sound);
  if (sound != kAllObjects && handle == 0) return;
  ForNamedChannels(handle, channel, [state](Channel& c) {
    if (LeftOn(c) != 0) c.state.store(state, std::memory_order_release);
  });
}

}  // namespace

void sound_pause(int64_t sound, int channel) { SetStateOfNamed(sound, channel, kStatePaused); }

void sound_resume(int64_t sound, int channel) { SetStateOfNamed(sound, channel, kStatePlaying); }

int sound_status(int64_t sound, int channel) {
  if (!Service.open) return kSoundStopped;
  const int64_t handle = Service.sounds.HandleOf(sound);
  if (handle == 0) return kSoundMissing;
  int status = kSoundStopped;
  ForNamedChannels(handle, channel, [&status](Channel& c) {
    if (LeftOn(c) == 0) return;
    const int state = c.state.load(std::memory_order_relaxed) == kStatePaused ? kSoundPaused : kSoundPlaying;
    if (status != kSoundPlaying) status = state;
  });
  return status;
}

void sound_volume(int64_t sound, int volume, int channel) {
  if (!Service.open) return;
  volume = std::clamp(volume, 0, kMaxVolume);
  auto set_channel = [volume](Channel& c) { c.volume.store(volume, std::memory_order_release); };
  auto apply = [&](int64_t handle, Sound& s) {
    if (channel == 0) s.volume = volume;
    ForNamedChannels(handle, channel, set_channel);
  };
  if (sound == kAllObjects) {
    Service.sounds.ForEach(apply);
    return;
  }
  const int64_t handle = Service.sounds.HandleOf(sound);
  if (Sound* s = Service.sounds.Find(handle)) apply(handle, *s);
}

int sound_device_frequency() { return Service.open ? Service.device.freq : 0; }
int sound_device_format() { return Service.open ? Service.device.format : 0; }
int sound_device_channels() { return Service.open ? Service.device.channels : 0; }

int64_t sound_length(int64_t sound) {
  const int64_t handle = Service.sounds.HandleOf(sound);
  if (handle == 0 || !Settle(handle)) return 0;
  return Service.sounds.Find(handle)->length;
}

const uint8_t* sound_samples(int64_t sound) {
  const int64_t handle = Service.sounds.HandleOf(sound);
  if (handle == 0 || !Settle(handle)) return nullptr;
  return Service.sounds.Find(handle)->data.data();
}
