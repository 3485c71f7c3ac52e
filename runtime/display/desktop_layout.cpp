// Desktop 0 among several monitors, and centring on it.
#include "runtime/display/desktop_layout.h"

#include <cstdint>

namespace {

// How far (0, 0) lies outside the area along one axis: 0 when the span [start, start + size) holds it.
int64_t Gap(int start, int size) {
  if (start > 0) return start;
  const int64_t end = int64_t{start} + size;  // exclusive
  return end > 0 ? 0 : 1 - end;
}

}  // namespace

int desktop_origin_monitor(const std::vector<MonitorArea>& monitors) {
  int best = -1;
  int64_t best_distance = 0;
  for (int i = 0; i < static_cast<int>(monitors.size()); ++i) {
    const MonitorArea& m = monitors[i];
    if (m.width <= 0 || m.height <= 0) continue;
    const int64_t dx = Gap(m.x, m.width), dy = Gap(m.y, m.height);
    const int64_t distance = dx * dx + dy * dy;
    const bool better = best < 0 || distance < best_distance ||
                        (distance == best_distance && m.primary && !monitors[best].primary);
    if (better) {
      best = i;
      best_distance = distance;
    }
  }
  return best;
}

WindowPosition desktop_centred(const MonitorArea& area, int width, int height) {
  return {area.x + area.width / 2 - width / 2, area.y + area.height / 2 - height / 2};
}
