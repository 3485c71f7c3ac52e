// Images and their codecs: decoding reference PNG and BMP files made by the netpbm tools, the
// image table's operations, the PNG encoder, and damaged data.
#include "runtime/display/image.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "runtime/display/bmp.h"
#include "runtime/display/png.h"
#include "tests/support/png_fixtures.h"

namespace {

class ImageTest : public testing::Test {
 protected:
  void SetUp() override {
    image_init();
    image_codecs_init();
    bmp_decoder_register();
    png_decoder_register();
    png_encoder_register();
    folder_ = MakeTestFolder();
    ASSERT_FALSE(folder_.empty());
  }
  void TearDown() override {
    image_shutdown();
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
  }

  // Converts the picture with a netpbm command ("pamtopng", "pnmtopng -force", ...).
  MemoryBlock Convert(const ReferencePicture& picture, const std::string& command) {
    const std::string extension = picture.channels == 1 ? ".pgm" : picture.channels == 3 ? ".ppm" : ".pam";
    const std::string input = WriteNetpbm(picture, folder_ + "input" + extension);
    MemoryBlock output = RunConverter(command + " " + input + " 2>/dev/null");
    EXPECT_FALSE(output.empty()) << command << " failed";
    return output;
  }

  std::string folder_;
};

// The pixel at (x, y) of an image as R, G, B, A (alpha 255 without an alpha channel).
std::array<uint8_t, 4> PixelAt(GdkPixbuf* pixbuf, int x, int y) {
  const int channels = gdk_pixbuf_get_n_channels(pixbuf);
  const guchar* p = gdk_pixbuf_get_pixels(pixbuf) + y * gdk_pixbuf_get_rowstride(pixbuf) + x * channels;
  return {p[0], p[1], p[2], channels == 4 ? p[3] : uint8_t{255}};
}

// Every pixel of the image equals the reference's, as our decoder should deliver it.
void ExpectPixels(int64_t image, const ReferencePicture& picture, const std::vector<uint32_t>& transparent = {}) {
  ASSERT_EQ(image_width(image), picture.width);
  ASSERT_EQ(image_height(image), picture.height);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      ASSERT_EQ(PixelAt(image_handle(image), x, y), ExpectedRgba(picture, x, y, transparent))
          << "pixel (" << x << ", " << y << ")";
    }
  }
}

// A copy in a block of exactly its size, so that a read past the end is caught.
std::unique_ptr<uint8_t[]> ExactCopy(std::span<const uint8_t> bytes) {
  auto copy = std::make_unique<uint8_t[]>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), copy.get());
  return copy;
}

