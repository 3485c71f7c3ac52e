// The screen flow driven by frames of input, without a screen: states, timers, the level clock,
// level start and completion, the music key and the gamepad.
#include "game/main_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/core/board.h"
#include "game/core/game.h"
#include "game/input.h"
#include "game/maps.h"
#include "game/screen_flow.h"
#include "game/screens.h"
#include "runtime/media/sound.h"
#include "tests/support/audio_capture.h"
#include "tools/mapwriter/mapwriter.h"

namespace {

int64_t FakeNow = 0;
int64_t FakeClock() { return FakeNow; }

// A level in the plain-text notation ("#" wall, "$" crate, "." target, "@" keeper).
MapRecord MapFromRows(const std::vector<std::string>& rows) {
  MapRecord map;
  map.Width = static_cast<int64_t>(rows[0].size());
  map.Height = static_cast<int64_t>(rows.size());
  for (int i = 0; i < 3; ++i) map.Layers.push_back(MakeMapLayer(u"layer", map.Width, map.Height));
  std::vector<std::pair<int, int>> crates, targets;
  for (int y = 0; y < map.Height; ++y) {
    for (int x = 0; x < map.Width; ++x) {
      const char c = rows[y][x];
      if (c == '#') SetMapTile(map.Layers[kWallLayer], map.Height, x, y, 1);
      if (c == '$') crates.emplace_back(x, y);
      if (c == '.') targets.emplace_back(x, y);
      if (c == '@') map.Start = WritePositions({{x, y}});
    }
  }
  map.CrateCount = static_cast<int64_t>(crates.size());
  map.Crates = WritePositions(crates);
  map.Targets = WritePositions(targets);
  map.LayerCount = 3;
  return map;
}

// Every level is one push to the right from solved.
const std::vector<std::string> kOnePush = {"#####", "#@$.#", "#####"};

class Flow : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeNow = 1000;
    SetLoopClock(FakeClock);
    Settings = SettingsRecord();
    Settings.MusicOn = 0;
    Loop = LoopRecord();
    Menus = MenuRecord();
    Board = BoardRecord();
    GameState = ScreenState::StudioSplash;
    UseLevels(3);
  }
  void TearDown() override { SetLoopClock(nullptr); }

  void UseLevels(int count) {
    LevelList.clear();
    for (int i = 0; i < count; ++i) {
      LevelRecord level;
      level.Name = u"level" + str_from_int(i + 1);
      level.Unlocked = i == 0;
      StoreMap(level.Name, MapFromRows(kOnePush));
      LevelList.push_back(level);
    }
  }

  // One frame as the loop runs it, without the drawing.
  void Frame(const FrameInput& input = FrameInput()) {
    AdvanceTimers();
    HandleFrameInput(input);
  }
  void Release(bool FrameInput::*key) {
    FrameInput input;
    input.*key = true;
    Frame(input);
  }
  void Hold(bool FrameInput::*key, int frames) {
    for (int i = 0; i < frames; ++i) {
      FrameInput input;
      input.*key = true;
      Frame(input);
    }
  }
  // Plays the level of the carousel's card from the main menu.
  void StartFromMenu() {
    GameState = ScreenState::MainMenu;
    Menus.MainMenuSlide = 0;  // slid in
    Menus.MainMenuChoice = 1;
    Release(&FrameInput::ReleasedReturn);  // Start
    ASSERT_EQ(GameState, ScreenState::LevelSelect);
    Release(&FrameInput::ReleasedReturn);
    ASSERT_EQ(GameState, ScreenState::Playing);
  }
  // Turns right, then pushes the crate onto its target and lets the move finish.
  void SolveLevel() {
    Hold(&FrameInput::HeldRight, 2);
    for (int i = 0; i < kMoveFrames + 1 && GameState == ScreenState::Playing; ++i) Frame();
  }
};

