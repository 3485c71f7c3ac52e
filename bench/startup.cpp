// Start-up time of the game with the real packs, from process start (the exec of a fresh process)
// to the end of start-up (the main loop's first frame comes next), median of five runs; the time
// until the level music, which finishes decoding behind the first frames, is ready; the cost of
// the sound pass (every sound decoded) and of the picture pass, each run once more after
// start-up on its own; and the peak resident memory once started. Each run also decodes the two
// music tracks one after the other on one thread, and the start-up is given as a ratio to that,
// median of the runs' ratios, in a last line "start-up ratio: Z.ZZ". Run on an X server with GLX
// and RandR, with the packs in the folder given as the first argument (default: the folder of
// this program), for example:
//   SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 1920x1080x24 +extension GLX +extension RANDR"
//   build/bench_startup build/
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "game/assets.h"
#include "game/core/game.h"
#include "game/presentation.h"
#include "game/startup.h"
#include "runtime/data/pack.h"
#include "runtime/media/sound.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 5;

int64_t Now() { return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count(); }

// Processor time of this process so far (every thread), in microseconds. On a busy machine it
// says more about the work done than the wall-clock time does.
int64_t ProcessorTime() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return int64_t{now.tv_sec} * 1000000 + now.tv_nsec / 1000;
}

// Microseconds to decode the two music tracks one after the other on this thread.
int64_t DecodeTracksInTurn() {
  const int64_t pack = pack_open(kNewObject, Folders.GameDir + kAssetPackName, kPackerRuntime);
  MemoryBlock tracks[2];
  pack_extract_to_block(pack, u"music1.ogg", kSoundBufferSize, &tracks[0]);
  pack_extract_to_block(pack, u"music2.ogg", kSoundBufferSize, &tracks[1]);
  pack_close(pack);
  const int64_t start = Now();
  for (const MemoryBlock& track : tracks) {
    const int64_t sound = sound_load_from_memory(kNewObject, track, static_cast<int64_t>(track.size()));
    if (!sound) return -1;
    sound_free(sound);
  }
  return Now() - start;
}

// One start-up in this process; prints total, sound pass, picture pass (microseconds), the peak
// resident memory (kilobytes), their processor times and the two tracks' decoding time.
int Child(const std::string& game_dir, int64_t launched) {
  char name[] = "cratevale";
  char* argv[] = {name};
  if (!StartUpFrom(text_from_utf8(game_dir), 1, argv)) return 1;
  const int64_t total = Now() - launched;
  const int64_t total_cpu = ProcessorTime();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  if (!sound_finish_loading(GameMusic)) return 1;
  const int64_t music_ready = Now() - launched;
  int64_t sound_bytes = 0;
  for (int sound = 0; sound < 4; ++sound) sound_bytes += sound_length(sound);
  int64_t start = Now(), start_cpu = ProcessorTime();
  LoadSounds();
  FinishSounds();
  sound_finish_loading(GameMusic);
  const int64_t sounds = Now() - start, sounds_cpu = ProcessorTime() - start_cpu;
  start = Now();
  start_cpu = ProcessorTime();
  LoadPictures();
  const int64_t pictures = Now() - start, pictures_cpu = ProcessorTime() - start_cpu;
  const int64_t decode = DecodeTracksInTurn();
  ShutDownRuntime();
  std::fprintf(stderr, "decoded sounds: %lld KiB\n", static_cast<long long>(sound_bytes / 1024));
  std::printf("%lld %lld %lld %lld %ld %lld %lld %lld %lld\n", static_cast<long long>(music_ready),
              static_cast<long long>(total), static_cast<long long>(sounds), static_cast<long long>(pictures),
              usage.ru_maxrss,
              static_cast<long long>(total_cpu), static_cast<long long>(sounds_cpu),
              static_cast<long long>(pictures_cpu), static_cast<long long>(decode));
  return 0;
}