// Sets a chunk's CRC right after its contents were changed.
void FixCrc(MemoryBlock& png, size_t chunk_at) {
  const uint32_t length = uint32_t{png[chunk_at]} << 24 | png[chunk_at + 1] << 16 | png[chunk_at + 2] << 8 | png[chunk_at + 3];
  const uint32_t crc = crc32(0, png.data() + chunk_at + 4, length + 4);
  for (int i = 0; i < 4; ++i) png[chunk_at + 8 + length + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
}

void PutBig32(MemoryBlock& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

constexpr size_t kIhdrAt = 8;  // the header chunk follows the signature

// Where the first chunk of the type starts, 0 when there is none.
size_t ChunkAt(const MemoryBlock& png, const char* type) {
  for (size_t at = kIhdrAt; at + 8 <= png.size();) {
    if (std::equal(png.begin() + at + 4, png.begin() + at + 8, type)) return at;
    at += 12 + (size_t{png[at]} << 24 | size_t{png[at + 1]} << 16 | size_t{png[at + 2]} << 8 | png[at + 3]);
  }
  return 0;
}  // the header chunk follows the signature

// ---------------------------------------------------------------------------------------------
// Decoding files made by another encoder

struct ReferenceCase {
  const char* name;
  int channels, maxval, colours;
  const char* command;
  PngFacts facts;  // what the file must be (the converter's choice is checked, not assumed)
  int depth;       // what our decoder must deliver
  std::vector<uint32_t> transparent;  // filled in for the cases with tRNS
};

TEST_F(ImageTest, PngOfEveryColourTypeAndDepthLoadsWithTheReferencePixels) {
  const ReferenceCase cases[] = {
      {"grey 1-bit", 1, 1, 0, "pnmtopng", {1, 0, 0, false}, 24, {}},
      {"grey 8-bit", 1, 255, 0, "pnmtopng -force", {8, 0, 0, false}, 24, {}},
      {"grey 16-bit", 1, 65535, 0, "pamtopng", {16, 0, 0, false}, 24, {}},
      {"grey with tRNS", 1, 255, 0, "pnmtopng -force", {8, 0, 0, true}, 32, {}},
      {"grey and alpha", 2, 255, 0, "pamtopng", {8, 4, 0, false}, 32, {}},
      {"palette 2-bit", 3, 255, 3, "pnmtopng", {2, 3, 0, false}, 24, {}},
      {"palette 8-bit", 3, 255, 40, "pnmtopng", {8, 3, 0, false}, 24, {}},
      {"palette with tRNS", 3, 255, 3, "pnmtopng", {2, 3, 0, true}, 32, {}},
      {"RGB 8-bit", 3, 255, 0, "pamtopng", {8, 2, 0, false}, 24, {}},
      {"RGB 16-bit", 3, 65535, 0, "pamtopng", {16, 2, 0, false}, 24, {}},
      {"RGB with tRNS", 3, 255, 0, "pamtopng", {8, 2, 0, true}, 32, {}},
      {"RGBA 8-bit", 4, 255, 0, "pamtopng", {8, 6, 0, false}, 32, {}},
      {"RGBA 16-bit", 4, 65535, 0, "pamtopng", {16, 6, 0, false}, 32, {}},
      {"RGB interlaced", 3, 255, 0, "pnmtopng -force -interlace", {8, 2, 1, false}, 24, {}},
      {"RGBA interlaced", 4, 255, 0, "pamtopng -interlace", {8, 6, 1, false}, 32, {}},
      {"palette interlaced", 3, 255, 40, "pnmtopng -interlace", {8, 3, 1, false}, 24, {}},
  };
  for (ReferenceCase c : cases) {
    SCOPED_TRACE(c.name);
    const ReferencePicture picture = MakeReferencePicture(13, 7, c.channels, c.maxval, c.colours);
    std::string command = c.command;
    if (c.facts.has_trns) {
      // Make the colour of pixel (1, 0) transparent.
      const uint32_t* s = picture.samples.data() + c.channels;
      c.transparent.assign(s, s + c.channels);
      const bool grey = c.channels == 1;
      char colour[40];
      std::snprintf(colour, sizeof colour, " -transparent=rgb:%02x/%02x/%02x", s[0], s[grey ? 0 : 1], s[grey ? 0 : 2]);
      command += colour;
    }
    const MemoryBlock png = Convert(picture, command);
    const PngFacts facts = ReadPngFacts(png);
    ASSERT_EQ(facts.bit_depth, c.facts.bit_depth);
    ASSERT_EQ(facts.colour_type, c.facts.colour_type);
    ASSERT_EQ(facts.interlace, c.facts.interlace);
    ASSERT_EQ(facts.has_trns, c.facts.has_trns);

    const int64_t image = image_load_from_memory(kNewObject, png);
    ASSERT_NE(image, 0);
    EXPECT_EQ(image_depth(image), c.depth);
    EXPECT_EQ(image_find(image)->format, kImageFormatPng);
    EXPECT_EQ(gdk_pixbuf_get_rowstride(image_handle(image)), image_row_pitch(13, c.depth));
    ExpectPixels(image, picture, c.transparent);
    image_free(image);
  }
}

TEST_F(ImageTest, BmpOfEveryDepthLoadsAsRgb) {
  struct BmpCase {
    const char* command;
    int colours;
    int source_depth;
  };
  const BmpCase cases[] = {
      {"ppmtobmp -bpp=1", 2, 1},       {"ppmtobmp -bpp=4", 9, 4},   {"ppmtobmp -bpp=8", 40, 8},
      {"ppmtobmp -bpp=24", 0, 24},     {"ppmtobmp -os2 -bpp=8", 40, 8},
  };
  for (const BmpCase& c : cases) {
    SCOPED_TRACE(c.command);
    const ReferencePicture picture = MakeReferencePicture(11, 5, 3, 255, c.colours);
    const MemoryBlock bmp = Convert(picture, c.command);
    const int64_t image = image_load_from_memory(kNewObject, bmp);
    ASSERT_NE(image, 0);
    EXPECT_EQ(image_depth(image), 24);
    EXPECT_EQ(image_find(image)->source_depth, c.source_depth);
    EXPECT_EQ(image_find(image)->format, kImageFormatBmp);
    ExpectPixels(image, picture);
    image_free(image);
  }
}

TEST_F(ImageTest, DecodingBottomUpReversesTheRows) {
  const ReferencePicture picture = MakeReferencePicture(6, 4, 4, 255);
  const MemoryBlock png = Convert(picture, "pamtopng");
  DecodedPicture top_down, bottom_up;
  ASSERT_TRUE(image_decode_memory(png, 0, &top_down));
  ASSERT_TRUE(image_decode_memory(png, kImageBottomUp, &bottom_up));
  ASSERT_EQ(top_down.pixels.size(), size_t{6 * 4 * 4});
  for (int y = 0; y < 4; ++y) {
    const auto row = top_down.pixels.begin() + y * 24;
    EXPECT_TRUE(std::equal(row, row + 24, bottom_up.pixels.begin() + (3 - y) * 24)) << "row " << y;
    for (int x = 0; x < 6; ++x) {
      const std::array<uint8_t, 4> expected = ExpectedRgba(picture, x, y);
      EXPECT_TRUE(std::equal(expected.begin(), expected.end(), row + x * 4));
    }
  }
}

TEST_F(ImageTest, TwentyFourBitRowsArePaddedToFourBytes) {
  struct PitchCase {
    int width, depth, pitch;
  };
  const PitchCase cases[] = {{3, 24, 12}, {4, 24, 12}, {5, 24, 16}, {6, 24, 20}, {7, 24, 24}, {3, 32, 12}};
  for (const PitchCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " wide, depth " << c.depth);
    EXPECT_EQ(image_row_pitch(c.width, c.depth), c.pitch);
    const ReferencePicture picture = MakeReferencePicture(c.width, 3, c.depth / 8, 255);
    const int64_t image = image_load_from_memory(kNewObject, Convert(picture, "pamtopng"));
    ASSERT_NE(image, 0);
    EXPECT_EQ(gdk_pixbuf_get_rowstride(image_handle(image)), c.pitch);
    ExpectPixels(image, picture);
  }
}

// ---------------------------------------------------------------------------------------------
// The image table

TEST_F(ImageTest, CreateFillsWithTheColourOrTransparentWhite) {
  struct CreateCase {
    int depth;
    uint32_t colour;
    std::array<uint8_t, 4> pixel;
    int channels;
  };
  const CreateCase cases[] = {
      {32, kImageTransparentWhite, {255, 255, 255, 0}, 4},
      {32, 0x00332211, {0x11, 0x22, 0x33, 255}, 4},
      {32, 0x80332211, {0x11, 0x22, 0x33, 255}, 4},  // the top byte does not make it transparent
      {32, 0, {0, 0, 0, 255}, 4},
      {24, 0x00563412, {0x12, 0x34, 0x56, 255}, 3},
      {24, kImageTransparentWhite, {255, 255, 255, 255}, 3},
  };
  for (const CreateCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "depth " << c.depth << " colour " << std::hex << c.colour);
    const int64_t image = image_create(kNewObject, 4, 3, c.depth, c.colour);
    ASSERT_NE(image, 0);
    EXPECT_EQ(image_depth(image), c.depth);
    EXPECT_EQ(image_find(image)->format, 0);
    EXPECT_EQ(gdk_pixbuf_get_n_channels(image_handle(image)), c.channels);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelAt(image_handle(image), x, y), c.pixel);
    }
  }
}

