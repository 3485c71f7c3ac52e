// Frame pacing of the screen at 60 frames a second: 600 flips of a small windowed screen that
// draws nothing but a clear, the distribution of the intervals between the moments the flips
// return, how many stray from 1/60 s by more than half a millisecond, and the processor time the
// loop takes as a share of one core (the idle cost of a menu that waits for the next frame).
// Run on an X server with GLX (for example the virtual one the tests use).
#include <GL/gl.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <vector>

#include "runtime/display/screen.h"
#include "runtime/display/toolkit.h"
#include "runtime/display/window.h"

namespace {

constexpr int kFrames = 600;
constexpr int kRate = 60;
constexpr double kIdealUs = 1e6 / kRate;

int64_t NowUs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t{now.tv_sec} * 1000000 + now.tv_nsec / 1000;
}

double CpuMs() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

double Percentile(const std::vector<double>& sorted, double p) {
  const size_t at = std::min(sorted.size() - 1, static_cast<size_t>(p / 100.0 * (sorted.size() - 1) + 0.5));
  return sorted[at];
}

}  // namespace

int main() {
  if (!toolkit_init()) {
    std::printf("needs an X server\n");
    return 1;
  }
  if (!window_open(0, kWindowCentredPosition, kWindowCentredPosition, 320, 180, u"Pacing", kWindowInvisible) ||
      !screen_open_windowed(window_handle(0), 0, 0, 320, 180, 0, 0, 0, 0)) {
    std::printf("cannot open a windowed screen\n");
    return 1;
  }
  window_hide(0, 0);
  while (window_event() != 0) {
  }
  screen_set_frame_rate(kRate);
  screen_flip();  // the first frame starts the run
  std::vector<int64_t> returns;
  returns.reserve(kFrames + 1);
  const double cpu_before = CpuMs();
  returns.push_back(NowUs());
  for (int i = 0; i < kFrames; ++i) {
    glClearColor(static_cast<float>(i % kRate) / kRate, 0.2f, 0.3f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    while (window_event() > 0) {
    }
    screen_flip();
    returns.push_back(NowUs());
  }
  const double cpu_ms = CpuMs() - cpu_before;
  const double wall_ms = (returns.back() - returns.front()) / 1000.0;
  screen_set_frame_rate(0);
  screen_close();
  window_close(-1);

  std::vector<double> intervals;
  for (size_t i = 1; i < returns.size(); ++i) intervals.push_back(static_cast<double>(returns[i] - returns[i - 1]));
  double sum = 0, squares = 0;
  int stray = 0;
  for (double v : intervals) {
    sum += v;
    squares += (v - kIdealUs) * (v - kIdealUs);
    if (std::fabs(v - kIdealUs) > 500) ++stray;
  }
  std::vector<double> sorted = intervals;
  std::sort(sorted.begin(), sorted.end());
  std::printf("%d flips at %d per second: %.1f ms wall, %.2f flips a second\n", kFrames, kRate, wall_ms,
              kFrames / (wall_ms / 1000.0));
  std::printf("interval (us): min %.0f  p1 %.0f  p10 %.0f  median %.0f  p90 %.0f  p99 %.0f  max %.0f  mean %.1f\n",
              sorted.front(), Percentile(sorted, 1), Percentile(sorted, 10), Percentile(sorted, 50),
              Percentile(sorted, 90), Percentile(sorted, 99), sorted.back(), sum / intervals.size());
  std::printf("deviation from 1/60 s: rms %.0f us; %d of %zu intervals off by more than 0.5 ms\n",
              std::sqrt(squares / intervals.size()), stray, intervals.size());
  // A histogram in 0.25 ms bins around the ideal interval.
  std::printf("histogram (ms: count):");
  for (double low = 15.5; low < 18.0; low += 0.25) {
    const auto count = std::count_if(intervals.begin(), intervals.end(),
                                     [&](double v) { return v >= low * 1000 && v < (low + 0.25) * 1000; });
    if (count) std::printf("  %.2f-%.2f: %ld", low, low + 0.25, static_cast<long>(count));
  }
  const auto outside = std::count_if(intervals.begin(), intervals.end(), [](double v) { return v < 15500 || v >= 18000; });
  std::printf("  other: %ld\n", static_cast<long>(outside));
  std::printf("processor time: %.1f ms over %.1f ms, %.2f%% of one core\n", cpu_ms, wall_ms, 100.0 * cpu_ms / wall_ms);
  return 0;
}
