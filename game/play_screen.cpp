// The play screen: the layout computed from the screen's size and shape, the heads-up bar built
// once per layout, its three text boxes and twelve target icons, and one frame of the board.
#include "game/play_screen.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "game/core/board.h"
#include "game/core/game.h"
#include "game/core/languages.h"
#include "game/core/log.h"
#include "game/maps.h"
#include "game/menus.h"
#include "game/screens.h"
#include "runtime/data/files.h"
#include "runtime/display/drawing.h"
#include "runtime/display/image.h"
#include "runtime/display/sprite.h"

PlayScreenRecord PlayScreen;

namespace {

constexpr uint32_t kHudBackground = ColourTitleBar;
constexpr uint32_t kHudOuterFrame = ColourHighlight;
constexpr uint32_t kHudMiddleFrame = ColourPanel;
constexpr uint32_t kHudInnerFill = ColourPanelDark;
constexpr uint32_t kHudText = ColourTextHighlight;

constexpr int kUnlitIconIntensity = 64;
constexpr int kDimmerIntensity = 128;
constexpr int kNameTextLeft = 10;

int64_t TilesToCover(int64_t length, int64_t tile) { return length > 0 ? (length + tile - 1) / tile : 0; }

// To the nearest integer, halves to the even neighbour (the default rounding mode).
int64_t RoundEven(double value) { return static_cast<int64_t>(std::nearbyint(value)); }

void SetBorders(PlayLayout& layout, int64_t span) {
  layout.Border1 = span / 60;
  layout.Border2 = span / 12;
  layout.Border3 = span / 8;
}

// Side fillers only where the board leaves a strip of the screen uncovered.
void SetSideFillersWhereRoom(PlayLayout& layout, int64_t width) {
  if (layout.OffsetX != 0) layout.FillLeftColumns = 1;
  if (layout.OffsetX + kBoardWidth * layout.TileSize != width) layout.FillRightColumns = 1;
}

// Filler columns on both sides of the board, also where they lie off the screen.
void SetSideFillers(PlayLayout& layout) {
  layout.FillLeftColumns = 1;
  layout.FillRightColumns = 1;
}

// Places the fillers a layout asked for, with as many tiles as it takes for the HUD bar, the
// board and the fillers together to cover every pixel of the screen: the side columns reach the
// screen's edges (a board narrower than the screen by several tiles gets several), the rows
// above and below the board span the width and the rows below reach the bottom edge.
void PlaceFillers(PlayLayout& layout, int64_t width, int64_t height) {
  const int64_t tile = layout.TileSize;
  const int64_t board_right = layout.OffsetX + kBoardWidth * tile;
  if (layout.FillLeftColumns > 0) layout.FillLeftColumns = std::max<int64_t>(1, TilesToCover(layout.OffsetX, tile));
  layout.FillLeftX = layout.OffsetX - layout.FillLeftColumns * tile;
  if (layout.FillRightColumns > 0) {
    layout.FillRightColumns = std::max<int64_t>(1, TilesToCover(width - board_right, tile));
    layout.FillRightX = board_right;
  }
  if (layout.FillTopY != 0 || layout.FillBottomY != 0) layout.FillAcross = TilesToCover(width - layout.FillLeftX, tile);
  if (layout.FillBottomY != 0) layout.FillBottomRows = TilesToCover(height - layout.FillBottomY, tile);
}

void SetFixedLayout(PlayLayout& layout, int64_t scale) {
  layout.TileSize = 64 * scale;
  layout.OffsetX = 0;
  layout.HudHeight = 120 * scale;
  layout.OffsetY = layout.HudHeight;
  layout.Border1 = 2 * scale;
  layout.Border2 = 10 * scale;
  layout.Border3 = 15 * scale;
  layout.HudFontSize = 45 * scale;
}

void SetScaledLayout(PlayLayout& layout, int64_t width, int64_t height, int aspect) {
  int64_t tile = width / kBoardWidth;
  // A screen too short for a board of the width's cells gets smaller cells: the board's last row
  // stays on the screen, with the HUD and the band of one cell above the board. On the shapes
  // without a rule of their own the HUD is no higher than a 16:9 screen of that width has it
  // (its texts are sized from its height, and the boxes from the width: on a narrow or portrait
  // screen a ninth of the height would give the clock more digits than its box holds).
  const bool own_rule = aspect == kAspect3x2 || aspect == kAspect4x3 || aspect == kAspect5x4;
  const int64_t hud = own_rule ? height / 9 : std::min(height / 9, width / 16);
  switch (aspect) {
    case kAspect16x9:
    case kAspect17x9:
      break;
    case kAspect16x10:
      tile = std::min(tile, height - (height / 10) * 9);
      break;
    default:
      tile = std::min(tile, (height - hud) / (kBoardHeight + 1));
      break;
  }
  tile = std::max<int64_t>(tile, 1);
  layout.TileSize = tile;
  layout.OffsetX = (width - kBoardWidth * tile) / 2;
  switch (aspect) {
    case kAspect3x2:
    case kAspect4x3:
    case kAspect5x4: {
      layout.HudHeight = hud;
      layout.OffsetY = layout.HudHeight + tile;
      SetBorders(layout, layout.HudHeight - tile);
      const double divisor = aspect == kAspect5x4 ? 2.6 : 2.5;
      layout.HudFontSize = RoundEven(static_cast<double>(layout.HudHeight - 2 * layout.Border3) / divisor);
      SetSideFillers(layout);
      layout.FillTopY = layout.HudHeight;
      layout.FillBottomY = layout.OffsetY + kBoardHeight * tile;
      return;
    }
    case kAspect16x9:
    case kAspect17x9:
      layout.HudHeight = height - kBoardHeight * tile;
      layout.OffsetY = layout.HudHeight;
      SetBorders(layout, layout.HudHeight);
      layout.HudFontSize = (layout.HudHeight - 2 * layout.Border3) / 2;
      SetSideFillersWhereRoom(layout, width);
      return;
    case kAspect16x10:
      layout.HudHeight = (height / 10) * 9 - kBoardHeight * tile;
      layout.OffsetY = layout.HudHeight + tile;
      SetBorders(layout, layout.HudHeight);
      layout.HudFontSize = (layout.HudHeight - 2 * layout.Border3) / 2;
      SetSideFillersWhereRoom(layout, width);
      layout.FillTopY = layout.HudHeight;
      layout.FillBottomY = layout.OffsetY + kBoardHeight * tile;
      return;
    default:  // every other shape, the 21:9 screens among them
      layout.HudHeight = hud;
      layout.OffsetY = layout.HudHeight + tile;
      SetBorders(layout, layout.HudHeight);
      layout.HudFontSize = (layout.HudHeight - 2 * layout.Border3) / 2;
      SetSideFillers(layout);
      // The band of one cell between the HUD and the board is filled as on the 3:2 screens.
      layout.FillTopY = layout.HudHeight;
      layout.FillBottomY = layout.OffsetY + kBoardHeight * tile;
      return;
  }
}

// ---- What stands still ----
// Two pictures are kept from the frames that drew them and shown in place of their drawing while
// nothing in them changes: the play screen's still part (the HUD bar, the name box, the fillers
// and the level's layers) and, under a panel, the whole dimmed play screen. Each is grabbed at the
// screen's size from the frame being drawn, so showing it gives back the very same pixels.

// What the dimmed play screen under a panel shows; the same key, the same picture.
struct OverlayKey {
  int64_t StillGeneration = 0;
  int64_t StepCount = 0;
  Text TimeText;
  int64_t PlayerX = 0, PlayerY = 0;
  int Keeper = 0;
  int64_t CrateCount = 0;
  int64_t CoveredCount = 0;
  int64_t CrateGrid[kBoardWidth + 1][kBoardHeight + 1] = {};

