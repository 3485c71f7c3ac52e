// The scaling of the title and splash pictures to the screen.
#include "game/assets.h"

#include <gtest/gtest.h>

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

TEST(CoverScreen, CoversTheScreenAndCropsAtTheCentre) {
  struct Case {
    int width, height, screen_width, screen_height;
    SplashCrop crop;
  } cases[] = {
      // The picture already has the screen's size.
      {1920, 1080, 1920, 1080, {1920, 1080, 0, 0}},
      // Same whole-number ratio: stretched to the screen.
      {1920, 1080, 1280, 720, {1280, 720, 0, 0}},
      {1600, 1200, 1280, 1024, {1280, 1024, 0, 0}},
      // A wide screen: scaled to its width, the band in the middle kept (rows 210-1809).
      {1920, 1080, 3840, 1600, {3840, 2020, 0, 210}},
      {1920, 1080, 2560, 1080, {2560, 1340, 0, 130}},
      // A tall screen: scaled to its height, the middle columns kept.
      {1920, 1080, 1080, 1920, {3648, 1920, 1284, 0}},
      {1920, 1080, 800, 1280, {2432, 1280, 816, 0}},
      // Pictures under 100 pixels on a side are stretched.
      {99, 1080, 3840, 1600, {3840, 1600, 0, 0}},
      {1920, 50, 3840, 1600, {3840, 1600, 0, 0}},
      // Truncation leaves both sides short: stretched to the width rather than cut outside.
      {3935, 1439, 77, 21, {77, 21, 0, 0}},
  };
  for (const Case& c : cases) {
    const SplashCrop crop = CoverScreen(c.width, c.height, c.screen_width, c.screen_height);
    const std::string where = std::to_string(c.width) + " x " + std::to_string(c.height) + " on " +
                              std::to_string(c.screen_width) + " x " + std::to_string(c.screen_height);
    EXPECT_EQ(crop.ResizeWidth, c.crop.ResizeWidth) << where;
    EXPECT_EQ(crop.ResizeHeight, c.crop.ResizeHeight) << where;
    EXPECT_EQ(crop.X, c.crop.X) << where;
    EXPECT_EQ(crop.Y, c.crop.Y) << where;
    // The screen-sized region always lies inside the resized picture.
    EXPECT_LE(crop.X + c.screen_width, crop.ResizeWidth) << where;
    EXPECT_LE(crop.Y + c.screen_height, crop.ResizeHeight) << where;
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
