// Desktop 0 among several monitors and the centring of windows on it.
#include "runtime/display/desktop_layout.h"

#include <gtest/gtest.h>

namespace {

TEST(DesktopLayout, DesktopZeroIsTheMonitorAtTheTopLeftCorner) {
  const struct {
    const char* layout;
    std::vector<MonitorArea> monitors;
    int expected;
  } cases[] = {
      {"one monitor", {{0, 0, 1920, 1080, true}}, 0},
      {"primary on the right", {{1920, 0, 2560, 1440, true}, {0, 0, 1920, 1080, false}}, 1},
      {"primary below", {{0, 1080, 1920, 1080, true}, {0, 0, 1920, 1080, false}}, 1},
      {"primary at the corner", {{0, 0, 1920, 1080, true}, {1920, 0, 1280, 1024, false}}, 0},
      {"no primary", {{1920, 0, 1280, 1024, false}, {0, 0, 1920, 1080, false}}, 1},
      {"left monitor taller and lower", {{1920, 0, 1920, 1080, true}, {0, 0, 1920, 1200, false}}, 1},
      // Clones both show the corner: the primary one, else the first.
      {"clones", {{0, 0, 1920, 1080, false}, {0, 0, 1920, 1080, true}}, 1},
      {"clones without primary", {{0, 0, 1920, 1080, false}, {0, 0, 1280, 720, false}}, 0},
      // A monitor that is switched off has no area and never counts.
      {"switched off", {{0, 0, 0, 0, true}, {0, 0, 1920, 1080, false}}, 1},
      // Nothing at the corner: the nearest monitor.
      {"gap at the corner", {{2000, 0, 1920, 1080, true}, {0, 100, 1920, 1080, false}}, 1},
      {"left of the origin", {{-1920, 0, 1920, 1080, false}, {0, 0, 1920, 1080, false}}, 1},
      {"ending next to the origin", {{-1920, -1080, 1920, 1080, false}, {5, 5, 100, 100, true}}, 0},
      {"none", {}, -1},
      {"none lit", {{0, 0, 0, 1080, true}}, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(desktop_origin_monitor(c.monitors), c.expected) << c.layout;
  }
}

TEST(DesktopLayout, WindowsAreCentredOnTheMonitorTheyAreGiven) {
  const struct {
    MonitorArea area;
    int width, height;
    int x, y;
  } cases[] = {
      {{0, 0, 1920, 1080}, 640, 360, 640, 360},
      {{0, 0, 1920, 1080}, 321, 201, 800, 440},  // halves toward zero
      {{1920, 0, 2560, 1440}, 640, 360, 1920 + 960, 540},
      {{0, 1080, 1920, 1080}, 1920, 1080, 0, 1080},
      {{0, 0, 1280, 720}, 1920, 1080, -320, -180},  // larger than the monitor
      {{-1920, 0, 1920, 1080}, 640, 360, -1280, 360},
  };
  for (const auto& c : cases) {
    const WindowPosition at = desktop_centred(c.area, c.width, c.height);
    EXPECT_EQ(at.x, c.x) << c.area.x << "," << c.width;
    EXPECT_EQ(at.y, c.y) << c.area.y << "," << c.height;
  }
}

}  // namespace
