// The log file and the system report written at start.
#include "game/core/log.h"

#include "game/core/game.h"
#include "runtime/data/files.h"
#include "runtime/runtime.h"

LogRecord Log;

int LogOpen(const Text& path, const Text& first_line) {
  Log.File = file_create(kNewObject, path);
  if (!Log.File) return 0;
  file_write_line(Log.File, first_line);
  return 1;
}

void LogEnable() {
  if (Log.File) Log.Enabled = 1;
}

void LogLine(const Text& text) {
  if (Log.Enabled != 1) return;
  if (!file_is_open(Log.File)) {
    Log.Enabled = 0;
    return;
  }
  // Each line reaches the file at once, so the log tells what happened up to a crash or a kill.
  file_write_line(Log.File, text);
  file_flush(Log.File);
}

Text Tabs(int n) { return n > 0 ? Text(n, u'\t') : Text(); }

void LogValue(const Text& label, const Text& value) { LogLine(label + Tabs(2) + value); }

void LogValue(const Text& label, int64_t value) { LogValue(label, str_from_int(value)); }

Text LogResult(int ok) { return ok ? u"OK" : u"FAILED"; }

void LogStart() {
  if (program_parameter_count() >= 1) {
    Log.Stamp = date_format(u"%yyyy-%mm-%dd--%hh-%ii-%ss", date_now());
    if (program_parameter() == u"/LOG" && LogOpen(Folders.SaveTo + u"Log " + Log.Stamp + u".log", kGameTitle)) {
      LogEnable();
    }
  }
  LogLine(Log.Stamp);
  LogLine(u"");
  LogLine(u"[SYSTEM DETAILS]");
  LogValue(u"CPU Name:", cpu_name());
  LogValue(u"Total CPU cores:", cpu_count(0));
  LogValue(u"Available CPU cores:", cpu_count(1));
  LogValue(u"Total physical memory:", memory_status(0));
  LogValue(u"Free physical memory:", memory_status(1));
  LogValue(u"Number of desktops:", GameDisplay.DesktopCount);
  LogValue(u"Operating system:", os_version());

  LogLine(u"");
  LogLine(u"[GAME DETAILS]");
  LogValue(u"Title:", kGameTitle);
  LogValue(u"Family:", u"Zorand Games");
  LogValue(u"Version:", kGameVersion);
  LogValue(u"Directory:", u"Torvelin game studio/Cratevale");
  LogValue(u"Bit:", u"(x64)");

  LogLine(u"");
  LogLine(u"[CODE SUBSYSTEMS]");
  LogValue(u"Language:", u"2.0");
  LogValue(u"Log:", u"1.2");

  LogLine(u"");
  LogLine(u"[PATHS]");
  LogValue(u"GameDir:", Folders.GameDir);
  LogValue(u"UserDir:", Folders.UserDir);
  LogValue(u"SaveTo:", Folders.SaveTo);

  LogLine(u"");
  LogLine(u"[INITIAL SETTINGS]");
  LogValue(u"Language:", Settings.Language);
}

void LogInitialSettings() {
  const char16_t* screen_names[] = {u"Fullscreen", u"Windowed", u"Borderless"};
  if (Settings.GameScreen >= 0 && Settings.GameScreen <= 2) LogValue(u"GameScreen:", screen_names[Settings.GameScreen]);
  LogValue(u"Music:", Settings.MusicOn ? u"On" : u"Off");
  LogValue(u"ScreenMode:", Settings.Resolution);
}

void LogAvailableLanguages(const std::vector<Text>& display_names) {
  LogLine(u"");
  LogLine(u"[AVAILABLE LANGUAGES]");
  for (const Text& name : display_names) LogValue(u"Language:", name);

  LogLine(u"");
  LogLine(u"[STARTING GAME]");
}