TEST_F(Flow, SplashesLeaveAfterTheirTimeOrAtOnceWhenSkipped) {
  for (int i = 0; i < 100; ++i) Frame();
  EXPECT_EQ(GameState, ScreenState::StudioSplash);
  Frame();
  EXPECT_EQ(GameState, ScreenState::TitleSplash);
  for (int i = 0; i < 101; ++i) Frame();
  EXPECT_EQ(GameState, ScreenState::MainMenu);

  for (bool FrameInput::*key : {&FrameInput::ReleasedSpace, &FrameInput::ReleasedEscape}) {
    GameState = ScreenState::StudioSplash;
    Loop.SplashTimer = 90;
    Release(key);
    EXPECT_EQ(GameState, ScreenState::TitleSplash);
    EXPECT_EQ(Loop.SplashTimer, 0);  // the title keeps its full time
    Release(key);
    EXPECT_EQ(GameState, ScreenState::MainMenu);
  }
}

TEST_F(Flow, TitleBackgroundTurnsBackEveryTenSeconds) {
  GameState = ScreenState::MainMenu;
  for (int i = 0; i < 601; ++i) Frame();
  EXPECT_DOUBLE_EQ(Loop.SpinStep, -0.01);
  for (int i = 0; i < 601; ++i) Frame();
  EXPECT_DOUBLE_EQ(Loop.SpinStep, 0.01);
}

TEST_F(Flow, EscapeGoesBackByState) {
  const struct {
    ScreenState state;
    int in_level;
    ScreenState expected;
    int main_menu_slide;
  } cases[] = {
      {ScreenState::MainMenu, 0, ScreenState::MainMenu, 0},       {ScreenState::LevelSelect, 0, ScreenState::MainMenu, kSlideFrames},
      {ScreenState::Credits, 0, ScreenState::MainMenu, kSlideFrames},   {ScreenState::MenuSettings, 0, ScreenState::MainMenu, kSlideFrames},
      {ScreenState::MenuQuit, 0, ScreenState::MainMenu, kSlideFrames},  {ScreenState::Playing, 1, ScreenState::InGameMenu, 0},
      {ScreenState::InGameMenu, 1, ScreenState::Playing, 0},      {ScreenState::GameSettings, 1, ScreenState::InGameMenu, 0},
      {ScreenState::GameQuit, 1, ScreenState::InGameMenu, 0},     {ScreenState::LevelComplete, 0, ScreenState::MainMenu, 0},
      {ScreenState::GameComplete, 0, ScreenState::MainMenu, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ScreenOf(c.state).Name);
    GameState = c.state;
    Loop.InLevel = c.in_level;
    Loop.QuitRequested = 0;
    Menus.MainMenuSlide = 0;
    HandleFrameInput([] { FrameInput i; i.ReleasedEscape = true; return i; }());
    EXPECT_EQ(GameState, c.expected);
    EXPECT_EQ(Menus.MainMenuSlide, c.main_menu_slide);
    // Escape in the main menu ends the game without the quit question.
    EXPECT_EQ(Loop.QuitRequested, c.state == ScreenState::MainMenu ? 1 : 0);
  }
}

TEST_F(Flow, MainMenuEntriesOpenTheirPanelsOnceTheSlideHasEnded) {
  const struct {
    int choice;
    ScreenState expected;
    int MenuRecord::*slide;
  } cases[] = {
      {1, ScreenState::LevelSelect, nullptr},
      {2, ScreenState::MenuSettings, &MenuRecord::SettingsSlide},
      {3, ScreenState::Credits, &MenuRecord::CreditsSlide},
      {4, ScreenState::MenuQuit, &MenuRecord::QuitSlide},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.choice);
    Menus = MenuRecord();
    GameState = ScreenState::MainMenu;
    Menus.MainMenuChoice = c.choice;
    Menus.MainMenuSlide = 1;  // still sliding in: Return does nothing
    HandleFrameInput([] { FrameInput i; i.ReleasedReturn = true; return i; }());
    EXPECT_EQ(GameState, ScreenState::MainMenu);
    Menus.MainMenuSlide = 0;
    Release(&FrameInput::ReleasedReturn);
    EXPECT_EQ(GameState, c.expected);
    if (c.slide) {
      EXPECT_EQ(Menus.*c.slide, kSlideFrames);
    }
  }
  EXPECT_EQ(Menus.QuitChoice, 1);
}

