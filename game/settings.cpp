// The settings panel and the credits panel. The settings are changed on working copies (the
// Pending values of Menus) and reach the settings in force only when the player confirms.
#include "game/settings.h"

#include <cmath>
#include <iterator>

#include "game/core/game.h"
#include "game/core/languages.h"
#include "game/core/log.h"
#include "game/display.h"
#include "game/music.h"
#include "game/play_screen.h"
#include "runtime/display/drawing.h"
#include "runtime/display/keyboard.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kOrange = ColourHighlight | 0xFF000000u;
// The resolution entry while the pending mode is not windowed: (95, 95, 95) at alpha 95.
constexpr uint32_t kDisabled = 0x5F5F5F5Fu;

struct SettingsModuleRecord {
  ReopenFunction Reopen = &ReopenDisplay;
};
SettingsModuleRecord SettingsModule;

bool ResolutionKnown(int index) { return index >= 0 && index < static_cast<int>(ResolutionList.size()); }

Text ScreenModeName(int mode) {
  switch (mode) {
    case 0: return GameText(u"tSettingsFULLSCREEN");
    case 1: return GameText(u"TSettingsWINDOWED");
    case 2: return GameText(u"tSettingsBORDERLESS");
    default: return Text();
  }
}

// Left (-1) or Right (+1) on a settings entry; true when a working copy changed.
bool ChangeSetting(int entry, int direction) {
  switch (entry) {
    case 1: {
      // Without any language there is nothing to move to.
      if (list_size(LanguageList) == 0) return false;
      const LanguageRecord* language = direction < 0 ? list_previous(LanguageList) : list_next(LanguageList);
      if (!language) return false;
      LanguageIndex = list_index(LanguageList);
      Menus.PendingLanguage = language->BaseName;
      return true;
    }
    case 2:
      if (direction < 0 && Menus.PendingMusic == 0) {
        Menus.PendingMusic = 1;
        return true;
      }
      if (direction > 0 && Menus.PendingMusic == 1) {
        Menus.PendingMusic = 0;
        return true;
      }
      return false;
    case 3:
      if (direction < 0 && Menus.PendingScreen > 0) {
        --Menus.PendingScreen;
        return true;
      }
      if (direction > 0 && Menus.PendingScreen < 2) {
        ++Menus.PendingScreen;
        return true;
      }
      return false;
    case 4: {
      const int count = static_cast<int>(ResolutionList.size());
      if (!ResolutionKnown(Menus.PendingResolution)) {
        // A size outside the list (a hand-edited preference) has no neighbours: Right starts at
        // the first size, Left does nothing.
        if (direction < 0 || count == 0) return false;
        Menus.PendingResolution = 0;
        return true;
      }
      if (direction < 0 && Menus.PendingResolution > 0) {
        --Menus.PendingResolution;
        return true;
      }
      if (direction > 0 && Menus.PendingResolution < count - 1) {
        ++Menus.PendingResolution;
        return true;
      }
      return false;
    }
    default:
      return false;
  }
}

}  // namespace

void SetReopenFunction(ReopenFunction reopen) { SettingsModule.Reopen = reopen ? reopen : &ReopenDisplay; }

// The settings and credits panels are a third of the screen's width high with six rows of
// entries; only their widths differ.
PanelGeometry SixRowGeometry(int width) {
  const int w = PanelBasisWidth();
  PanelGeometry g;
  g.Width = width;
  g.Height = w / 3;
  g.Band = w / 24;
  g.TitleSize = w / 72;
  g.EntrySize = 2 * g.TitleSize;
  g.Gap = (g.Height - g.Band - 6 * g.EntrySize) / 7;
  return g;
}

PanelGeometry SettingsGeometry() { return SixRowGeometry(static_cast<int>(std::lround(PanelBasisWidth() / 1.8))); }

PanelGeometry CreditsGeometry() { return SixRowGeometry(PanelBasisWidth() / 2); }

int CreditsBodySize() { return PanelBasisWidth() / 96; }

Text CreditsBody() {
  const Text address = kStudioAddress;
  const Text lines[] = {
      Text(kGameTitle) + u" " + kGameVersion,
      GameText(u"tCreditsCODEDESIGN"),
      u"Cratevale team",
      u"",
      u"(c) 2026 Torvelin game studio",
      u"Torvelin game studio",
      kPublisherName,
      address,
      u"",
      GameText(u"tCreditsMUSIC"),
      u"Cratevale synthesizer / " + address + u"/music",
      u"",
      GameText(u"tCreditsGFX"),
      u"Cratevale art program / " + address + u"/art",
      u"",
      GameText(u"tCreditsCRATE"),
      u"Cratevale art program \"artstyle\" / " + address + u"/art",
  };
  Text body;
  for (size_t i = 0; i < std::size(lines); ++i) body += (i > 0 ? u"\n" : u"") + lines[i];
  return body;
}

