// The play screen's geometry for every supported screen shape, the HUD's icon slots and time
// text, and the keeper's picture and move offset: everything that needs no screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "game/core/board.h"
#include "game/core/game.h"
#include "game/menus.h"
#include "game/play_screen.h"
#include "game/presentation.h"

namespace {

// TileSize, OffsetX, OffsetY, HudHeight, Border1-3, HudFontSize, FillLeftX, FillRightX, FillTopY,
// FillBottomY, NameWidth, TimeWidth, StepsWidth, TargetWidth, TargetLeft, IconSize, IconGap.
using Fields = std::array<int64_t, 19>;

Fields FieldsOf(const PlayLayout& l) {
  return {l.TileSize,   l.OffsetX,    l.OffsetY,     l.HudHeight,   l.Border1,   l.Border2,     l.Border3,
          l.HudFontSize, l.FillLeftX, l.FillRightX,  l.FillTopY,    l.FillBottomY, l.NameWidth, l.TimeWidth,
          l.StepsWidth, l.TargetWidth, l.TargetLeft, l.IconSize,    l.IconGap};
}

// Layouts the design gives in full: the 1280 x 720 window with a filler column on each side,
// and the fixed layouts of the 1920 and 3840 pixel wide screens at the heights they were made
// for (1920 x 1200 gets rows of fillers below).
TEST(PlayLayoutTest, TheDesignsExampleLayoutsHoldTheirNumbers) {
  EXPECT_EQ(FieldsOf(ComputeLayout(1280, 720, kAspect16x9)),
            (Fields{42, 10, 90, 90, 1, 7, 11, 34, -32, 1270, 0, 0, 792, 132, 108, 248, 1032, 22, 13}));
  EXPECT_EQ(FieldsOf(ComputeLayout(1920, 1200, kAspect16x10)),
            (Fields{64, 0, 120, 120, 2, 10, 15, 45, 0, 0, 120, 1080, 1254, 209, 171, 286, 1634, 30, 10}));
  EXPECT_EQ(FieldsOf(ComputeLayout(3840, 2160, kAspect16x9)),
            (Fields{128, 0, 240, 240, 4, 20, 30, 90, 0, 0, 0, 0, 2508, 418, 342, 572, 3268, 60, 21}));
}

// Screens without a fixed layout follow the rule of their shape, with the whole board on screen.
TEST(PlayLayoutTest, OtherShapesAndHeightsFollowTheRuleOfTheirShape) {
  const struct {
    int width, height, aspect;
    Fields expected;
  } cases[] = {
      // Other shapes fill the band of one cell under the HUD, as the 3:2 screens do, with a HUD
      // no higher than a 16:9 screen of the width has: the clock fits its box.
      {1280, 1080, kAspectOther, {42, 10, 122, 80, 1, 6, 10, 30, -32, 1270, 80, 752, 792, 132, 108, 248, 1032, 20, 15}},
      // 21:9 is laid out like the other shapes; the screen is too short for 85-pixel cells, so they
      // shrink to 60 and the board is centred between filler columns.
      {2560, 1080, kAspect21x9, {60, 380, 180, 120, 2, 10, 15, 45, -40, 2180, 120, 1080, 1650, 275, 225, 410, 2150, 30, 28}},
      // The 1920 and 3840 wide screens at other heights than their fixed layouts'.
      {3840, 1600, kAspectOther, {88, 600, 265, 177, 2, 14, 22, 66, -16, 3240, 177, 1585, 2508, 418, 342, 572, 3268, 44, 37}},
      {1920, 1440, kAspect4x3, {64, 0, 224, 160, 1, 8, 12, 54, -64, 1920, 160, 1184, 1254, 209, 171, 286, 1634, 41, 2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    EXPECT_EQ(FieldsOf(ComputeLayout(c.width, c.height, c.aspect)), c.expected);
  }
}

struct ScreenShape {
  int width, height, aspect;
};

// The window sizes of windowed mode and the monitor shapes of every aspect class.
const ScreenShape kShapes[] = {
    {1024, 576, kAspect16x9},   {1280, 720, kAspect16x9},    {1366, 768, kAspect16x9},   {1600, 900, kAspect16x9},
    {1920, 1080, kAspect16x9},  {2048, 1152, kAspect16x9},   {2560, 1440, kAspect16x9},  {2880, 1620, kAspect16x9},
    {3200, 1800, kAspect16x9},  {3840, 2160, kAspect16x9},   {1280, 800, kAspect16x10},  {1280, 1024, kAspect5x4},
    {1024, 768, kAspect4x3},    {1440, 900, kAspect16x10},   {1440, 960, kAspect3x2},    {2048, 1080, kAspect17x9},
    {1280, 1080, kAspectOther}, {2560, 1080, kAspect21x9},   {1920, 1200, kAspect16x10}, {1920, 1440, kAspect4x3},
    {800, 600, kAspect4x3},     {3440, 1440, kAspect21x9},   {1680, 1050, kAspect16x10}, {1152, 864, kAspect4x3},
};

TEST(PlayLayoutTest, OnEveryShapeTheBoardLiesOnScreenCentredBelowTheHud) {
  for (const ScreenShape& c : kShapes) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    const PlayLayout l = ComputeLayout(c.width, c.height, c.aspect);
    const int64_t board_w = kBoardWidth * l.TileSize, board_h = kBoardHeight * l.TileSize;
    EXPECT_GT(l.TileSize, 0);
    EXPECT_GE(l.OffsetX, 0);
    EXPECT_LE(l.OffsetX + board_w, c.width);
    // Centred across: the strips left and right differ by a pixel at most.
    EXPECT_LE(std::abs((c.width - l.OffsetX - board_w) - l.OffsetX), 1);
    EXPECT_GE(l.OffsetY, l.HudHeight);
    EXPECT_LE(l.OffsetY + board_h, c.height);
    EXPECT_GT(l.HudFontSize, 0);
    EXPECT_LT(2 * l.Border3, l.HudHeight);
  }
}

TEST(PlayLayoutTest, OnEveryShapeTheHudBoxesFillTheWidthAndTheIconsStayInTheirBox) {
  for (const ScreenShape& c : kShapes) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    const PlayLayout l = ComputeLayout(c.width, c.height, c.aspect);
    EXPECT_GT(l.NameWidth, 0);
    EXPECT_GT(l.TimeWidth, 0);
    EXPECT_GT(l.StepsWidth, 0);
    EXPECT_GT(l.TargetWidth, 0);
    EXPECT_EQ(l.TargetLeft, l.NameWidth + l.TimeWidth + l.StepsWidth);
    EXPECT_EQ(l.TargetLeft + l.TargetWidth, c.width);
    int64_t previous_right = -1;
    for (int slot = 1; slot <= kHudIconSlots; ++slot) {
      int64_t x = 0, y = 0;
      HudIconPosition(l, slot, &x, &y);
      EXPECT_GE(x, l.TargetLeft + l.Border3) << "slot " << slot;
      EXPECT_LE(x + l.IconSize, c.width - l.Border3) << "slot " << slot;
      EXPECT_GE(y, l.Border3) << "slot " << slot;
      EXPECT_LE(y + l.IconSize, l.HudHeight - l.Border3) << "slot " << slot;
      // Icons of a row stand apart, left to right.
      if (slot != 7) {
        EXPECT_GT(x, previous_right) << "slot " << slot;
      }
      previous_right = x + l.IconSize - 1;
    }
  }
}

// Classifies a screen's shape as the display does: its ratio to two decimals.
int AspectOf(int width, int height) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(width) / height);
  const std::pair<const char*, int> classes[] = {
      {"1.50", kAspect3x2},   {"1.33", kAspect4x3},   {"1.25", kAspect5x4},   {"1.77", kAspect16x9},
      {"1.78", kAspect16x9},  {"1.60", kAspect16x10}, {"1.89", kAspect17x9},  {"1.90", kAspect17x9},
      {"2.37", kAspect21x9},  {"2.38", kAspect21x9},  {"2.39", kAspect21x9}};
  for (const auto& [ratio, aspect] : classes) {
    if (std::strcmp(text, ratio) == 0) return aspect;
  }
  return kAspectOther;
}

