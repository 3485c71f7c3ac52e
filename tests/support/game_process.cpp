// Starting and driving the real game executable for end-to-end tests.
#include "tests/support/game_process.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "game/display.h"
#include "runtime/data/text.h"
#include "tests/support/x11_display.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPollMs = 20;

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

int CountLinesStartingWith(const std::string& text, const std::string& prefix) {
  int count = 0;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(prefix, 0) == 0) ++count;
  }
  return count;
}

}  // namespace

GameProcess::GameProcess() {
  std::string pattern = (fs::temp_directory_path() / "cratevale-game-XXXXXX").string();
  root_ = mkdtemp(pattern.data()) ? pattern + "/" : std::string();
  game_dir_ = root_ + "game/";
  home_ = root_ + "home/";
  fs::create_directories(game_dir_);
  fs::create_directories(home_);
  // The game reads its packs from its own real folder, so the executable is copied, not linked.
  fs::copy_file(std::string(CRATEVALE_BINARY_DIR) + "cratevale", game_dir_ + "cratevale");
  for (const char* pack : {"Cratevale.data", "Cratevale.maps", "Cratevale.languages"}) {
    fs::create_symlink(std::string(CRATEVALE_PACK_DIR) + pack, game_dir_ + pack);
  }
}

GameProcess::~GameProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  std::error_code ignored;
  if (!root_.empty()) fs::remove_all(root_, ignored);
}

std::string GameProcess::user_dir() const { return home_ + ".Torvelin game studio/Cratevale/"; }

std::string GameProcess::WriteFile(const std::string& path, const std::string& text) const {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

std::string GameProcess::ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

bool GameProcess::Start(const std::vector<std::string>& args, const std::vector<std::string>& env) {
  const std::string program = game_dir_ + "cratevale";
  const std::string errors = root_ + "stderr.txt";
  constexpr uid_t kOtherUser = 65534;
  const bool other_user = unprivileged_ && geteuid() == 0;
  std::string authority;
  if (other_user) {
    chmod(root_.c_str(), 0755);
    // The X server lets in who can read its cookie: a copy of it that the other user owns.
    const char* cookie = std::getenv("XAUTHORITY");
    if (cookie && *cookie) {
      authority = root_ + "Xauthority";
      fs::copy_file(cookie, authority, fs::copy_options::overwrite_existing);
      chown(authority.c_str(), kOtherUser, kOtherUser);
    }
  }
  pid_ = fork();
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    setenv("HOME", home_.c_str(), 1);
    setenv("SDL_AUDIODRIVER", "dummy", 0);  // no sound card needed
    if (!authority.empty()) setenv("XAUTHORITY", authority.c_str(), 1);
    for (const std::string& entry : env) putenv(strdup(entry.c_str()));
    const int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) dup2(fd, 2);
    // A signal the test process ignores would stay ignored in the game: the game's own
    // handling is what is tested.
    signal(SIGXFSZ, SIG_DFL);
    if (file_size_limit_) {
      const rlimit limit{file_size_limit_, file_size_limit_};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    }
    if (other_user && (setgid(kOtherUser) != 0 || setuid(kOtherUser) != 0)) _exit(126);
    chdir(root_.c_str());
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  return true;
}

bool GameProcess::running() {
  if (pid_ <= 0) return false;
  int status = 0;
  const pid_t done = waitpid(pid_, &status, WNOHANG);
  if (done == 0) return true;
  status_ = done == pid_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  pid_ = 0;
  return false;
}

int GameProcess::WaitExit(int timeout_ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (running()) {
    if (Clock::now() > end) return -1;
    SleepMs(kPollMs);
  }
  return status_;
}

void GameProcess::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = 0;
  status_ = -1;
}

std::string GameProcess::Errors() const { return ReadFile(root_ + "stderr.txt"); }

bool GameProcess::WaitForWindow(int timeout_ms) {
  Display* display = static_cast<Display*>(x11_display());
  const std::string title = text_to_utf8(WindowTitle());
  const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (running()) {
    if (x11_find_viewable_window(display, DefaultRootWindow(display), title)) return true;
    if (Clock::now() > end) return false;
    SleepMs(kPollMs);
  }
  return false;
}

std::string GameProcess::Log() const {
  std::string newest;
  for (const std::string& folder : {game_dir_, user_dir()}) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("Log ", 0) == 0 && entry.path().extension() == ".log" && entry.path().string() > newest) {
        newest = entry.path().string();
      }
    }
  }
  return newest.empty() ? std::string() : ReadFile(newest);
}

int GameProcess::CountLog(const std::string& prefix) const { return CountLinesStartingWith(Log(), prefix); }

bool GameProcess::WaitForLog(const std::string& prefix, int timeout_ms, int count) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (CountLog(prefix) < count) {
    if (Clock::now() > end || !running()) return CountLog(prefix) >= count;
    SleepMs(kPollMs);
  }
  return true;
}

void GameProcess::Tap(unsigned long keysym, int hold_ms) {
  Display* display = static_cast<Display*>(x11_display());
  const KeyCode code = XKeysymToKeycode(display, keysym);
  XTestFakeKeyEvent(display, code, True, CurrentTime);
  XFlush(display);
  SleepMs(hold_ms);
  XTestFakeKeyEvent(display, code, False, CurrentTime);
  XFlush(display);
  SleepMs(hold_ms);
}

int GameProcess::Screenshot(int timeout_ms) {
  const std::string line = "Saving screenshot:\t\tOK";
  const int before = CountLog(line);
  // A key pressed while the game's window is not yet focused (just opened, or reopened after a
  // mode change) is lost: S is pressed again until the game has taken a picture.
  constexpr int kRetryMs = 3000;
  for (int waited = 0; waited < timeout_ms; waited += kRetryMs) {
    Tap(XK_s, 150);
    if (WaitForLog(line, std::min(kRetryMs, timeout_ms - waited), before + 1)) return CountLog(line);
    if (!running()) break;
  }
  return -1;
}

int GameProcess::TapUntilExit(unsigned long keysym, int timeout_ms) {
  constexpr int kRetryMs = 3000;
  for (int waited = 0; waited < timeout_ms && running(); waited += kRetryMs) {
    Tap(keysym);
    const int status = WaitExit(kRetryMs);
    if (status != -1 || !running()) return status;
  }
  return WaitExit(0);
}

std::vector<std::string> GameProcess::Screenshots() const {
  std::vector<std::string> found;
  for (const std::string& folder : {game_dir_, user_dir()}) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("Cratevale ", 0) == 0 && entry.path().extension() == ".png") found.push_back(entry.path().string());
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}
