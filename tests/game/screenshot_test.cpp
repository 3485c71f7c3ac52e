// Screenshot file names.
#include "game/screenshot.h"

#include <gtest/gtest.h>

#include "runtime/data/files.h"
#include "tests/support/temp_folder.h"

namespace {

TEST(Screenshot, NameFollowsTheDateAndNeverOverwritesAnEarlierPicture) {
  TempFolder folder;
  const Text dir = text_from_utf8(folder.path());
  const int64_t date = date_make(2026, 12, 7, 14, 5, 9);
  const Text first = ScreenshotPath(dir, date);
  EXPECT_EQ(first, dir + u"Cratevale 07-12-2026 14-05-09.png");
  folder.Write("Cratevale 07-12-2026 14-05-09.png", "first");
  EXPECT_EQ(ScreenshotPath(dir, date), dir + u"Cratevale 07-12-2026 14-05-09 (2).png");
  folder.Write("Cratevale 07-12-2026 14-05-09 (2).png", "second");
  EXPECT_EQ(ScreenshotPath(dir, date), dir + u"Cratevale 07-12-2026 14-05-09 (3).png");
  // The next second starts over with the plain name.
  EXPECT_EQ(ScreenshotPath(dir, date + 1), dir + u"Cratevale 07-12-2026 14-05-10.png");
}

}  // namespace
