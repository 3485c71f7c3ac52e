// The fatal ends of start-up, run as the real executable in a temporary game folder: the error
// box is found on the virtual X server by its title and answered with a key, as a player would.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "game/assets.h"
#include "runtime/display/png.h"
#include "tests/support/temp_folder.h"
#include "tests/support/x11_display.h"

namespace {

namespace fs = std::filesystem;

constexpr auto kTick = std::chrono::milliseconds(50);
constexpr int kGiveUpTicks = 600;  // thirty seconds
const std::string kBoxTitle = "Cratevale::Error";
const std::string kAssetMessage = "The game's pictures and sounds could not be read. Please reinstall Cratevale.";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}


struct GameRun {
  int exit_status = -1;    // -1 when the program did not end by itself
  bool box_answered = false;
  std::string standard_error;
};

class FatalEndTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(std::string(CRATEVALE_BINARY_DIR) + "cratevale", game_.path() + "cratevale");
    for (const char* pack : {"Cratevale.data", "Cratevale.maps", "Cratevale.languages"}) {
      fs::create_symlink(std::string(CRATEVALE_PACK_DIR) + pack, game_.path() + pack);
    }
    environment_["HOME"] = home_.path();
    environment_["LANG"] = std::nullopt;
    environment_["SDL_AUDIODRIVER"] = "dummy";
    // A sanitizer build of the game ends right after the error box with the caches of the
    // toolkit and the font libraries still held, which they never free; leaks of the game's own
    // code are caught by the in-process start-up tests.
    environment_["ASAN_OPTIONS"] = "detect_leaks=0";
  }

  // Replaces the asset pack by a copy changed by `change` (given the folder of its entries),
  // made with the pack tool.
  void ChangeAssetPack(const std::function<void(const std::string& stage)>& change) {
    const std::string tool = std::string(CRATEVALE_BINARY_DIR) + "packtool";
    const std::string stage = stage_.path() + "stage";
    const std::string source = std::string(CRATEVALE_PACK_DIR) + "Cratevale.data";
    ASSERT_EQ(std::system(("'" + tool + "' extract '" + source + "' '" + stage + "'").c_str()), 0);
    change(stage);
    fs::remove(game_.path() + "Cratevale.data");
    ASSERT_EQ(std::system(("'" + tool + "' create '" + game_.path() + "Cratevale.data' '" + stage + "'").c_str()), 0);
  }

  void LeaveOutOfAssetPack(const std::string& entry) {
    ChangeAssetPack([&](const std::string& stage) { ASSERT_TRUE(fs::remove(stage + "/" + entry)); });
  }

  // Runs the game with "/LOG", answers the error box with Return when one appears, and waits
  // for the end.
  GameRun RunGame() {
    GameRun run;
    const std::string errors = stage_.path() + "stderr.txt";
    const pid_t child = fork();
    if (child == 0) {
      for (const auto& [name, value] : environment_) {
        if (value) {
          setenv(name.c_str(), value->c_str(), 1);
        } else {
          unsetenv(name.c_str());
        }
      }
      const int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(fd, 2);
      const std::string program = game_.path() + "cratevale";
      execl(program.c_str(), program.c_str(), "/LOG", static_cast<char*>(nullptr));
      _exit(127);
    }
    Display* display = static_cast<Display*>(x11_display());
    int seen_ticks = 0;
    for (int tick = 0; tick < kGiveUpTicks; ++tick) {
      int status = 0;
      if (waitpid(child, &status, WNOHANG) == child) {
        run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        break;
      }
      const Window box = run.box_answered ? 0 : x11_find_viewable_window(display, DefaultRootWindow(display), kBoxTitle);
      // Give the toolkit a moment to settle its focus and default button on the fresh window.
      if (box && seen_ticks++ >= 2) {
        XSetInputFocus(display, box, RevertToParent, CurrentTime);
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, XK_Return), True, CurrentTime);
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, XK_Return), False, CurrentTime);
        XSync(display, False);
        run.box_answered = true;
      }
      std::this_thread::sleep_for(kTick);
    }
    if (run.exit_status == -1) {
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
    }
    run.standard_error = stage_.Read("stderr.txt");
    return run;
  }

  std::string UserDir() const { return home_.path() + ".Torvelin game studio/Cratevale/"; }

  // The log of the run, from the player's folder.
  std::vector<std::string> LogLines() const {
    for (const auto& entry : fs::directory_iterator(UserDir())) {
      if (entry.path().filename().string().rfind("Log ", 0) == 0) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return Lines(all.str());
      }
    }
    return {};
  }

  void ExpectNothingSaved() const {
    EXPECT_FALSE(fs::exists(UserDir() + "Cratevale.prefs"));
    EXPECT_FALSE(fs::exists(UserDir() + "Cratevale.scores"));
    EXPECT_FALSE(fs::exists(game_.path() + "Cratevale.prefs"));
    EXPECT_FALSE(fs::exists(game_.path() + "Cratevale.scores"));
  }

  TempFolder game_;
  TempFolder home_;
  TempFolder stage_;
  std::map<std::string, std::optional<std::string>> environment_;
};

