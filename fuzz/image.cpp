// Fuzz target: decoding PNG and BMP data from memory into images and into packed rows. Each input
// is decoded as it is and, when it looks like a PNG, once more with every chunk's CRC made right,
// so that mutations reach the pixel decoding instead of stopping at the checksums.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/display/bmp.h"
#include "runtime/display/image.h"
#include "runtime/display/png.h"

namespace {

void Decode(std::span<const uint8_t> bytes) {
  if (image_load_from_memory(0, bytes)) {
    image_copy_region(0, 1, 0, 0, 1, 1);
    image_resize(0, 3, 2, kImageResizeNearest);
  }
  DecodedPicture picture;
  image_decode_memory(bytes, kImageBottomUp, &picture);
  image_free(kAllObjects);
}

uint32_t Big32(const std::vector<uint8_t>& bytes, size_t at) {
  return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 | uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}

// Rewrites the CRC of every whole chunk after the 8-byte signature.
void FixCrcs(std::vector<uint8_t>& png) {
  for (size_t at = 8; at + 12 <= png.size();) {
    const size_t length = Big32(png, at);
    if (length > png.size() - at - 12) break;
    const uint32_t crc = crc32(0, png.data() + at + 4, static_cast<uInt>(length + 4));
    for (int i = 0; i < 4; ++i) png[at + 8 + length + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    at += 12 + length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    image_codecs_init();
    bmp_decoder_register();
    png_decoder_register();
    return true;
  }();
  (void)ready;
  Decode({data, size});
  if (size > 8 && data[0] == 0x89 && data[1] == 'P') {
    std::vector<uint8_t> fixed(data, data + size);
    FixCrcs(fixed);
    Decode(fixed);
  }
  return 0;
}
