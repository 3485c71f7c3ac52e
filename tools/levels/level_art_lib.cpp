// Tile pictures and level thumbnails (see level_art.h).
#include "tools/levels/level_art.h"

#include <cmath>

#include "tools/artstyle/artstyle.h"
#include "tools/levels/level_compiler.h"

namespace {

// Draws one tile into the square (0, 0)-(size, size).
void DrawTile(cairo_t* cr, double size, int tile) {
  if (tile >= kTileFloor && tile < kTileFloor + kFloorVariants) {
    artstyle::DrawFloor(cr, size, tile - kTileFloor);
  } else if (tile == kTileTarget) {
    artstyle::DrawTargetMark(cr, size);
  } else if (tile >= kTileGround && tile < kTileGround + kGroundVariants) {
    artstyle::DrawGround(cr, size, tile - kTileGround);
  } else if (tile >= kTileWall && tile < kTileWall + kWallVariants) {
    unsigned bits = static_cast<unsigned>(tile - kTileWall);
    unsigned joins = (bits & kWallUp ? artstyle::kJoinUp : 0) | (bits & kWallRight ? artstyle::kJoinRight : 0) |
                     (bits & kWallDown ? artstyle::kJoinDown : 0) | (bits & kWallLeft ? artstyle::kJoinLeft : 0);
    artstyle::DrawWall(cr, size, joins);
  }
}

// Draws `draw` into the cell whose top-left corner is (x, y), a cell being `size` wide.
template <typename Draw>
void AtCell(cairo_t* cr, double x, double y, Draw draw) {
  cairo_save(cr);
  cairo_translate(cr, x, y);
  draw();
  cairo_restore(cr);
}

int Number(const Text& text, int64_t field) { return static_cast<int>(str_to_int(str_field(text, field, u","))); }

}  // namespace

std::vector<uint8_t> RenderTile(int tile) {
  if (tile < 1 || tile > kTileCount) return {};
  artstyle::Canvas canvas(kTilePixels, kTilePixels);
  DrawTile(canvas.cr(), kTilePixels, tile);
  return artstyle::EncodePng(canvas, tile == kTileTarget ? artstyle::PngKind::Alpha : artstyle::PngKind::Opaque);
}

std::vector<uint8_t> RenderThumbnail(const MapRecord& map) { return RenderBoardPicture(map, kThumbnailWidth); }

std::vector<uint8_t> RenderBoardPicture(const MapRecord& map, int width) {
  if (width < kBoardWidth || width > 16 * kBoardWidth * kTilePixels) return {};
  const int height = width * 9 / 16;
  artstyle::Canvas canvas(width, height);
  cairo_t* cr = canvas.cr();
  const double cell = static_cast<double>(width) / kBoardWidth;
  const double top = (height - cell * kBoardHeight) / 2;
  // Ground in the bands above and below the board.
  for (int x = 0; x < kBoardWidth; ++x) {
    for (int y : {-1, kBoardHeight}) {
      AtCell(cr, x * cell, top + y * cell, [&] { artstyle::DrawGround(cr, cell, (x + y) & 3); });
    }
  }
  for (int x = 0; x < kBoardWidth; ++x)
    for (int y = 0; y < kBoardHeight; ++y)
      for (int layer = 0; layer < static_cast<int>(map.Layers.size()); ++layer) {
        int tile = MapTileAt(map, layer, x, y);
        if (tile > 0) AtCell(cr, x * cell, top + y * cell, [&] { DrawTile(cr, cell, tile); });
      }
  for (int64_t i = 1; i <= map.CrateCount && i <= kMaxCrates; ++i) {
    int x = Number(map.Crates, 2 * i - 1), y = Number(map.Crates, 2 * i);
    AtCell(cr, x * cell, top + y * cell, [&] { artstyle::DrawCrate(cr, cell); });
  }
  int keeper_x = Number(map.Start, 1), keeper_y = Number(map.Start, 2);
  AtCell(cr, keeper_x * cell, top + keeper_y * cell,
         [&] { artstyle::DrawKeeper(cr, cell, artstyle::Facing::Down, false); });
  return artstyle::EncodePng(canvas, artstyle::PngKind::Opaque);
}