std::vector<std::string> LastLines(const std::vector<std::string>& lines, size_t n) {
  return std::vector<std::string>(lines.end() - std::min(n, lines.size()), lines.end());
}

TEST_F(FatalEndTest, AMissingSoundStopsAfterTheThreeBeforeItWithTheAssetBox) {
  LeaveOutOfAssetPack("click3.wav");
  const GameRun run = RunGame();
  EXPECT_TRUE(run.box_answered);
  EXPECT_EQ(run.exit_status, 0);
  // The desktop's size is the last line before the sounds.
  EXPECT_EQ(LastLines(LogLines(), 5),
            (std::vector<std::string>{"ScreenHeight:\t\t" + std::to_string(x11_current_mode().height),
                                      "Load asset (music1.ogg):\t\tOK", "Load asset (music2.ogg):\t\tOK",
                                      "Load asset (rollover3.wav):\t\tOK", "Load asset (click3.wav):\t\tFAILED"}));
  EXPECT_EQ(run.standard_error, kBoxTitle + ": " + kAssetMessage + "\n");
  ExpectNothingSaved();
}

TEST_F(FatalEndTest, AMusicTrackNoDecoderOpensFailsInItsPlaceAmongTheSounds) {
  // The tracks are read and opened from the very start; what their threads found is logged in
  // the sound pass, in its order.
  ChangeAssetPack([](const std::string& stage) { std::ofstream(stage + "/music2.ogg") << "not a sound at all"; });
  const GameRun run = RunGame();
  EXPECT_TRUE(run.box_answered);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(LastLines(LogLines(), 3),
            (std::vector<std::string>{"ScreenHeight:\t\t" + std::to_string(x11_current_mode().height),
                                      "Load asset (music1.ogg):\t\tOK", "Load asset (music2.ogg):\t\tFAILED"}));
  EXPECT_EQ(run.standard_error, kBoxTitle + ": " + kAssetMessage + "\n");
  ExpectNothingSaved();
}

TEST_F(FatalEndTest, AMissingPictureClosesTheScreenAndShowsTheAssetBox) {
  LeaveOutOfAssetPack("locked.png");
  const GameRun run = RunGame();
  EXPECT_TRUE(run.box_answered);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(LastLines(LogLines(), 2),
            (std::vector<std::string>{"Load asset (tile_01.png):\t\tOK", "Load asset (locked.png):\t\tFAILED"}));
  EXPECT_EQ(run.standard_error, kBoxTitle + ": " + kAssetMessage + "\n");
  ExpectNothingSaved();
}

