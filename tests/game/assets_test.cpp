// The scaling of the title and splash pictures to the screen.
#include "game/assets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

TEST(TitleHeight, ScalesToTheScreenWidthRoundedToTheNearestPixel) {
  struct Case {
    int image_width, image_height, screen_width, height;
  } cases[] = {
      {1920, 1080, 1280, 720},  {1920, 1080, 1366, 768},   // 768.375
      {1920, 1080, 1024, 576},  {1920, 1080, 3840, 2160},  {1920, 1080, 1920, 1080},
      {1000, 333, 1001, 333},   // 333.333
      {1000, 335, 1001, 335},   // 335.335
      {1920, 1200, 1680, 1050}, {0, 500, 1280, 500},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TitleHeight(c.image_width, c.image_height, c.screen_width), c.height)
        << c.image_width << " x " << c.image_height << " at " << c.screen_width;
  }
}

TEST(CoverScreen, TakesTheCentredRegionOfTheScreensExactShape) {
  struct Case {
    int width, height, screen_width, screen_height;
    SplashCrop crop;
  } cases[] = {
      // The picture already has the screen's shape: taken whole (and scaled if need be).
      {1920, 1080, 1920, 1080, {0, 0, 1920, 1080}},
      {1920, 1080, 1280, 720, {0, 0, 1920, 1080}},
      // Wide screens: the middle rows (a 1920 x 800 band for 3840 x 1600, not a flattened one).
      {1920, 1080, 3840, 1600, {0, 140, 1920, 800}},
      {1920, 1080, 2560, 1080, {0, 135, 1920, 810}},
      {1920, 1080, 3840, 1080, {0, 270, 1920, 540}},
      // Tall, square and 4:3 screens: the middle columns (607.5 rounds to 608).
      {1920, 1080, 1080, 1920, {656, 0, 608, 1080}},
      {1920, 1080, 1080, 1080, {420, 0, 1080, 1080}},
      {1920, 1080, 1600, 1200, {240, 0, 1440, 1080}},
      // Tiny pictures keep at least a pixel; an empty one is taken as it is.
      {2, 1, 1, 1000, {0, 0, 1, 1}},
      {0, 1080, 3840, 1600, {0, 0, 0, 1080}},
  };
  for (const Case& c : cases) {
    const SplashCrop crop = CoverScreen(c.width, c.height, c.screen_width, c.screen_height);
    const std::string where = std::to_string(c.width) + " x " + std::to_string(c.height) + " on " +
                              std::to_string(c.screen_width) + " x " + std::to_string(c.screen_height);
    EXPECT_EQ(crop.X, c.crop.X) << where;
    EXPECT_EQ(crop.Y, c.crop.Y) << where;
    EXPECT_EQ(crop.Width, c.crop.Width) << where;
    EXPECT_EQ(crop.Height, c.crop.Height) << where;
  }
}

TEST(CoverScreen, TheRegionKeepsTheScreensShapeAndLiesInsideThePicture) {
  const int screens[][2] = {{1024, 576}, {1024, 600},  {1280, 1024}, {1366, 768},  {1920, 1200}, {1920, 1440},
                            {2560, 1080}, {2560, 1600}, {3440, 1440}, {3840, 1600}, {3840, 1080}, {1080, 1920},
                            {777, 333},  {333, 777}};
  for (const auto& screen : screens) {
    const int w = screen[0], h = screen[1];
    const SplashCrop crop = CoverScreen(1920, 1080, w, h);
    SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
    EXPECT_GE(crop.X, 0);
    EXPECT_GE(crop.Y, 0);
    EXPECT_LE(crop.X + crop.Width, 1920);
    EXPECT_LE(crop.Y + crop.Height, 1080);
    // One side is the picture's whole side, and the shape is the screen's to within a pixel.
    EXPECT_TRUE(crop.Width == 1920 || crop.Height == 1080);
    EXPECT_NEAR(static_cast<double>(crop.Width) / crop.Height * h, w, static_cast<double>(w) / std::min(crop.Width, crop.Height) + 1e-9);
    // Centred: the margins on both sides differ by at most a pixel.
    EXPECT_LE(std::abs((1920 - crop.Width - crop.X) - crop.X), 1);
    EXPECT_LE(std::abs((1080 - crop.Height - crop.Y) - crop.Y), 1);
  }
}

TEST(PictureShape, ClassesWithoutPicturesOfTheirOwnTakeTheWideOnes) {
  const char* shapes[] = {"3x2", "4x3", "5x4", "16x9", "16x10", "17x9", "16x9", "16x9"};
  for (int aspect = 0; aspect < 8; ++aspect) {
    EXPECT_EQ(text_to_utf8(PictureShape(aspect)), shapes[aspect]) << aspect;
    EXPECT_EQ(PictureClass(aspect), aspect == 6 ? 7 : aspect);
  }
  EXPECT_EQ(PictureClass(-1), 7);
  EXPECT_EQ(PictureClass(8), 7);
}

}  // namespace
