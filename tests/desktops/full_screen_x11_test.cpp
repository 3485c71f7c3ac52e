// The game in full screen on the desktop it is started on, as a player meets it. The test suite
// runs this program once per desktop shape, each on a virtual X server of that size
// (tests/support/on_screen); it holds on any size.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "game/display.h"
#include "game/play_screen.h"
#include "runtime/data/text.h"
#include "runtime/display/image.h"
#include "runtime/display/png.h"
#include "tests/support/game_process.h"
#include "tests/support/x11_display.h"

namespace {

constexpr int kStartTimeoutMs = 90000;
constexpr int kShotTimeoutMs = 90000;
constexpr int kShotRetryMs = 15000;

// Takes a screenshot with S and waits until the game logged it: every key before it has then
// been handled. S is pressed again while no picture came (a key pressed and let go within one
// long frame of a large screen drawn in software goes unseen; so does one pressed before the
// window has the keys). The number of screenshots so far, or -1.
int Shot(GameProcess& game, std::string* taken = nullptr) {
  const std::string line = "Saving screenshot:\t\tOK";
  const int before = game.CountLog(line);
  const std::vector<std::string> files = game.Screenshots();
  for (int waited = 0; waited < kShotTimeoutMs && game.running(); waited += kShotRetryMs) {
    game.Tap(XK_s, 300);
    if (!game.WaitForLog(line, kShotRetryMs, before + 1)) continue;
    // The new file (names of one second are numbered, so the newest is not always the last).
    for (const std::string& file : game.Screenshots()) {
      if (taken && std::find(files.begin(), files.end(), file) == files.end()) *taken = file;
    }
    return game.CountLog(line);
  }
  return -1;
}

// Presses a key and lets it go only after a screenshot taken meanwhile, then takes another: the
// game has then seen it held in a frame and let go in a later one, however long its frames take
// (a key let go and pressed again within one frame would look held throughout). The last
// screenshot shows what the key led to.
bool Press(GameProcess& game, unsigned long key, std::string* taken = nullptr) {
  x11_key(key, true);
  const bool seen = Shot(game) > 0;
  x11_key(key, false);
  return seen && Shot(game, taken) > 0;
}

// The server's key repeat is off while the object lives.
struct NoKeyRepeat {
  NoKeyRepeat() { x11_key_repeat(false); }
  ~NoKeyRepeat() { x11_key_repeat(true); }
};

// The number the log gives for a label ("TileSize: \t\t64"), or -1.
long LoggedNumber(const std::string& log, const std::string& label) {
  const size_t at = log.find(label + "\t\t");
  if (at == std::string::npos) return -1;
  std::istringstream value(log.substr(at + label.size() + 2));
  long number = -1;
  value >> number;
  return number;
}

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // R, G, B in bits 0-23, alpha dropped
};

Picture Load(const std::string& path) {
  png_decoder_register();
  Picture picture;
  const int64_t image = image_load(kNewObject, text_from_utf8(path));
  GdkPixbuf* pixbuf = image_handle(image);
  if (!pixbuf) return picture;
  picture.width = gdk_pixbuf_get_width(pixbuf);
  picture.height = gdk_pixbuf_get_height(pixbuf);
  const int channels = gdk_pixbuf_get_n_channels(pixbuf), stride = gdk_pixbuf_get_rowstride(pixbuf);
  const guchar* bytes = gdk_pixbuf_get_pixels(pixbuf);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      const guchar* p = bytes + y * stride + x * channels;
      picture.pixels.push_back(p[0] | p[1] << 8 | p[2] << 16);
    }
  }
  image_free(image);
  return picture;
}

std::string Prefs() {
  return "[Settings]\nLanguage = en_GB\nMusic = 0\nGameScreen = 0\nResolution = 1\nGamepad = 0\nPad = 0\n"
         "Button = 1\nLastPlayed = 0\n";
}