TEST_F(ImageTest, NumbersAndHandlesNameTheSameImage) {
  const int64_t handle = image_create(7, 5, 6, 32, 0);
  ASSERT_NE(handle, 0);
  EXPECT_EQ(image_handle(7), image_handle(handle));
  EXPECT_EQ(image_width(handle), 5);
  // Reusing the number replaces the image; a failed creation leaves the number empty.
  image_create(7, 2, 2, 32, 0);
  EXPECT_EQ(image_width(7), 2);
  EXPECT_EQ(image_width(handle), 0);
  EXPECT_EQ(image_create(7, 0, 2, 32, 0), 0);
  EXPECT_EQ(image_handle(7), nullptr);
  EXPECT_EQ(image_width(7), 0);

  image_create(1, 1, 1, 24, 0);
  image_create(kNewObject, 1, 1, 24, 0);
  image_free(kAllObjects);
  EXPECT_EQ(image_width(1), 0);
  EXPECT_EQ(image_resize(1, 4, 4, 0), nullptr);
  EXPECT_EQ(image_copy_region(1, 2, 0, 0, 1, 1), 0);
}

TEST_F(ImageTest, ResizeKeepingBothSidesChangesNothing) {
  const ReferencePicture picture = MakeReferencePicture(5, 4, 4, 255);
  const int64_t image = image_load_from_memory(kNewObject, Convert(picture, "pamtopng"));
  GdkPixbuf* before = image_handle(image);
  EXPECT_EQ(image_resize(image, kImageKeepSize, kImageKeepSize, kImageResizeSmooth), before);
  EXPECT_EQ(image_resize(image, kImageKeepSize, kImageKeepSize, kImageResizeSmooth), before);
  EXPECT_EQ(image_handle(image), before);
  ExpectPixels(image, picture);
}

