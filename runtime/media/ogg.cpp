// The Ogg Vorbis decoder of the sound service. libvorbisfile reads the stream from a memory block
// through callbacks that never read past the block's end. Samples come out as 16-bit signed
// little-endian. A chained stream whose later part changes the channel count or the rate ends
// there: its samples could not be told apart from the first part's.
#include "runtime/media/ogg.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr int kLittleEndian = 0;
constexpr int kWordBytes = 2;
constexpr int kSigned = 1;
constexpr int kRewindAtEnd = 1;

struct MemoryStream {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t position = 0;
};

struct OggStream {
  MemoryStream memory;
  OggVorbis_File file{};
  int channels = 0;
  long rate = 0;
};

size_t MemoryRead(void* buffer, size_t item, size_t count, void* source) {
  auto* memory = static_cast<MemoryStream*>(source);
  if (item == 0) return 0;
  const size_t items = std::min(count, (memory->size - memory->position) / item);
  std::memcpy(buffer, memory->data + memory->position, items * item);
  memory->position += items * item;
  return items;
}

// Lands inside the block whatever the offset; always reports success.
int MemorySeek(void* source, ogg_int64_t offset, int whence) {
  auto* memory = static_cast<MemoryStream*>(source);
  const auto size = static_cast<ogg_int64_t>(memory->size);
  ogg_int64_t base = 0;
  if (whence == SEEK_CUR) base = static_cast<ogg_int64_t>(memory->position);
  if (whence == SEEK_END) base = size;
  ogg_int64_t target = base;
  if (offset > 0) target = offset > size - base ? size : base + offset;
  if (offset < 0) target = -offset > base ? 0 : base + offset;
  memory->position = static_cast<size_t>(target);
  return 0;
}

int MemoryClose(void* source) {
  static_cast<MemoryStream*>(source)->position = 0;
  return 0;
}

long MemoryTell(void* source) { return static_cast<long>(static_cast<MemoryStream*>(source)->position); }

void* OggOpen(const uint8_t* data, size_t size) {
  if (!data || size == 0) return nullptr;
  auto* stream = new (std::nothrow) OggStream;
  if (!stream) return nullptr;
  stream->memory = MemoryStream{data, size, 0};
  const ov_callbacks callbacks{MemoryRead, MemorySeek, MemoryClose, MemoryTell};
  // On failure the library has already released what it set up.
  if (ov_open_callbacks(&stream->memory, &stream->file, nullptr, 0, callbacks) < 0) {
    delete stream;
    return nullptr;
  }
  const vorbis_info* info = ov_info(&stream->file, -1);
  if (!info || info->channels < 1) {
    ov_clear(&stream->file);
    delete stream;
    return nullptr;
  }
  stream->channels = info->channels;
  stream->rate = info->rate;
  return stream;
}

long OggRead(void* handle, uint8_t* buffer, long bytes, int flags) {
  auto* stream = static_cast<OggStream*>(handle);
  if (bytes <= 0) return 0;
  int link = 0;
  long got = ov_read(&stream->file, reinterpret_cast<char*>(buffer), static_cast<int>(std::min<long>(bytes, 1 << 30)),
                     kLittleEndian, kWordBytes, kSigned, &link);
  if (got == 0 && (flags & kRewindAtEnd) && ov_pcm_seek(&stream->file, 0) == 0) {
    got = ov_read(&stream->file, reinterpret_cast<char*>(buffer), static_cast<int>(std::min<long>(bytes, 1 << 30)),
                  kLittleEndian, kWordBytes, kSigned, &link);
  }
  if (got > 0) {
    const vorbis_info* info = ov_info(&stream->file, link);
    if (!info || info->channels != stream->channels || info->rate != stream->rate) return 0;
  }
  return got;
}

int OggRewind(void* handle) { return ov_pcm_seek(&static_cast<OggStream*>(handle)->file, 0) == 0 ? 1 : 0; }

int OggChannels(void* handle) { return static_cast<OggStream*>(handle)->channels; }

int64_t OggTotalFrames(void* handle) { return ov_pcm_total(&static_cast<OggStream*>(handle)->file, -1); }

int OggRate(void* handle) {
  const long rate = static_cast<OggStream*>(handle)->rate;
  return rate > 0 && rate <= 0x7FFFFFFF ? static_cast<int>(rate) : 0;
}

void OggClose(void* handle) {
  auto* stream = static_cast<OggStream*>(handle);
  ov_clear(&stream->file);
  delete stream;
}

const SoundDecoder kOggVorbis{OggOpen, OggRead, OggRewind, OggChannels, OggTotalFrames, OggRate, OggClose};

}  // namespace

const SoundDecoder* ogg_vorbis_decoder() { return &kOggVorbis; }