TEST_F(Flow, LockedCardIgnoresReturnAndAnUnlockedOneStartsTheLevel) {
  GameState = ScreenState::LevelSelect;
  Menus.LevelIndex = 1;  // locked
  Release(&FrameInput::ReleasedReturn);
  EXPECT_EQ(GameState, ScreenState::LevelSelect);

  Menus.LevelIndex = 0;
  Menus.MainMenuSlide = Menus.SettingsSlide = Menus.QuitSlide = 3;
  FakeNow = 5000;
  Release(&FrameInput::ReleasedReturn);
  EXPECT_EQ(GameState, ScreenState::Playing);
  EXPECT_EQ(Loop.InLevel, 1);
  EXPECT_EQ(Loop.CurrentLevelName, u"level1");
  EXPECT_EQ(Loop.LevelStartTime, 5000);
  EXPECT_EQ(Settings.LastPlayed, 0);
  EXPECT_EQ(Menus.MainMenuSlide + Menus.SettingsSlide + Menus.QuitSlide, 0);
  EXPECT_EQ(Board.CrateCount, 1);
}

TEST_F(Flow, EmptyLevelListShowsNothingToStart) {
  UseLevels(0);
  GameState = ScreenState::LevelSelect;
  Release(&FrameInput::ReleasedReturn);
  Hold(&FrameInput::HeldRight, 3);
  EXPECT_EQ(GameState, ScreenState::LevelSelect);
  StartLevel(0);
  EXPECT_EQ(GameState, ScreenState::LevelSelect);
  EXPECT_EQ(Loop.InLevel, 0);
}

TEST_F(Flow, PausingLeavesTheLevelClockUnchanged) {
  StartFromMenu();
  EXPECT_EQ(Loop.LevelStartTime, 1000);
  FakeNow = 4000;
  Release(&FrameInput::ReleasedEscape);  // pause
  ASSERT_EQ(GameState, ScreenState::InGameMenu);
  FakeNow = 9000;                        // five seconds in the menu
  Release(&FrameInput::ReleasedReturn);  // resume
  ASSERT_EQ(GameState, ScreenState::Playing);
  EXPECT_EQ(Loop.LevelStartTime, 6000);

  FakeNow = 10000;
  Release(&FrameInput::ReleasedEscape);
  FakeNow = 12000;
  Release(&FrameInput::ReleasedEscape);  // Escape resumes as well
  EXPECT_EQ(GameState, ScreenState::Playing);
  EXPECT_EQ(Loop.LevelStartTime, 8000);

  FakeNow = 13000;
  SolveLevel();
  ASSERT_EQ(GameState, ScreenState::LevelComplete);
  EXPECT_EQ(LevelList[0].TimeMs, 13000 - 8000);  // 12 s on the clock, 7 of them paused
  EXPECT_EQ(LevelList[0].Steps, 1);
  EXPECT_EQ(LevelList[1].Unlocked, 1);
  EXPECT_EQ(Loop.InLevel, 0);
  EXPECT_EQ(Menus.CompleteChoice, 3);
}

TEST_F(Flow, RestartResetsTheClockAndTheSteps) {
  StartFromMenu();
  Hold(&FrameInput::HeldDown, 2);  // turn, then a walk into the wall: nothing
  Hold(&FrameInput::HeldLeft, 2);  // turn, then one step left? a wall: nothing
  Hold(&FrameInput::HeldUp, 1);
  FakeNow = 7000;
  Release(&FrameInput::ReleasedEscape);
  Menus.InGameChoice = 2;
  Release(&FrameInput::ReleasedReturn);
  EXPECT_EQ(GameState, ScreenState::Playing);
  EXPECT_EQ(Loop.LevelStartTime, 7000);
  EXPECT_EQ(Board.StepCount, 0);
  EXPECT_EQ(Menus.InGameChoice, 1);
}