int64_t Median(std::vector<int64_t> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--child") return Child(argv[2], std::atoll(argv[3]));
  std::string game_dir = argc > 1 ? argv[1] : std::string();
  if (game_dir.empty()) {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    game_dir = n > 0 ? std::string(self, n) : std::string("./");
    game_dir = game_dir.substr(0, game_dir.rfind('/') + 1);
  }
  if (game_dir.back() != '/') game_dir += '/';
  char home[] = "/tmp/cratevale-bench-XXXXXX";
  if (!mkdtemp(home)) return 1;
  setenv("HOME", home, 1);

  std::vector<int64_t> totals, sounds, pictures, memory, totals_cpu, sounds_cpu, pictures_cpu, decodes, music;
  std::vector<double> ratios;
  for (int run = 0; run < kRuns; ++run) {
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) return 1;
    const std::string launched = std::to_string(Now());
    const pid_t child = fork();
    if (child == 0) {
      dup2(pipe_ends[1], 1);
      close(pipe_ends[0]);
      execl("/proc/self/exe", "bench_startup", "--child", game_dir.c_str(), launched.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(pipe_ends[1]);
    char buffer[256] = {};
    const ssize_t n = read(pipe_ends[0], buffer, sizeof buffer - 1);
    close(pipe_ends[0]);
    waitpid(child, nullptr, 0);
    long long ready = 0, total = 0, sound = 0, picture = 0, total_cpu = 0, sound_cpu = 0, picture_cpu = 0, decode = 0;
    long rss = 0;
    if (n <= 0 ||
        std::sscanf(buffer, "%lld %lld %lld %lld %ld %lld %lld %lld %lld", &ready, &total, &sound, &picture, &rss,
                    &total_cpu, &sound_cpu, &picture_cpu, &decode) != 9 ||
        decode <= 0) {
      std::fprintf(stderr, "run %d failed\n", run + 1);
      return 1;
    }
    std::printf("run %d: start-up %.1f ms (sound pass %.1f ms, picture pass %.1f ms), processor time %.1f ms "
                "(%.1f, %.1f), peak RSS %ld KiB; level music ready %.1f ms; two tracks decoded in turn %.1f ms\n",
                run + 1, total / 1000.0, sound / 1000.0, picture / 1000.0, total_cpu / 1000.0, sound_cpu / 1000.0,
                picture_cpu / 1000.0, rss, ready / 1000.0, decode / 1000.0);
    music.push_back(ready);
    decodes.push_back(decode);
    ratios.push_back(static_cast<double>(total) / static_cast<double>(decode));
    totals_cpu.push_back(total_cpu);
    sounds_cpu.push_back(sound_cpu);
    pictures_cpu.push_back(picture_cpu);
    totals.push_back(total);
    sounds.push_back(sound);
    pictures.push_back(picture);
    memory.push_back(rss);
  }
  const int64_t total = Median(totals), sound = Median(sounds), picture = Median(pictures);
  std::printf("median of %d: start-up %.1f ms; on their own after it: sound pass %.1f ms, picture pass %.1f ms; "
              "peak RSS %lld KiB\n",
              kRuns, total / 1000.0, sound / 1000.0, picture / 1000.0, static_cast<long long>(Median(memory)));
  std::printf("processor time, median: start-up %.1f ms; sound pass %.1f ms, picture pass %.1f ms\n",
              Median(totals_cpu) / 1000.0, Median(sounds_cpu) / 1000.0, Median(pictures_cpu) / 1000.0);
  std::sort(ratios.begin(), ratios.end());
  std::printf("level music ready after start, median: %.1f ms\n", Median(music) / 1000.0);
  std::printf("two tracks decoded one after the other, median: %.1f ms\n", Median(decodes) / 1000.0);
  std::printf("start-up ratio: %.2f\n", ratios[ratios.size() / 2]);
  std::string remove = std::string("rm -rf '") + home + "'";
  return std::system(remove.c_str()) == 0 ? 0 : 1;
}