// Paints a screen the way a frame of the play screen covers it (HUD bar, filler tiles, board)
// and returns the pixels left unpainted, the first of them in *first.
int64_t Unpainted(const PlayLayout& l, int width, int height, std::string* first) {
  std::vector<uint8_t> painted(static_cast<size_t>(width) * height, 0);
  auto paint = [&](int64_t x, int64_t y, int64_t w, int64_t h) {
    for (int64_t py = std::max<int64_t>(y, 0); py < std::min<int64_t>(y + h, height); ++py) {
      for (int64_t px = std::max<int64_t>(x, 0); px < std::min<int64_t>(x + w, width); ++px) painted[py * width + px] = 1;
    }
  };
  const int64_t t = l.TileSize;
  paint(0, 0, width, l.HudHeight);
  for (int64_t c = 0; c < l.FillLeftColumns; ++c) paint(l.FillLeftX + c * t, l.OffsetY, t, 15 * t);
  for (int64_t c = 0; c < l.FillRightColumns; ++c) paint(l.FillRightX + c * t, l.OffsetY, t, 15 * t);
  if (l.FillTopY != 0) paint(l.FillLeftX, l.FillTopY, l.FillAcross * t, t);
  for (int64_t r = 0; r < l.FillBottomRows; ++r) paint(l.FillLeftX, l.FillBottomY + r * t, l.FillAcross * t, t);
  paint(l.OffsetX, l.OffsetY, 30 * t, 15 * t);
  int64_t count = 0;
  for (size_t i = 0; i < painted.size(); ++i) {
    if (painted[i]) continue;
    if (count++ == 0) *first = std::to_string(i % width) + "," + std::to_string(i / width);
  }
  return count;
}