  bool operator==(const OverlayKey& other) const {
    return StillGeneration == other.StillGeneration && StepCount == other.StepCount && TimeText == other.TimeText &&
           PlayerX == other.PlayerX && PlayerY == other.PlayerY && Keeper == other.Keeper &&
           CrateCount == other.CrateCount && CoveredCount == other.CoveredCount &&
           std::memcmp(CrateGrid, other.CrateGrid, sizeof CrateGrid) == 0;
  }
};

// The last text rendered into a HUD box, so that the same text is not rendered again.
struct HudBoxText {
  Text Shown;
  int Left = 0;
  bool Valid = false;
};

struct StillPictures {
  // Counts every change of what the still part shows: a new layout, a new name box.
  int64_t Generation = 1;
  int64_t Board = 0;  // sprite handle of the still part, 0 when none was grabbed
  int64_t BoardGeneration = 0;
  Text BoardLevel;
  int64_t Overlay = 0;  // sprite handle of the dimmed play screen
  OverlayKey Under;     // what it shows
  HudBoxText Boxes[3];  // name, time, steps
};
StillPictures Still;

void ChangeStillPart() { ++Still.Generation; }

HudBoxText& BoxTextOf(int sprite) {
  return Still.Boxes[sprite == SpriteHudName ? 0 : sprite == SpriteHudTime ? 1 : 2];
}

bool ShownAtScreenSize(int64_t sprite) {
  return sprite != 0 && sprite_width(sprite) == GameDisplay.ScreenWidth &&
         sprite_height(sprite) == GameDisplay.ScreenHeight;
}

// The frame drawn so far, kept opaque in a screen-sized sprite; 0 when it cannot be had.
int64_t GrabScreen(int64_t old) {
  if (old != 0) sprite_free(old);
  return sprite_grab(kNewObject, 0, 0, GameDisplay.ScreenWidth, GameDisplay.ScreenHeight, kSpriteKeepAlpha);
}

OverlayKey CurrentOverlayKey(int keeper) {
  OverlayKey key;
  key.StillGeneration = Still.Generation;
  key.StepCount = Board.StepCount;
  key.TimeText = PlayScreen.TimeText;
  key.PlayerX = Board.PlayerX;
  key.PlayerY = Board.PlayerY;
  key.Keeper = keeper;
  key.CrateCount = Board.CrateCount;
  key.CoveredCount = Board.CoveredCount;
  std::memcpy(key.CrateGrid, Board.CrateGrid, sizeof key.CrateGrid);
  return key;
}

int Pixel(int64_t value) { return static_cast<int>(std::clamp<int64_t>(value, -(int64_t{1} << 30), int64_t{1} << 30)); }

// Paints one line of HUD text on a fresh image of the box's size filled with the inner colour,
// then copies it into the box sprite. The text starts at `left`, or is centred when `left` is -1;
// it is always centred vertically.
void RenderHudText(int sprite, const Text& text, int left) {
  const int width = sprite_width(sprite), height = sprite_height(sprite);
  if (width <= 0 || height <= 0) return;
  // The same text in the same box gives the same pixels: the box keeps them.
  HudBoxText& shown = BoxTextOf(sprite);
  if (shown.Valid && shown.Shown == text && shown.Left == left) return;
  shown = HudBoxText{text, left, true};
  if (sprite == SpriteHudName) ChangeStillPart();
  const int64_t image = image_create(kNewObject, width, height, 24, kHudInnerFill);
  if (!image) return;
  const int output = image_vector_output(image, kUnitPixel);
  if (output && vector_drawing_start(output)) {
    vector_font(font_handle(FontMain), static_cast<double>(PlayScreen.Layout.HudFontSize));
    vector_source_color(kHudText);
    const double x = left >= 0 ? left : (width - vector_text_width(text)) / 2;
    vector_move_to(x, (height - vector_text_height(text)) / 2);
    vector_text_draw(text);
    vector_drawing_stop();
  }
  if (drawing_start(sprite_output(sprite))) {
    draw_image(image_handle(image), 0, 0);
    drawing_stop();
  }
  image_free(image);
}

// The bar behind the four HUD boxes, each box framed by three nested rectangles.
void BuildHudBar(const PlayLayout& layout, int width) {
  if (!sprite_create(SpriteHudBar, width, Pixel(layout.HudHeight))) return;
  if (!drawing_start(sprite_output(SpriteHudBar))) return;
  // The bar is filled down to the board; the sprite keeps its HUD-high top part.
  draw_box(0, 0, width, Pixel(layout.OffsetY), kHudBackground);
  const int64_t lefts[] = {0, layout.NameWidth, layout.NameWidth + layout.TimeWidth, layout.TargetLeft};
  const int64_t widths[] = {layout.NameWidth, layout.TimeWidth, layout.StepsWidth, layout.TargetWidth};
  const int64_t insets[] = {layout.Border1, layout.Border2, layout.Border3};
  const uint32_t colours[] = {kHudOuterFrame, kHudMiddleFrame, kHudInnerFill};
  for (int box = 0; box < 4; ++box) {
    for (int frame = 0; frame < 3; ++frame) {
      const int64_t inset = insets[frame];
      draw_box(Pixel(lefts[box] + inset), Pixel(inset), Pixel(widths[box] - 2 * inset),
               Pixel(layout.HudHeight - 2 * inset), colours[frame]);
    }
  }
  drawing_stop();
}

void CreateHudBoxes(const PlayLayout& layout) {
  for (HudBoxText& box : Still.Boxes) box = HudBoxText();
  const int height = Pixel(layout.HudHeight - 2 * layout.Border3 - 1);
  sprite_create(SpriteHudName, Pixel(layout.NameWidth - 2 * layout.Border3), height);
  sprite_create(SpriteHudTime, Pixel(layout.TimeWidth - 2 * layout.Border3), height);
  sprite_create(SpriteHudSteps, Pixel(layout.StepsWidth - 2 * layout.Border3), height);
}

// The black sprite that dims the board under the overlay panels: opaque black once keyed with
// white, and shown at half intensity.
void CreateDimmer() {
  if (sprite_width(SpriteDimmer) == GameDisplay.ScreenWidth && sprite_height(SpriteDimmer) == GameDisplay.ScreenHeight) return;
  if (sprite_create(SpriteDimmer, GameDisplay.ScreenWidth, GameDisplay.ScreenHeight, kSpriteKeepAlpha)) {
    sprite_transparent_color(SpriteDimmer, ColourRgb(255, 255, 255));
  }
}

int64_t CrateCountShown() { return std::clamp<int64_t>(Board.CrateCount, 0, kHudIconSlots); }

void DrawHudIcons() {
  for (int slot = 1; slot <= CrateCountShown(); ++slot) {
    HudIconSlot& icon = PlayScreen.Icons[slot];
    icon.Lit = slot <= Board.CoveredCount ? 1 : 0;  // lit from the first, whichever targets hold crates
    if (icon.Lit) {
      sprite_display(SpriteTargetIcon, Pixel(icon.X), Pixel(icon.Y));
    } else {
      sprite_display_blended(SpriteTargetIcon, Pixel(icon.X), Pixel(icon.Y), kUnlitIconIntensity);
    }
  }
}

void DrawFillers(const PlayLayout& layout) {
  const int64_t tile = layout.TileSize;
  auto column = [&](int64_t x) {
    for (int k = 0; k < kBoardHeight; ++k) sprite_display(SpriteFloor, Pixel(x), Pixel(layout.OffsetY + k * tile));
  };
  auto row = [&](int64_t y) {
    for (int64_t k = 0; k < layout.FillAcross; ++k) sprite_display(SpriteFloor, Pixel(layout.FillLeftX + k * tile), Pixel(y));
  };
  for (int64_t c = 0; c < layout.FillLeftColumns; ++c) column(layout.FillLeftX + c * tile);
  for (int64_t c = 0; c < layout.FillRightColumns; ++c) column(layout.FillRightX + c * tile);
  if (layout.FillTopY != 0) row(layout.FillTopY);
  for (int64_t r = 0; r < layout.FillBottomRows; ++r) row(layout.FillBottomY + r * tile);
}

// The crates and the keeper; during a move the keeper comes first and he and the pushed crate are
// drawn the same rounded number of pixels along the move.
void DrawBoardItems(const PlayLayout& layout) {
  const int64_t tile = layout.TileSize;
  const bool moving = Board.MoveState != kMoveIdle;
  int dx = 0, dy = 0;
  MoveDirection(Board.MoveState, &dx, &dy);
  const int64_t along = moving ? MoveOffsetPixels(Board.MoveFrame, tile) : 0;
  const int keeper_x = Pixel(layout.OffsetX + Board.PlayerX * tile + dx * along);
  const int keeper_y = Pixel(layout.OffsetY + Board.PlayerY * tile + dy * along);
  if (moving) sprite_display_blended(KeeperSprite(), keeper_x, keeper_y);
  for (int x = 0; x < kBoardWidth; ++x) {
    for (int y = 0; y < kBoardHeight; ++y) {
      if (Board.CrateGrid[x][y] == 0) continue;
      int64_t px = layout.OffsetX + x * tile, py = layout.OffsetY + y * tile;
      if (moving && x == Board.PushedCrate[0] && y == Board.PushedCrate[1]) {
        px += dx * along;
        py += dy * along;
      }
      sprite_display(SpriteCrate, Pixel(px), Pixel(py));
    }
  }
  if (!moving) sprite_display_blended(KeeperSprite(), keeper_x, keeper_y);
}

// The HUD bar with the name box, the fillers and the level's layers: drawn and kept when they
// changed, else shown from the kept picture.
void DrawStillPart(const PlayLayout& layout) {
  if (ShownAtScreenSize(Still.Board) && Still.BoardGeneration == Still.Generation &&
      Still.BoardLevel == Loop.CurrentLevelName) {
    sprite_display(Still.Board, 0, 0);
    return;
  }
  const int inset = Pixel(layout.Border3);
  sprite_display(SpriteHudBar, 0, 0);
  sprite_display(SpriteHudName, inset, inset);
  DrawFillers(layout);
  DrawLevel(Loop.CurrentLevelName);
  Still.Board = GrabScreen(Still.Board);
  Still.BoardGeneration = Still.Generation;
  Still.BoardLevel = Loop.CurrentLevelName;
}

}  // namespace

