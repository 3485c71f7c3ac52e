// The play screen: its layout from the screen size, the heads-up bar with its text boxes and
// target icons, and the drawing of one frame of the board in the play-screen states.
#pragma once

#include <cstdint>

// Sets the play-screen layout (and GameDisplay's TileSize, OffsetX, OffsetY) from the screen's
// size and aspect class.
void SetLayout();
// Zooms the tile-sized sprites, hands the tile size and offsets to the map drawer, logs them and
// builds the heads-up bar. Called when the main loop is entered and after the screen reopened.
void PreparePlayScreen();
// The name box, rendered at each level start and after a language change.
void RenderHudName();
// Clears the target icons and marks one used per crate of the level, at each level start.
void ResetHudIcons();
// Draws the whole picture of a play-screen state (7-12), advancing the move animation.
void DrawPlayScreen();
