// Images: pictures held in main memory as GdkPixbufs (panels are drawn on them, small pictures
// are loaded into them), and the codec registry through which images and sprites decode PNG and
// BMP data and through which screenshots are encoded.
//
// Depends on gdk-pixbuf (no display needed) and on the decoders and encoders registered at start:
// bmp_decoder_register, png_decoder_register, png_encoder_register, in that order.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "runtime/data/text.h"
#include "runtime/runtime.h"

// ---------------------------------------------------------------------------------------------
// Constants

// Format tags: three ASCII letters packed little-endian.
constexpr int32_t kImageFormatPng = 0x474E50;  // "PNG"
constexpr int32_t kImageFormatBmp = 0x504D42;  // "BMP"

// image_create's colour that gives a fully transparent white picture; any other colour 0x00BBGGRR
// gives an opaque one (the top byte is ignored).
constexpr uint32_t kImageTransparentWhite = 0xFFFFFFFF;

// image_resize: keep this side as it is.
constexpr int kImageKeepSize = -65535;
// image_resize modes: nearest neighbour; every other mode is bilinear.
constexpr int kImageResizeNearest = 1;
constexpr int kImageResizeSmooth = 0;

// Decoding and encoding flag: the first row in memory is the picture's bottom row.
constexpr int kImageBottomUp = 2;

// The largest side and the most pixels a decoded picture may have; sources that declare more are
// refused at identification, before any allocation.
constexpr int kImageMaxSide = 16384;
constexpr int64_t kImageMaxPixels = int64_t{1} << 26;

// ---------------------------------------------------------------------------------------------
// The image table

// One image. The pixbuf is RGB, 8 bits per sample, with alpha exactly when the depth is 32.
struct ImageObject {
  GdkPixbuf* pixbuf = nullptr;  // owned
  int width = 0;
  int height = 0;
  int depth = 0;         // 24 or 32
  int source_depth = 0;  // bits per pixel of the file a loaded image came from, else = depth
  int32_t format = 0;    // tag of the decoder that loaded it, 0 for created images

  ImageObject() = default;
  ImageObject(const ImageObject&) = delete;
  ImageObject& operator=(const ImageObject&) = delete;
  ~ImageObject();
};

void image_init();      // an empty image table
void image_shutdown();  // frees every image

// Every operation below that makes an image takes a number (0..kMaxObjectNumber; an image
// already there is freed first) or kNewObject, and returns the new image's handle, which names it
// as well as its number does (non-zero), or 0 on failure (the number is then empty).

// A width x height picture of depth 32 (else 24) filled with `colour` (0x00BBGGRR, opaque) or
// kImageTransparentWhite.
int64_t image_create(int64_t number, int width, int height, int depth = 24, uint32_t colour = 0);
// Decodes PNG or BMP bytes. Reads never go beyond `data` (pass the whole memory block).
int64_t image_load_from_memory(int64_t number, std::span<const uint8_t> data);
// Decodes a PNG or BMP file.
int64_t image_load(int64_t number, const Text& file_name);
// A copy of the width x height region at (x, y) of the source image; a region that does not lie
// wholly inside the source fails. The target may be the source's own number.
int64_t image_copy_region(int64_t source, int64_t target, int x, int y, int width, int height);
// Scales the image to width x height (kImageKeepSize keeps a side). Returns the image's pixbuf
// after the change (the same one when the size does not change), or null when the image is
// missing or a size is not positive.
GdkPixbuf* image_resize(int64_t number, int width, int height, int mode);

// The same decoding, cutting and scaling on a record outside the table: any thread may work on a
// record of its own, side by side with others (while no codec is registered), and the game thread
// then puts it in the table. False (the record as it was) where the table's call would fail.
bool image_decode_object(std::span<const uint8_t> data, ImageObject* image);
bool image_object_copy_region(ImageObject* image, int x, int y, int width, int height);
bool image_object_resize(ImageObject* image, int width, int height, int mode);
// Puts the record's picture under the number, leaving the record empty; 0 for an empty record.
int64_t image_store(int64_t number, ImageObject* image);
void image_free(int64_t number);  // kAllObjects frees every image

int image_width(int64_t number);    // 0 for a missing image
int image_height(int64_t number);   // 0 for a missing image
int image_depth(int64_t number);    // 24 or 32; 0 for a missing image
GdkPixbuf* image_handle(int64_t number);  // the image's pixbuf (still owned by it), or null
const ImageObject* image_find(int64_t number);  // the record, or null

// ---------------------------------------------------------------------------------------------
// The codec registry