PlayLayout ComputeLayout(int64_t width, int64_t height, int aspect) {
  PlayLayout layout;
  // The fixed layouts hold at the heights they were made for; other heights take the rule of
  // their shape.
  if (width == 1920 && (height == 1080 || height == 1200)) {
    SetFixedLayout(layout, 1);
    if (height == 1200) {
      layout.FillTopY = layout.HudHeight;
      layout.FillBottomY = 1080;
    }
  } else if (width == 3840 && height == 2160) {
    SetFixedLayout(layout, 2);
  } else {
    SetScaledLayout(layout, width, height, aspect);
  }
  PlaceFillers(layout, width, height);
  const int64_t hundredth = width / 100;
  layout.NameWidth = hundredth * 66;
  layout.TimeWidth = hundredth * 11;
  layout.StepsWidth = hundredth * 9;
  layout.TargetWidth = width - layout.NameWidth - layout.TimeWidth - layout.StepsWidth;
  layout.TargetLeft = layout.NameWidth + layout.TimeWidth + layout.StepsWidth;
  layout.IconSize = (layout.HudHeight - 2 * layout.Border3) / 3 - (aspect == kAspect4x3 ? 4 : 0);
  layout.IconGap = (layout.TargetWidth - 2 * layout.Border3 - 6 * layout.IconSize) / 7;
  return layout;
}

