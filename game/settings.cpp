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
#include "game/presentation.h"
#include "runtime/display/drawing.h"
#include "runtime/display/keyboard.h"

namespace {

// The resolution entry while the pending mode is not windowed: (95, 95, 95) at alpha 95.
constexpr uint32_t kDisabled = 0x5F5F5F5Fu;

struct SettingsModuleRecord {
  ReopenFunction Reopen = &ReopenDisplay;
};
SettingsModuleRecord SettingsModule;

bool ResolutionKnown(int index) { return index >= 0 && index < static_cast<int>(ResolutionList.size()); }

Text ScreenModeName(int mode) {
  switch (mode) {
    case kFullScreen: return GameText(u"tSettingsFULLSCREEN");
    case kWindowed: return GameText(u"TSettingsWINDOWED");
    case kBorderless: return GameText(u"tSettingsBORDERLESS");
    default: return Text();
  }
}

// Left (-1) or Right (+1) on a settings entry; true when a working copy changed.
bool ChangeSetting(int entry, int direction) {
  switch (entry) {
    case kSettingsLanguage: {
      // Without any language there is nothing to move to.
      if (list_size(Languages.LanguageList) == 0) return false;
      const LanguageRecord* language = direction < 0 ? list_previous(Languages.LanguageList) : list_next(Languages.LanguageList);
      if (!language) return false;
      Languages.LanguageIndex = list_index(Languages.LanguageList);
      Menus.PendingLanguage = language->BaseName;
      return true;
    }
    case kSettingsMusic:
      if (direction < 0 && Menus.PendingMusic == 0) {
        Menus.PendingMusic = 1;
        return true;
      }
      if (direction > 0 && Menus.PendingMusic == 1) {
        Menus.PendingMusic = 0;
        return true;
      }
      return false;
    case kSettingsScreenMode:
      if (direction < 0 && Menus.PendingScreen > kFullScreen) {
        --Menus.PendingScreen;
        return true;
      }
      if (direction > 0 && Menus.PendingScreen < kBorderless) {
        ++Menus.PendingScreen;
        return true;
      }
      return false;
    case kSettingsResolution: {
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
PanelGeometry SettingsGeometry() {
  const int w = PanelBasisWidth();
  return RowsGeometry(static_cast<int>(std::lround(w / 1.8)), w / 3, 6);
}

PanelGeometry CreditsGeometry() { return RowsGeometry(PanelBasisWidth() / 2, PanelBasisWidth() / 3, 6); }

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
    if (entry == kSettingsResolution && mode != kWindowed) return kDisabled;
    return entry == choice ? ColourTextHighlight : ColourText;
  };
  Text language;
  if (const LanguageRecord* current = list_current(Languages.LanguageList)) language = str_upper(current->DisplayName);
  const Text values[] = {
      language,
      GameText(Menus.PendingMusic == 1 ? u"tSettingsON" : u"tSettingsOFF"),
      ScreenModeName(Menus.PendingScreen),
      ResolutionKnown(Menus.PendingResolution) ? ResolutionList[Menus.PendingResolution] : Text(),
  };
  const char16_t* const labels[] = {u"tSettingsLANGUAGE", u"tSettingsMUSIC", u"tSettingsSCREENMODE",
                                    u"tSettingsRESOLUTION"};
  for (int entry = kSettingsLanguage; entry <= kSettingsResolution; ++entry) {
    PanelEntry(GameText(labels[entry - 1]), f, kPlaceLeft, rows[entry - 1], colour(entry));
    if (!values[entry - 1].empty()) PanelEntry(values[entry - 1], f, kPlaceRight, rows[entry - 1], colour(entry));
  }
  PanelEntry(GameText(u"tSettingsOK"), f, kPlaceLeft, rows[4], colour(kSettingsConfirm));
  PanelEntry(GameText(u"tSettingsCANCEL"), f, kPlaceRight, rows[4], colour(kSettingsCancel));
  PanelFinish(SpriteSettingsPanel);
}

void RenderCredits() {
  const PanelGeometry g = CreditsGeometry();
  if (!PanelBegin(u"credits", g.Width, g.Height, g.Band)) return;
  PanelTitle(GameText(u"tCreditsTITLE"), g.TitleSize);
  // The text ends where the OK row starts: a longer one is cut with an ellipsis, never drawn over it.
  const int text_y = g.Gap + g.Band, ok_y = 5 * g.EntrySize + 6 * g.Gap + g.Band;
  PanelParagraph(CreditsBody(), CreditsBodySize(), 0, text_y, g.Width, ok_y - text_y, kParagraphCentre,
                 ColourText);
  PanelEntry(GameText(u"tSettingsOK"), g.EntrySize, kPlaceCentre, ok_y, ColourTextHighlight);
  PanelFinish(SpriteCredits);
}

void OpenSettings() {
  Menus.SettingsChoice = kSettingsLanguage;
  Languages.LanguageIndex = LanguagePosition(Settings.Language);
  Menus.PendingLanguage = Settings.Language;
  Menus.PendingMusic = Settings.MusicOn;
  Menus.PendingScreen = Settings.GameScreen;
  Menus.PendingResolution = Settings.Resolution;
  RenderSettingsPanel(Menus.SettingsChoice, Settings.GameScreen);
}

bool SettingsKey(int key) {
  if (Menus.SettingsSlide != 0) return false;
  int& choice = Menus.SettingsChoice;
  // Outside windowed mode the resolution entry is skipped.
  const bool windowed = Menus.PendingScreen == kWindowed;
  bool changed = false;
  switch (key) {
    case kKeyUp:
      if (choice != kSettingsLanguage) {
        choice -= (choice == kSettingsConfirm && !windowed) ? 2 : 1;
        changed = true;
      }
      break;
    case kKeyDown:
      if (choice != kSettingsCancel) {
        choice += (choice == kSettingsScreenMode && !windowed) ? 2 : 1;
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

void ApplySettings(int music) {
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
       (Menus.PendingScreen == kWindowed && Settings.GameScreen == kWindowed &&
        Menus.PendingResolution != Settings.Resolution))
          ? 1
          : 0;

  if (Menus.PendingLanguage != Settings.Language) {
    SwitchLanguage(Menus.PendingLanguage);
    // A reopened screen renders every text anew anyway.
    if (!Loop.ScreenReopened) RenderAllTexts();
  }

  if (Loop.ScreenReopened) SettingsModule.Reopen();
}
