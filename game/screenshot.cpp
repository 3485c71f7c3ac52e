// Screenshots of the back buffer, taken after the frame is drawn and before it is shown, so the
// file holds exactly the picture the next flip shows.
#include "game/screenshot.h"

#include "game/core/game.h"
#include "game/core/log.h"
#include "game/presentation.h"
#include "runtime/data/files.h"
#include "runtime/display/image.h"
#include "runtime/display/sprite.h"

namespace {

constexpr const char16_t* kDateMask = u"%dd-%mm-%yyyy %hh-%ii-%ss";
constexpr int kMostNumbered = 10000;  // beyond this many in one second, the last name is reused

}  // namespace

Text ScreenshotPath(const Text& folder, int64_t date) {
  const Text stem = folder + u"Cratevale " + date_format(kDateMask, date);
  Text path = stem + u".png";
  for (int n = 2; file_size(path) != -1 && n <= kMostNumbered; ++n) {
    path = stem + u" (" + str_from_int(n) + u").png";
  }
  return path;
}

int TakeScreenshot() {
  constexpr const char16_t* kLabel = u"Saving screenshot:";
  if (!sprite_grab(SpriteScreenshot, 0, 0, GameDisplay.ScreenWidth, GameDisplay.ScreenHeight)) {
    LogValue(kLabel, LogResult(0));
    return 0;
  }
  // Written under a temporary name and renamed when complete: a picture under its own name is
  // always a whole one, and one that fails leaves nothing behind.
  const Text path = ScreenshotPath(Folders.SaveTo, date_now());
  const Text temporary = file_temporary_beside(path);
  int ok = 0;
  if (!temporary.empty()) {
    ok = sprite_save(SpriteScreenshot, temporary, kImageFormatPng) && file_rename(temporary, path) ? 1 : 0;
    if (!ok) file_delete(temporary);
  }
  LogValue(kLabel, LogResult(ok));
  return ok;
}