void HudIconPosition(const PlayLayout& layout, int slot, int64_t* x, int64_t* y) {
  const int column = (slot - 1) % 6;
  *x = layout.TargetLeft + layout.Border3 + layout.IconGap + 1 + column * (layout.IconSize + layout.IconGap);
  *y = slot <= 6 ? layout.Border3 + layout.IconSize / 3
                 : layout.HudHeight - layout.Border3 - layout.IconSize / 3 - layout.IconSize;
}

int KeeperSprite() {
  int turn = 0;  // left
  switch (Board.PoseFacing) {
    case FacingRight: turn = 1; break;
    case FacingUp: turn = 2; break;
    case FacingDown: turn = 3; break;
    default: break;
  }
  return (Board.PosePushing ? SpriteKeeperPushing : SpriteKeeperStanding) + turn;
}

int64_t MoveOffsetPixels(int move_frame, int64_t tile_size) {
  return RoundEven(static_cast<double>(move_frame) * static_cast<double>(tile_size) / kMoveFrames);
}

void SetLayout() {
  PlayScreen.Layout = ComputeLayout(GameDisplay.ScreenWidth, GameDisplay.ScreenHeight, GameDisplay.AspectRatio);
}

void PreparePlayScreen() {
  ChangeStillPart();
  const PlayLayout& layout = PlayScreen.Layout;
  const int tile = Pixel(layout.TileSize);
  // Zoomed whatever the size, so that a layout back at 64 pixels does not keep an older zoom.
  for (const int sprite : {SpriteCrate, SpriteFloor}) sprite_zoom(sprite, tile, tile);
  for (int turn = 0; turn < kKeeperTurns; ++turn) {
    sprite_zoom(SpriteKeeperStanding + turn, tile, tile);
    sprite_zoom(SpriteKeeperPushing + turn, tile, tile);
  }
  SetMapTileSize(static_cast<double>(layout.TileSize));
  SetMapOffsetX(static_cast<double>(layout.OffsetX));
  SetMapOffsetY(static_cast<double>(layout.OffsetY));
  LogValue(u"TileSize: ", layout.TileSize);
  LogValue(u"OffsetX: ", layout.OffsetX);
  LogValue(u"OffsetY: ", layout.OffsetY);

  BuildHudBar(layout, GameDisplay.ScreenWidth);
  CreateHudBoxes(layout);
  RenderHudName();
  RenderHudSteps();
  RenderHudText(SpriteHudTime, PlayScreen.TimeText, -1);
  sprite_zoom(SpriteTargetIcon, Pixel(layout.IconSize), Pixel(layout.IconSize));
  for (int slot = 1; slot <= kHudIconSlots; ++slot) HudIconPosition(layout, slot, &PlayScreen.Icons[slot].X, &PlayScreen.Icons[slot].Y);
  CreateDimmer();
}