TEST_F(ImageTest, ResizeScalesTheGivenSidesOnly) {
  const int64_t image = image_create(kNewObject, 2, 2, 32, 0);
  guchar* pixels = gdk_pixbuf_get_pixels(image_handle(image));
  pixels[0] = 200;  // red in the top-left pixel only

  ASSERT_NE(image_resize(image, 4, kImageKeepSize, kImageResizeNearest), nullptr);
  EXPECT_EQ(image_width(image), 4);
  EXPECT_EQ(image_height(image), 2);
  ASSERT_NE(image_resize(image, kImageKeepSize, 6, kImageResizeNearest), nullptr);
  EXPECT_EQ(image_height(image), 6);
  // Nearest scaling repeats the red pixel over the top-left quarter exactly.
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelAt(image_handle(image), x, y)[0], x < 2 && y < 3 ? 200 : 0);
  }
  EXPECT_EQ(image_resize(image, 0, 3, kImageResizeSmooth), nullptr);
  EXPECT_EQ(image_width(image), 4);
  ASSERT_NE(image_resize(image, 9, 9, kImageResizeSmooth), nullptr);
  EXPECT_EQ(gdk_pixbuf_get_width(image_handle(image)), 9);
}

TEST_F(ImageTest, CopyRegionTakesThePixelsInsideTheSource) {
  const ReferencePicture picture = MakeReferencePicture(8, 6, 3, 255);
  ASSERT_NE(image_load_from_memory(3, Convert(picture, "pamtopng")), 0);
  const int64_t copy = image_copy_region(3, kNewObject, 2, 1, 5, 4);
  ASSERT_NE(copy, 0);
  EXPECT_EQ(image_width(copy), 5);
  EXPECT_EQ(image_height(copy), 4);
  EXPECT_EQ(image_find(copy)->format, kImageFormatPng);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(PixelAt(image_handle(copy), x, y), ExpectedRgba(picture, x + 2, y + 1));
  }
  // Regions reaching outside the source fail and leave the target alone.
  const int outside[][4] = {{-1, 0, 2, 2}, {0, -1, 2, 2}, {7, 0, 2, 1}, {0, 5, 1, 2}, {0, 0, 0, 1}, {0, 0, 9, 1}};
  for (const auto& r : outside) EXPECT_EQ(image_copy_region(3, copy, r[0], r[1], r[2], r[3]), 0);
  EXPECT_EQ(image_width(copy), 5);
  // A copy onto the source's own number replaces the source.
  ASSERT_NE(image_copy_region(3, 3, 1, 1, 2, 2), 0);
  EXPECT_EQ(image_width(3), 2);
  EXPECT_EQ(PixelAt(image_handle(3), 0, 0), ExpectedRgba(picture, 1, 1));
}