void RenderSettingsPanel(int choice, int mode) {
  const PanelGeometry g = SettingsGeometry();
  if (!PanelBegin(u"settings", g.Width, g.Height, g.Band)) return;
  PanelTitle(GameText(u"tSettingsTITLE"), g.TitleSize);
  const int f = g.EntrySize, gap = g.Gap, tb = g.Band;
  const int rows[] = {gap + tb, f + 2 * gap + tb, 2 * f + 3 * gap + tb, 3 * f + 4 * gap + tb, 5 * f + 6 * gap + tb};
  auto colour = [&](int entry) {
    if (entry == 4 && mode != 1) return kDisabled;
    return entry == choice ? kOrange : kWhite;
  };
  Text language;
  if (const LanguageRecord* current = list_current(LanguageList)) language = str_upper(current->DisplayName);
  const Text values[] = {
      language,
      GameText(Menus.PendingMusic == 1 ? u"tSettingsON" : u"tSettingsOFF"),
      ScreenModeName(Menus.PendingScreen),
      ResolutionKnown(Menus.PendingResolution) ? ResolutionList[Menus.PendingResolution] : Text(),
  };
  const char16_t* const labels[] = {u"tSettingsLANGUAGE", u"tSettingsMUSIC", u"tSettingsSCREENMODE",
                                    u"tSettingsRESOLUTION"};
  for (int entry = 1; entry <= 4; ++entry) {
    PanelEntry(GameText(labels[entry - 1]), f, kPlaceLeft, rows[entry - 1], colour(entry));
    if (!values[entry - 1].empty()) PanelEntry(values[entry - 1], f, kPlaceRight, rows[entry - 1], colour(entry));
  }
  PanelEntry(GameText(u"tSettingsOK"), f, kPlaceLeft, rows[4], colour(5));
  PanelEntry(GameText(u"tSettingsCANCEL"), f, kPlaceRight, rows[4], colour(6));
  PanelFinish(SpriteSettingsPanel);
}

void RenderCredits() {
  const PanelGeometry g = CreditsGeometry();
  if (!PanelBegin(u"credits", g.Width, g.Height, g.Band)) return;
  PanelTitle(GameText(u"tCreditsTITLE"), g.TitleSize);
  // The text ends where the OK row starts: a longer one is cut with an ellipsis, never drawn over it.
  const int text_y = g.Gap + g.Band, ok_y = 5 * g.EntrySize + 6 * g.Gap + g.Band;
  PanelParagraph(CreditsBody(), CreditsBodySize(), 0, text_y, g.Width, ok_y - text_y, kParagraphCentre,
                 kWhite);
  PanelEntry(GameText(u"tSettingsOK"), g.EntrySize, kPlaceCentre, ok_y, kOrange);
  PanelFinish(SpriteCredits);
}

void OpenSettings() {
  Menus.SettingsChoice = 1;
  LanguageIndex = LanguagePosition(Settings.Language);
  Menus.PendingLanguage = Settings.Language;
  Menus.PendingMusic = Settings.MusicOn;
  Menus.PendingScreen = Settings.GameScreen;
  Menus.PendingResolution = Settings.Resolution;
  RenderSettingsPanel(1, Settings.GameScreen);
}

bool SettingsKey(int key) {
  if (Menus.SettingsSlide != 0) return false;
  int& choice = Menus.SettingsChoice;
  const bool windowed = Menus.PendingScreen == 1;
  bool changed = false;
  switch (key) {
    case kKeyUp:
      if (choice != 1) {
        choice -= (choice == 5 && !windowed) ? 2 : 1;
        changed = true;
      }
      break;
    case kKeyDown:
      if (choice != 6) {
        choice += (choice == 3 && !windowed) ? 2 : 1;
        changed = true;
      }
      break;
    case kKeyLeft:
      changed = ChangeSetting(choice, -1);
      break;
    case kKeyRight:
      changed = ChangeSetting(choice, 1);
      break;
    default:
      break;
  }
  if (changed) RenderSettingsPanel(choice, Menus.PendingScreen);
  return changed;
}

void ApplySettings() {
  // The music of the screen the panel was opened from: the level's from the in-game menu.
  const int music = StateMusic(GameState);
  if (Settings.MusicOn == 1 && Menus.PendingMusic == 0) {
    StopMusic(music);
    Settings.MusicOn = 0;
    LogValue(u"Music:", u"OFF");
  } else if (Settings.MusicOn == 0 && Menus.PendingMusic == 1) {
    PlayMusic(music);
    Settings.MusicOn = 1;
    LogValue(u"Music:", u"ON");
  }

  Loop.ScreenReopened =
      (Menus.PendingScreen != Settings.GameScreen ||
       (Menus.PendingScreen == 1 && Settings.GameScreen == 1 && Menus.PendingResolution != Settings.Resolution))
          ? 1
          : 0;

  if (Menus.PendingLanguage != Settings.Language) {
    SwitchLanguage(Menus.PendingLanguage);
    if (!Loop.ScreenReopened) {
      RenderMainMenu(Menus.MainMenuChoice);
      RenderInGameMenu(Menus.InGameChoice);
      RenderSettingsPanel(Menus.SettingsChoice, Menus.PendingScreen);
      RenderLevelComplete(Menus.CompleteChoice);
      RenderCredits();
      RenderQuitQuestion(Menus.QuitChoice);
      RenderAllLevelCards();
      if (Loop.InLevel) RenderHudName();
      RenderGameComplete();
    }
  }

  if (Loop.ScreenReopened) SettingsModule.Reopen();
}
