// Display modes: full screen, a window with a title bar, a borderless window; the aspect class of
// the open screen; reopening after a settings change.
#include "game/display.h"

#include <charconv>

#include "game/assets.h"
#include "game/core/game.h"
#include "game/core/languages.h"
#include "game/core/log.h"
#include "game/maps.h"
#include "game/menus.h"
#include "game/play_screen.h"
#include "game/presentation.h"
#include "game/startup.h"
#include "runtime/data/pack.h"
#include "runtime/display/screen.h"
#include "runtime/display/sprite.h"
#include "runtime/display/window.h"
#include "runtime/media/joystick.h"

namespace {

constexpr int kScreenDepth = 32;
constexpr int kFlipMode = 2;  // vertical sync on
constexpr int kWindowTitleBar = 0x08;
constexpr int kWindowedFlags = kWindowInvisible | kWindowTitleBar | kWindowMinimizeButton | kWindowCentred;  // 105
constexpr int kBorderlessFlags = kWindowInvisible | kWindowBorderless | kWindowCentred;         // 193
constexpr int kFrameRate = 60;
constexpr int kLinearQuality = 1;

struct AspectClass {
  const char* Ratio;
  int Class;
};
// The ratio texts of the classes, compared in this order; any other text is class 7.
constexpr AspectClass kAspectClasses[] = {
    {"1.50", kAspect3x2},   {"1.33", kAspect4x3},  {"1.25", kAspect5x4},  {"1.77", kAspect16x9},
    {"1.78", kAspect16x9},  {"1.60", kAspect16x10}, {"1.89", kAspect17x9}, {"1.90", kAspect17x9},
    {"2.37", kAspect21x9},  {"2.38", kAspect21x9}, {"2.39", kAspect21x9},
};

const char16_t* ModeName(int mode) {
  switch (mode) {
    case kFullScreen:
      return u"Fullscreen";
    case kWindowed:
      return u"Windowed";
    case kBorderless:
      return u"Borderless";
  }
  return nullptr;
}

int OpenInWindow(int flags) {
  const int width = GameDisplay.ScreenWidth;
  const int height = GameDisplay.ScreenHeight;
  if (!window_open(WindowMain, 0, 0, width, height, WindowTitle(), flags)) return 0;
  if (screen_open_windowed(window_handle(WindowMain), 0, 0, width, height, 0, 0, 0, kFlipMode)) return 1;
  window_close(WindowMain);
  return 0;
}

}  // namespace

void ChooseScreenSize() {
  GameDisplay.DesktopCount = desktop_examine();
  GameDisplay.ScreenWidth = desktop_width(0);
  GameDisplay.ScreenHeight = desktop_height(0);
  if (Settings.GameScreen == kWindowed) {
    ResolutionSize(Settings.Resolution, &GameDisplay.ScreenWidth, &GameDisplay.ScreenHeight);
  }
}

Text WindowTitle() {
  return Text(kGameTitle) + u" " + kGameVersion + u" - " + kPublisherName + u" (" + kStudioAddress + u")";
}

Text AspectText(int64_t width, int64_t height) {
  if (height == 0) return Text();
  char digits[64];
  // Formatting with to_chars is the same for every locale: always a point, never a comma.
  const auto result = std::to_chars(digits, digits + sizeof digits, static_cast<double>(width) / height,
                                    std::chars_format::fixed, 2);
  if (result.ec != std::errc()) return Text();
  return text_from_utf8(std::string_view(digits, result.ptr - digits));
}

int ClassifyAspect(int64_t width, int64_t height) {
  const std::string ratio = text_to_utf8(AspectText(width, height));
  for (const AspectClass& aspect : kAspectClasses) {
    if (ratio == aspect.Ratio) return aspect.Class;
  }
  return kAspectOther;
}

