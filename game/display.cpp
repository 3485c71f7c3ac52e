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

int ReopenDisplay() {
  screen_close();
  if (IsWindowMode(Settings.GameScreen)) window_close(WindowMain);
  Settings.GameScreen = Menus.PendingScreen;
  Settings.Resolution = Menus.PendingResolution;
  ChooseScreenSize();
  if (!OpenDisplay()) {
    FatalErrorBox(GameText(u"tErrorSCREEN"));
    return 0;
  }
  AfterDisplayOpened(u"Joystick: ");
  // The level list, the unlocked flags and the results in memory stay as they are.
  LoadMapPack(Folders.GameDir + kMapPackName, kPackerRuntime);
  if (!LoadPictures()) return 0;

  // Everything else drawn into sprites went with the old screen.
  PreparePlayScreen();
  RenderAllTexts();
  ShowDisplay();
  return 1;
}

void ShowDisplay() {
  screen_set_frame_rate(kFrameRate);
  sprite_quality(kLinearQuality);
  if (IsWindowMode(Settings.GameScreen)) {
    window_hide(WindowMain, 0);
    window_activate(WindowMain);
  }
}