// The game opens on the desktop and fills it; the whole board is on the screen; the level's
// picture does not depend on what the screen showed before it (every pixel is drawn each frame):
// the level drawn after the level carousel and drawn again after the in-game menu look alike,
// the clock's digits aside.
TEST(FullScreen, OpensFillsTheDesktopAndDrawsEveryPixelOfTheLevel) {
  const X11Size desktop = x11_current_mode();
  SCOPED_TRACE(std::to_string(desktop.width) + "x" + std::to_string(desktop.height));
  X11WindowManager window_manager;
  GameProcess game;
  game.WriteFile(game.user_dir() + "Cratevale.prefs", Prefs());
  ASSERT_TRUE(game.Start({"/LOG"}));
  ASSERT_TRUE(game.WaitForLog("OffsetY:", kStartTimeoutMs)) << game.Log();
  const NoKeyRepeat no_repeat;
  ASSERT_GT(Shot(game), 0) << game.Log();  // the loop runs and takes keys

  const std::string log = game.Log();
  EXPECT_NE(log.find("Opening screen (Fullscreen):\t\tOK"), std::string::npos) << log;
  const long tile = LoggedNumber(log, "TileSize: "), left = LoggedNumber(log, "OffsetX: "),
             top = LoggedNumber(log, "OffsetY: ");
  ASSERT_GT(tile, 0) << log;
  // The board's first and last columns and rows lie on the screen.
  EXPECT_GE(left, 0);
  EXPECT_GE(top, 0);
  EXPECT_LE(left + 30 * tile, desktop.width);
  EXPECT_LE(top + 15 * tile, desktop.height);

  // With CRATEVALE_KEEP_SCREENSHOTS naming a folder, every picture is kept there to be looked at.
  const char* keep = std::getenv("CRATEVALE_KEEP_SCREENSHOTS");
  const std::string prefix = keep ? std::string(keep) + "/" + std::to_string(desktop.width) + "x" +
                                        std::to_string(desktop.height)
                                  : "";
  struct KeepAll {
    GameProcess& game;
    std::string prefix;
    ~KeepAll() {
      if (prefix.empty()) return;
      std::filesystem::create_directories(std::filesystem::path(prefix).parent_path());
      int n = 0;
      for (const std::string& shot : game.Screenshots()) {
        std::error_code ignored;
        std::filesystem::copy_file(shot, prefix + "-" + std::to_string(++n) + ".png",
                                   std::filesystem::copy_options::overwrite_existing, ignored);
      }
    }
  } keep_all{game, prefix};
  auto failed = [&] { return "running: " + std::to_string(game.running()) + "\n" + game.Log(); };
  ASSERT_TRUE(Press(game, XK_space)) << failed();   // past the studio splash
  ASSERT_TRUE(Press(game, XK_space)) << failed();   // past the title: the main menu
  // The main menu takes keys once it has slid in, five frames on: each picture takes one or more.
  for (int frame = 0; frame < 3; ++frame) ASSERT_GT(Shot(game), 0) << failed();
  ASSERT_TRUE(Press(game, XK_Return)) << failed();  // Start: the carousel
  std::string after_carousel, menu, after_menu;
  ASSERT_TRUE(Press(game, XK_Return, &after_carousel)) << failed();  // the first level
  ASSERT_TRUE(Press(game, XK_Escape, &menu)) << failed();            // the in-game menu
  ASSERT_TRUE(Press(game, XK_Escape, &after_menu)) << failed();      // back to the level

  if (!prefix.empty()) {
    const std::pair<std::string, std::string> kept[] = {
        {after_carousel, "-level.png"}, {menu, "-menu.png"}, {after_menu, "-level-again.png"}};
    for (const auto& [from, suffix] : kept) {
      std::error_code ignored;
      std::filesystem::copy_file(from, prefix + suffix, std::filesystem::copy_options::overwrite_existing, ignored);
    }
  }
  const Picture first = Load(after_carousel), second = Load(after_menu);
  ASSERT_EQ(first.width, desktop.width);
  ASSERT_EQ(first.height, desktop.height);
  ASSERT_EQ(second.width, desktop.width);
  ASSERT_EQ(second.height, desktop.height);
  EXPECT_NE(Load(menu).pixels, second.pixels) << "the in-game menu did not show";
  // The clock's box is the one part that may differ.
  const PlayLayout layout = ComputeLayout(desktop.width, desktop.height, ClassifyAspect(desktop.width, desktop.height));
  const int64_t clock_left = layout.NameWidth, clock_right = layout.NameWidth + layout.TimeWidth;
  int64_t differing = 0;
  std::string first_at;
  for (int y = 0; y < first.height; ++y) {
    for (int x = 0; x < first.width; ++x) {
      if (y < layout.HudHeight && x >= clock_left && x < clock_right) continue;
      const size_t i = static_cast<size_t>(y) * first.width + x;
      if (first.pixels[i] == second.pixels[i]) continue;
      if (differing++ == 0) first_at = std::to_string(x) + "," + std::to_string(y);
    }
  }
  EXPECT_EQ(differing, 0) << "pixels of the level differ after another screen, the first at " << first_at;
}

}  // namespace
