// BMP pictures: a decoder for uncompressed Windows bitmaps, registered with the image codecs.
// Every depth is delivered as 8-bit R, G, B rows. Compressed (run-length) bitmaps are refused.
#include "runtime/display/bmp.h"

#include <array>
#include <cstdint>
#include <new>

#include "runtime/display/image.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Constants and types

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;  // the old header with 16-bit sizes
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kCompressionNone = 0;
constexpr uint32_t kCompressionBitFields = 3;
constexpr uint32_t kCompressionAlphaBitFields = 6;

// What the check learnt from the headers.
struct BmpLayout {
  int width = 0;
  int height = 0;
  bool top_down = false;
  int bits = 0;
  size_t pixel_offset = 0;
  size_t stride = 0;  // bytes per stored row, padded to 4
  std::array<uint32_t, 3> masks{};  // red, green, blue, for 16 and 32 bits
  std::array<uint8_t, 256 * 3> palette{};  // R, G, B per entry
  int palette_size = 0;
};

// ---------------------------------------------------------------------------------------------
// Helpers

uint32_t U16(std::span<const uint8_t> bytes, size_t at) {
  return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8;
}

uint32_t U32(std::span<const uint8_t> bytes, size_t at) {
  return U16(bytes, at) | U16(bytes, at + 2) << 16;
}

// One colour channel picked by a mask, scaled to 0..255.
uint8_t Channel(uint32_t pixel, uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  const uint64_t top = mask >> shift;
  const uint64_t value = (pixel & mask) >> shift;
  return static_cast<uint8_t>(value * 255 / top);
}

// Reads the palette that follows the headers; false when it does not fit the data.
bool ReadPalette(std::span<const uint8_t> bytes, size_t at, size_t entry_size, uint32_t used, BmpLayout* layout) {
  const int most = 1 << layout->bits;
  const int count = used == 0 || used > static_cast<uint32_t>(most) ? most : static_cast<int>(used);
  if (at + entry_size * count > bytes.size()) return false;
  for (int i = 0; i < count; ++i, at += entry_size) {
    layout->palette[i * 3 + 0] = bytes[at + 2];
    layout->palette[i * 3 + 1] = bytes[at + 1];
    layout->palette[i * 3 + 2] = bytes[at + 0];
  }
  layout->palette_size = count;
  return true;
}

// Reads the headers; false when the data is not a usable uncompressed bitmap.
bool ReadLayout(std::span<const uint8_t> bytes, BmpLayout* layout) {
  if (bytes.size() < kFileHeaderSize + kCoreHeaderSize) return false;
  if (bytes[0] != 'B' || bytes[1] != 'M' || U16(bytes, 6) != 0 || U16(bytes, 8) != 0) return false;
  layout->pixel_offset = U32(bytes, 10);
  const uint32_t header_size = U32(bytes, kFileHeaderSize);
  const size_t header = kFileHeaderSize;
  int64_t width = 0, height = 0;
  uint32_t compression = kCompressionNone, used = 0;
  size_t palette_at = header + header_size, entry_size = 4;
  if (header_size == kCoreHeaderSize) {
    width = U16(bytes, header + 4);
    height = U16(bytes, header + 6);
    layout->bits = static_cast<int>(U16(bytes, header + 10));
    entry_size = 3;
  } else if (header_size >= kInfoHeaderSize && header + header_size <= bytes.size()) {
    width = static_cast<int32_t>(U32(bytes, header + 4));
    height = static_cast<int32_t>(U32(bytes, header + 8));
    layout->bits = static_cast<int>(U16(bytes, header + 14));
    compression = U32(bytes, header + 16);
    used = U32(bytes, header + 32);
  } else {
    return false;
  }
  layout->top_down = height < 0;
  if (height < 0) height = -height;
  if (width <= 0 || height <= 0 || width > kImageMaxSide || height > kImageMaxSide) return false;
  layout->width = static_cast<int>(width);
  layout->height = static_cast<int>(height);

  const int bits = layout->bits;
  if (bits == 16) layout->masks = {0x7C00, 0x03E0, 0x001F};
  if (bits == 32) layout->masks = {0xFF0000, 0xFF00, 0xFF};
  if (compression == kCompressionBitFields || compression == kCompressionAlphaBitFields) {
    if (bits != 16 && bits != 32) return false;
    // The masks follow a 40-byte header, or lie inside a longer one at the same place.
    const size_t masks_at = header + kInfoHeaderSize;
    if (masks_at + 12 > bytes.size()) return false;
    layout->masks = {U32(bytes, masks_at), U32(bytes, masks_at + 4), U32(bytes, masks_at + 8)};
    if (header_size == kInfoHeaderSize) palette_at += compression == kCompressionAlphaBitFields ? 16 : 12;
  } else if (compression != kCompressionNone) {
    return false;
  }
  if (bits == 1 || bits == 4 || bits == 8) {
    if (!ReadPalette(bytes, palette_at, entry_size, used, layout)) return false;
  } else if (bits != 16 && bits != 24 && bits != 32) {
    return false;
  }

  layout->stride = (static_cast<size_t>(layout->width) * bits + 31) / 32 * 4;
  const size_t pixel_bytes = layout->stride * layout->height;
  return layout->pixel_offset <= bytes.size() && pixel_bytes <= bytes.size() - layout->pixel_offset;
}