TEST(PlayLayoutTest, OnEveryScreenTheWholeBoardIsShownAndEveryPixelDrawn) {
  std::vector<std::pair<int, int>> screens = {
      {1024, 576},  {1024, 600},  {1024, 768},  {1280, 720},  {1280, 800},  {1280, 1024}, {1366, 768},
      {1440, 900},  {1440, 960},  {1600, 900},  {1600, 1200}, {1680, 1050}, {1920, 1080}, {1920, 1200},
      {1920, 1440}, {2048, 1080}, {2560, 1080}, {2560, 1440}, {2560, 1600}, {3440, 1440}, {3840, 1080},
      {3840, 1600}, {3840, 2160}, {1080, 1920}, {1024, 1024}, {5120, 1440}, {1200, 1920}, {1024, 2000}};
  // And a sweep of sizes between.
  for (int width = 1024; width <= 3840; width += 389) {
    for (int height = 576; height <= 2400; height += 277) screens.emplace_back(width, height);
  }
  for (const auto& [width, height] : screens) {
    const int aspect = AspectOf(width, height);
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + " class " + std::to_string(aspect));
    const PlayLayout l = ComputeLayout(width, height, aspect);
    ASSERT_GT(l.TileSize, 0);
    EXPECT_GE(l.OffsetX, 0);
    EXPECT_LE(l.OffsetX + 30 * l.TileSize, width);
    EXPECT_GE(l.OffsetY, l.HudHeight);
    EXPECT_LE(l.OffsetY + 15 * l.TileSize, height);
    // The band above the board is at most one cell high: the filler row covers it.
    EXPECT_LE(l.OffsetY - l.HudHeight, l.TileSize);
    // The clock's five characters (about 0.6 of the text size each) fit the time box.
    EXPECT_LE(l.HudFontSize * 3, l.TimeWidth - 2 * l.Border3);
    // Centred across the width.
    EXPECT_LE(std::abs(width - 30 * l.TileSize - 2 * l.OffsetX), 1);
    std::string first;
    EXPECT_EQ(Unpainted(l, width, height, &first), 0) << "first unpainted pixel at " << first;
  }
}