int OpenDisplay() {
  const int mode = Settings.GameScreen;
  const char16_t* name = ModeName(mode);
  if (!name) return 0;
  int opened = 0;
  if (mode == kFullScreen) {
    opened = screen_open(GameDisplay.ScreenWidth, GameDisplay.ScreenHeight, kScreenDepth, WindowTitle(), kFlipMode);
  } else {
    opened = OpenInWindow(mode == kWindowed ? kWindowedFlags : kBorderlessFlags);
  }
  LogValue(Text(u"Opening screen (") + name + u"):", LogResult(opened));
  if (!opened) return 0;
  LogValue(u"Screenwidth:", GameDisplay.ScreenWidth);
  LogValue(u"Screenheight:", GameDisplay.ScreenHeight);
  return 1;
}

void AfterDisplayOpened(const Text& joystick_label) {
  Loop.JoystickCount = joystick_init();
  LogValue(joystick_label, Loop.JoystickCount);
  GameDisplay.AspectRatio = ClassifyAspect(GameDisplay.ScreenWidth, GameDisplay.ScreenHeight);
  LogValue(u"AspectRatio:", GameDisplay.AspectRatio);
  SetLayout();
}

namespace {

// The mode a screen is opened in: the setting, the window size it takes, and the screen's size.
struct DisplayMode {
  int Screen = 0;
  int Resolution = 0;
  int Width = 0;
  int Height = 0;
};

void CloseDisplay() {
  screen_close();
  if (IsWindowMode(Settings.GameScreen)) window_close(WindowMain);
}

// Makes `mode` the setting, with the screen size it takes.
void TakeMode(DisplayMode mode) {
  Settings.GameScreen = mode.Screen;
  Settings.Resolution = mode.Resolution;
  ChooseScreenSize();
}

// Opens the screen in the mode of the settings and loads everything drawn on it. False after
// the screen or asset box was shown (the failure is then marked as a fatal end, which the caller
// may take back).
bool OpenAndLoad() {
  if (!OpenDisplay()) {
    FatalErrorBox(GameText(u"tErrorSCREEN"));
    return false;
  }
  AfterDisplayOpened(u"Joystick: ");
  // The level list, the unlocked flags and the results in memory stay as they are.
  if (!LoadMapPack(Folders.GameDir + kMapPackName, kPackerRuntime)) {
    AssetFailed(kMapPackName);
    return false;
  }
  if (!LoadPictures()) return false;
  // Everything else drawn into sprites went with the old screen.
  PreparePlayScreen();
  RenderAllTexts();
  ShowDisplay();
  return true;
}

}  // namespace

int ReopenDisplay() {
  const DisplayMode working{Settings.GameScreen, Settings.Resolution, GameDisplay.ScreenWidth,
                            GameDisplay.ScreenHeight};
  CloseDisplay();
  TakeMode({Menus.PendingScreen, Menus.PendingResolution, 0, 0});
  if (OpenAndLoad()) return 1;

  // The box has told the player; the mode that worked before comes back, and stays the setting.
  Loop.FatalEnd = 0;
  Loop.QuitRequested = 0;
  CloseDisplay();
  const char16_t* working_name = ModeName(working.Screen);
  LogValue(u"Display fallback:", working_name ? working_name : u"");
  Settings.GameScreen = working.Screen;
  Settings.Resolution = working.Resolution;
  GameDisplay.ScreenWidth = working.Width;
  GameDisplay.ScreenHeight = working.Height;
  Menus.PendingScreen = working.Screen;
  Menus.PendingResolution = working.Resolution;
  if (OpenAndLoad()) return 1;

  // Not even that opens: the game ends, but what the player did in this run is saved, with the
  // mode that worked.
  CloseDisplay();
  Loop.FatalEnd = 0;
  Loop.QuitRequested = 1;
  return 0;
}

void ShowDisplay() {
  screen_set_frame_rate(kFrameRate);
  sprite_quality(kLinearQuality);
  if (IsWindowMode(Settings.GameScreen)) {
    window_hide(WindowMain, 0);
    window_activate(WindowMain);
  }
}
