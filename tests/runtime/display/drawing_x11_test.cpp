// Raster and vector drawing on images: boxes and blits into pixel memory, text and pictures
// through cairo and pango, and what comes back into the image when drawing stops.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "runtime/display/drawing.h"
#include "runtime/display/image.h"
#include "runtime/display/toolkit.h"

namespace {

using Pixel = std::array<int, 4>;  // red, green, blue, alpha (alpha 255 for 24-bit images)

Pixel At(int64_t image, int x, int y) {
  GdkPixbuf* pixbuf = image_handle(image);
  const int channels = gdk_pixbuf_get_n_channels(pixbuf);
  const uint8_t* p = gdk_pixbuf_read_pixels(pixbuf) + y * gdk_pixbuf_get_rowstride(pixbuf) + x * channels;
  return {p[0], p[1], p[2], channels == 4 ? p[3] : 255};
}

// The bounding box of the pixels that differ from the background, or an empty box.
struct Box {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  bool empty() const { return right < 0; }
};

Box Inked(int64_t image, Pixel background) {
  Box box;
  for (int y = 0; y < image_height(image); ++y) {
    for (int x = 0; x < image_width(image); ++x) {
      if (At(image, x, y) == background) continue;
      box.left = std::min(box.left, x);
      box.top = std::min(box.top, y);
      box.right = std::max(box.right, x);
      box.bottom = std::max(box.bottom, y);
    }
  }
  return box;
}

class DrawingTest : public testing::Test {
 protected:
  void SetUp() override {
    toolkit_init();
    font_init();
    ASSERT_NE(font_load(0, u"Sans", 30, kFontBold), 0);
  }
  void TearDown() override {
    vector_drawing_stop();
    image_free(-1);
    font_free(-1);
  }

