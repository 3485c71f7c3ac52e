// Start-up and shutdown: the runtime services started in their order, the folders, preferences,
// log and language, the display and the assets, and the fixed order in which everything closes.
#include "game/startup.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "game/assets.h"
#include "game/core/game.h"
#include "game/core/languages.h"
#include "game/core/log.h"
#include "game/core/preferences.h"
#include "game/core/results.h"
#include "game/display.h"
#include "game/maps.h"
#include "game/save_folder.h"
#include "game/screens.h"
#include "runtime/data/files.h"
#include "runtime/data/pack.h"
#include "runtime/data/prefs.h"
#include "runtime/display/bmp.h"
#include "runtime/display/drawing.h"
#include "runtime/display/image.h"
#include "runtime/display/keyboard.h"
#include "runtime/display/message_box.h"
#include "runtime/display/png.h"
#include "runtime/display/screen.h"
#include "runtime/display/sprite.h"
#include "runtime/display/toolkit.h"
#include "runtime/display/window.h"
#include "runtime/media/joystick.h"
#include "runtime/media/ogg.h"
#include "runtime/media/sound.h"

namespace {

constexpr const char16_t* kFontName = u"Arial";
constexpr double kFontSize = 30;
constexpr const char16_t* kNoLanguageMessage =
    u"The game's texts could not be read from Cratevale.languages. Please reinstall Cratevale.";

// A fatal error before any box can be shown: no X display for the toolkit.
void ReportNoDisplay() {
  const char* name = std::getenv("DISPLAY");
  if (name && *name) {
    std::fprintf(stderr, "Cratevale: cannot open the X display \"%s\"\n", name);
  } else {
    std::fprintf(stderr, "Cratevale: cannot open the X display (DISPLAY is not set)\n");
  }
}

// The folder of the packs: the one given, else the executable's.
Text GameFolder(const Text& game_dir) { return game_dir.empty() ? path_part(program_filename()) : game_dir; }

// The runtime services, the toolkit first; before it, the music starts decoding, on threads of
// its own, from the packs in `game_dir`. 0 when there is no X display to run on.
int StartRuntime(const Text& game_dir, int argc, char** argv) {
  text_init();
  program_set_arguments(argc, argv);
  sound_decoder_register(ogg_vorbis_decoder());
  StartMusic(GameFolder(game_dir));
  if (!toolkit_init()) {
    ReportNoDisplay();
    return 0;
  }
  drawing_init();
  image_init();
  image_codecs_init();
  bmp_decoder_register();
  png_decoder_register();
  png_encoder_register();
  font_init();
  vector_init();
  return 1;
}

// The game's tables and records at their start values, before anything reads them.
void ResetGameRecords() {
  Languages = LanguagesRecord();
  Settings = SettingsRecord();
  Folders = FolderRecord();
  GameDisplay = DisplayRecord();
  LevelList.clear();
  GameState = ScreenState::StudioSplash;
  Loop = LoopRecord();
  Menus = MenuRecord();
  Menus.PendingLanguage = Settings.Language;
  Menus.PendingMusic = Settings.MusicOn;
  Menus.PendingScreen = Settings.GameScreen;
  Menus.PendingResolution = Settings.Resolution;
  Log = LogRecord();
  // The log's report names the number of monitors.
  GameDisplay.DesktopCount = desktop_examine();
}

// The preferences from the executable's folder, else from the player's (made when missing),
// which then becomes the folder everything is written to.
void FindPreferences() {
  if (LoadPreferences(Folders.GameDir)) return;
  if (file_size(Folders.UserDir) != -2) CreatePath(Folders.UserDir);
  LoadPreferences(Folders.UserDir);
  Folders.SaveTo = Folders.UserDir;
  if (Settings.Language.empty()) Settings.Language = SystemLanguage();
  if (Settings.Language.empty()) Settings.Language = kDefaultLanguage;
}

// A service the game cannot run without: logged, and its error box when it does not start.
bool StartService(const Text& label, const Text& name, int started) {
  LogValue(label, LogResult(started));
  if (!started) FatalErrorBox(GameText(u"tErrorSUBSYSTEM") + u"  : " + name);
  return started != 0;
}

// The map pack, the level list with the results, and the carousel at the level last
// played, which a smaller pack or a hand-edited file may have put beyond the list. A map pack
// without levels (missing, empty or damaged) ends the game with the asset box, as the asset pack
// does: there would be nothing to play, and nothing of the player's is saved over.
int LoadLevels() {
  if (!LoadMapPack(Folders.GameDir + kMapPackName, kPackerRuntime)) {
    AssetFailed(kMapPackName);
    return 0;
  }
  FillLevelList(Folders.SaveTo);
  LogUnplayableLevels();
  if (!LevelList.empty()) {
    Settings.LastPlayed = std::clamp(Settings.LastPlayed, 0, static_cast<int>(LevelList.size()) - 1);
  }
  Menus.LevelIndex = LevelList.empty() ? 0 : Settings.LastPlayed;
  return 1;
}

int StartUpSteps(const Text& game_dir, int argc, char** argv) {
  // A write past a file-size limit then fails like one onto a full disk instead of ending the
  // game: the log stops, a save fails and is reported.
  std::signal(SIGXFSZ, SIG_IGN);
  if (!StartRuntime(game_dir, argc, argv)) return 0;
  ResetGameRecords();
  font_load(FontMain, kFontName, kFontSize, kFontBold);

  Folders.GameDir = GameFolder(game_dir);
  Folders.UserDir = UserDirPath();
  Folders.SaveTo = Folders.GameDir;
  FindPreferences();
  // A second copy on the same save folder ends before it writes anything (its log included),
  // with the texts loaded for its box.
  if (!ClaimSaveFolder()) {
    StartLanguages();
    ReportAlreadyRunning();
    return 0;
  }
  RemoveStaleTemporaryFiles(Folders.SaveTo);

  LogStart();
  LogInitialSettings();
  if (!StartLanguages()) {
    // No language file gives a text, this one included: it is told in English.
    FatalErrorBox(kNoLanguageMessage);
    return 0;
  }

  if (!StartService(u"InitSprite:", u"Sprite", sprite_init()) ||
      !StartService(u"InitKeyboard:", u"Keyboard", keyboard_init()) ||
      !StartService(u"InitSound:", u"Sound", sound_init())) {
    return 0;
  }

  ChooseScreenSize();
  // The log reports the desktop's size, whatever size the screen opens at.
  LogValue(u"ScreenWidth:", desktop_width(0));
  LogValue(u"ScreenHeight:", desktop_height(0));

  if (!LoadSounds()) return 0;
  if (!OpenDisplay()) {
    FatalErrorBox(GameText(u"tErrorSCREEN"));
    return 0;
  }
  AfterDisplayOpened(u"Joystick:");
  if (!LoadLevels()) return 0;
  return LoadPictures() && FinishSounds();
}

}  // namespace

