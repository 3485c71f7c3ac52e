// Frame time of each kind of screen the game shows, at 1024 x 576 and 1920 x 1080 in a window:
// the studio splash, the title with its spinning background, the main menu sliding in, the
// carousel scrolling, a level during a move, and an overlay panel. Each frame runs the loop's
// own drawing without the frame limiter, so its time is the whole cost of a frame; the share of
// a 60 Hz frame left to the limiter's sleep follows from it. Run on an X server with GLX, with
// the packs in the folder given as the first argument (default: the folder of this program):
//   SDL_AUDIODRIVER=dummy LIBGL_ALWAYS_SOFTWARE=1 xvfb-run -a -s "-screen 0 1920x1080x24 +extension GLX"
//   build/bench_frames build/
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "game/core/board.h"
#include "game/core/game.h"
#include "game/main_loop.h"
#include "game/menus.h"
#include "game/play_screen.h"
#include "game/screen_flow.h"
#include "game/screens.h"
#include "game/startup.h"
#include "runtime/display/screen.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWarmUpFrames = 20;
constexpr int kFrames = 240;
constexpr double kFrameMs = 1000.0 / 60;

struct Scene {
  const char* name;
  std::function<void()> set_up;     // once before the frames
  std::function<void()> each_frame;  // before each frame's drawing
};

// The frame's picture, then the animations it shows; the timers stay still, so that each scene
// keeps its screen.
void Draw() {
  DrawScreen();
  const ScreenEntry& screen = CurrentScreen();
  if (screen.Place == PanelAt::SlidingIn && Menus.*screen.Slide > 0) --(Menus.*screen.Slide);
  if (screen.Place == PanelAt::Carousel) AdvanceCarouselScroll();
  if (screen.Shows == Backdrop::PlayScreen) AdvanceMove();
}

// Median milliseconds of one frame: the flip (where the renderer finishes) and the drawing.
double MedianFrameMs(const Scene& scene) {
  scene.set_up();
  std::vector<double> times;
  for (int i = 0; i < kWarmUpFrames + kFrames; ++i) {
    const auto start = Clock::now();
    screen_flip();
    scene.each_frame();
    Draw();
    if (i >= kWarmUpFrames) times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

void Walk() {
  if (Board.MoveState != kMoveIdle) return;
  const int direction = Board.Facing == FacingLeft ? FacingRight : FacingLeft;
  if (RequestMove(direction) == kMoveIdle) RequestMove(direction);  // the first press turns
}

int Child(const std::string& game_dir, int resolution) {
  std::ofstream(game_dir + "Cratevale.prefs")
      << "[Settings]\nLanguage = en_GB\nMusic = 0\nGameScreen = 1\nResolution = " << resolution << "\n";
  char name[] = "cratevale";
  char* argv[] = {name};
  if (!StartUpFrom(text_from_utf8(game_dir), 1, argv)) return 1;
  EnterMainLoop();
  screen_set_frame_rate(0);  // no limiter: the frame's own cost
  const int64_t last = static_cast<int64_t>(LevelList.size()) - 1;
  const Scene scenes[] = {
      {"splash", [] { GameState = ScreenState::StudioSplash; }, [] {}},
      {"title, spinning", [] { GameState = ScreenState::TitleSplash; }, [] { Loop.SplashTimer = 0; }},
      {"main menu sliding in", [] { GameState = ScreenState::MainMenu; },
       [] { if (Menus.MainMenuSlide == 0) Menus.MainMenuSlide = kSlideFrames; }},
      {"carousel scrolling", [] { GameState = ScreenState::LevelSelect; Menus.LevelIndex = 1; },
       [] { if (Menus.CarouselDirection == 0) StartCarouselScroll(Menus.LevelIndex > 1 ? 2 : 1); }},
      {"playing, moving", [last] { GameState = ScreenState::LevelSelect; StartLevel(last); }, Walk},
      {"overlay (in-game menu)", [] { GameState = ScreenState::InGameMenu; }, Walk},
  };
  std::printf("%dx%d\n", GameDisplay.ScreenWidth, GameDisplay.ScreenHeight);
  for (const Scene& scene : scenes) {
    const double ms = MedianFrameMs(scene);
    std::printf("  %-24s %6.2f ms  %6.1f fps unlimited  sleep share at 60 Hz %5.1f %%\n", scene.name, ms, 1000 / ms,
                std::max(0.0, 100 * (1 - ms / kFrameMs)));
  }
  std::fflush(stdout);
  ShutDownRuntime();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path packs = fs::absolute(argc > 1 ? fs::path(argv[1]) : fs::read_symlink("/proc/self/exe").parent_path());
  const fs::path game_dir = fs::temp_directory_path() / ("cratevale-frames-" + std::to_string(getpid()));
  fs::create_directories(game_dir);
  for (const char* pack : {"Cratevale.data", "Cratevale.maps", "Cratevale.languages"}) {
    fs::create_symlink(packs / pack, game_dir / pack);
  }
  int status = 0;
  for (int resolution : {0, 4}) {  // 1024 x 576 and 1920 x 1080
    const pid_t child = fork();  // the toolkit starts once per process
    if (child == 0) _exit(Child(game_dir.string() + "/", resolution));
    int result = 0;
    waitpid(child, &result, 0);
    if (!WIFEXITED(result) || WEXITSTATUS(result) != 0) status = 1;
  }
  fs::remove_all(game_dir);
  return status;
}
