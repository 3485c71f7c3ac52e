// The real game as a player meets it: build/cratevale copied into a game folder of its own (with
// links to the built packs), started with a temporary HOME on the current X display, driven with
// key events through the XTest extension, judged by its log, its screenshots and its files.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <string>
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

  // Presses and releases a key (an X key symbol), holding it about `hold_ms`.
  void Tap(unsigned long keysym, int hold_ms = 120);
  // Takes a screenshot with S and waits until the game logged it: every key before it has then
  // been handled. Returns the number of screenshots saved so far, or -1 on a time-out.
  int Screenshot(int timeout_ms = 20000);
  // Presses a key that leads towards the end (Escape) until the game has ended; its status.
  int TapUntilExit(unsigned long keysym, int timeout_ms = 30000);
  // The screenshot files in the save folder, oldest name first.
  std::vector<std::string> Screenshots() const;

 private:
  std::string game_dir_;
  std::string home_;
  std::string root_;
  pid_t pid_ = 0;
  int status_ = -1;
  rlim_t file_size_limit_ = 0;
  bool unprivileged_ = false;
};
