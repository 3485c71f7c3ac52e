// The play screen drawn with the real asset and map packs on the virtual X server at the sizes of
// real monitors, checked by reading the frame's pixels back: the HUD's frames, boxes and icons,
// the fillers, the crates and the keeper at rest and along a move, and the dimmed overlays.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "game/core/board.h"
#include "game/core/game.h"
#include "game/main_loop.h"
#include "game/maps.h"
#include "game/play_screen.h"
#include "game/screen_flow.h"
#include "game/screens.h"
#include "runtime/data/files.h"
#include "runtime/data/pack.h"
#include "runtime/display/drawing.h"
#include "runtime/display/image.h"
#include "runtime/display/png.h"
#include "runtime/display/screen.h"
#include "runtime/display/sprite.h"
#include "runtime/display/toolkit.h"
#include "tests/support/content_pack.h"
#include "tests/support/x11_display.h"

namespace {

constexpr int64_t kPictureBuffer = 204800;

// A picture of the asset pack as its sprite holds it: RGBA rows top-down, with the alpha the
// sprite gives each pixel (pure black is transparent unless the picture's own alpha is kept).
struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
  int Alpha(int x, int y) const { return rgba[(static_cast<size_t>(y) * width + x) * 4 + 3]; }
  uint32_t Colour(int x, int y) const {
    const uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
    return x11_rgb(p[0], p[1], p[2]);
  }
};

Picture AssetPicture(const std::string& name, bool keep_alpha) {
  Picture picture;
  const std::vector<uint8_t> bytes = ReadAssetEntry(name, kPictureBuffer);
  DecodedPicture decoded;
  if (bytes.empty() || !image_decode_memory(bytes, 0, &decoded)) return picture;
  picture.width = decoded.width;
  picture.height = decoded.height;
  const int channels = decoded.depth / 8;
  for (size_t i = 0; i < static_cast<size_t>(decoded.width) * decoded.height; ++i) {
    const uint8_t* p = &decoded.pixels[i * channels];
    uint8_t alpha = channels == 4 && keep_alpha ? p[3] : 255;
    if (!(channels == 4 && keep_alpha) && p[0] == 0 && p[1] == 0 && p[2] == 0) alpha = 0;
    picture.rgba.insert(picture.rgba.end(), {p[0], p[1], p[2], alpha});
  }
  return picture;
}

