// The play screen: its layout from the screen size, the heads-up bar with its text boxes and
// target icons, and the drawing of one frame of the board in the play-screen states.
#pragma once

#include <cstdint>

#include "runtime/data/text.h"

// The geometry of the play screen, in screen pixels. The filler tiles (the field around the
// board) lie on the board's grid; with the HUD bar and the board they cover the whole screen.
struct PlayLayout {
  int64_t TileSize = 64;  // side of a board cell
  int64_t OffsetX = 0;    // top-left corner of cell (0, 0)
  int64_t OffsetY = 0;
  int64_t HudHeight = 0;
  int64_t Border1 = 0;  // insets of the outer, middle and inner frames of the HUD boxes
  int64_t Border2 = 0;
  int64_t Border3 = 0;
  int64_t HudFontSize = 0;
  int64_t FillLeftX = 0;  // leftmost column of filler tiles, where the filler rows start too
  int64_t FillRightX = 0;  // first column of filler tiles right of the board
  int64_t FillTopY = 0;     // the row of filler tiles between the HUD and the board; 0: none
  int64_t FillBottomY = 0;  // first row of filler tiles below the board
  int64_t FillLeftColumns = 0;   // columns of 15 filler tiles beside the board, left and right
  int64_t FillRightColumns = 0;
  int64_t FillAcross = 0;      // tiles in each filler row
  int64_t FillBottomRows = 0;  // rows of filler tiles below the board
  // The four HUD boxes from left to right: name, time, steps, targets.
  int64_t NameWidth = 0;
  int64_t TimeWidth = 0;
  int64_t StepsWidth = 0;
  int64_t TargetWidth = 0;
  int64_t TargetLeft = 0;  // left edge of the target box
  int64_t IconSize = 0;    // side of a target icon
  int64_t IconGap = 0;     // space between two icons of a row
};

constexpr int kHudIconSlots = 12;

// One target icon of the HUD: slots 1-6 form the top row, 7-12 the bottom row.
struct HudIconSlot {
  int64_t X = 0;
  int64_t Y = 0;
  uint8_t Used = 0;  // the level has a crate for this slot
  uint8_t Lit = 0;   // shown fully; an unlit icon is shown faint
};

struct PlayScreenRecord {
  PlayLayout Layout;
  HudIconSlot Icons[kHudIconSlots + 1];  // slots 1..12; 0 is unused
  Text TimeText;  // what the time box shows: the clock of the last Playing frame
};
extern PlayScreenRecord PlayScreen;

// The layout of a screen of width x height pixels in aspect class `aspect` (kAspect3x2 ...).
// 1920 x 1080, 1920 x 1200 and 3840 x 2160 have fixed layouts; the 21:9 class is laid out like
// the other shapes without a rule of their own. On every screen from 1024 x 576 up the whole board
// lies on the screen (a screen too short for cells of a thirtieth of its width gets smaller ones)
// and every pixel is drawn each frame.
PlayLayout ComputeLayout(int64_t width, int64_t height, int aspect);
// The screen position of a target icon slot (1-12) in a layout.
void HudIconPosition(const PlayLayout& layout, int slot, int64_t* x, int64_t* y);
// The sprite of the keeper's present pose: standing or pushing, turned left, right, up or down.
int KeeperSprite();
// How many pixels along its move the keeper is drawn in a frame of the move animation, for a
// tile size: MoveFrame eighths of a cell, rounded to the nearest pixel.
int64_t MoveOffsetPixels(int move_frame, int64_t tile_size);

// Sets the play-screen layout from the screen's size and aspect class.
void SetLayout();
// Zooms the tile-sized sprites, hands the tile size and offsets to the map drawer, logs them and
// builds the heads-up bar. Called when the main loop is entered and after the screen reopened.
// The three text boxes get their texts again (the time box the one it showed last), and the
// full-screen black dimmer (sprite 1) is made when it is missing or of another size.
void PreparePlayScreen();
// The name box, rendered at each level start and after a language change.
void RenderHudName();
// The steps box (the board's step count).
void RenderHudSteps();
// The time box: the level clock at `elapsed_ms`.
void RenderHudTime(int64_t elapsed_ms);
// Before a play-screen frame is drawn: the steps box, and the time box while the level clock
// runs (`elapsed_ms` its reading).
void UpdateHudBoxes(bool clock_runs, int64_t elapsed_ms);
// Clears the target icons and marks one used per crate of the level, at each level start.
void ResetHudIcons();
// Draws the whole picture of a play-screen state: the heads-up bar, the board, and on the overlay
// states the dimmer and the panel. What stands still between frames (the HUD bar and name box, the
// fillers and the level's layers, and under a panel the whole dimmed board) is kept from the frame
// that drew it and shown from there until it changes; nothing else is changed.
void DrawPlayScreen();
// Drops what DrawPlayScreen keeps, so that the next frame is drawn whole.
void ForgetPlayScreenPictures();