// Every pixel of the picture, row by row, without the rows' padding.
std::vector<uint8_t> PixbufBytes(GdkPixbuf* pixbuf) {
  std::vector<uint8_t> bytes;
  const int row = gdk_pixbuf_get_width(pixbuf) * gdk_pixbuf_get_n_channels(pixbuf);
  for (int y = 0; y < gdk_pixbuf_get_height(pixbuf); ++y) {
    const guchar* from = gdk_pixbuf_read_pixels(pixbuf) + static_cast<ptrdiff_t>(y) * gdk_pixbuf_get_rowstride(pixbuf);
    bytes.insert(bytes.end(), from, from + row);
  }
  return bytes;
}

// Records outside the table are decoded, cut and scaled as the table's calls do, on several
// threads at once, and then stored under a number.
TEST_F(ImageTest, RecordsOutsideTheTableAreMadeOnSeveralThreadsAsTheTableMakesImages) {
  for (const int channels : {3, 4}) {
    SCOPED_TRACE(channels);
    const MemoryBlock png = Convert(MakeReferencePicture(40, 30, channels, 255), "pamtopng");
    ASSERT_NE(image_load_from_memory(1, png), 0);
    ASSERT_NE(image_copy_region(1, 1, 3, 2, 30, 20), 0);
    ASSERT_NE(image_resize(1, 45, 33, kImageResizeSmooth), nullptr);
    const std::vector<uint8_t> expected = PixbufBytes(image_handle(1));

    std::vector<ImageObject> records(4);
    std::vector<int> made(records.size(), 0);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < records.size(); ++i) {
      threads.emplace_back([&, i] {
        made[i] = image_decode_object(png, &records[i]) && image_object_copy_region(&records[i], 3, 2, 30, 20) &&
                  image_object_resize(&records[i], 45, 33, kImageResizeSmooth);
      });
    }
    for (std::thread& thread : threads) thread.join();
    for (size_t i = 0; i < records.size(); ++i) {
      ASSERT_TRUE(made[i]);
      EXPECT_EQ(PixbufBytes(records[i].pixbuf), expected);
    }
    const int64_t stored = image_store(2, &records[0]);
    ASSERT_NE(stored, 0);
    EXPECT_EQ(records[0].pixbuf, nullptr);  // the table holds the picture now
    EXPECT_EQ(image_width(2), 45);
    EXPECT_EQ(image_depth(2), image_depth(1));
    EXPECT_EQ(image_find(2)->format, kImageFormatPng);
    EXPECT_EQ(PixbufBytes(image_handle(2)), expected);
  }

  // What the table's calls refuse, these refuse too, leaving the record as it was.
  ImageObject record;
  const std::vector<uint8_t> junk = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'};
  EXPECT_FALSE(image_decode_object(junk, &record));
  EXPECT_EQ(record.pixbuf, nullptr);
  EXPECT_FALSE(image_object_resize(&record, 4, 4, kImageResizeSmooth));
  EXPECT_EQ(image_store(2, &record), 0);
  EXPECT_EQ(image_width(2), 0);  // the number is emptied, as by any failed load
  ASSERT_TRUE(image_decode_object(Convert(MakeReferencePicture(8, 6, 3, 255), "pamtopng"), &record));
  EXPECT_FALSE(image_object_copy_region(&record, 7, 0, 2, 1));
  EXPECT_FALSE(image_object_resize(&record, 0, 3, kImageResizeSmooth));
  EXPECT_EQ(record.width, 8);
  EXPECT_EQ(gdk_pixbuf_get_height(record.pixbuf), 6);
}

