// The aspect class of a screen size, whatever the locale says about decimal separators.
#include "game/display.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "runtime/data/text.h"

namespace {

struct AspectCase {
  int width;
  int height;
  const char* text;
  int aspect;
};

constexpr AspectCase kAspects[] = {
    {1920, 1080, "1.78", 3}, {1366, 768, "1.78", 3},  {1024, 576, "1.78", 3},  {1360, 768, "1.77", 3},
    {1280, 1024, "1.25", 2}, {1024, 768, "1.33", 1},  {1440, 900, "1.60", 4},  {1280, 800, "1.60", 4},
    {1440, 960, "1.50", 0},  {2048, 1080, "1.90", 5}, {2040, 1080, "1.89", 5}, {2560, 1080, "2.37", 6},
    {3440, 1440, "2.39", 6}, {1720, 720, "2.39", 6},  {3840, 1600, "2.40", 7}, {1000, 1000, "1.00", 7},
    {800, 1280, "0.62", 7},  {5120, 1440, "3.56", 7},
};

void ExpectAspects() {
  for (const AspectCase& c : kAspects) {
    EXPECT_EQ(text_to_utf8(AspectText(c.width, c.height)), c.text) << c.width << " x " << c.height;
    EXPECT_EQ(ClassifyAspect(c.width, c.height), c.aspect) << c.width << " x " << c.height;
  }
}

TEST(ClassifyAspect, RatiosOfTheKnownShapesAndOthers) { ExpectAspects(); }

TEST(ClassifyAspect, ACommaLocaleStillWritesAPoint) {
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "no German locale on this machine";
  char formatted[16];
  std::snprintf(formatted, sizeof formatted, "%.2f", 1.5);
  EXPECT_STREQ(formatted, "1,50");  // the locale really is in force
  ExpectAspects();
  std::setlocale(LC_ALL, "C");
}

TEST(ClassifyAspect, ASizeWithoutHeightIsOfNoKnownShape) {
  EXPECT_EQ(ClassifyAspect(1920, 0), 7);
  EXPECT_EQ(ClassifyAspect(0, 1080), 7);
}

TEST(WindowTitle, NamesTheGameTheStudioAndItsAddress) {
  const std::string title = text_to_utf8(WindowTitle());
  EXPECT_EQ(title.rfind("Cratevale 1.0 - Kelmaris Interactive (", 0), 0u) << title;
  EXPECT_EQ(title.back(), ')');
}

}  // namespace