struct Frame {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

Frame ReadFrame() {
  Frame frame{screen_width(), screen_height(), {}};
  frame.pixels = x11_read_screen(0, 0, frame.width, frame.height);
  return frame;
}

// The texel a screen pixel of a quad `size` pixels wide shows under nearest filtering, or -1 when
// the pixel's centre falls so close to a texel edge that either texel could be taken.
int Texel(int offset, int size, int texels) {
  const double u = (offset + 0.5) * texels / size;
  const double fraction = u - std::floor(u);
  if (fraction < 0.02 || fraction > 0.98) return -1;
  return static_cast<int>(u);
}

struct QuadCheck {
  int compared = 0;  // screen pixels of opaque texels inside the screen
  int wrong = 0;     // of those, pixels not within `tolerance` of the expected colour
};

int Channel(uint32_t colour, int shift) { return static_cast<int>((colour >> shift) & 255); }

// Compares the quad a picture drawn at (x, y) zoomed to size x size would leave on the screen:
// its opaque texels shown at `intensity` over a flat `background`.
QuadCheck CheckQuad(const Frame& frame, const Picture& picture, int x, int y, int size, int intensity = 255,
                    uint32_t background = 0, int tolerance = 0) {
  QuadCheck check;
  for (int dy = 0; dy < size; ++dy) {
    const int ty = Texel(dy, size, picture.height);
    if (ty < 0 || y + dy < 0 || y + dy >= frame.height) continue;
    for (int dx = 0; dx < size; ++dx) {
      const int tx = Texel(dx, size, picture.width);
      if (tx < 0 || x + dx < 0 || x + dx >= frame.width || picture.Alpha(tx, ty) != 255) continue;
      ++check.compared;
      const uint32_t texel = picture.Colour(tx, ty), seen = frame.At(x + dx, y + dy);
      for (int shift = 0; shift < 24; shift += 8) {
        const double expected = (Channel(texel, shift) * intensity + Channel(background, shift) * (255 - intensity)) / 255.0;
        if (std::abs(Channel(seen, shift) - expected) > tolerance + 0.5) {
          ++check.wrong;
          break;
        }
      }
    }
  }
  return check;
}

// Expects the quad to show the picture exactly, and not one pixel beside that place.
void ExpectPictureAt(const Frame& frame, const Picture& picture, int x, int y, int size, const char* what) {
  const QuadCheck here = CheckQuad(frame, picture, x, y, size);
  EXPECT_GT(here.compared, size) << what << " at " << x << ", " << y;
  EXPECT_EQ(here.wrong, 0) << what << " at " << x << ", " << y;
  const QuadCheck beside = CheckQuad(frame, picture, x + 1, y + 1, size);
  EXPECT_GT(beside.wrong, 0) << what << " also matches one pixel off";
}

constexpr int kFirstLevel = 0, kMostCrates = 1;

const uint32_t kHudBackground = x11_rgb(166, 74, 15);
const uint32_t kOuterFrame = x11_rgb(232, 106, 23);
const uint32_t kMiddleFrame = x11_rgb(86, 86, 86);
const uint32_t kInnerFill = x11_rgb(74, 74, 74);

class PlayScreenDrawingTest : public testing::Test {
 protected:
  void TearDown() override {
    FreeMapPack();
    screen_close();
    font_free(-1);
    mode_.reset();
    Board = BoardRecord();
    PlayScreen = PlayScreenRecord();
    Loop = LoopRecord();
  }

  // Opens a full screen of the size, loads the pictures and the levels, lays the play screen out
  // and starts the first level, or the level with the most crates, in the Playing state.
  void Start(int width, int height, int aspect, int which) {
    mode_ = std::make_unique<X11VideoMode>(width, height);
    ASSERT_TRUE(mode_->added());
    toolkit_init();
    image_codecs_init();
    png_decoder_register();
    ASSERT_EQ(screen_open(width, height, 32, u"Cratevale", 0), 1);
    sprite_quality(0);
    ASSERT_NE(font_load(FontMain, u"Arial", 30, kFontBold), 0);
    struct {
      const char* name;
      int sprite;
    } pictures[] = {{"crate.png", SpriteCrate},      {"tile_01.png", SpriteFloor},     {"idle_left.png", 8},
                    {"idle_right.png", 9},           {"idle_up.png", 10},              {"idle_down.png", 11},
                    {"push_left.png", 12},           {"push_right.png", 13},           {"push_up.png", 14},
                    {"push_down.png", 15}};
    for (const auto& p : pictures) {
      const bool keeper = p.sprite >= SpriteKeeperStanding;
      ASSERT_NE(sprite_load_from_memory(p.sprite, ReadAssetEntry(p.name, kPictureBuffer), keeper ? kSpriteKeepAlpha : 0), 0)
          << p.name;
    }
    ASSERT_NE(sprite_copy(SpriteCrate, SpriteTargetIcon), 0);
    crate_ = AssetPicture("crate.png", false);
    floor_ = AssetPicture("tile_01.png", false);
    LoadMapPack(text_from_utf8(CRATEVALE_PACK_DIR "Cratevale.maps"), kPackerRuntime);
    ASSERT_FALSE(MapLevelOrder().empty());
    Text level = MapLevelOrder().front();
    for (const Text& name : MapLevelOrder()) {
      if (which == kMostCrates && FindMap(name).CrateCount > FindMap(level).CrateCount) level = name;
    }

    GameDisplay.ScreenWidth = width;
    GameDisplay.ScreenHeight = height;
    GameDisplay.AspectRatio = aspect;
    SetLayout();
    PreparePlayScreen();
    Loop.CurrentLevelName = level;
    SetUpBoardForLevel(level);
    ResetHudIcons();
    RenderHudName();
    Loop.LevelStartTime = elapsed_ms();
    GameState = ScreenState::Playing;
  }