TEST(PlayLayoutTest, IconSlotsFormTwoRowsOfSixInTheTargetBox) {
  const PlayLayout l = ComputeLayout(1280, 720, kAspect16x9);
  int64_t x = 0, y = 0;
  const struct {
    int slot;
    int64_t x, y;
  } slots[] = {{1, 1057, 18}, {2, 1092, 18}, {6, 1232, 18}, {7, 1057, 50}, {12, 1232, 50}};
  for (const auto& s : slots) {
    HudIconPosition(l, s.slot, &x, &y);
    EXPECT_EQ(x, s.x) << "slot " << s.slot;
    EXPECT_EQ(y, s.y) << "slot " << s.slot;
  }
  // Both rows stay inside the box's inner frame.
  HudIconPosition(l, 12, &x, &y);
  EXPECT_LE(x + l.IconSize, 1280 - l.Border3);
  EXPECT_LE(y + l.IconSize, l.HudHeight - l.Border3);
}

TEST(PlayLayoutTest, TimeTextShowsAllTheMinutesAndTwoDigitsOfSeconds) {
  const struct {
    int64_t ms;
    const char16_t* text;
  } cases[] = {
      {0, u"00:00"},          {999, u"00:00"},         {65000, u"01:05"},
      {59999, u"00:59"},      {60000, u"01:00"},       {99 * 60000 + 59999, u"99:59"},
      // Past 99 minutes every digit of the minutes shows, as on the panels.
      {100 * 60000, u"100:00"}, {123 * 60000 + 4000, u"123:04"},
      // A clock read before the level's start shows no time.
      {-1500, u"00:00"},
  };
  for (const auto& c : cases) EXPECT_EQ(MinutesSeconds(c.ms), Text(c.text)) << c.ms << " ms";
}

TEST(PlayLayoutTest, EveryPoseOfTheKeeperHasAPictureOfItsOwn) {
  const BoardRecord saved = Board;
  std::set<int> sprites;
  for (bool pushing : {false, true}) {
    for (int facing : {FacingLeft, FacingRight, FacingUp, FacingDown}) {
      Board.PoseFacing = facing;
      Board.PosePushing = pushing;
      const int first = pushing ? SpriteKeeperPushing : SpriteKeeperStanding;
      EXPECT_GE(KeeperSprite(), first);
      EXPECT_LT(KeeperSprite(), first + kKeeperTurns);
      sprites.insert(KeeperSprite());
    }
  }
  EXPECT_EQ(sprites.size(), 8u);
  // A keeper facing nowhere yet stands towards the left.
  Board.PoseFacing = FacingLeft;
  Board.PosePushing = false;
  const int left = KeeperSprite();
  Board.PoseFacing = FacingNone;
  EXPECT_EQ(KeeperSprite(), left);
  Board = saved;
}

TEST(PlayLayoutTest, MoveOffsetIsTheRoundedEighthOfACell) {
  // Halves go to the even neighbour: 10.5 -> 10, 31.5 -> 32 at 42 pixels.
  const int64_t at42[] = {5, 10, 16, 21, 26, 32, 37, 42};
  const int64_t at34[] = {4, 8, 13, 17, 21, 26, 30, 34};
  for (int frame = 1; frame <= 8; ++frame) {
    EXPECT_EQ(MoveOffsetPixels(frame, 42), at42[frame - 1]) << frame;
    EXPECT_EQ(MoveOffsetPixels(frame, 34), at34[frame - 1]) << frame;
    EXPECT_EQ(MoveOffsetPixels(frame, 64), 8 * frame) << frame;
  }
}

}  // namespace