// A handle made with kNewObject names its image as well as a number does, also as the target of
// a call that stores a new image: the new image takes the handle's place.
TEST_F(ImageTest, AFreshHandleCanBeTheTargetOfEveryCallThatMakesAnImage) {
  const ReferencePicture picture = MakeReferencePicture(8, 6, 4, 255);
  const MemoryBlock png = Convert(picture, "pamtopng");
  const int64_t image = image_load_from_memory(kNewObject, png);
  ASSERT_NE(image, 0);
  // A region of the image onto its own handle, as the cover-crop of the splash does.
  EXPECT_EQ(image_copy_region(image, image, 2, 1, 5, 4), image);
  EXPECT_EQ(image_width(image), 5);
  EXPECT_EQ(image_height(image), 4);
  EXPECT_EQ(PixelAt(image_handle(image), 0, 0), ExpectedRgba(picture, 2, 1));
  // Onto the handle of another image, and loads and creations into a handle.
  const int64_t other = image_create(kNewObject, 3, 3, 32, 0);
  ASSERT_NE(other, 0);
  EXPECT_EQ(image_copy_region(image, other, 0, 0, 2, 2), other);
  EXPECT_EQ(image_width(other), 2);
  EXPECT_EQ(image_width(image), 5);  // the source stays
  EXPECT_EQ(image_load_from_memory(other, png), other);
  EXPECT_EQ(image_width(other), 8);
  EXPECT_EQ(image_create(other, 9, 2, 24, 0), other);
  EXPECT_EQ(image_width(other), 9);
  EXPECT_EQ(image_depth(other), 24);
  // A handle of a numbered image keeps the number naming the new image too.
  const int64_t numbered = image_create(4, 2, 2, 32, 0);
  EXPECT_EQ(image_create(numbered, 6, 6, 32, 0), numbered);
  EXPECT_EQ(image_width(4), 6);
  // A failure leaves the handle empty; a handle that names nothing stores nothing.
  EXPECT_EQ(image_create(other, 0, 2, 32, 0), 0);
  EXPECT_EQ(image_width(other), 0);
  EXPECT_EQ(image_create(other, 2, 2, 32, 0), 0);
  EXPECT_EQ(image_copy_region(image, other, 0, 0, 1, 1), 0);
  image_free(image);
  EXPECT_EQ(image_load_from_memory(image, png), 0);
}

// ---------------------------------------------------------------------------------------------
// Encoding

TEST_F(ImageTest, BottomUpRgbaRowsAreSavedUprightAndReadByAnotherDecoder) {
  const ReferencePicture picture = MakeReferencePicture(7, 5, 4, 255);
  // Lay the rows out bottom row first with a padded pitch, as a texture read back gives them.
  const int64_t pitch = 7 * 4 + 4;
  std::vector<uint8_t> rows(pitch * 5, 0xEE);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 7; ++x) {
      const auto rgba = ExpectedRgba(picture, x, y);
      std::copy(rgba.begin(), rgba.end(), rows.begin() + (4 - y) * pitch + x * 4);
    }
  }
  const std::string name = folder_ + "shot.png";
  ASSERT_EQ(image_encode(text_from_utf8(name), kImageFormatPng, {rows, 7, 5, pitch, 32, kImageBottomUp}), 1);

  const MemoryBlock png = ReadWholeFile(name);
  const PngFacts facts = ReadPngFacts(png);
  EXPECT_EQ(facts.bit_depth, 8);
  EXPECT_EQ(facts.colour_type, 6);
  EXPECT_EQ(facts.interlace, 0);
  EXPECT_TRUE(facts.unfiltered);

  const int64_t image = image_load(kNewObject, text_from_utf8(name));
  ASSERT_NE(image, 0);
  EXPECT_EQ(image_depth(image), 32);
  ExpectPixels(image, picture);

  int width = 0, height = 0;
  const std::vector<uint8_t> theirs = ParsePamAsRgba(RunConverter("pngtopam -alphapam " + name), &width, &height);
  ASSERT_EQ(width, 7);
  ASSERT_EQ(height, 5);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 7; ++x) {
      const auto expected = ExpectedRgba(picture, x, y);
      EXPECT_TRUE(std::equal(expected.begin(), expected.end(), theirs.begin() + (y * 7 + x) * 4));
    }
  }
}

