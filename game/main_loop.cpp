// The frame loop. It owns the order of a frame; what a screen shows and how its keys act is the
// screen table's (game/screens.h), carried out by the screen flow (game/screen_flow.h).
#include "game/main_loop.h"

#include "game/core/board.h"
#include "game/core/game.h"
#include "game/display.h"
#include "game/menus.h"
#include "game/music.h"
#include "game/play_screen.h"
#include "game/screen_flow.h"
#include "game/screens.h"
#include "game/screenshot.h"
#include "runtime/data/files.h"
#include "runtime/display/keyboard.h"
#include "runtime/display/screen.h"
#include "runtime/display/window.h"
#include "runtime/media/sound.h"

namespace {

constexpr int kInactiveSleepMs = 100;  // an inactive full screen is polled ten times a second

struct MainLoopRecord {
  // The music the inactive full screen paused, resumed when the screen is active again.
  int PausedMusic = -1;
};
MainLoopRecord MainLoop;

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
  if (!IsWindowMode(Settings.GameScreen)) return;
  for (int event = window_event(); event != 0; event = window_event()) {
    switch (event) {
      case kEventRepaint:
        screen_flip();
        break;
      case kEventMinimized:
        if (Settings.GameScreen == kWindowed) PauseMusicWherePlaying();
        break;
      case kEventRestored:
      case kEventActivated:
        ResumeMusicWherePaused();
        break;
      case kEventDeactivated:
        if (Settings.GameScreen != kBorderless) break;
        PauseMusicWherePlaying();
        if (Loop.ScreenReopened) {
          Loop.ScreenReopened = 0;
        } else {
          window_set_state(WindowMain, kWindowStateMinimized);
        }
        break;
      case kEventCloseRequest:
        EndGame();
        break;
    }
  }
}

// A full screen that lost the focus: its music pauses until the screen is active again.
bool ScreenInactive() {
  const int channel = static_cast<int>(Loop.MusicChannel);
  if (screen_is_active()) {
    if (MainLoop.PausedMusic >= 0 && sound_status(MainLoop.PausedMusic, channel) == kSoundPaused) {
      sound_resume(MainLoop.PausedMusic, channel);
    }
    MainLoop.PausedMusic = -1;
    return false;
  }
  const int music = CurrentScreen().Music;
  if (sound_status(music, channel) == kSoundPlaying) {
    sound_pause(music, channel);
    MainLoop.PausedMusic = music;
  }
  delay_ms(kInactiveSleepMs);
  screen_flip();
  return true;
}

void ApplyAction(InputAction action) {
  switch (action) {
    case InputAction::HeldLeft: HeldDirection(FacingLeft); break;
    case InputAction::HeldRight: HeldDirection(FacingRight); break;
    case InputAction::HeldUp: HeldDirection(FacingUp); break;
    case InputAction::HeldDown: HeldDirection(FacingDown); break;
    case InputAction::NavigateDown: NavigateKey(kKeyDown); break;
    case InputAction::NavigateUp: NavigateKey(kKeyUp); break;
    case InputAction::NavigateLeft: NavigateKey(kKeyLeft); break;
    case InputAction::NavigateRight: NavigateKey(kKeyRight); break;
    case InputAction::Confirm: Confirm(); break;
    case InputAction::Screenshot: TakeScreenshot(); break;
    case InputAction::Music: ToggleMusic(); break;
    case InputAction::Back: Back(); break;
    case InputAction::Skip: Skip(); break;
    case InputAction::PadButton: PadButton(); break;
  }
}

}  // namespace

void DrawScreen() {
  switch (CurrentScreen().Shows) {
    case Backdrop::StudioLogo:
    case Backdrop::TitleScreen:
      DrawTitleScreen();
      break;
    case Backdrop::PlayScreen:
      UpdateHudBoxes(CurrentScreen().ClockRuns, LevelElapsed());
      DrawPlayScreen();
      break;
  }
}

void HandleFrameInput(const FrameInput& input) {
  for (const InputAction action : FrameActions(input)) ApplyAction(action);
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
  if (ScreenInactive()) return;
  DrawScreen();
  AdvanceTimers();
  HandleFrameInput(ReadFrameInput());
}

void RunMainLoop() {
  EnterMainLoop();
  while (!Loop.QuitRequested) RunFrame();
}
