// Images and the codec registry: the image table over GdkPixbufs, identification and decoding
// through the registered decoders, and encoding through the registered encoders.
#include "runtime/display/image.h"

#include <glib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <memory>

namespace {

// ---------------------------------------------------------------------------------------------
// State

struct ImageState {
  ObjectTable<ImageObject> images;
  // Deques, so that the decoder attached to the context stays in place while others register.
  std::deque<ImageDecoder> decoders;
  std::deque<ImageEncoder> encoders;
  DecodeState decode;
};

ImageState& State() {
  static ImageState state;
  return state;
}

// ---------------------------------------------------------------------------------------------
// Helpers

// The largest picture file read: room for the most pixels at 16-bit RGBA, stored uncompressed.
constexpr int64_t kMaxFileBytes = kImageMaxPixels * 8 + (int64_t{1} << 26);

int BytesPerPixel(int depth) { return depth == 32 ? 4 : 3; }

// Fills in a freshly created record and returns its handle.
int64_t Store(int64_t number, GdkPixbuf* pixbuf, int depth, int source_depth, int32_t format) {
  int64_t handle = 0;
  ImageObject* image = State().images.Create(number, &handle);
  if (!image) {
    g_object_unref(pixbuf);
    return 0;
  }
  image->pixbuf = pixbuf;
  image->width = gdk_pixbuf_get_width(pixbuf);
  image->height = gdk_pixbuf_get_height(pixbuf);
  image->depth = depth;
  image->source_depth = source_depth;
  image->format = format;
  return handle;
}

// Closes the decoder open on the state, if any, and empties the state.
void CloseDecoding(DecodeState& state) {
  if (state.decoder) state.decoder->close(state);
  state = DecodeState();
}

// Finds the registered decoder that accepts the data and leaves it open on `state`; its tag, or 0
// (the state then empty) when none does or the picture declares too many pixels.
int32_t Identify(std::span<const uint8_t> data, DecodeState& state) {
  for (const ImageDecoder& decoder : State().decoders) {
    state = DecodeState();
    state.source = data;
    if (!decoder.check(state)) continue;
    state.decoder = &decoder;
    if (state.width <= 0 || state.height <= 0 || state.width > kImageMaxSide || state.height > kImageMaxSide ||
        int64_t{state.width} * state.height > kImageMaxPixels) {
      break;
    }
    return decoder.tag;
  }
  CloseDecoding(state);
  return 0;
}

// The pixels decoded on `state` (open) into a new pixbuf, or null.
GdkPixbuf* DecodePixbuf(DecodeState& state) {
  const int width = state.width, height = state.height, depth = state.depth;
  if (width <= 0 || height <= 0 || (depth != 24 && depth != 32)) return nullptr;
  const int64_t pitch = image_row_pitch(width, depth);
  // The pixbuf takes these pixels over and frees them with g_free, so they come from GLib's
  // allocator, which reports failure with null as memory_allocate does with an empty block.
  // Zeroed so that the padding of 24-bit rows is defined; large blocks come zeroed from the system.
  auto* pixels = static_cast<uint8_t*>(g_try_malloc0(static_cast<gsize>(pitch * height)));
  if (!pixels) return nullptr;
  if (!state.decoder->decode(state, pixels, pitch, 0)) {
    g_free(pixels);
    return nullptr;
  }
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_data(
      pixels, GDK_COLORSPACE_RGB, depth == 32, 8, width, height, static_cast<int>(pitch),
      [](guchar* bytes, gpointer) { g_free(bytes); }, nullptr);
  if (!pixbuf) g_free(pixels);
  return pixbuf;
}

// A copy of the region, or null when it does not lie wholly inside the picture.
GdkPixbuf* CopyRegion(GdkPixbuf* from, int x, int y, int width, int height) {
  if (x < 0 || y < 0 || width <= 0 || height <= 0 || width > gdk_pixbuf_get_width(from) - x ||
      height > gdk_pixbuf_get_height(from) - y) {
    return nullptr;
  }
  GdkPixbuf* region = gdk_pixbuf_new_subpixbuf(from, x, y, width, height);
  if (!region) return nullptr;
  GdkPixbuf* copy = gdk_pixbuf_copy(region);
  g_object_unref(region);
  return copy;
}

// The picture scaled to width x height (both positive), or null.
GdkPixbuf* Scaled(GdkPixbuf* from, int width, int height, int mode) {
  const GdkInterpType interpolation = mode == kImageResizeNearest ? GDK_INTERP_NEAREST : GDK_INTERP_BILINEAR;
  return gdk_pixbuf_scale_simple(from, width, height, interpolation);
}

// The record's pixbuf replaced by another (its size taken over).
void Replace(ImageObject& image, GdkPixbuf* pixbuf) {
  if (image.pixbuf) g_object_unref(image.pixbuf);
  image.pixbuf = pixbuf;
  image.width = gdk_pixbuf_get_width(pixbuf);
  image.height = gdk_pixbuf_get_height(pixbuf);
}

// A failed load or creation leaves the number empty.
int64_t Fail(int64_t number) {
  if (number != kNewObject) State().images.Free(number);
  return 0;
}

const ImageEncoder* FindEncoder(int32_t tag) {
  for (const ImageEncoder& encoder : State().encoders) {
    if (encoder.tag == tag) return &encoder;
  }
  return nullptr;
}

// Depth 32 rows composited over white into 24-bit rows padded to a multiple of 4 bytes; empty
// when their memory cannot be had.
MemoryBlock CompositeOverWhite(const PixelRows& rows, PixelRows* out) {
  const int64_t pitch = (int64_t{rows.width} * 3 + 3) / 4 * 4;
  MemoryBlock bytes = memory_allocate(pitch * rows.height);
  if (bytes.empty()) return bytes;
  for (int y = 0; y < rows.height; ++y) {
    const uint8_t* from = rows.bytes.data() + rows.pitch * y;
    uint8_t* to = bytes.data() + pitch * y;
    for (int x = 0; x < rows.width; ++x, from += 4, to += 3) {
      const int alpha = from[3];
      for (int c = 0; c < 3; ++c) to[c] = static_cast<uint8_t>((from[c] * alpha + 255 * (255 - alpha)) / 255);
    }
  }
  *out = rows;
  out->pitch = pitch;
  out->depth = 24;
  return bytes;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The image table

ImageObject::~ImageObject() {
  if (pixbuf) g_object_unref(pixbuf);
}

void image_init() { State().images.Free(kAllObjects); }

void image_shutdown() {
  image_decode_close();
  State().images.Free(kAllObjects);
}

bool image_rows_fit(const PixelRows& rows) {
  if (rows.width <= 0 || rows.height <= 0) return false;
  if (rows.depth != 24 && rows.depth != 32) return false;
  const int64_t row_bytes = int64_t{rows.width} * BytesPerPixel(rows.depth);
  if (rows.pitch < row_bytes) return false;
  const int64_t size = static_cast<int64_t>(rows.bytes.size());
  if (row_bytes > size) return false;
  // Divided rather than multiplied, so that a huge pitch cannot wrap around and pass.
  return rows.height - 1 <= (size - row_bytes) / rows.pitch;
}

int64_t image_row_pitch(int width, int depth) {
  if (depth == 32) return int64_t{width} * 4;
  return int64_t{width} * 3 + width % 4;
}

int64_t image_create(int64_t number, int width, int height, int depth, uint32_t colour) {
  if (width <= 0 || height <= 0) return Fail(number);
  const bool alpha = depth == 32;
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, alpha, 8, width, height);
  if (!pixbuf) return Fail(number);
  uint32_t fill = 0xFFFFFF00;
  if (colour != kImageTransparentWhite) {
    const uint32_t red = colour & 0xFF, green = (colour >> 8) & 0xFF, blue = (colour >> 16) & 0xFF;
    fill = red << 24 | green << 16 | blue << 8 | 0xFF;
  }
  gdk_pixbuf_fill(pixbuf, fill);
  const int stored_depth = alpha ? 32 : 24;
  return Store(number, pixbuf, stored_depth, stored_depth, 0);
}

int64_t image_load_from_memory(int64_t number, std::span<const uint8_t> data) {
  image_decode_close();
  ImageObject image;
  if (!image_decode_object(data, &image)) return Fail(number);
  return image_store(number, &image);
}

bool image_decode_object(std::span<const uint8_t> data, ImageObject* image) {
  DecodeState state;
  const int32_t format = Identify(data, state);
  if (format == 0) return false;
  GdkPixbuf* pixbuf = DecodePixbuf(state);
  const int depth = state.depth, source_depth = state.source_depth;
  CloseDecoding(state);
  if (!pixbuf) return false;
  Replace(*image, pixbuf);
  image->depth = depth;
  image->source_depth = source_depth;
  image->format = format;
  return true;
}

bool image_object_copy_region(ImageObject* image, int x, int y, int width, int height) {
  GdkPixbuf* copy = image->pixbuf ? CopyRegion(image->pixbuf, x, y, width, height) : nullptr;
  if (!copy) return false;
  Replace(*image, copy);
  return true;
}

bool image_object_resize(ImageObject* image, int width, int height, int mode) {
  if (!image->pixbuf || width <= 0 || height <= 0) return false;
  if (width == image->width && height == image->height) return true;
  GdkPixbuf* scaled = Scaled(image->pixbuf, width, height, mode);
  if (!scaled) return false;
  Replace(*image, scaled);
  return true;
}

int64_t image_store(int64_t number, ImageObject* image) {
  if (!image->pixbuf) return Fail(number);
  GdkPixbuf* pixbuf = image->pixbuf;
  image->pixbuf = nullptr;
  return Store(number, pixbuf, image->depth, image->source_depth, image->format);
}

int64_t image_load(int64_t number, const Text& file_name) {
  // The whole file is read first, so that every decoder works on bounded memory.
  const std::string name = text_to_utf8(file_name);
  std::unique_ptr<FILE, int (*)(FILE*)> file(name.empty() ? nullptr : std::fopen(name.c_str(), "rb"),
                                             &std::fclose);
  if (!file) return Fail(number);
  // Only a regular file of a size a picture within the limits can have: a device such as
  // /dev/zero never ends, and the read would grow until memory runs out.
  struct stat info {};
  if (fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0 ||
      info.st_size > kMaxFileBytes) {
    return Fail(number);
  }
  MemoryBlock bytes = memory_allocate(info.st_size);
  if (bytes.empty()) return Fail(number);
  const size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
  return got == bytes.size() ? image_load_from_memory(number, bytes) : Fail(number);
}

int64_t image_copy_region(int64_t source, int64_t target, int x, int y, int width, int height) {
  const ImageObject* from = State().images.Find(source);
  if (!from) return 0;
  GdkPixbuf* copy = CopyRegion(from->pixbuf, x, y, width, height);
  if (!copy) return 0;
  // Read the source's fields before the target's number is taken: it may be the source's own.
  const int depth = from->depth, source_depth = from->source_depth;
  const int32_t format = from->format;
  return Store(target, copy, depth, source_depth, format);
}

GdkPixbuf* image_resize(int64_t number, int width, int height, int mode) {
  ImageObject* image = State().images.Find(number);
  if (!image) return nullptr;
  if (width == kImageKeepSize) width = image->width;
  if (height == kImageKeepSize) height = image->height;
  if (width <= 0 || height <= 0) return nullptr;
  if (width == image->width && height == image->height) return image->pixbuf;
  GdkPixbuf* scaled = Scaled(image->pixbuf, width, height, mode);
  if (!scaled) return nullptr;
  Replace(*image, scaled);
  return scaled;
}

void image_free(int64_t number) { State().images.Free(number); }

const ImageObject* image_find(int64_t number) { return State().images.Find(number); }

int image_width(int64_t number) {
  const ImageObject* image = image_find(number);
  return image ? image->width : 0;
}

int image_height(int64_t number) {
  const ImageObject* image = image_find(number);
  return image ? image->height : 0;
}

int image_depth(int64_t number) {
  const ImageObject* image = image_find(number);
  return image ? image->depth : 0;
}

GdkPixbuf* image_handle(int64_t number) {
  const ImageObject* image = image_find(number);
  return image ? image->pixbuf : nullptr;
}

// ---------------------------------------------------------------------------------------------
// The codec registry

void image_codecs_init() { image_decode_close(); }

void image_decoder_register(const ImageDecoder& decoder) {
  auto& decoders = State().decoders;
  const bool known = std::any_of(decoders.begin(), decoders.end(),
                                 [&](const ImageDecoder& d) { return d.tag == decoder.tag; });
  if (!known) decoders.push_back(decoder);
}

void image_encoder_register(const ImageEncoder& encoder) {
  if (!FindEncoder(encoder.tag)) State().encoders.push_back(encoder);
}

int32_t image_identify(std::span<const uint8_t> data) {
  image_decode_close();
  return Identify(data, State().decode);
}

const DecodeState& image_decode_state() { return State().decode; }

int image_decode(uint8_t* pixels, int64_t pitch, int flags) {
  DecodeState& state = State().decode;
  if (!state.decoder || !pixels) return 0;
  if (pitch < int64_t{state.width} * BytesPerPixel(state.depth)) return 0;
  return state.decoder->decode(state, pixels, pitch, flags);
}

void image_decode_close() { CloseDecoding(State().decode); }

int image_decode_memory(std::span<const uint8_t> data, int flags, DecodedPicture* picture) {
  if (!picture || image_identify(data) == 0) return 0;
  const DecodeState& state = image_decode_state();
  DecodedPicture result;
  result.width = state.width;
  result.height = state.height;
  result.depth = state.depth;
  result.source_depth = state.source_depth;
  result.format = state.decoder->tag;
  const int64_t pitch = int64_t{result.width} * BytesPerPixel(result.depth);
  int decoded = 0;
  if (result.width > 0 && result.height > 0) {
    result.pixels = memory_allocate(pitch * result.height);
    if (!result.pixels.empty()) decoded = image_decode(result.pixels.data(), pitch, flags);
  }
  image_decode_close();
  if (!decoded) return 0;
  *picture = std::move(result);
  return 1;
}

int image_encode(const Text& file_name, int32_t format, const PixelRows& rows, int option, int wanted_depth) {
  const ImageEncoder* encoder = FindEncoder(format);
  const std::string name = text_to_utf8(file_name);
  if (!encoder || name.empty() || !image_rows_fit(rows)) return 0;
  if (rows.depth == 24) return encoder->write_rgb ? encoder->write_rgb(name, rows, option) : 0;
  if (encoder->write_rgba && (wanted_depth == -1 || wanted_depth == 32)) {
    return encoder->write_rgba(name, rows, option);
  }
  if (!encoder->write_rgb) return 0;
  PixelRows opaque;
  const MemoryBlock bytes = CompositeOverWhite(rows, &opaque);
  if (bytes.empty()) return 0;
  opaque.bytes = bytes;
  return encoder->write_rgb(name, opaque, option);
}