  // Vector drawing on a fresh image with the font at `size` pixels.
  cairo_t* StartVector(int64_t image, double size = 20) {
    EXPECT_EQ(image_vector_output(image, kUnitPixel), 1);
    cairo_t* cairo = vector_drawing_start(1);
    vector_font(font_handle(0), size);
    return cairo;
  }
};

TEST_F(DrawingTest, BoxesAreClippedMirroredAndLeaveAlphaAlone) {
  struct Case {
    const char* name;
    int x, y, width, height;
    Box expected;  // empty: nothing drawn
  };
  const Case cases[] = {
      {"plain", 1, 2, 3, 2, {1, 2, 3, 3}},
      {"negative width and height", 4, 4, -3, -2, {1, 2, 3, 3}},
      {"partly outside", -2, 6, 4, 10, {0, 6, 1, 7}},
      {"wholly outside", 8, 0, 5, 5, {}},
      {"wholly left", -5, 0, 5, 5, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Transparent white: the box must keep alpha 0.
    ASSERT_NE(image_create(1, 8, 8, 32, kImageTransparentWhite), 0);
    ASSERT_NE(drawing_start(image_output(1)), 0u);
    draw_box(c.x, c.y, c.width, c.height, rgba(10, 20, 30, 255));
    drawing_stop();
    const Box box = Inked(1, {255, 255, 255, 0});
    EXPECT_EQ(box.empty(), c.expected.empty());
    if (!c.expected.empty()) {
      EXPECT_EQ(box.left, c.expected.left);
      EXPECT_EQ(box.top, c.expected.top);
      EXPECT_EQ(box.right, c.expected.right);
      EXPECT_EQ(box.bottom, c.expected.bottom);
      EXPECT_EQ(At(1, box.left, box.top), (Pixel{10, 20, 30, 0}));
    }
  }
  EXPECT_EQ(drawing_start(nullptr), 0u);
  EXPECT_EQ(image_output(99), nullptr);
  // Drawing on after the image went writes into pixels nobody sees, not into freed memory.
  ASSERT_NE(drawing_start(image_output(1)), 0u);
  image_free(1);
  draw_box(0, 0, 8, 8, rgb(1, 2, 3));
  drawing_stop();
}

TEST_F(DrawingTest, PictureBlitSkipsWhatLiesOutsideTheTarget) {
  ASSERT_NE(image_create(1, 4, 4, 24, 0), 0);
  ASSERT_NE(image_create(2, 3, 3, 32, 0), 0);
  GdkPixbuf* picture = image_handle(2);
  uint8_t* p = gdk_pixbuf_get_pixels(picture);
  const int stride = gdk_pixbuf_get_rowstride(picture);
  p[1 * stride + 1 * 4] = 200;  // the middle pixel is red
  p[1 * stride + 1 * 4 + 3] = 0;  // and its alpha is ignored
  ASSERT_NE(drawing_start(image_output(1)), 0u);
  draw_image(picture, -1, -1);
  draw_image(picture, 3, 3);  // only the picture's top-left pixel lands
  drawing_stop();
  EXPECT_EQ(At(1, 0, 0), (Pixel{200, 0, 0, 255}));
  EXPECT_EQ(At(1, 1, 1), (Pixel{0, 0, 0, 255}));
  EXPECT_EQ(At(1, 3, 3), (Pixel{0, 0, 0, 255}));
}

TEST_F(DrawingTest, OnlyAColourWithAlphaPaintsText) {
  struct Case {
    uint32_t colour;
    bool paints;
  };
  for (const Case& c : {Case{rgb(255, 255, 255), false}, Case{rgba(255, 255, 255, 255), true}}) {
    ASSERT_NE(image_create(1, 120, 40, 32, 0), 0);
    StartVector(1);
    vector_source_color(c.colour);
    vector_move_to(5, 5);
    vector_text_draw(u"Crates");
    vector_drawing_stop();
    const Box box = Inked(1, {0, 0, 0, 255});
    EXPECT_EQ(!box.empty(), c.paints);
    if (c.paints) {
      EXPECT_GE(box.left, 5);
      EXPECT_GE(box.top, 5);
    }
  }
}

TEST_F(DrawingTest, LongParagraphIsCutToItsBox) {
  ASSERT_NE(image_create(1, 300, 120, 32, 0), 0);
  StartVector(1, 16);
  vector_source_color(rgba(255, 255, 255, 255));
  vector_move_to(0, 0);
  const double line = vector_text_height(u"Ag");
  ASSERT_GT(line, 0);
  std::u16string text;
  for (int i = 0; i < 40; ++i) text += u"crate keeper ";
  vector_paragraph_draw(text, 200, line * 2, 0);
  vector_drawing_stop();
  const Box box = Inked(1, {0, 0, 0, 255});
  ASSERT_FALSE(box.empty());
  EXPECT_LT(box.right, 200);
  EXPECT_LT(box.bottom, line * 2 + 2);  // two lines, the second ending in an ellipsis
  EXPECT_GT(box.bottom, line);
}

TEST_F(DrawingTest, MeasuringEmptyTextsGivesZero) {
  ASSERT_NE(image_create(1, 50, 50, 32, 0), 0);
  StartVector(1);
  EXPECT_EQ(vector_text_width(u""), 0);
  EXPECT_EQ(vector_text_width(Text()), 0);
  const double short_width = vector_text_width(u"Box");
  EXPECT_GT(short_width, 0);
  EXPECT_GT(vector_text_width(u"Box Box"), short_width);
  EXPECT_GT(vector_text_height(u"Box"), 0);
  EXPECT_GT(vector_text_height(u"Box", kMeasureBaseline), 0);
  // Nothing is measured without a drawing.
  vector_drawing_stop();
  EXPECT_EQ(vector_text_width(u"Box"), 0);
}

TEST_F(DrawingTest, WriteBackRestoresColoursAndClearsTransparentPixels) {
  ASSERT_NE(image_create(1, 2, 1, 32, kImageTransparentWhite), 0);
  uint8_t* p = gdk_pixbuf_get_pixels(image_handle(1));
  const uint8_t soft[4] = {200, 100, 50, 128};
  std::copy(soft, soft + 4, p + 4);
  StartVector(1);
  vector_drawing_stop();
  EXPECT_EQ(At(1, 0, 0), (Pixel{0, 0, 0, 0}));
  const Pixel back = At(1, 1, 0);
  EXPECT_EQ(back[3], 128);
  EXPECT_NEAR(back[0], 200, 1);
  EXPECT_NEAR(back[1], 100, 1);
  EXPECT_NEAR(back[2], 50, 1);
}

TEST_F(DrawingTest, ImageResizedWhileDrawingGetsOnlyWhatFits) {
  ASSERT_NE(image_create(1, 40, 30, 32, 0), 0);
  cairo_t* cairo = StartVector(1);
  vector_source_color(rgba(255, 255, 255, 255));
  cairo_paint(cairo);
  ASSERT_NE(image_resize(1, 10, 50, kImageResizeNearest), nullptr);
  vector_drawing_stop();
  EXPECT_EQ(At(1, 9, 29), (Pixel{255, 255, 255, 255}));
  EXPECT_EQ(At(1, 9, 49), (Pixel{0, 0, 0, 255}));
}

TEST_F(DrawingTest, PictureDrawMovesThePointToItsCorner) {
  ASSERT_NE(image_create(1, 40, 40, 24, 0), 0);
  ASSERT_NE(image_create(2, 4, 4, 24, 0xFF), 0);  // red
  cairo_t* cairo = StartVector(1);
  ASSERT_NE(cairo, nullptr);
  vector_move_to(10, 5);
  vector_image_draw(image_handle(2), 255, 8, 6);
  double x = 0, y = 0;
  cairo_get_current_point(cairo, &x, &y);
  EXPECT_EQ(x, 18);
  EXPECT_EQ(y, 11);
  vector_drawing_stop();
  // Scaling softens the edges by a pixel; the picture lies in its 8 x 6 box.
  EXPECT_EQ(At(1, 13, 8), (Pixel{255, 0, 0, 255}));
  const Box box = Inked(1, {0, 0, 0, 255});
  EXPECT_NEAR(box.left, 10, 1);
  EXPECT_NEAR(box.top, 5, 1);
  EXPECT_NEAR(box.right, 17, 1);
  EXPECT_NEAR(box.bottom, 10, 1);
}

TEST_F(DrawingTest, VectorOutputNeedsAnImage) {
  EXPECT_EQ(image_vector_output(42, kUnitPixel), 0);
  EXPECT_EQ(vector_drawing_start(1), nullptr);
  EXPECT_EQ(font_handle(7), nullptr);
  vector_font(nullptr, 20);  // harmless
}

}  // namespace
