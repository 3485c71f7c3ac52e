// The screen flow: the actions the screen table names, the timers and animations of a frame, and
// level start, pause and completion.
#include "game/screen_flow.h"

#include "game/core/board.h"
#include "game/core/game.h"
#include "game/core/results.h"
#include "game/maps.h"
#include "game/menus.h"
#include "game/music.h"
#include "game/play_screen.h"
#include "game/screens.h"
#include "game/settings.h"
#include "runtime/data/files.h"
#include "runtime/display/sprite.h"
#include "runtime/media/joystick.h"

namespace {

constexpr int kSplashFrames = 101;  // each splash shows this many frames unless skipped
constexpr int kSpinFrames = 601;    // the title background turns this long each way
constexpr double kSpinStep = 0.01;  // degrees a frame

struct FlowRecord {
  int64_t (*clock)() = elapsed_ms;
};
FlowRecord Flow;

int64_t LevelCount() { return static_cast<int64_t>(LevelList.size()); }
bool IsLastLevel(int64_t index) { return index >= LevelCount() - 1; }

// Back to the in-game menu while a level is under way, else to the main menu sliding in.
void BackToMenu() {
  if (Loop.InLevel) {
    GameState = ScreenState::InGameMenu;
  } else {
    ToMainMenuWithSlide();
  }
}

void OpenQuitQuestion(ScreenState screen) {
  Menus.QuitChoice = kQuitYes;
  RenderQuitQuestion(Menus.QuitChoice);
  GameState = screen;
}

// The panel of a sliding screen rises one step each frame it has been shown.
void AdvanceSlide(const ScreenEntry& screen) {
  if (screen.Place != PanelAt::SlidingIn || !screen.Slide) return;
  int& counter = Menus.*screen.Slide;
  if (counter >= 1) --counter;
}

void AdvanceAnimations(const ScreenEntry& screen) {
  AdvanceSlide(screen);
  if (screen.Place == PanelAt::Carousel) AdvanceCarouselScroll();
  if (screen.Shows == Backdrop::PlayScreen) AdvanceMove();
}

bool SlideDone(const ScreenEntry& screen) { return !screen.Slide || Menus.*screen.Slide == 0; }

}  // namespace

void SetLoopClock(int64_t (*clock)()) { Flow.clock = clock ? clock : elapsed_ms; }
int64_t LoopNow() { return Flow.clock(); }
int64_t LevelElapsed() { return LoopNow() - Loop.LevelStartTime; }

void StartLevel(int64_t index) {
  if (index < 0 || index >= LevelCount()) return;
  Loop.CurrentLevelName = LevelList[static_cast<size_t>(index)].Name;
  Loop.JoystickCount = joystick_init();
  Menus.InGameChoice = kInGameResume;
  SetUpBoardForLevel(Loop.CurrentLevelName);
  RenderHudName();
  ResetHudIcons();
  // From a menu screen the level music takes over; a restart keeps it playing.
  if (CurrentScreen().Music != GameMusic) SwitchMusic(MenuMusic, GameMusic);
  Board.StepCount = 0;
  Loop.InLevel = 1;
  Loop.LevelStartTime = LoopNow();
  GameState = ScreenState::Playing;
}

void CompleteLevel() {
  const int64_t index = Menus.LevelIndex;
  if (index >= 0 && index < LevelCount()) {
    RecordLevelResult(index, LevelElapsed(), Board.StepCount);
    RenderLevelCard(index, false);
    if (!IsLastLevel(index)) RenderLevelCard(index + 1, false);
  }
  Menus.CompleteChoice = kCompleteNext;
  RenderLevelComplete(Menus.CompleteChoice);
  Loop.InLevel = 0;
  GameState = ScreenState::LevelComplete;
}

void AdvanceTimers() {
  const ScreenState shown = GameState;
  const ScreenEntry& screen = ScreenOf(shown);
  AdvanceAnimations(screen);
  if (shown == ScreenState::StudioSplash && ++Loop.SplashTimer >= kSplashFrames) {
    LeaveStudioSplash();
  } else if (shown == ScreenState::TitleSplash && ++Loop.SplashTimer >= kSplashFrames) {
    Loop.SplashTimer = 0;
    GameState = ScreenState::MainMenu;
  }
  if (screen.Shows == Backdrop::TitleScreen && ++Loop.SpinTimer >= kSpinFrames) {
    Loop.SpinTimer = 0;
    Loop.SpinStep = Loop.SpinStep == kSpinStep ? -kSpinStep : kSpinStep;
  }
  if (screen.ClockRuns && Loop.InLevel && CountCoveredTargets() == Board.CrateCount) CompleteLevel();
}

// ---- The actions of the current screen ----

void Confirm() {
  if (const ScreenAction confirm = CurrentScreen().Confirm) confirm();
}

void Back() {
  if (const ScreenAction back = CurrentScreen().Back) back();
}

void Skip() {
  if (const ScreenAction skip = CurrentScreen().Skip) skip();
}

void ToggleMusic() {
  const ScreenEntry& screen = CurrentScreen();
  if (!screen.MusicKey) return;
  if (Settings.MusicOn) {
    StopMusic(screen.Music);
    Settings.MusicOn = 0;
  } else {
    PlayMusic(screen.Music);
    Settings.MusicOn = 1;
  }
}

void NavigateKey(int key) {
  if (NavigateMenu(key)) PlayEffect(RolloverSound);
}