TEST_F(Flow, LevelCompleteEntries) {
  StartFromMenu();
  SolveLevel();
  ASSERT_EQ(GameState, ScreenState::LevelComplete);
  // Next: the following level starts and is remembered.
  Release(&FrameInput::ReleasedReturn);
  EXPECT_EQ(GameState, ScreenState::Playing);
  EXPECT_EQ(Menus.LevelIndex, 1);
  EXPECT_EQ(Settings.LastPlayed, 1);
  EXPECT_EQ(Loop.CurrentLevelName, u"level2");
  // Retry starts it again; menu leads back to the main menu.
  SolveLevel();
  Menus.CompleteChoice = 1;
  Release(&FrameInput::ReleasedReturn);
  EXPECT_EQ(GameState, ScreenState::Playing);
  EXPECT_EQ(Loop.CurrentLevelName, u"level2");
  SolveLevel();
  Menus.CompleteChoice = 2;
  Release(&FrameInput::ReleasedReturn);
  EXPECT_EQ(GameState, ScreenState::MainMenu);
}

TEST_F(Flow, OnTheLastLevelBothMenuAndNextLeadToGameComplete) {
  for (int choice : {2, 3}) {
    SCOPED_TRACE(choice);
    Menus.LevelIndex = 2;
    LevelList[2].Unlocked = 1;
    GameState = ScreenState::LevelSelect;
    Release(&FrameInput::ReleasedReturn);
    SolveLevel();
    ASSERT_EQ(GameState, ScreenState::LevelComplete);
    Menus.CompleteChoice = choice;
    Release(&FrameInput::ReleasedReturn);
    EXPECT_EQ(GameState, ScreenState::GameComplete);
    Release(&FrameInput::ReleasedReturn);
    EXPECT_EQ(GameState, ScreenState::MainMenu);
    EXPECT_EQ(Settings.LastPlayed, 2);
  }
}

TEST_F(Flow, QuitQuestionAnswers) {
  GameState = ScreenState::MenuQuit;
  Menus.QuitChoice = 2;
  Release(&FrameInput::ReleasedReturn);
  EXPECT_EQ(GameState, ScreenState::MainMenu);

  StartFromMenu();
  Release(&FrameInput::ReleasedEscape);
  Menus.InGameChoice = 4;
  Release(&FrameInput::ReleasedReturn);
  ASSERT_EQ(GameState, ScreenState::GameQuit);
  Menus.QuitChoice = 2;
  Release(&FrameInput::ReleasedReturn);
  EXPECT_EQ(GameState, ScreenState::InGameMenu);
  Menus.InGameChoice = 4;
  Release(&FrameInput::ReleasedReturn);
  Release(&FrameInput::ReleasedReturn);  // yes: the level is abandoned
  EXPECT_EQ(GameState, ScreenState::MainMenu);
  EXPECT_EQ(Loop.InLevel, 0);
  EXPECT_EQ(Loop.QuitRequested, 0);

  GameState = ScreenState::MenuQuit;
  Menus.QuitSlide = 0;
  Menus.QuitChoice = 1;
  Release(&FrameInput::ReleasedReturn);
  EXPECT_EQ(Loop.QuitRequested, 1);
}

TEST_F(Flow, SettingsCancelGoesBackWhereTheyWereOpened) {
  GameState = ScreenState::MenuSettings;
  Menus.SettingsChoice = 6;
  Release(&FrameInput::ReleasedReturn);
  EXPECT_EQ(GameState, ScreenState::MainMenu);
  EXPECT_EQ(Menus.SettingsChoice, 1);
  EXPECT_EQ(Menus.QuitSlide, kSlideFrames);

  StartFromMenu();
  GameState = ScreenState::GameSettings;
  Menus.SettingsChoice = 6;
  Release(&FrameInput::ReleasedReturn);
  EXPECT_EQ(GameState, ScreenState::InGameMenu);
}

