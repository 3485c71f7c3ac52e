// The screen table: every row complete for what its screen shows and how its keys act.
#include "game/screens.h"

#include <gtest/gtest.h>

namespace {

TEST(ScreenTable, EveryRowHasWhatItsPanelAndKeysNeed) {
  for (int i = 0; i < kScreenCount; ++i) {
    const ScreenEntry& screen = ScreenOf(static_cast<ScreenState>(i));
    SCOPED_TRACE(screen.Name);
    // Escape leads somewhere from every screen.
    EXPECT_NE(screen.Back, nullptr);
    // A panel that is shown has a sprite; the carousel and the plain pictures have none.
    const bool has_panel = screen.Place == PanelAt::SlidingIn || screen.Place == PanelAt::Centred;
    EXPECT_EQ(screen.Panel != kNoSprite, has_panel);
    // Only the play screen darkens behind a centred panel, and a sliding panel needs its counter.
    if (screen.Place == PanelAt::Centred) {
      EXPECT_EQ(screen.Shows, Backdrop::PlayScreen);
    }
    if (screen.Place == PanelAt::SlidingIn) {
      EXPECT_NE(screen.Slide, nullptr);
    }
    // Arrow navigation through entries needs the highlight, its last entry and the panel's render.
    if (screen.Keys == Navigation::UpDown || screen.Keys == Navigation::LeftRight) {
      EXPECT_NE(screen.Choice, nullptr);
      EXPECT_GE(screen.Entries, 2);
      EXPECT_NE(screen.Render, nullptr);
    }
    // The music follows the picture: the menu music on the title screens, the level's on the board.
    EXPECT_EQ(screen.Music, screen.Shows == Backdrop::PlayScreen ? GameMusic : MenuMusic);
    // The level clock runs on the board alone, and only there do the held keys move the keeper.
    if (screen.ClockRuns || screen.Held == HeldKeys::Moves) {
      EXPECT_EQ(screen.Shows, Backdrop::PlayScreen);
    }
  }
  EXPECT_TRUE(ScreenOf(ScreenState::Playing).ClockRuns);
}

}  // namespace