void HeldDirection(int direction) {
  const ScreenEntry& screen = CurrentScreen();
  if (screen.Held == HeldKeys::Carousel) {
    if (direction == FacingLeft) StartCarouselScroll(kCarouselToPrevious);
    if (direction == FacingRight) StartCarouselScroll(kCarouselToNext);
  }
  // The first accepted move of a frame wins, as the later requests find it in progress; turns
  // do not block.
  if (screen.Held == HeldKeys::Moves && Loop.InLevel && Board.MoveState == kMoveIdle) RequestMove(direction);
}

void PadButton() {
  if (CurrentScreen().Held == HeldKeys::Carousel) Confirm();
}

// ---- The actions the table names ----

void ConfirmMainMenu() {
  if (!SlideDone(CurrentScreen())) return;
  PlayEffect(ClickSound);
  switch (Menus.MainMenuChoice) {
    case kMenuStart:
      GameState = ScreenState::LevelSelect;
      break;
    case kMenuSettings:
      OpenSettings();
      Menus.SettingsSlide = kSlideFrames;
      GameState = ScreenState::MenuSettings;
      break;
    case kMenuCredits:
      Menus.CreditsSlide = kSlideFrames;
      GameState = ScreenState::Credits;
      break;
    case kMenuQuit:
      Menus.QuitSlide = kSlideFrames;
      OpenQuitQuestion(ScreenState::MenuQuit);
      break;
  }
}

void ConfirmLevelSelect() {
  const int64_t index = Menus.LevelIndex;
  if (index < 0 || index >= LevelCount() || !LevelList[static_cast<size_t>(index)].Unlocked) return;
  Settings.LastPlayed = static_cast<int>(index);
  StartLevel(index);
  Menus.MainMenuSlide = Menus.SettingsSlide = Menus.QuitSlide = 0;
}

void ConfirmCredits() {
  if (!SlideDone(CurrentScreen())) return;
  PlayEffect(ClickSound);
  ToMainMenuWithSlide();
}

void ConfirmSettings() {
  const ScreenEntry& screen = CurrentScreen();
  if (!SlideDone(screen)) return;
  if (Menus.SettingsChoice == kSettingsConfirm) {
    PlayEffect(ClickSound);
    // The music of the screen the panel was opened from: the level's from the in-game menu.
    ApplySettings(screen.Music);
    if (Loop.FatalEnd) return;
    BackToMenu();
  } else if (Menus.SettingsChoice == kSettingsCancel) {
    PlayEffect(ClickSound);
    Menus.SettingsChoice = kSettingsLanguage;
    if (!Loop.InLevel) Menus.SettingsSlide = Menus.QuitSlide = kSlideFrames;
    BackToMenu();
  }
}

void ConfirmQuit() {
  if (!SlideDone(CurrentScreen())) return;
  PlayEffect(ClickSound);
  if (Menus.QuitChoice == kQuitYes) {
    Settings.LastPlayed = static_cast<int>(Menus.LevelIndex);
    if (Loop.InLevel) {
      Loop.InLevel = 0;
      SwitchMusic(GameMusic, MenuMusic);
      ToMainMenuWithSlide();
    } else {
      EndGame();
    }
  } else if (Menus.QuitChoice == kQuitNo) {
    BackToMenu();
  }
}

void ConfirmInGameMenu() {
  PlayEffect(ClickSound);
  switch (Menus.InGameChoice) {
    case kInGameResume:
      ResumeLevel();
      Loop.JoystickCount = joystick_init();
      Menus.InGameChoice = kInGameResume;
      break;
    case kInGameRestart:
      StartLevel(Menus.LevelIndex);
      break;
    case kInGameSettings:
      OpenSettings();
      GameState = ScreenState::GameSettings;
      break;
    case kInGameQuit:
      OpenQuitQuestion(ScreenState::GameQuit);
      break;
  }
}

void ConfirmLevelComplete() {
  switch (Menus.CompleteChoice) {
    case kCompleteRetry:
      PlayEffect(ClickSound);
      StartLevel(Menus.LevelIndex);
      break;
    case kCompleteMenu:
      if (IsLastLevel(Menus.LevelIndex)) {
        GameState = ScreenState::GameComplete;
      } else {
        PlayEffect(ClickSound);
        LeaveFinishedLevel();
      }
      break;
    case kCompleteNext:
      PlayEffect(ClickSound);
      if (IsLastLevel(Menus.LevelIndex)) {
        GameState = ScreenState::GameComplete;
      } else {
        ++Menus.LevelIndex;
        Settings.LastPlayed = static_cast<int>(Menus.LevelIndex);
        StartLevel(Menus.LevelIndex);
      }
      break;
  }
}

void LeaveStudioSplash() {
  sprite_free(SpriteStudioSplash);
  Loop.SplashTimer = 0;  // the title shows its full time however the logo was left
  GameState = ScreenState::TitleSplash;
}

void LeaveTitleSplash() { GameState = ScreenState::MainMenu; }

void EndGame() { Loop.QuitRequested = 1; }

void ToMainMenuWithSlide() {
  Menus.MainMenuSlide = kSlideFrames;
  GameState = ScreenState::MainMenu;
}

void PauseLevel() {
  Loop.PauseStartTime = LoopNow();
  RenderInGameMenu(Menus.InGameChoice);
  GameState = ScreenState::InGameMenu;
}

void ResumeLevel() {
  Loop.LevelStartTime += LoopNow() - Loop.PauseStartTime;
  GameState = ScreenState::Playing;
}

void ToInGameMenu() { GameState = ScreenState::InGameMenu; }

void LeaveFinishedLevel() {
  Settings.LastPlayed = static_cast<int>(Menus.LevelIndex);
  SwitchMusic(GameMusic, MenuMusic);
  GameState = ScreenState::MainMenu;
}