TEST_F(ImageTest, TwentyFourBitSaveCompositesOverWhite) {
  // Colour 200, 100, 0 under alphas 255, 128 and 0; a 24-bit picture saves as it is.
  const std::vector<uint8_t> rgba = {200, 100, 0, 255, 200, 100, 0, 128, 200, 100, 0, 0};
  const std::string name = folder_ + "flat.png";
  ASSERT_EQ(image_encode(text_from_utf8(name), kImageFormatPng, {rgba, 3, 1, 12, 32, 0}, 7, 24), 1);
  EXPECT_EQ(ReadPngFacts(ReadWholeFile(name)).colour_type, 2);
  const int64_t image = image_load(kNewObject, text_from_utf8(name));
  ASSERT_NE(image, 0);
  EXPECT_EQ(image_depth(image), 24);
  using Pixel = std::array<uint8_t, 4>;
  EXPECT_EQ(PixelAt(image_handle(image), 0, 0), (Pixel{200, 100, 0, 255}));
  EXPECT_EQ(PixelAt(image_handle(image), 1, 0), (Pixel{227, 177, 127, 255}));
  EXPECT_EQ(PixelAt(image_handle(image), 2, 0), (Pixel{255, 255, 255, 255}));

  const std::vector<uint8_t> rgb = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
  const MemoryBlock png = png_encode_to_memory({rgb, 2, 2, 8, 24, 0});
  DecodedPicture decoded;
  ASSERT_TRUE(image_decode_memory(png, 0, &decoded));
  EXPECT_EQ(decoded.depth, 24);
  EXPECT_EQ(decoded.pixels, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
}

TEST_F(ImageTest, EncodingRefusesWhatCannotBeWritten) {
  const std::vector<uint8_t> rgba(16 * 4, 9);
  const Text name = text_from_utf8(folder_ + "refused.png");
  EXPECT_EQ(image_encode(name, kImageFormatBmp, {rgba, 4, 4, 16, 32, 0}), 0);  // no BMP encoder
  EXPECT_EQ(image_encode(Text(), kImageFormatPng, {rgba, 4, 4, 16, 32, 0}), 0);
  EXPECT_EQ(image_encode(name, kImageFormatPng, {rgba, 5, 4, 20, 32, 0}), 0);  // rows beyond the bytes
  EXPECT_EQ(image_encode(name, kImageFormatPng, {rgba, 4, 4, 8, 32, 0}), 0);   // pitch shorter than a row
  EXPECT_EQ(image_encode(name, kImageFormatPng, {rgba, 0, 4, 16, 32, 0}), 0);
  // A pitch so large that pitch x 4 rows wraps around to 0 must not pass for one that fits.
  EXPECT_EQ(image_encode(name, kImageFormatPng, {rgba, 4, 5, int64_t{1} << 62, 32, 0}), 0);
  EXPECT_FALSE(image_rows_fit({rgba, 4, 5, int64_t{1} << 62, 32, 0}));
  EXPECT_TRUE(image_rows_fit({rgba, 4, 4, 16, 32, 0}));
  EXPECT_EQ(access((folder_ + "refused.png").c_str(), F_OK), -1);
  EXPECT_EQ(image_encode(text_from_utf8(folder_ + "no/such/folder.png"), kImageFormatPng, {rgba, 4, 4, 16, 32, 0}), 0);
}

TEST_F(ImageTest, WriteFailingHalfwayLeavesNoFile) {
  // Noise does not compress, so the file outgrows the size limit set below.
  std::vector<uint8_t> noise(256 * 256 * 4);
  uint32_t seed = 12345;
  for (uint8_t& byte : noise) byte = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
  const std::string name = folder_ + "big.png";

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 20000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const int written = image_encode(text_from_utf8(name), kImageFormatPng, {noise, 256, 256, 1024, 32, 0});
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);

  EXPECT_EQ(written, 0);
  EXPECT_EQ(access(name.c_str(), F_OK), -1);
}

// ---------------------------------------------------------------------------------------------
// Damaged data