int StartUpFrom(const Text& game_dir, int argc, char** argv) {
  if (StartUpSteps(game_dir, argc, argv)) return 1;
  Loop.FatalEnd = 1;
  ShutDownRuntime();
  return 0;
}

int StartUp(int argc, char** argv) { return StartUpFrom(Text(), argc, argv); }

void ShutDown() {
  if (!Loop.FatalEnd) SaveProgress();
  ShutDownRuntime();
}

void ShutDownRuntime() {
  file_close(kAllObjects);
  joystick_shutdown();
  directory_finish(kAllObjects);
  prefs_close();
  font_shutdown();
  sound_shutdown();
  pack_close(kAllObjects);
  keyboard_shutdown();
  screen_shutdown();
  sprite_shutdown();
  window_close(kAllObjects);
  image_shutdown();
  ReleaseSaveFolder();
}

void FatalErrorBox(const Text& message) {
  const Text title = Text(u"Cratevale::") + GameText(u"tErrorERROR");
  std::fprintf(stderr, "%s: %s\n", text_to_utf8(title).c_str(), text_to_utf8(message).c_str());
  std::fflush(stderr);
  message_box(title, message);
  Loop.FatalEnd = 1;
  Loop.QuitRequested = 1;
}

Text UserDirPath() {
  Text home = environment_variable(u"HOME");
  // Any home folder without its closing "/" gets one, however short its name, so that the
  // folder name is never glued onto it.
  if (!home.empty() && home.back() != u'/') home += u'/';
  return home + u"." + kUserFolderName + u"/";
}

int CreatePath(const Text& path) {
  Text full = path;
  if (full.empty() || full.back() != u'/') full += u'/';
  if (file_size(full) == -2) return 1;
  int made = 1;
  for (size_t slash = full.find(u'/'); slash != Text::npos; slash = full.find(u'/', slash + 1)) {
    const Text prefix = full.substr(0, slash + 1);
    if (prefix == u"/" || file_size(prefix) == -2) continue;
    if (!directory_create(prefix)) made = 0;
  }
  return made;
}
