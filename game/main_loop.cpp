// The frame loop and the screen flow. One iteration is one frame: window events, the flip (the
// runtime holds flips to 60 a second), the picture of the current state, its timers, then the
// keyboard and the gamepad, whose effects are the state changes below.
#include "game/main_loop.h"

#include "game/core/board.h"
#include "game/core/game.h"
#include "game/core/results.h"
#include "game/display.h"
#include "game/input.h"
#include "game/maps.h"
#include "game/menus.h"
#include "game/music.h"
#include "game/play_screen.h"
#include "game/settings.h"
#include "runtime/data/files.h"
#include "runtime/display/screen.h"
#include "runtime/display/sprite.h"
#include "runtime/display/window.h"
#include "runtime/media/joystick.h"
#include "runtime/media/sound.h"

namespace {

constexpr int kSplashFrames = 101;      // each splash shows this many frames unless skipped
constexpr int kSpinFrames = 601;        // the title background turns this long each way
constexpr double kSpinStep = 0.01;      // degrees a frame
constexpr int kInactiveSleepMs = 100;   // an inactive full screen is polled ten times a second

// Main-menu entries, in-game entries, settings entries, quit and level-complete entries.
constexpr int kMenuStart = 1, kMenuSettings = 2, kMenuCredits = 3, kMenuQuit = 4;
constexpr int kInGameResume = 1, kInGameRestart = 2, kInGameSettings = 3, kInGameQuit = 4;
constexpr int kSettingsConfirm = 5, kSettingsCancel = 6;
constexpr int kQuitYes = 1, kQuitNo = 2;
constexpr int kCompleteRetry = 1, kCompleteMenu = 2, kCompleteNext = 3;

struct MainLoopState {
  int64_t (*clock)() = elapsed_ms;
  // The music the inactive full screen paused, resumed when the screen is active again.
  int paused_music = -1;
  // The screen was inactive at the last frame, since this time of the level clock.
  bool inactive = false;
  int64_t inactive_since = 0;
};
MainLoopState State;

int64_t LevelCount() { return static_cast<int64_t>(LevelList.size()); }
bool IsLastLevel(int64_t index) { return index >= LevelCount() - 1; }

void FreeStudioSplash() {
  sprite_free(SpriteStudioSplash);
  Loop.SplashTimer = 0;  // the title shows its full time however the logo was left
  GameState = TitleSplash;
}

void ToMainMenuWithSlide() {
  Menus.MainMenuSlide = kSlideFrames;
  GameState = MainMenu;
}

// From the level-complete and game-complete panels back to the main menu.
void LeaveFinishedLevel() {
  Settings.LastPlayed = static_cast<int>(Menus.LevelIndex);
  SwitchMusic(GameMusic, MenuMusic);
  GameState = MainMenu;
}

void ResumeLevel() {
  Loop.LevelStartTime += LoopNow() - Loop.PauseStartTime;
  GameState = Playing;
}

void OpenQuitQuestion(int state) {
  Menus.QuitChoice = kQuitYes;
  RenderQuitQuestion(Menus.QuitChoice);
  GameState = state;
}

void ConfirmMainMenu() {
  if (Menus.MainMenuSlide != 0) return;
  PlayEffect(ClickSound);
  switch (Menus.MainMenuChoice) {
    case kMenuStart:
      GameState = LevelSelect;
      break;
    case kMenuSettings:
      OpenSettings();
      Menus.SettingsSlide = kSlideFrames;
      GameState = MenuSettings;
      break;
    case kMenuCredits:
      Menus.CreditsSlide = kSlideFrames;
      GameState = Credits;
      break;
    case kMenuQuit:
      Menus.QuitSlide = kSlideFrames;
      OpenQuitQuestion(MenuQuit);
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
      GameState = GameSettings;
      break;
    case kInGameQuit:
      OpenQuitQuestion(GameQuit);
      break;
  }
}

void ConfirmSettings() {
  if (Menus.SettingsSlide != 0) return;
  if (Menus.SettingsChoice == kSettingsConfirm) {
    PlayEffect(ClickSound);
    ApplySettings();
    if (Loop.FatalEnd) return;
    if (Loop.InLevel) {
      GameState = InGameMenu;
    } else {
      ToMainMenuWithSlide();
    }
  } else if (Menus.SettingsChoice == kSettingsCancel) {
    PlayEffect(ClickSound);
    Menus.SettingsChoice = 1;
    if (Loop.InLevel) {
      GameState = InGameMenu;
    } else {
      Menus.SettingsSlide = Menus.QuitSlide = kSlideFrames;
      ToMainMenuWithSlide();
    }
  }
}

void ConfirmQuit() {
  if (Menus.QuitSlide != 0) return;
  PlayEffect(ClickSound);
  if (Menus.QuitChoice == kQuitYes) {
    Settings.LastPlayed = static_cast<int>(Menus.LevelIndex);
    if (Loop.InLevel) {
      Loop.InLevel = 0;
      SwitchMusic(GameMusic, MenuMusic);
      ToMainMenuWithSlide();
    } else {
      Loop.QuitRequested = 1;
    }
  } else if (Menus.QuitChoice == kQuitNo) {
    if (Loop.InLevel) {
      GameState = InGameMenu;
    } else {
      ToMainMenuWithSlide();
    }
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
        GameState = GameComplete;
      } else {
        PlayEffect(ClickSound);
        LeaveFinishedLevel();
      }
      break;
    case kCompleteNext:
      PlayEffect(ClickSound);
      if (IsLastLevel(Menus.LevelIndex)) {
        GameState = GameComplete;
      } else {
        ++Menus.LevelIndex;
        Settings.LastPlayed = static_cast<int>(Menus.LevelIndex);
        StartLevel(Menus.LevelIndex);
      }
      break;
  }
}