struct ImageDecoder;

// A decoder context: the one image_identify opens is shared by the program (game thread only).
struct DecodeState {
  std::span<const uint8_t> source;  // the bytes being identified or decoded
  size_t cursor = 0;                // the decoder's read position in `source`
  const ImageDecoder* decoder = nullptr;  // the decoder that accepted the source, while open
  int width = 0;
  int height = 0;
  int depth = 0;         // of the decoded pixels: 24 (R, G, B) or 32 (R, G, B, A)
  int source_depth = 0;  // bits per pixel in the source
  void* private_data = nullptr;  // the decoder's own, released by its close
};

struct ImageDecoder {
  int32_t tag = 0;
  // Accepts the source (1: width, height, depth and source depth filled in, the decoder open) or
  // rejects it (0, nothing left open).
  int (*check)(DecodeState& state) = nullptr;
  // Writes height rows of width pixels, rows `pitch` bytes apart, top row first (bottom row first
  // with kImageBottomUp). 1 on success, 0 on damaged data.
  int (*decode)(DecodeState& state, uint8_t* pixels, int64_t pitch, int flags) = nullptr;
  void (*close)(DecodeState& state) = nullptr;
};

// Raw pixels to encode: height rows of width pixels, R, G, B (depth 24) or R, G, B, A (depth 32),
// 8 bits per sample, rows `pitch` bytes apart inside `bytes`; with kImageBottomUp the first row in
// memory is the picture's bottom row (as read back from a texture) and comes out upright.
struct PixelRows {
  std::span<const uint8_t> bytes;
  int width = 0;
  int height = 0;
  int64_t pitch = 0;
  int depth = 32;
  int flags = 0;
};

// True when the rows lie wholly inside their bytes (positive size, depth 24 or 32, pitch at least
// one row of pixels).
bool image_rows_fit(const PixelRows& rows);

// An encoder's writer: writes the rows to a file (name in UTF-8). 1 on success; on failure 0 and
// no file is left behind.
using ImageWriter = int (*)(const std::string& file_name, const PixelRows& rows, int option);

struct ImageEncoder {
  int32_t tag = 0;
  ImageWriter write_rgb = nullptr;   // depth 24 rows
  ImageWriter write_rgba = nullptr;  // depth 32 rows; may be null
};

// Resets the shared decoder context, closing a decoder left open.
void image_codecs_init();
// Registration appends; decoders are tried in registration order. Registering the same tag
// twice does nothing.
void image_decoder_register(const ImageDecoder& decoder);
void image_encoder_register(const ImageEncoder& encoder);

// Identifies the bytes with the registered decoders; the first that accepts stays attached to the
// shared context until image_decode_close (or the next identification). Returns its format tag,
// or 0 when no decoder accepts or the picture would be larger than the limits above. The bytes must stay alive until the decoder is closed.
int32_t image_identify(std::span<const uint8_t> data);
// The shared context: width, height, depth and source depth of the identified source.
const DecodeState& image_decode_state();
// Decodes the identified source into `pixels` (see ImageDecoder::decode); the buffer must hold
// pitch x (height - 1) + width x depth / 8 bytes. 1 on success, 0 on failure or with no decoder.
int image_decode(uint8_t* pixels, int64_t pitch, int flags);
void image_decode_close();

// A picture decoded in one call: rows packed without gaps (pitch = width x depth / 8).
struct DecodedPicture {
  int width = 0;
  int height = 0;
  int depth = 0;  // 24 or 32
  int source_depth = 0;
  int32_t format = 0;
  MemoryBlock pixels;
};

// Identifies and decodes in one step, top row first (bottom row first with kImageBottomUp).
// 1 on success; 0 when no decoder accepts the data, the data is damaged or memory runs out.
int image_decode_memory(std::span<const uint8_t> data, int flags, DecodedPicture* picture);

// Encodes raw pixels into a file with the encoder of `format` (kImageFormatPng). Depth 32 rows
// go to the encoder's RGBA writer when it has one and wanted_depth is -1 or 32; otherwise they are
// composited over white into 24-bit rows for its RGB writer. 1 on success, 0 on failure (no
// encoder, empty name, rows that do not fit their bytes, a write error).
int image_encode(const Text& file_name, int32_t format, const PixelRows& rows, int option = 7,
                 int wanted_depth = -1);

// The byte length of one decoded row of an image: width x 4 for depth 32, else width x 3 +
// width mod 4 (24-bit rows padded up to a multiple of 4 bytes).
int64_t image_row_pitch(int width, int depth);
