// The set-up shared by the panel tests: the virtual X server's screen, font 0, the built packs'
// languages and levels, the lock mark, and helpers to check what a rendered panel recorded.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "game/core/board.h"
#include "game/core/game.h"
#include "game/core/languages.h"
#include "game/maps.h"
#include "game/menus.h"
#include "game/screens.h"
#include "game/settings.h"
#include "runtime/data/pack.h"
#include "runtime/display/drawing.h"
#include "runtime/display/image.h"
#include "runtime/display/screen.h"
#include "runtime/display/sprite.h"
#include "tests/support/content_pack.h"
#include "tests/support/panel_recording.h"
#include "tests/support/temp_folder.h"
#include "tests/support/x11_display.h"

class PanelTest : public testing::Test {
 protected:
  void SetUp() override {
    text_init();  // upper-casing follows the locale, as in the game
    ASSERT_TRUE(x11_open_drawing_screen());
    ASSERT_NE(font_load(FontMain, u"Arial", 30, kFontBold), 0);
    Folders.GameDir = text_from_utf8(CRATEVALE_PACK_DIR);
    Folders.SaveTo = Folders.UserDir = text_from_utf8(results_.path());
    ASSERT_EQ(ScanLanguages(Folders.GameDir + kLanguagePackName), 1);
    UseLanguage(u"en_GB");
    LoadMapPack(Folders.GameDir + u"Cratevale.maps", kPackerRuntime);
    FillLevelList(Folders.SaveTo);
    ASSERT_GE(LevelList.size(), 12u);
    const std::vector<uint8_t> lock = ReadAssetEntry("locked.png", 204800);
    ASSERT_NE(image_load_from_memory(ImageLockMark, lock), 0);
    Settings = SettingsRecord{};
    Settings.Language = u"en_GB";
    Menus = MenuRecord{};
    Loop = LoopRecord{};
    Board.StepCount = 0;
    SetScreenSize(screen_width(), screen_height());
    PanelRecording = PanelRecordingRecord{};
    PanelRecording.Enabled = true;
  }
  void TearDown() override {
    PanelRecording = PanelRecordingRecord{};
    SetReopenFunction(nullptr);
    FreeMapPack();
    LevelList.clear();
    image_free(ImageLockMark);
    screen_close();
  }

  static void SetScreenSize(int width, int height) {
    GameDisplay.ScreenWidth = width;
    GameDisplay.ScreenHeight = height;
  }
  // Loads a language of the built pack and makes it the setting and the current list element.
  static void UseLanguage(const Text& base) {
    ASSERT_EQ(LoadLanguage(Folders.GameDir + kLanguagePackName, base), 1) << text_to_utf8(base);
    Settings.Language = base;
    Languages.LanguageIndex = LanguagePosition(base);
  }

  // The recorded panels of a name, oldest first.
  static std::vector<const RecordedPanel*> Recorded(const Text& name) {
    std::vector<const RecordedPanel*> found;
    for (const RecordedPanel& panel : PanelRecording.Panels) {
      if (panel.Name == name) found.push_back(&panel);
    }
    return found;
  }
  static const RecordedPanel& LastRecorded(const Text& name) {
    static const RecordedPanel kNone;
    const auto found = Recorded(name);
    return found.empty() ? kNone : *found.back();
  }
  // The texts of a recorded panel, in drawing order.
  static std::vector<std::string> Texts(const RecordedPanel& panel) {
    std::vector<std::string> texts;
    for (const RecordedItem& item : panel.Items) {
      if (!item.Picture) texts.push_back(text_to_utf8(item.Content));
    }
    return texts;
  }

  TempFolder results_;
};

// Every text and picture of the panel lies inside its area, paragraphs fit their boxes, and no
// two of them overlap. Returns the faults found, one line each.
inline std::vector<std::string> PanelLayoutFaults(const RecordedPanel& panel) {
  std::vector<std::string> faults;
  const std::string where = text_to_utf8(panel.Name) + " (" + std::to_string(panel.Width) + "x" +
                            std::to_string(panel.Height) + "): ";
  auto label = [](const RecordedItem& item) { return item.Picture ? std::string("<picture>") : text_to_utf8(item.Content); };
  for (size_t i = 0; i < panel.Items.size(); ++i) {
    const RecordedItem& a = panel.Items[i];
    if (a.X < a.AreaX || a.Y < a.AreaY || a.X + a.Width > a.AreaX + a.AreaWidth ||
        a.Y + a.Height > a.AreaY + a.AreaHeight) {
      faults.push_back(where + "\"" + label(a) + "\" runs outside its area");
    }
    if (!a.Fits) faults.push_back(where + "\"" + label(a) + "\" does not fit its box");
    for (size_t j = i + 1; j < panel.Items.size(); ++j) {
      const RecordedItem& b = panel.Items[j];
      const double w = std::min(a.X + a.Width, b.X + b.Width) - std::max(a.X, b.X);
      const double h = std::min(a.Y + a.Height, b.Y + b.Height) - std::max(a.Y, b.Y);
      if (w > 0 && h > 0) faults.push_back(where + "\"" + label(a) + "\" overlaps \"" + label(b) + "\"");
    }
  }
  return faults;
}
