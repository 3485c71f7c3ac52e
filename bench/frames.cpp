// Frame time of each kind of screen the game shows, at 1024 x 576 and 1920 x 1080 in a window:
// the studio splash, the title with its spinning background, the main menu sliding in, the
// carousel scrolling, a level during a move, and an overlay panel. Each frame runs the loop's
// own drawing and the flip without the frame limiter, so its time is the whole cost of a frame.
// Each state is also given as a ratio to the floor of any frame that covers the screen: the flip
// plus one full-screen opaque picture drawn the cheapest way (no blending, nearest texels),
// measured in the same run between the states. One line per state and size:
//   STATE WxH: X.XX ms, ratio Y.YY, sleep share at 60 Hz Z.Z %
// The processor time of the frame (this process's threads, the renderer's among them) follows,
// with its own ratio: on a busy machine it says more than the wall-clock time, though it leaves
// out the X server's share of the flip.
// Run on an X server with GLX, with the packs in the folder given as the first argument
// (default: the folder of this program); a second argument repeats the whole measurement, a
// third (576 or 1080) keeps one size:
//   SDL_AUDIODRIVER=dummy LIBGL_ALWAYS_SOFTWARE=1 xvfb-run -a -s "-screen 0 1920x1080x24 +extension GLX"
//   build/bench_frames build/
#include <GL/gl.h>
#include <GL/glext.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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

double ProcessorMs() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1000 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct FrameCost {
  double ms = 0;         // wall clock, median
  double processor = 0;  // processor time of this process, median
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The cost of one frame made by `draw`, flip included (the renderer finishes there).
FrameCost MedianFrameMs(const std::function<void()>& draw) {
  std::vector<double> times, processor;
  for (int i = 0; i < kWarmUpFrames + kFrames; ++i) {
    const auto start = Clock::now();
    const double start_processor = ProcessorMs();
    screen_flip();
    draw();
    if (i < kWarmUpFrames) continue;
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    processor.push_back(ProcessorMs() - start_processor);
  }
  return {Median(times), Median(processor)};
}

FrameCost SceneFrameMs(const Scene& scene) {
  scene.set_up();
  return MedianFrameMs([&scene] {
    scene.each_frame();
    Draw();
  });
}

// The floor: a frame of one full-screen opaque picture, drawn straight with OpenGL the cheapest
// way (no blending, no depth test, nearest texels, the texture replacing the colour). Every GL state
// it touches is put back, so the game's drawing afterwards finds what it left.
FrameCost FloorFrameMs() {
  const int width = screen_width(), height = screen_height();
  const GLenum target = screen_texture_target();
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
  for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(target, texture);
  glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexImage2D(target, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  const FrameCost cost = MedianFrameMs([&] {
    glBindTexture(target, texture);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);  // every quad lies at the same depth: the test decides nothing
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    glBegin(GL_QUADS);
    glTexCoord2f(0, h);
    glVertex3f(0, h, 0);
    glTexCoord2f(w, h);
    glVertex3f(w, h, 0);
    glTexCoord2f(w, 0);
    glVertex3f(w, 0, 0);
    glTexCoord2f(0, 0);
    glVertex3f(0, 0, 0);
    glEnd();
  });
  glDeleteTextures(1, &texture);
  glPopAttrib();
  return cost;
}

void Walk() {
  if (Board.MoveState != kMoveIdle) return;
  const int direction = Board.Facing == FacingLeft ? FacingRight : FacingLeft;
  if (RequestMove(direction) == kMoveIdle) RequestMove(direction);  // the first press turns
}

int Child(const std::string& game_dir, int resolution, int rounds) {
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
      {"title-spinning", [] { GameState = ScreenState::TitleSplash; }, [] { Loop.SplashTimer = 0; }},
      {"main-menu-sliding", [] { GameState = ScreenState::MainMenu; },
       [] { if (Menus.MainMenuSlide == 0) Menus.MainMenuSlide = kSlideFrames; }},
      {"carousel-scrolling", [] { GameState = ScreenState::LevelSelect; Menus.LevelIndex = 1; },
       [] { if (Menus.CarouselDirection == 0) StartCarouselScroll(Menus.LevelIndex > 1 ? 2 : 1); }},
      {"playing-moving", [last] { GameState = ScreenState::LevelSelect; StartLevel(last); }, Walk},
      // The board stands still under a panel: moves are taken only while playing.
      {"overlay-in-game-menu", [] { GameState = ScreenState::InGameMenu; }, [] {}},
  };
  const int width = screen_width(), height = screen_height();
  for (int round = 0; round < rounds; ++round) {
    for (const Scene& scene : scenes) {
      // The floor next to each state, so that a change of the machine's load hits both alike.
      const FrameCost floor = FloorFrameMs();
      const FrameCost cost = SceneFrameMs(scene);
      std::printf("%s %dx%d: %.2f ms, ratio %.2f, sleep share at 60 Hz %.1f %%, floor %.2f ms; "
                  "processor %.2f ms, ratio %.2f\n",
                  scene.name, width, height, cost.ms, cost.ms / floor.ms,
                  std::max(0.0, 100 * (1 - cost.ms / kFrameMs)), floor.ms, cost.processor,
                  cost.processor / floor.processor);
      std::fflush(stdout);
    }
  }
  ShutDownRuntime();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path packs = fs::absolute(argc > 1 ? fs::path(argv[1]) : fs::read_symlink("/proc/self/exe").parent_path());
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
  const int only_height = argc > 3 ? std::atoi(argv[3]) : 0;
  const fs::path game_dir = fs::temp_directory_path() / ("cratevale-frames-" + std::to_string(getpid()));
  fs::create_directories(game_dir);
  for (const char* pack : {"Cratevale.data", "Cratevale.maps", "Cratevale.languages"}) {
    fs::create_symlink(packs / pack, game_dir / pack);
  }
  int status = 0;
  for (int resolution : {0, 4}) {  // 1024 x 576 and 1920 x 1080
    if (only_height != 0 && only_height != (resolution == 0 ? 576 : 1080)) continue;
    const pid_t child = fork();  // the toolkit starts once per process
    if (child == 0) _exit(Child(game_dir.string() + "/", resolution, rounds));
    int result = 0;
    waitpid(child, &result, 0);
    if (!WIFEXITED(result) || WEXITSTATUS(result) != 0) status = 1;
  }
  fs::remove_all(game_dir);
  return status;
}
