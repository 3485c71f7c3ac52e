// Where the game's screen goes on a desktop of several monitors. Desktop 0 is the monitor that
// shows the desktop's top-left corner (0, 0): full screen switches that monitor's mode and covers
// it from (0, 0), and windows are centred on it rather than on the whole desktop. The same rule
// serves the monitors the toolkit lists and the outputs the mode switch sees.
#pragma once

#include <vector>

struct MonitorArea {
  int x = 0, y = 0, width = 0, height = 0;
  bool primary = false;
};

// Index of desktop 0 in `monitors`: the monitor nearest to (0, 0), which is one that holds that
// point whenever any does. Ties go to the primary monitor, then to the first listed. Monitors
// without an area are passed over. -1 when none is left.
int desktop_origin_monitor(const std::vector<MonitorArea>& monitors);

struct WindowPosition {
  int x = 0, y = 0;
};

// Top-left corner of a window of width x height centred on `area` (halves rounded toward zero).
WindowPosition desktop_centred(const MonitorArea& area, int width, int height);