void ConfirmCredits() {
  if (Menus.CreditsSlide != 0) return;
  PlayEffect(ClickSound);
  ToMainMenuWithSlide();
}

// Window events of the windowed and borderless modes (a full screen receives none).
void PauseMusicWherePlaying() {
  for (int music : {MenuMusic, GameMusic}) {
    if (sound_status(music, static_cast<int>(Loop.MusicChannel)) == kSoundPlaying) {
      sound_pause(music, static_cast<int>(Loop.MusicChannel));
    }
  }
}

void ResumeMusicWherePaused() {
  for (int music : {MenuMusic, GameMusic}) {
    if (sound_status(music, static_cast<int>(Loop.MusicChannel)) == kSoundPaused) {
      sound_resume(music, static_cast<int>(Loop.MusicChannel));
    }
  }
}

void HandleWindowEvents() {
  if (Settings.GameScreen != 1 && Settings.GameScreen != 2) return;
  for (int event = window_event(); event != 0; event = window_event()) {
    switch (event) {
      case kEventRepaint:
        screen_flip();
        break;
      case kEventMinimized:
        if (Settings.GameScreen == 1) PauseMusicWherePlaying();
        break;
      case kEventRestored:
      case kEventActivated:
        ResumeMusicWherePaused();
        break;
      case kEventDeactivated:
        if (Settings.GameScreen != 2) break;
        PauseMusicWherePlaying();
        if (Loop.ScreenReopened) {
          Loop.ScreenReopened = 0;
        } else {
          window_set_state(WindowMain, kWindowStateMinimized);
        }
        break;
      case kEventCloseRequest:
        Loop.QuitRequested = 1;
        break;
    }
  }
}

// An inactive screen does not run the level, and the level clock stands still with it, as it
// does in the in-game menu. (In the menus over a level the pause there already holds the clock.)
void HoldLevelClockWhileInactive(bool active) {
  if (active == !State.inactive) return;
  State.inactive = !active;
  if (!active) {
    State.inactive_since = LoopNow();
  } else if (GameState == Playing && Loop.InLevel) {
    Loop.LevelStartTime += LoopNow() - State.inactive_since;
  }
}

// A full screen that lost the focus: its music pauses until the screen is active again.
bool ScreenInactive() {
  const int channel = static_cast<int>(Loop.MusicChannel);
  HoldLevelClockWhileInactive(screen_is_active() != 0);
  if (screen_is_active()) {
    if (State.paused_music >= 0 && sound_status(State.paused_music, channel) == kSoundPaused) {
      sound_resume(State.paused_music, channel);
    }
    State.paused_music = -1;
    return false;
  }
  const int music = StateMusic(GameState);
  if (sound_status(music, channel) == kSoundPlaying) {
    sound_pause(music, channel);
    State.paused_music = music;
  }
  delay_ms(kInactiveSleepMs);
  screen_flip();
  return true;
}

void DrawState() {
  if (GameState >= Playing) {
    DrawPlayScreen();
  } else {
    DrawTitleScreen();
  }
}

}  // namespace

void SetLoopClock(int64_t (*clock)()) { State.clock = clock ? clock : elapsed_ms; }
int64_t LoopNow() { return State.clock(); }