void RenderHudName() {
  const Text title = GameText(FindMap(Loop.CurrentLevelName).Title);
  RenderHudText(SpriteHudName, Loop.CurrentLevelName + u": " + title, kNameTextLeft);
}

void RenderHudSteps() { RenderHudText(SpriteHudSteps, str_from_int(Board.StepCount), -1); }

void RenderHudTime(int64_t elapsed_ms) {
  PlayScreen.TimeText = MinutesSeconds(elapsed_ms);
  RenderHudText(SpriteHudTime, PlayScreen.TimeText, -1);
}

void UpdateHudBoxes(bool clock_runs, int64_t elapsed_ms) {
  RenderHudSteps();
  if (clock_runs) RenderHudTime(elapsed_ms);
}

void ResetHudIcons() {
  for (int slot = 1; slot <= kHudIconSlots; ++slot) {
    PlayScreen.Icons[slot].Used = slot <= CrateCountShown() ? 1 : 0;
    PlayScreen.Icons[slot].Lit = 0;
  }
}

void ForgetPlayScreenPictures() {
  for (int64_t* kept : {&Still.Board, &Still.Overlay}) {
    if (*kept != 0) sprite_free(*kept);
    *kept = 0;
  }
  ChangeStillPart();
}

void DrawPlayScreen() {
  const PlayLayout& layout = PlayScreen.Layout;
  const int inset = Pixel(layout.Border3);
  const bool overlay = CurrentScreen().Place == PanelAt::Centred;
  // Under a panel the board stands still, once a move that was under way has ended.
  const bool still = overlay && Board.MoveState == kMoveIdle;
  const OverlayKey key = still ? CurrentOverlayKey(KeeperSprite()) : OverlayKey();
  if (still && ShownAtScreenSize(Still.Overlay) && Still.Under == key) {
    sprite_display(Still.Overlay, 0, 0);
    DrawOverlayPanel();
    return;
  }
  DrawStillPart(layout);
  // The HUD's changing boxes lie on the bar, apart from the board: drawn after the board's still
  // part, they leave the same pixels as drawn before it.
  sprite_display(SpriteHudSteps, Pixel(layout.NameWidth + layout.TimeWidth + inset), inset);
  sprite_display(SpriteHudTime, Pixel(layout.NameWidth + inset), inset);
  DrawHudIcons();
  DrawBoardItems(layout);
  if (overlay) {
    sprite_display_blended(SpriteDimmer, 0, 0, kDimmerIntensity);
    if (still) {
      Still.Overlay = GrabScreen(Still.Overlay);
      Still.Under = key;
    }
    DrawOverlayPanel();
  }
}