TEST_F(ImageTest, DamagedDataIsRefusedAndLeavesTheNumberEmpty) {
  const ReferencePicture picture = MakeReferencePicture(9, 9, 3, 255);
  const MemoryBlock good = Convert(picture, "pamtopng");
  const MemoryBlock good_bmp = Convert(picture, "ppmtobmp -bpp=24");
  const size_t idat = ChunkAt(good, "IDAT");
  ASSERT_NE(idat, 0u);

  std::vector<std::pair<const char*, MemoryBlock>> cases;
  cases.push_back({"empty", {}});
  cases.push_back({"neither signature", MemoryBlock{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0}});
  cases.push_back({"signature only", MemoryBlock(good.begin(), good.begin() + 8)});
  for (size_t length : {size_t{7}, size_t{20}, size_t{33}, idat + 10, good.size() / 2, good.size() - 13}) {
    cases.push_back({"truncated PNG", MemoryBlock(good.begin(), good.begin() + length)});
  }
  MemoryBlock bad_crc = good;
  bad_crc[kIhdrAt + 8 + 13] ^= 1;
  cases.push_back({"header CRC wrong", bad_crc});
  bad_crc = good;
  bad_crc[idat + 10] ^= 0x40;
  cases.push_back({"data CRC wrong", bad_crc});
  for (uint32_t width : {0u, 100000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    MemoryBlock huge = good;
    PutBig32(huge, kIhdrAt + 8, width);
    FixCrc(huge, kIhdrAt);
    cases.push_back({"too wide, or no width", huge});
  }
  MemoryBlock tall = good;
  PutBig32(tall, kIhdrAt + 12, kImageMaxSide + 1);
  FixCrc(tall, kIhdrAt);
  cases.push_back({"too tall", tall});
  MemoryBlock too_many = good;
  PutBig32(too_many, kIhdrAt + 8, 10000);
  PutBig32(too_many, kIhdrAt + 12, 10000);
  FixCrc(too_many, kIhdrAt);
  cases.push_back({"too many pixels", too_many});
  cases.push_back({"truncated BMP", MemoryBlock(good_bmp.begin(), good_bmp.end() - 5)});
  MemoryBlock bmp_reserved = good_bmp;
  bmp_reserved[6] = 1;
  cases.push_back({"BMP reserved word set", bmp_reserved});
  MemoryBlock bmp_huge = good_bmp;
  bmp_huge[18 + 3] = 0x7F;  // width
  cases.push_back({"too wide BMP", bmp_huge});
  MemoryBlock bmp_offset = good_bmp;
  bmp_offset[13] = 0x7F;  // pixel data offset far beyond the end
  cases.push_back({"BMP data offset outside", bmp_offset});

  for (const auto& [what, bytes] : cases) {
    SCOPED_TRACE(what);
    // Sizes beyond the limits are refused before any pixels are allocated.
    if (std::string(what).find("too") == 0) {
      EXPECT_EQ(image_identify(bytes), 0);
    }
    ASSERT_NE(image_create(4, 2, 2, 32, 0), 0);
    const auto exact = ExactCopy(bytes);
    EXPECT_EQ(image_load_from_memory(4, {exact.get(), bytes.size()}), 0);
    EXPECT_EQ(image_handle(4), nullptr);
    DecodedPicture decoded;
    EXPECT_EQ(image_decode_memory({exact.get(), bytes.size()}, 0, &decoded), 0);
  }
  // The undamaged originals load.
  EXPECT_NE(image_load_from_memory(4, good), 0);
  EXPECT_NE(image_load_from_memory(5, good_bmp), 0);
  EXPECT_EQ(image_load(6, text_from_utf8(folder_ + "missing.png")), 0);
  // Files that are no pictures are refused without reading them to an end they do not have.
  for (const std::string& name : {std::string("/dev/zero"), folder_}) {
    ASSERT_NE(image_create(6, 2, 2, 32, 0), 0);
    EXPECT_EQ(image_load(6, text_from_utf8(name)), 0) << name;
    EXPECT_EQ(image_handle(6), nullptr) << name;
  }
}

}  // namespace
