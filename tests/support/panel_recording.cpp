// The panel recording of the tests: what each rendered panel put where, taken through the
// panels' watcher, with the line wrapping the text layout does, so that a test can check that
// texts stay inside their panel and apart.
#include "tests/support/panel_recording.h"

#include <algorithm>

#include "game/menus.h"
#include "runtime/display/drawing.h"

PanelRecordingRecord PanelRecording;

namespace {

RecordedPanel* CurrentRecording() {
  if (!PanelRecording.Enabled || PanelRecording.Panels.empty()) return nullptr;
  return &PanelRecording.Panels.back();
}

// The panel being drawn, as its Begin told.
struct PanelSize {
  int Width = 0;
  int Height = 0;
  int Band = 0;
};
PanelSize Panel;

// The panel area a text or picture starting at y must stay in: the band when it starts in it,
// else the part below the band.
void SetArea(RecordedItem& item, double y) {
  item.AreaX = 0;
  item.AreaWidth = Panel.Width;
  if (y < Panel.Band) {
    item.AreaY = 0;
    item.AreaHeight = Panel.Band;
  } else {
    item.AreaY = Panel.Band;
    item.AreaHeight = Panel.Height - Panel.Band;
  }
}

// The lines pango makes of a paragraph: the text's own line ends, each line wrapped at blanks
// so that it fits the width (a word wider than the width stays alone on its line).
std::vector<Text> WrapLines(const Text& text, double width) {
  std::vector<Text> lines;
  size_t start = 0;
  while (true) {
    const size_t end = text.find(u'\n', start);
    const Text hard = text.substr(start, end == Text::npos ? Text::npos : end - start);
    Text line;
    size_t word_start = 0;
    while (word_start <= hard.size()) {
      size_t word_end = hard.find(u' ', word_start);
      if (word_end == Text::npos) word_end = hard.size();
      const Text word = hard.substr(word_start, word_end - word_start);
      const Text joined = line.empty() ? word : line + u" " + word;
      if (!line.empty() && vector_text_width(joined) > width) {
        lines.push_back(line);
        line = word;
      } else {
        line = joined;
      }
      word_start = word_end + 1;
    }
    lines.push_back(line);
    if (end == Text::npos) break;
    start = end + 1;
  }
  return lines;
}

void RecordBegin(const Text& name, int width, int height, int band) {
  Panel = PanelSize{width, height, band};
  if (!PanelRecording.Enabled) return;
  RecordedPanel recorded;
  recorded.Name = name;
  recorded.Width = width;
  recorded.Height = height;
  recorded.Band = band;
  PanelRecording.Panels.push_back(recorded);
}

void RecordLine(const Text& text, double x, double y, uint32_t colour) {
  RecordedPanel* panel = CurrentRecording();
  if (!panel || text.empty()) return;
  RecordedItem item;
  item.Content = text;
  item.Colour = colour;
  item.X = x + vector_text_width(text, kMeasureInk | kMeasureOffset);
  item.Y = y + vector_text_height(text, kMeasureInk | kMeasureOffset);
  item.Width = vector_text_width(text, kMeasureInk);
  item.Height = vector_text_height(text, kMeasureInk);
  SetArea(item, y);
  panel->Items.push_back(item);
}

void RecordParagraph(const Text& text, double x, double y, double width, double height, int flags,
                     uint32_t colour) {
  RecordedPanel* panel = CurrentRecording();
  if (!panel || text.empty()) return;
  std::vector<Text> lines = WrapLines(text, width);
  // Empty lines at the end draw nothing, and pango drops them without an ellipsis.
  while (lines.size() > 1 && lines.back().empty()) lines.pop_back();
  Text block;
  double left = 1e9, right = -1e9;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) block += u"\n";
    block += lines[i];
    if (lines[i].empty()) continue;
    const double line_width = vector_text_width(lines[i]);
    double offset = 0;
    if (flags & kParagraphCentre) offset = (width - line_width) / 2;
    if (flags & kParagraphRight) offset = width - line_width;
    const double ink_x = x + offset + vector_text_width(lines[i], kMeasureInk | kMeasureOffset);
    left = std::min(left, ink_x);
    right = std::max(right, ink_x + vector_text_width(lines[i], kMeasureInk));
  }
  if (left > right) left = right = x;  // only empty lines
  RecordedItem item;
  item.Content = text;
  item.Colour = colour;
  item.X = left;
  item.Width = right - left;
  item.Y = y + vector_text_height(block, kMeasureInk | kMeasureOffset);
  item.Height = vector_text_height(block, kMeasureInk);
  item.Fits = vector_text_height(block) <= height + 0.5;
  SetArea(item, y);
  panel->Items.push_back(item);
}

void RecordPicture(double x, double y, double width, double height) {
  RecordedPanel* panel = CurrentRecording();
  if (!panel) return;
  RecordedItem item;
  item.Picture = true;
  item.X = x;
  item.Y = y;
  item.Width = width;
  item.Height = height;
  SetArea(item, y);
  panel->Items.push_back(item);
}

void RecordFinish(int64_t sprite) {
  if (RecordedPanel* panel = CurrentRecording()) panel->Sprite = sprite;
}

// Linked in with PanelRecording, so that every test that reads it records.
const bool kWatching = [] {
  PanelWatcher watcher;
  watcher.Begin = RecordBegin;
  watcher.Line = RecordLine;
  watcher.Paragraph = RecordParagraph;
  watcher.Picture = RecordPicture;
  watcher.Finish = RecordFinish;
  SetPanelWatcher(watcher);
  return true;
}();

}  // namespace
