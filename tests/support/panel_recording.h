// The panel recording of the tests: while Enabled, every rendered panel is recorded with the
// texts and pictures it drew and where they are inked.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/data/text.h"

struct RecordedItem {
  Text Content;          // the text, or empty for a picture
  bool Picture = false;
  uint32_t Colour = 0;   // the text's colour
  // Where it is inked, in panel pixels (for a picture: its box).
  double X = 0, Y = 0, Width = 0, Height = 0;
  // The panel area it must stay in (the band for titles, below the band for the rest).
  double AreaX = 0, AreaY = 0, AreaWidth = 0, AreaHeight = 0;
  // A paragraph: false when its wrapped lines need more height than its box (it would end in an
  // ellipsis). Always true for single lines and pictures.
  bool Fits = true;
};

struct RecordedPanel {
  Text Name;
  int Width = 0;
  int Height = 0;
  int Band = 0;
  int64_t Sprite = 0;  // handle of the sprite it went into
  std::vector<RecordedItem> Items;
};

struct PanelRecordingRecord {
  bool Enabled = false;
  std::vector<RecordedPanel> Panels;
};
extern PanelRecordingRecord PanelRecording;
