// PNG through libpng: the decoder registered with the image codecs and the screenshot encoder.
//
// libpng reports errors by longjmp to the setjmp of the call that armed it. The functions that
// arm it keep no objects with destructors alive across the jump, and nothing between them and
// libpng does either.
#include "runtime/display/png.h"

#include <png.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

// ---------------------------------------------------------------------------------------------
// Decoding

struct PngReader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  int passes = 1;  // 7 for interlaced pictures
};

// Errors jump back to the armed call without printing anything; warnings are ignored.
[[noreturn]] void QuietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void IgnoreWarning(png_structp, png_const_charp) {}

// Copies the requested bytes from the source, never past its end.
void ReadFromSource(png_structp png, png_bytep to, png_size_t length) {
  auto* state = static_cast<DecodeState*>(png_get_io_ptr(png));
  if (length > state->source.size() - state->cursor) png_error(png, "PNG data ends early");
  std::memcpy(to, state->source.data() + state->cursor, length);
  state->cursor += length;
}

// Asks libpng for 8-bit RGB or RGBA rows whatever the file's colour type and depth; returns the
// number of interlace passes.
int RequestRgbTransforms(png_structp png, png_infop info) {
  const int colour_type = png_get_color_type(png, info);
  const int bit_depth = png_get_bit_depth(png, info);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (colour_type == PNG_COLOR_TYPE_GRAY || colour_type == PNG_COLOR_TYPE_GRAY_ALPHA ||
      colour_type == PNG_COLOR_TYPE_PALETTE) {
    if (bit_depth < 8) png_set_expand(png);
    if (colour_type == PNG_COLOR_TYPE_PALETTE) {
      png_set_palette_to_rgb(png);
    } else {
      png_set_gray_to_rgb(png);
    }
  }
  if (bit_depth == 16) png_set_strip_16(png);
  return png_set_interlace_handling(png);
}

void DestroyReader(PngReader* reader) {
  png_destroy_read_struct(&reader->png, reader->info ? &reader->info : nullptr, nullptr);
  delete reader;
}

// Reads the header and sets up the transforms; 0 when the data is not a usable PNG.
int PngCheck(DecodeState& state) {
  constexpr size_t kSignatureSize = 8;
  if (state.source.size() < kSignatureSize) return 0;
  if (png_sig_cmp(state.source.data(), 0, kSignatureSize) != 0) return 0;

  PngReader* const reader = new (std::nothrow) PngReader;
  if (!reader) return 0;
  reader->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, IgnoreWarning);
  if (!reader->png) {
    delete reader;
    return 0;
  }
  if (setjmp(png_jmpbuf(reader->png))) {
    DestroyReader(reader);
    return 0;
  }
  reader->info = png_create_info_struct(reader->png);
  if (!reader->info) png_error(reader->png, "out of memory");
  png_set_user_limits(reader->png, kImageMaxSide, kImageMaxSide);
  state.cursor = 0;
  png_set_read_fn(reader->png, &state, ReadFromSource);
  png_read_info(reader->png, reader->info);
  const int source_depth = png_get_bit_depth(reader->png, reader->info) * png_get_channels(reader->png, reader->info);
  reader->passes = RequestRgbTransforms(reader->png, reader->info);
  png_read_update_info(reader->png, reader->info);

  png_uint_32 width = 0, height = 0;
  int bit_depth = 0, colour_type = 0;
  png_get_IHDR(reader->png, reader->info, &width, &height, &bit_depth, &colour_type, nullptr, nullptr, nullptr);
  const bool rgb = colour_type == PNG_COLOR_TYPE_RGB, rgba = colour_type == PNG_COLOR_TYPE_RGB_ALPHA;
  if ((!rgb && !rgba) || bit_depth != 8 || width == 0 || height == 0) png_error(reader->png, "unusable PNG");
  state.width = static_cast<int>(width);
  state.height = static_cast<int>(height);
  state.depth = rgba ? 32 : 24;
  state.source_depth = source_depth;
  state.private_data = reader;
  return 1;
}

int PngDecode(DecodeState& state, uint8_t* pixels, int64_t pitch, int flags) {
  PngReader* const reader = static_cast<PngReader*>(state.private_data);
  if (!reader) return 0;
  if (setjmp(png_jmpbuf(reader->png))) return 0;
  const bool bottom_up = flags & kImageBottomUp;
  for (int pass = 0; pass < reader->passes; ++pass) {
    for (int y = 0; y < state.height; ++y) {
      png_bytep row = pixels + pitch * (bottom_up ? state.height - 1 - y : y);
      png_read_rows(reader->png, &row, nullptr, 1);
    }
  }
  return 1;
}

void PngClose(DecodeState& state) {
  auto* reader = static_cast<PngReader*>(state.private_data);
  if (reader) DestroyReader(reader);
  state.private_data = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Encoding

// Where the encoded bytes go: a file, or a growing memory block.
struct PngSink {
  FILE* file = nullptr;
  MemoryBlock* memory = nullptr;
};

void WriteToMemory(png_structp png, png_bytep bytes, png_size_t length) {
  auto* memory = static_cast<MemoryBlock*>(png_get_io_ptr(png));
  if (!memory_append(*memory, bytes, length)) png_error(png, "out of memory");
}

void FlushNothing(png_structp) {}

// Writes the rows into the sink. 1 on success, 0 on a libpng error.
int WritePng(const PngSink& sink, const PixelRows& rows) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, IgnoreWarning);
  if (!png) return 0;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return 0;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return 0;
  }
  if (sink.file) {
    png_init_io(png, sink.file);
  } else {
    png_set_write_fn(png, sink.memory, WriteToMemory, FlushNothing);
  }
  png_set_filter(png, 0, PNG_FILTER_NONE);
  png_set_compression_level(png, 9);
  const int colour_type = rows.depth == 32 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
  png_set_IHDR(png, info, rows.width, rows.height, 8, colour_type, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const bool bottom_up = rows.flags & kImageBottomUp;
  for (int y = 0; y < rows.height; ++y) {
    const int64_t row = bottom_up ? rows.height - 1 - y : y;
    png_write_row(png, rows.bytes.data() + rows.pitch * row);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return 1;
}

}  // namespace

void png_decoder_register() { image_decoder_register({kImageFormatPng, PngCheck, PngDecode, PngClose}); }

void png_encoder_register() {
  image_encoder_register({kImageFormatPng, png_encode_to_file, png_encode_to_file});
}

int png_encode_to_file(const std::string& file_name, const PixelRows& rows, int /*option*/) {
  if (file_name.empty() || !image_rows_fit(rows)) return 0;
  FILE* file = std::fopen(file_name.c_str(), "wb");
  if (!file) return 0;
  int written = WritePng({file, nullptr}, rows);
  if (std::fclose(file) != 0) written = 0;
  if (!written) unlink(file_name.c_str());
  return written;
}

MemoryBlock png_encode_to_memory(const PixelRows& rows) {
  MemoryBlock memory;
  if (!image_rows_fit(rows)) return memory;
  if (!WritePng({nullptr, &memory}, rows)) memory.clear();
  return memory;
}
