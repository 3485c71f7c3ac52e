// Reading WAV files from memory. The header is read at its fixed places (fmt chunk at offset 12,
// channels at 22, rate at 24, bits at 34); the data chunk is found by walking the chunks that
// follow the fmt chunk, so a "fact" or "LIST" chunk before the samples does no harm. Nothing is
// read outside the block.
#include "runtime/media/wav.h"

#include <SDL/SDL_audio.h>

#include <cstring>

namespace {

constexpr size_t kChunkHeaderBytes = 8;
constexpr size_t kFmtChunkOffset = 12;
constexpr size_t kFmtBodyOffset = kFmtChunkOffset + kChunkHeaderBytes;  // 20
constexpr size_t kMinFmtBytes = 16;
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;

uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

bool HasTag(const uint8_t* p, const char* tag) { return std::memcmp(p, tag, 4) == 0; }

}  // namespace

int wav_is_riff(const uint8_t* data, size_t size) { return data && size >= 4 && HasTag(data, "RIFF") ? 1 : 0; }

int wav_parse(const uint8_t* data, size_t size, WavSamples* out) {
  if (!wav_is_riff(data, size) || size < kFmtBodyOffset) return 0;
  if (!HasTag(data + kFmtChunkOffset, "fmt ")) return 0;
  const uint32_t fmt_bytes = ReadU32(data + 16);
  if (fmt_bytes < kMinFmtBytes || fmt_bytes > size - kFmtBodyOffset) return 0;

  const uint16_t tag = ReadU16(data + 20);
  const int channels = ReadU16(data + 22);
  const uint32_t rate_field = ReadU32(data + 24);
  const int bits = ReadU16(data + 34);
  // Compressed or wider samples would play as noise: only plain 8- and 16-bit PCM is taken.
  if (tag != kFormatPcm && tag != kFormatExtensible) return 0;
  if (bits != 8 && bits != 16) return 0;
  if (channels < 1) return 0;
  // A rate beyond the int range is no rate at all, not the rate left after dropping its top bit.
  if (rate_field > 0x7FFFFFFF) return 0;
  const int rate = static_cast<int>(rate_field);

  // RIFF chunks are padded to an even length.
  size_t at = kFmtBodyOffset + fmt_bytes + (fmt_bytes & 1);
  while (at <= size && size - at >= kChunkHeaderBytes) {
    const uint32_t chunk_bytes = ReadU32(data + at + 4);
    const size_t body = at + kChunkHeaderBytes;
    if (chunk_bytes > size - body) return 0;
    if (HasTag(data + at, "data")) {
      const size_t frame_bytes = static_cast<size_t>(channels) * (bits / 8);
      out->samples = data + body;
      out->bytes = chunk_bytes - chunk_bytes % frame_bytes;
      out->format = bits == 8 ? AUDIO_U8 : AUDIO_S16LSB;
      out->channels = channels;
      out->rate = rate;
      return 1;
    }
    at = body + chunk_bytes + (chunk_bytes & 1);
  }
  return 0;
}