TEST_F(Flow, HeldKeysMoveEveryEightFramesAndASingleFramePressOnlyTurns) {
  UseLevels(1);
  StoreMap(u"level1", MapFromRows({"##########", "#@       #", "#     $.##", "##########"}));
  StartFromMenu();
  Hold(&FrameInput::HeldRight, 1);
  EXPECT_EQ(Board.Facing, FacingRight);
  Frame();
  EXPECT_EQ(Board.StepCount, 0);  // a press seen in one frame only turns
  Hold(&FrameInput::HeldRight, 1 + 2 * kMoveFrames);
  EXPECT_EQ(Board.StepCount, 3);
  EXPECT_EQ(Board.MoveState, kWalkRight);
}

TEST_F(Flow, FirstAcceptedMoveOfAFrameWinsAndTurnsDoNotBlock) {
  UseLevels(1);
  StoreMap(u"level1", MapFromRows({"#######", "#     #", "# @   #", "#   $.#", "#######"}));
  StartFromMenu();
  FrameInput both;
  both.HeldLeft = both.HeldRight = true;
  Frame(both);
  EXPECT_EQ(Board.Facing, FacingRight);  // turned left, then right
  EXPECT_EQ(Board.MoveState, kMoveIdle);
  Frame(both);
  EXPECT_EQ(Board.Facing, FacingRight);  // left turns; right turns again
  EXPECT_EQ(Board.StepCount, 0);

  FrameInput right_and_up;
  right_and_up.HeldRight = right_and_up.HeldUp = true;
  Frame(right_and_up);
  EXPECT_EQ(Board.MoveState, kWalkRight);
  EXPECT_EQ(Board.Facing, FacingRight);  // the up request found the move under way
}

TEST_F(Flow, GamepadMovesAndStartsLevelsOnlyWhenAJoystickWasFound) {
  GameState = ScreenState::LevelSelect;
  FrameInput pad;
  pad.PadPresent = false;
  pad.PadButton = true;
  Frame(pad);
  EXPECT_EQ(GameState, ScreenState::LevelSelect);
  pad.PadPresent = true;
  Frame(pad);
  EXPECT_EQ(GameState, ScreenState::Playing);

  pad = FrameInput();
  pad.PadPresent = true;
  pad.PadX = 1;
  Frame(pad);
  Frame(pad);
  EXPECT_EQ(Board.MoveState, kPushRight);
  // The keyboard's move of a frame makes the gamepad's request do nothing.
  for (int i = 0; i < kMoveFrames; ++i) Frame();
}

TEST_F(Flow, MusicKeyTogglesTheMusicOfTheStateButNotInTheSettings) {
  ASSERT_EQ(AudioCaptureOpen(), 1);
  const MemoryBlock wav = MakeWav(1, 22050, 16, std::vector<int>(22050, 100));
  ASSERT_NE(sound_load_from_memory(MenuMusic, wav, static_cast<int64_t>(wav.size())), 0);
  ASSERT_NE(sound_load_from_memory(GameMusic, wav, static_cast<int64_t>(wav.size())), 0);
  StartFromMenu();
  Release(&FrameInput::ReleasedM);
  EXPECT_EQ(Settings.MusicOn, 1);
  EXPECT_EQ(sound_status(GameMusic, -1), kSoundPlaying);
  EXPECT_NE(sound_status(MenuMusic, -1), kSoundPlaying);
  Release(&FrameInput::ReleasedM);
  EXPECT_EQ(Settings.MusicOn, 0);
  EXPECT_NE(sound_status(GameMusic, -1), kSoundPlaying);

  for (ScreenState state : {ScreenState::MenuSettings, ScreenState::GameSettings}) {
    GameState = state;
    Release(&FrameInput::ReleasedM);
    EXPECT_EQ(Settings.MusicOn, 0);
  }
  // Back in the main menu the level music gives way to the menu music.
  Settings.MusicOn = 1;
  GameState = ScreenState::Playing;
  Release(&FrameInput::ReleasedM);
  Release(&FrameInput::ReleasedM);
  GameState = ScreenState::LevelComplete;
  Release(&FrameInput::ReleasedEscape);
  EXPECT_EQ(sound_status(MenuMusic, -1), kSoundPlaying);
  EXPECT_NE(sound_status(GameMusic, -1), kSoundPlaying);
  sound_free(kAllObjects);
}

}  // namespace