  // One frame as the loop makes it: the picture, then the animations it shows.
  Frame Draw() {
    x11_clear_screen(0, 255, 0);
    DrawScreen();
    const Frame frame = ReadFrame();
    AdvanceTimers();
    return frame;
  }

  Picture KeeperPicture() const {
    static const char* names[] = {"idle_left.png", "idle_right.png", "idle_up.png", "idle_down.png",
                                  "push_left.png", "push_right.png", "push_up.png", "push_down.png"};
    return AssetPicture(names[KeeperSprite() - SpriteKeeperStanding], true);
  }

  const PlayLayout& L() const { return PlayScreen.Layout; }
  int CellX(int64_t x) const { return static_cast<int>(L().OffsetX + x * L().TileSize); }
  int CellY(int64_t y) const { return static_cast<int>(L().OffsetY + y * L().TileSize); }

  std::unique_ptr<X11VideoMode> mode_;
  Picture crate_, floor_;
};

struct ScreenCase {
  int width, height, aspect;
};

class PlayScreenSizeTest : public PlayScreenDrawingTest, public testing::WithParamInterface<ScreenCase> {};

TEST_P(PlayScreenSizeTest, ARestingBoardShowsHudFillersCratesAndKeeperInPlace) {
  const ScreenCase c = GetParam();
  Start(c.width, c.height, c.aspect, kFirstLevel);
  ASSERT_GT(Board.CrateCount, 0);
  const Frame frame = Draw();
  const int tile = static_cast<int>(L().TileSize);

  const Picture keeper = KeeperPicture();
  ExpectPictureAt(frame, keeper, CellX(Board.PlayerX), CellY(Board.PlayerY), tile, "keeper");
  // He is blended: where his picture is clear the floor shows, not black.
  int clear = 0, black = 0;
  for (int dy = 0; dy < tile; ++dy) {
    for (int dx = 0; dx < tile; ++dx) {
      const int tx = Texel(dx, tile, keeper.width), ty = Texel(dy, tile, keeper.height);
      if (tx < 0 || ty < 0 || keeper.Alpha(tx, ty) != 0) continue;
      ++clear;
      if (frame.At(CellX(Board.PlayerX) + dx, CellY(Board.PlayerY) + dy) == 0) ++black;
    }
  }
  EXPECT_GT(clear, 0);
  EXPECT_EQ(black, 0);
  int crates = 0;
  for (int x = 0; x < 30; ++x) {
    for (int y = 0; y < 15; ++y) {
      if (Board.CrateGrid[x][y] == 0) continue;
      ExpectPictureAt(frame, crate_, CellX(x), CellY(y), tile, "crate");
      ++crates;
    }
  }
  EXPECT_EQ(crates, Board.CrateCount);

  // The filler columns on both sides of the board, and the top row where the shape has one.
  ASSERT_LT(L().FillLeftX, 0);
  for (const int64_t column : {L().FillLeftX, L().FillRightX}) {
    for (int k : {0, 7, 14}) ExpectPictureAt(frame, floor_, static_cast<int>(column), CellY(k), tile, "side filler");
  }
  if (L().FillTopY != 0) {
    ExpectPictureAt(frame, floor_, static_cast<int>(L().FillLeftX + 5 * L().TileSize), static_cast<int>(L().FillTopY), tile,
                    "top filler");
  }

  // The four boxes' nested frames, halfway down the bar.
  const int middle = static_cast<int>(L().HudHeight / 2);
  const int b1 = static_cast<int>(L().Border1), b2 = static_cast<int>(L().Border2), b3 = static_cast<int>(L().Border3);
  const int64_t lefts[] = {0, L().NameWidth, L().NameWidth + L().TimeWidth, L().TargetLeft};
  for (const int64_t left : lefts) {
    const int x = static_cast<int>(left);
    SCOPED_TRACE("box at " + std::to_string(x));
    if (b1 > 0) {
      EXPECT_EQ(frame.At(x, middle), kHudBackground);
    }
    EXPECT_EQ(frame.At(x + (b1 + b2) / 2, middle), kOuterFrame);
    EXPECT_EQ(frame.At(x + (b2 + b3) / 2, middle), kMiddleFrame);
    EXPECT_EQ(frame.At(x + b3, middle), kInnerFill);
    EXPECT_EQ(frame.At(x + 20, 0), b1 > 0 ? kHudBackground : kOuterFrame);
  }
  // The name box: its text stands at the left, so its right end is bare inner fill.
  EXPECT_EQ(frame.At(static_cast<int>(L().NameWidth) - b3 - 2, b3 + 1), kInnerFill);
  // The board starts right below the HUD.
  EXPECT_NE(frame.At(static_cast<int>(L().OffsetX + 3 * L().TileSize), static_cast<int>(L().OffsetY)), x11_rgb(0, 255, 0));
}

INSTANTIATE_TEST_SUITE_P(Monitors, PlayScreenSizeTest,
                         testing::Values(ScreenCase{1280, 720, 3}, ScreenCase{1024, 768, 1}),
                         [](const testing::TestParamInfo<ScreenCase>& info) {
                           return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
                         });

// Puts the keeper at a free cell from which he can move in `direction` (pushing a crate placed in
// front of him when `push`), facing that way. False when the level has no such place.
bool PlaceForMove(int direction, bool push) {
  const int dx = direction == FacingLeft ? -1 : direction == FacingRight ? 1 : 0;
  const int dy = direction == FacingUp ? -1 : direction == FacingDown ? 1 : 0;
  for (int x = 0; x < 30; ++x) {
    for (int y = 0; y < 15; ++y) {
      bool clear = true;
      for (int k = 0; k <= 2; ++k) {
        const int cx = x + k * dx, cy = y + k * dy;
        clear = clear && BoardCellFree(cx, cy) && Board.CrateGrid[cx][cy] == 0;
      }
      if (!clear) continue;
      Board.PlayerX = x;
      Board.PlayerY = y;
      Board.Facing = direction;
      if (push) Board.CrateGrid[x + dx][y + dy] = 1;
      return true;
    }
  }
  return false;
}

TEST_F(PlayScreenDrawingTest, KeeperAndPushedCrateTravelTheSameRoundedPixelsEachFrame) {
  Start(1280, 720, 3, kFirstLevel);
  ASSERT_EQ(L().TileSize, 42);
  // Eighths of the cell, to the nearest pixel; the halves (10.5, 31.5) go to the even one.
  const int kAlong42[] = {5, 10, 16, 21, 26, 32, 37, 42};
  const struct {
    int direction;
    bool push;
  } moves[] = {{FacingRight, true}, {FacingUp, false}, {FacingLeft, true}};
  for (const auto& m : moves) {
    SCOPED_TRACE(std::string(m.push ? "push " : "walk ") + std::to_string(m.direction));
    ASSERT_TRUE(PlaceForMove(m.direction, m.push));
    ASSERT_NE(RequestMove(m.direction), kMoveIdle);
    int dx, dy;
    MoveDirection(Board.MoveState, &dx, &dy);
    const int64_t start_x = Board.PlayerX, start_y = Board.PlayerY;
    const Picture keeper = KeeperPicture();
    const int tile = static_cast<int>(L().TileSize);
    for (int frame_number = 1; frame_number <= 8; ++frame_number) {
      SCOPED_TRACE("frame " + std::to_string(frame_number));
      ASSERT_EQ(Board.MoveFrame, frame_number);
      const int along = kAlong42[frame_number - 1];
      const Frame frame = Draw();
      ExpectPictureAt(frame, keeper, CellX(start_x) + dx * along, CellY(start_y) + dy * along, tile, "keeper");
      if (m.push) {
        ExpectPictureAt(frame, crate_, CellX(start_x + dx) + dx * along, CellY(start_y + dy) + dy * along, tile, "pushed crate");
      }
    }
    // The eighth frame committed the move: the keeper rests on the next cell.
    EXPECT_EQ(Board.MoveState, kMoveIdle);
    EXPECT_EQ(Board.PlayerX, start_x + dx);
    EXPECT_EQ(Board.PlayerY, start_y + dy);
    const Frame rest = Draw();
    ExpectPictureAt(rest, keeper, CellX(start_x + dx), CellY(start_y + dy), tile, "keeper at rest");
  }
}

TEST_F(PlayScreenDrawingTest, OverlayStatesDimTheFrozenBoardToHalf) {
  Start(1280, 720, 3, kFirstLevel);
  const Frame playing = Draw();
  GameState = ScreenState::InGameMenu;
  const Frame dimmed = Draw();
  // The left part of the screen, away from where the panels stand.
  int compared = 0, wrong = 0;
  for (int y = 0; y < playing.height; ++y) {
    for (int x = 0; x < playing.width / 5; ++x) {
      ++compared;
      for (int shift = 0; shift < 24; shift += 8) {
        if (std::abs(Channel(dimmed.At(x, y), shift) - Channel(playing.At(x, y), shift) * 127.0 / 255.0) > 1.5) {
          ++wrong;
          break;
        }
      }
    }
  }
  EXPECT_EQ(wrong, 0) << "of " << compared;
  // The dimmer covers the whole screen.
  EXPECT_EQ(sprite_width(SpriteDimmer), 1280);
  EXPECT_EQ(sprite_height(SpriteDimmer), 720);
}

TEST_F(PlayScreenDrawingTest, KeptPicturesGiveTheFramesAWholeDrawingGives) {
  Start(1280, 720, 3, kMostCrates);
  ASSERT_TRUE(PlaceForMove(FacingRight, true));
  // Each step changes the state as the game would between two frames; each frame drawn with what
  // was kept must equal the frame drawn whole (the time box aside: the clock runs between them).
  const std::function<void()> steps[] = {
      [] {},
      [] { ASSERT_NE(RequestMove(FacingRight), kMoveIdle); },
      [] {},
      [] { GameState = ScreenState::InGameMenu; },  // the move goes on under the panel, then rests
      [] {}, [] {}, [] {}, [] {}, [] {}, [] {}, [] {}, [] {},
      [] { Board.StepCount += 5; },
      [] { GameState = ScreenState::GameSettings; },
      [] { Loop.CurrentLevelName = MapLevelOrder().front(); SetUpBoardForLevel(Loop.CurrentLevelName); RenderHudName(); },
      [] { GameState = ScreenState::Playing; },
      [] { PreparePlayScreen(); },
      [] {},
  };
  const int time_left = static_cast<int>(L().NameWidth), time_right = static_cast<int>(L().NameWidth + L().TimeWidth);
  int step_number = 0;
  for (const auto& step : steps) {
    SCOPED_TRACE("step " + std::to_string(step_number++));
    step();
    // As the loop does before each frame: the steps box follows the count, the time box the clock.
    UpdateHudBoxes(CurrentScreen().ClockRuns, elapsed_ms() - Loop.LevelStartTime);
    const BoardRecord before = Board;
    const Frame kept = Draw();
    Board = before;
    ForgetPlayScreenPictures();
    const Frame whole = Draw();
    int differ = 0;
    for (int y = 0; y < kept.height; ++y) {
      for (int x = 0; x < kept.width; ++x) {
        if (y < L().HudHeight && x >= time_left && x < time_right) continue;
        if (kept.At(x, y) != whole.At(x, y)) ++differ;
      }
    }
    EXPECT_EQ(differ, 0);
  }
}

// The pixels of a HUD box as drawn in the last frame.
std::vector<uint32_t> BoxPixels(int64_t left, int sprite) {
  const int inset = static_cast<int>(PlayScreen.Layout.Border3);
  return x11_read_screen(static_cast<int>(left) + inset, inset, sprite_width(sprite), sprite_height(sprite));
}

TEST_F(PlayScreenDrawingTest, TheClockRunsOnlyWhilePlayingAndTheStepsAlways) {
  Start(1280, 720, 3, kFirstLevel);
  const int64_t steps_left = L().NameWidth + L().TimeWidth;
  auto clock_at = [](int64_t ms) {
    Loop.LevelStartTime = elapsed_ms() - ms;
    x11_clear_screen(0, 255, 0);
    DrawScreen();
    return BoxPixels(PlayScreen.Layout.NameWidth, SpriteHudTime);
  };
  const std::vector<uint32_t> at_65 = clock_at(65000);
  EXPECT_EQ(clock_at(65400), at_65) << "01:05 both times";
  EXPECT_NE(clock_at(66000), at_65) << "01:06";
  // Past 99 minutes every digit of the minutes shows: 100:05 is not 10:05.
  EXPECT_NE(clock_at(100 * 60000 + 5000), clock_at(10 * 60000 + 5000));

  // In an overlay the clock keeps its last text; the steps box follows the count.
  clock_at(65000);
  GameState = ScreenState::InGameMenu;
  Board.StepCount = 7;
  const std::vector<uint32_t> time_frozen = clock_at(30 * 60000);
  const std::vector<uint32_t> steps_7 = BoxPixels(steps_left, SpriteHudSteps);
  Board.StepCount = 123;
  EXPECT_EQ(clock_at(31 * 60000), time_frozen);
  EXPECT_NE(BoxPixels(steps_left, SpriteHudSteps), steps_7);
  // A screen reopened behind the overlay rebuilds the boxes with the same clock.
  PreparePlayScreen();
  EXPECT_EQ(clock_at(32 * 60000), time_frozen);
  GameState = ScreenState::Playing;
  EXPECT_NE(clock_at(31 * 60000), at_65);
}

TEST_F(PlayScreenDrawingTest, IconsLightFromTheFirstSlotWhicheverTargetIsCovered) {
  Start(1280, 720, 3, kMostCrates);
  const int crates = static_cast<int>(Board.CrateCount);
  ASSERT_GE(crates, 7) << "a level fills both rows of icons";
  // Only the last target holds a crate.
  for (auto& column : Board.CrateGrid) {
    for (int64_t& cell : column) cell = 0;
  }
  Board.CrateGrid[Board.TargetList[crates][0]][Board.TargetList[crates][1]] = 1;
  ASSERT_EQ(CountCoveredTargets(), 1);
  const Frame frame = Draw();
  const int size = static_cast<int>(L().IconSize);
  for (int slot = 1; slot <= crates; ++slot) {
    SCOPED_TRACE("slot " + std::to_string(slot));
    EXPECT_EQ(PlayScreen.Icons[slot].Used, 1);
    const int x = static_cast<int>(PlayScreen.Icons[slot].X), y = static_cast<int>(PlayScreen.Icons[slot].Y);
    if (slot == 1) {
      ExpectPictureAt(frame, crate_, x, y, size, "lit icon");
    } else {
      const QuadCheck faint = CheckQuad(frame, crate_, x, y, size, 64, kInnerFill, 1);
      EXPECT_GT(faint.compared, size);
      EXPECT_EQ(faint.wrong, 0);
    }
  }

  // A level of three crates shows three icons: the other slots stay bare.
  Board.CrateCount = 3;
  ResetHudIcons();
  EXPECT_EQ(PlayScreen.Icons[3].Used, 1);
  EXPECT_EQ(PlayScreen.Icons[4].Used, 0);
  const Frame three = Draw();
  for (int slot = 4; slot <= 12; ++slot) {
    const int x = static_cast<int>(PlayScreen.Icons[slot].X), y = static_cast<int>(PlayScreen.Icons[slot].Y);
    EXPECT_EQ(three.At(x + size / 2, y + size / 2), kInnerFill) << "slot " << slot;
  }
}

}  // namespace
