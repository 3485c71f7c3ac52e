// Screenshots of the real back buffer.
#include "game/screenshot.h"

#include <gtest/gtest.h>

#include <string>

#include "game/core/game.h"
#include "runtime/data/files.h"
#include "runtime/display/image.h"
#include "runtime/display/screen.h"
#include "tests/support/temp_folder.h"
#include "tests/support/x11_display.h"

namespace {

TEST(ScreenshotX11, SavesTheDrawnPictureAsPngIntoTheSaveFolder) {
  ASSERT_TRUE(x11_open_drawing_screen());
  TempFolder folder;
  Folders.SaveTo = text_from_utf8(folder.path());
  GameDisplay.ScreenWidth = screen_width();
  GameDisplay.ScreenHeight = screen_height();
  x11_clear_screen(200, 30, 40);
  const int64_t before = date_now();
  ASSERT_EQ(TakeScreenshot(), 1);
  ASSERT_EQ(TakeScreenshot(), 1);  // the same second, most likely: a second file either way

  int files = 0;
  for (int64_t date = before; date <= date_now(); ++date) {
    const Text plain = Folders.SaveTo + u"Cratevale " + date_format(u"%dd-%mm-%yyyy %hh-%ii-%ss", date) + u".png";
    if (file_size(plain) > 0) {
      ++files;
      const int64_t image = image_load(kNewObject, plain);
      ASSERT_NE(image, 0);
      EXPECT_EQ(image_width(image), GameDisplay.ScreenWidth);
      EXPECT_EQ(image_height(image), GameDisplay.ScreenHeight);
      image_free(image);
    }
    const Text second = Folders.SaveTo + u"Cratevale " + date_format(u"%dd-%mm-%yyyy %hh-%ii-%ss", date) + u" (2).png";
    if (file_size(second) > 0) ++files;
  }
  EXPECT_EQ(files, 2);
  screen_close();
}

TEST(ScreenshotX11, FailedGrabIsLoggedAndWritesNothing) {
  screen_close();
  TempFolder folder;
  Folders.SaveTo = text_from_utf8(folder.path());
  GameDisplay.ScreenWidth = 64;
  GameDisplay.ScreenHeight = 64;
  EXPECT_EQ(TakeScreenshot(), 0);
  EXPECT_EQ(file_size(ScreenshotPath(Folders.SaveTo, date_now())), -1);
}

}  // namespace