TEST_F(FatalEndTest, AGoodPictureTooLargeForItsBufferFailsLikeADamagedOne) {
  // A noisy 300 x 300 picture does not compress below the 204,800 bytes of a small picture.
  std::vector<uint8_t> pixels(300 * 300 * 4);
  uint32_t noise = 12345;
  for (uint8_t& byte : pixels) {
    noise = noise * 1103515245 + 12345;
    byte = static_cast<uint8_t>(noise >> 16);
  }
  PixelRows rows;
  rows.bytes = pixels;
  rows.width = 300;
  rows.height = 300;
  rows.pitch = 300 * 4;
  const MemoryBlock picture = png_encode_to_memory(rows);
  ASSERT_GT(picture.size(), static_cast<size_t>(kSmallPictureBufferSize));
  ChangeAssetPack([&](const std::string& stage) {
    std::ofstream(stage + "/crate.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(picture.data()), static_cast<std::streamsize>(picture.size()));
  });
  const GameRun run = RunGame();
  EXPECT_TRUE(run.box_answered);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(LastLines(LogLines(), 2),
            (std::vector<std::string>{"Load asset (tgs_16x9.png):\t\tOK", "Load asset (crate.png):\t\tFAILED"}));
  ExpectNothingSaved();
}

TEST_F(FatalEndTest, ASoundServiceThatCannotStartShowsTheServiceBox) {
  environment_["SDL_AUDIODRIVER"] = "no-such-driver";
  const GameRun run = RunGame();
  EXPECT_TRUE(run.box_answered);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(LastLines(LogLines(), 3), (std::vector<std::string>{"InitSprite:\t\tOK", "InitKeyboard:\t\tOK",
                                                                 "InitSound:\t\tFAILED"}));
  EXPECT_EQ(run.standard_error, kBoxTitle + ": Could not start a required service.  : Sound\n");
  ExpectNothingSaved();
}

TEST_F(FatalEndTest, AScreenThatCannotBeMadeShowsTheScreenBox) {
  // Without its drivers the OpenGL library can make no context, so no screen opens.
  environment_["LIBGL_DRIVERS_PATH"] = "/nonexistent";
  environment_["GALLIUM_DRIVER"] = "none";
  struct Case {
    int mode;
    std::string line;
  } cases[] = {{0, "Opening screen (Fullscreen):\t\tFAILED"}, {2, "Opening screen (Borderless):\t\tFAILED"}};
  for (const Case& c : cases) {
    fs::remove_all(home_.path() + ".Torvelin game studio");
    home_.Write(".Torvelin game studio/Cratevale/Cratevale.prefs", "[Settings]\nGameScreen = " + std::to_string(c.mode));
    const GameRun run = RunGame();
    const std::vector<std::string> lines = LastLines(LogLines(), 2);
    if (!lines.empty() && lines.back().find("OK") != std::string::npos) GTEST_SKIP() << "this OpenGL opens anyway";
    EXPECT_TRUE(run.box_answered);
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(lines, (std::vector<std::string>{"Load asset (click3.wav):\t\tOK", c.line}));
    // The OpenGL library says why in lines of its own before ours.
    EXPECT_EQ(LastLines(Lines(run.standard_error), 1),
              std::vector<std::string>{kBoxTitle + ": The screen could not be opened in the chosen display mode."});
    // The preferences read at start are left as they were, and no results are written.
    EXPECT_EQ(home_.Read(".Torvelin game studio/Cratevale/Cratevale.prefs"),
              "[Settings]\nGameScreen = " + std::to_string(c.mode));
    EXPECT_FALSE(fs::exists(UserDir() + "Cratevale.scores"));
  }
}

TEST_F(FatalEndTest, WithoutAnXDisplayOneLineSaysWhy) {
  struct Case {
    std::optional<std::string> display;
    std::string message;
  } cases[] = {
      {":5917", "Cratevale: cannot open the X display \":5917\"\n"},
      {std::nullopt, "Cratevale: cannot open the X display (DISPLAY is not set)\n"},
  };
  for (const Case& c : cases) {
    environment_["DISPLAY"] = c.display;
    const GameRun run = RunGame();
    EXPECT_FALSE(run.box_answered);
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.standard_error, c.message);
    EXPECT_FALSE(fs::exists(home_.path() + ".Torvelin game studio"));
  }
}

}  // namespace
