// The real game as a player meets it: build/cratevale copied into a game folder of its own (with
// links to the built packs), started with a temporary HOME on the current X display, driven with
// key events through the XTest extension, judged by its log, its screenshots and its files.
//
// Keys are tapped as a player taps them: a brisk press and release once the game's window has
// the keyboard focus, never held longer or repeated for a slow machine's sake. The game sees
// every such tap however slow its frames, so each tap is meant to act.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

class GameProcess {
 public:
  GameProcess();
  ~GameProcess();  // kills the game when it still runs
  GameProcess(const GameProcess&) = delete;
  GameProcess& operator=(const GameProcess&) = delete;

  // The game's folder (executable and packs), the player's home and the per-user folder, each
  // ending in "/".
  const std::string& game_dir() const { return game_dir_; }
  const std::string& home() const { return home_; }
  std::string user_dir() const;

  // Writes a file (creating its folders) and returns its path.
  std::string WriteFile(const std::string& path, const std::string& text) const;
  static std::string ReadFile(const std::string& path);

  // Starts the game with the arguments and extra environment ("NAME=value"). False when it
  // could not be started.
  bool Start(const std::vector<std::string>& args = {"/LOG"}, const std::vector<std::string>& env = {});
  bool running();
  // Waits for the game to end; its exit status, or -1 on a time-out or a signal.
  int WaitExit(int timeout_ms);
  // Ends the game at once with SIGKILL, as a crash would, and waits for it.
  void Kill();

  // For the next Start: the largest file the game may write, in bytes (as `ulimit -f` sets it;
  // 0 for none), and whether it runs without the rights of the tests' user (as another user when
  // the tests run as root; the game's folders and the X authority are then opened to it).
  void set_file_size_limit(rlim_t bytes) { file_size_limit_ = bytes; }
  void set_unprivileged(bool unprivileged) { unprivileged_ = unprivileged; }
  // Makes the game use another game's home (and so its save folder), as a second copy of the
  // game on one account does.
  void share_home_with(const GameProcess& other) { home_ = other.home_; }
  // What the game wrote to stderr in its last run.
  std::string Errors() const;
  // Waits until the game's window is shown, for runs without a log; false on a time-out or
  // when the game ended first.
  bool WaitForWindow(int timeout_ms);

  // The log file's text (the newest "Log *.log" in the game's or the per-user folder).
  std::string Log() const;
  // Waits until the log holds `count` lines that start with `prefix`; false on a time-out or
  // when the game ended first.
  bool WaitForLog(const std::string& prefix, int timeout_ms, int count = 1);
  int CountLog(const std::string& prefix) const;

  // A brisk tap: down this long, then up as long before the next key.
  static constexpr int kTapMs = 40;
  // Presses and releases a key (an X key symbol) once a window of the game has the keyboard
  // focus (waiting for it up to 20 s), holding it `hold_ms` and leaving as long before returning.
  void Tap(unsigned long keysym, int hold_ms = kTapMs);
  // Sends key presses (true) and releases (false) of X key symbols all at once, in this order,
  // once a window of the game has the keyboard focus: the game sees one of them a frame.
  void SendKeys(const std::vector<std::pair<unsigned long, bool>>& keys);
  // Waits until a window of the game (its own process's, or its full-screen window) has the
  // keyboard focus; false on a time-out or when the game ended.
  bool WaitForFocus(int timeout_ms = 20000);
  // Takes a screenshot with one tap of S and waits until the game logged it: every key before it
  // has then been handled. Returns the number of screenshots saved so far, or -1 on a time-out.
  int Screenshot(int timeout_ms = 20000);
  // Presses a key that leads towards the end (Escape) until the game has ended; its status.
  int TapUntilExit(unsigned long keysym, int timeout_ms = 30000);
  // Taps a key that ends the game (Return on the quit question's yes, Escape in the main menu)
  // once and waits for the end; the exit status, or -1 on a time-out.
  int TapToExit(unsigned long keysym, int timeout_ms = 30000);

  // The game's own window in the windowed modes (the mapped top-level window of its process), or 0.
  unsigned long MainWindow() const;
  // Minimises the game's window through the window manager and waits until it is away; brings it
  // back and waits until it has the focus again. False when that did not happen in 20 s.
  bool Minimise();
  bool Restore();
  // The screenshot files in the save folder, oldest name first.
  std::vector<std::string> Screenshots() const;

 private:
  std::string game_dir_;
  std::string home_;
  std::string root_;
  pid_t pid_ = 0;
  int status_ = -1;
  unsigned long minimised_ = 0;
  rlim_t file_size_limit_ = 0;
  bool unprivileged_ = false;
};

// A whole preferences file as the game writes it, with these choices, music on and no gamepad.
std::string PrefsFile(int screen, int resolution, const std::string& language = "en_GB", int last_played = 0);
// The value of a "Key = value" line of a preferences file, or "" when it has none.
std::string PrefsValue(const std::string& prefs, const std::string& key);
// The whole numbers of a text (a results file), in order, up to the first word that is none.
std::vector<long> Numbers(const std::string& text);

// The recorded solution of a level ("01") from the build's solutions file (a letter l, r, u or d
// a step, in either case), or "" when it has none.
std::string RecordedSolution(const std::string& level);
// The key events of one step of the keeper (a solution's letter), for GameProcess::SendKeys, to
// take a step whatever the speed of the frames: the game sees one key change a frame, so the
// direction key is held for exactly three frames (a turn, if needed, then the step starts; the
// step's own eight frames outlast the hold), then eight frames of a key the game does not use (x)
// let the step end.
std::vector<std::pair<unsigned long, bool>> StepKeys(char move);

// Processes that keep the processors busy (each a `yes` writing into /dev/null) for as long as
// the object lives: a test of the game on a loaded machine.
class BusyProcesses {
 public:
  explicit BusyProcesses(int count);
  ~BusyProcesses();  // stops them
  BusyProcesses(const BusyProcesses&) = delete;
  BusyProcesses& operator=(const BusyProcesses&) = delete;
  int running() const;

 private:
  std::vector<pid_t> pids_;
};