// Converts one stored row into R, G, B pixels.
void ConvertRow(const BmpLayout& layout, const uint8_t* from, uint8_t* to) {
  for (int x = 0; x < layout.width; ++x, to += 3) {
    switch (layout.bits) {
      case 24:
        to[0] = from[x * 3 + 2];
        to[1] = from[x * 3 + 1];
        to[2] = from[x * 3 + 0];
        break;
      case 16:
      case 32: {
        const uint32_t pixel = layout.bits == 16 ? uint32_t{from[x * 2]} | uint32_t{from[x * 2 + 1]} << 8
                                                 : uint32_t{from[x * 4]} | uint32_t{from[x * 4 + 1]} << 8 |
                                                       uint32_t{from[x * 4 + 2]} << 16 | uint32_t{from[x * 4 + 3]} << 24;
        for (int c = 0; c < 3; ++c) to[c] = Channel(pixel, layout.masks[c]);
        break;
      }
      default: {  // 1, 4 or 8 bits: palette indices, leftmost pixel in the high bits
        const int per_byte = 8 / layout.bits;
        const int shift = (per_byte - 1 - x % per_byte) * layout.bits;
        const int index = (from[x / per_byte] >> shift) & ((1 << layout.bits) - 1);
        for (int c = 0; c < 3; ++c) to[c] = index < layout.palette_size ? layout.palette[index * 3 + c] : 0;
        break;
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// The decoder

int BmpCheck(DecodeState& state) {
  BmpLayout layout;
  if (!ReadLayout(state.source, &layout)) return 0;
  auto* kept = new (std::nothrow) BmpLayout(layout);
  if (!kept) return 0;
  state.width = layout.width;
  state.height = layout.height;
  state.depth = 24;
  state.source_depth = layout.bits;
  state.private_data = kept;
  return 1;
}

int BmpDecode(DecodeState& state, uint8_t* pixels, int64_t pitch, int flags) {
  const auto* layout = static_cast<const BmpLayout*>(state.private_data);
  if (!layout) return 0;
  const bool bottom_up = flags & kImageBottomUp;
  for (int y = 0; y < layout->height; ++y) {
    // y counts picture rows from the top; the file stores them bottom row first unless top-down.
    const int stored = layout->top_down ? y : layout->height - 1 - y;
    const uint8_t* from = state.source.data() + layout->pixel_offset + layout->stride * stored;
    uint8_t* to = pixels + pitch * (bottom_up ? layout->height - 1 - y : y);
    ConvertRow(*layout, from, to);
  }
  return 1;
}

void BmpClose(DecodeState& state) {
  delete static_cast<BmpLayout*>(state.private_data);
  state.private_data = nullptr;
}

}  // namespace

void bmp_decoder_register() { image_decoder_register({kImageFormatBmp, BmpCheck, BmpDecode, BmpClose}); }