void StartLevel(int64_t index) {
  if (index < 0 || index >= LevelCount()) return;
  Loop.CurrentLevelName = LevelList[static_cast<size_t>(index)].Name;
  Loop.JoystickCount = joystick_init();
  Menus.InGameChoice = kInGameResume;
  SetUpBoardForLevel(Loop.CurrentLevelName);
  RenderHudName();
  ResetHudIcons();
  if (GameState < Playing) SwitchMusic(MenuMusic, GameMusic);
  Board.StepCount = 0;
  Loop.InLevel = 1;
  Loop.LevelStartTime = LoopNow();
  GameState = Playing;
}

void CompleteLevel() {
  const int64_t index = Menus.LevelIndex;
  if (index >= 0 && index < LevelCount()) {
    RecordLevelResult(index, LoopNow() - Loop.LevelStartTime, Board.StepCount);
    RenderLevelCard(index, false);
    if (!IsLastLevel(index)) RenderLevelCard(index + 1, false);
  }
  Menus.CompleteChoice = kCompleteNext;
  RenderLevelComplete(Menus.CompleteChoice);
  Loop.InLevel = 0;
  GameState = LevelComplete;
}

void AdvanceTimers() {
  const int state = GameState;
  if (state == StudioSplash && ++Loop.SplashTimer >= kSplashFrames) {
    FreeStudioSplash();
  } else if (state == TitleSplash && ++Loop.SplashTimer >= kSplashFrames) {
    Loop.SplashTimer = 0;
    GameState = MainMenu;
  }
  if (state >= TitleSplash && state <= MenuQuit && ++Loop.SpinTimer >= kSpinFrames) {
    Loop.SpinTimer = 0;
    Loop.SpinStep = Loop.SpinStep == kSpinStep ? -kSpinStep : kSpinStep;
  }
  if (state == Playing && Loop.InLevel && CountCoveredTargets() == Board.CrateCount) CompleteLevel();
}

void Confirm() {
  switch (GameState) {
    case MainMenu: ConfirmMainMenu(); break;
    case LevelSelect: ConfirmLevelSelect(); break;
    case Credits: ConfirmCredits(); break;
    case MenuSettings:
    case GameSettings: ConfirmSettings(); break;
    case MenuQuit:
    case GameQuit: ConfirmQuit(); break;
    case InGameMenu: ConfirmInGameMenu(); break;
    case LevelComplete: ConfirmLevelComplete(); break;
    case GameComplete: LeaveFinishedLevel(); break;
    default: break;
  }
}

void Back() {
  switch (GameState) {
    case StudioSplash: FreeStudioSplash(); break;
    case TitleSplash: GameState = MainMenu; break;
    case MainMenu: Loop.QuitRequested = 1; break;
    case LevelSelect:
    case Credits:
    case MenuSettings:
    case MenuQuit: ToMainMenuWithSlide(); break;
    case Playing:
      Loop.PauseStartTime = LoopNow();
      RenderInGameMenu(Menus.InGameChoice);
      GameState = InGameMenu;
      break;
    case InGameMenu: ResumeLevel(); break;
    case GameSettings:
    case GameQuit: GameState = InGameMenu; break;
    case LevelComplete:
    case GameComplete: LeaveFinishedLevel(); break;
    default: break;
  }
}

void Skip() {
  switch (GameState) {
    case StudioSplash: FreeStudioSplash(); break;
    case TitleSplash: GameState = MainMenu; break;
    case GameComplete: LeaveFinishedLevel(); break;
    default: break;
  }
}

void ToggleMusic() {
  if (GameState == MenuSettings || GameState == GameSettings) return;
  const int music = StateMusic(GameState);
  if (Settings.MusicOn) {
    StopMusic(music);
    Settings.MusicOn = 0;
  } else {
    PlayMusic(music);
    Settings.MusicOn = 1;
  }
}

void EnterMainLoop() {
  RenderAllPanels();
  PreparePlayScreen();
  TiltTitleBackground();
  ShowDisplay();
  if (Settings.MusicOn) PlayMusic(MenuMusic);
}

void RunFrame() {
  HandleWindowEvents();
  screen_flip();
  if (!ScreenInactive()) {
    DrawState();
    AdvanceTimers();
    HandleFrameInput(ReadFrameInput());
  }
}

void RunMainLoop() {
  EnterMainLoop();
  while (!Loop.QuitRequested) RunFrame();
}
