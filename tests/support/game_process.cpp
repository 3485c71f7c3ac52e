// Starting and driving the real game executable for end-to-end tests.
#include "tests/support/game_process.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fcntl.h>
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

// The process id a window carries in _NET_WM_PID, or 0.
pid_t WindowPid(Display* display, Window window) {
  const Atom pid_atom = XInternAtom(display, "_NET_WM_PID", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, left = 0;
  unsigned char* data = nullptr;
  pid_t pid = 0;
  if (XGetWindowProperty(display, window, pid_atom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &left, &data) ==
          Success &&
      data) {
    if (format == 32 && count == 1) pid = static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data));
    XFree(data);
  }
  return pid;
}

Window ParentOf(Display* display, Window window) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, window, &root, &parent, &children, &count)) return 0;
  if (children) XFree(children);
  return parent == root ? 0 : parent;
}

// Whether the window with the keyboard focus is the game's: one of its process's windows, or
// a full-screen window (override-redirect, not the small window a test takes the focus with).
bool GameHasFocus(Display* display, pid_t pid) {
  X11QuietErrors quiet;  // a window gone while it is looked at: found nothing
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(display, &focus, &revert);
  if (focus == None || focus == PointerRoot) return false;
  for (Window window = focus; window; window = ParentOf(display, window)) {
    if (WindowPid(display, window) == pid) return true;
    XWindowAttributes attributes;
    if (ParentOf(display, window) == 0 && XGetWindowAttributes(display, window, &attributes)) {
      return attributes.override_redirect && attributes.map_state == IsViewable && attributes.width >= 320 &&
             attributes.height >= 200;
    }
  }
  return false;
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

bool GameProcess::WaitForFocus(int timeout_ms) {
  Display* display = static_cast<Display*>(x11_display());
  const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!GameHasFocus(display, pid_)) {
    if (Clock::now() > end || !running()) return false;
    SleepMs(kPollMs);
  }
  return true;
}

void GameProcess::Tap(unsigned long keysym, int hold_ms) {
  WaitForFocus();
  Display* display = static_cast<Display*>(x11_display());
  const KeyCode code = XKeysymToKeycode(display, keysym);
  XTestFakeKeyEvent(display, code, True, CurrentTime);
  XFlush(display);
  SleepMs(hold_ms);
  XTestFakeKeyEvent(display, code, False, CurrentTime);
  XFlush(display);
  SleepMs(hold_ms);
}

void GameProcess::SendKeys(const std::vector<std::pair<unsigned long, bool>>& keys) {
  WaitForFocus();
  Display* display = static_cast<Display*>(x11_display());
  for (const auto& [keysym, press] : keys) {
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, keysym), press ? True : False, CurrentTime);
  }
  XFlush(display);
}

int GameProcess::Screenshot(int timeout_ms) {
  const std::string line = "Saving screenshot:\t\tOK";
  const int before = CountLog(line);
  Tap(XK_s);
  return WaitForLog(line, timeout_ms, before + 1) ? CountLog(line) : -1;
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

int GameProcess::TapToExit(unsigned long keysym, int timeout_ms) {
  Tap(keysym);
  return WaitExit(timeout_ms);
}

unsigned long GameProcess::MainWindow() const {
  if (pid_ <= 0) return 0;
  Display* display = static_cast<Display*>(x11_display());
  // A mapped top-level window of the process, window manager frames looked into.
  return x11_find_viewable_window_if(display, DefaultRootWindow(display),
                                     [&](unsigned long window) { return WindowPid(display, window) == pid_; });
}

bool GameProcess::Minimise() {
  Display* display = static_cast<Display*>(x11_display());
  minimised_ = MainWindow();
  if (!minimised_) return false;
  XIconifyWindow(display, minimised_, DefaultScreen(display));
  XFlush(display);
  const auto end = Clock::now() + std::chrono::seconds(20);
  while (MainWindow() != 0 || GameHasFocus(display, pid_)) {
    if (Clock::now() > end) return false;
    SleepMs(kPollMs);
  }
  return true;
}

bool GameProcess::Restore() {
  if (!minimised_) return false;
  Display* display = static_cast<Display*>(x11_display());
  // Asked as a pager asks: the window manager maps the window again and gives it the focus.
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = minimised_;
  event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = 2;
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XFlush(display);
  minimised_ = 0;
  return WaitForFocus();
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

std::string PrefsFile(int screen, int resolution, const std::string& language, int last_played) {
  return "[Settings]\nLanguage = " + language + "\nMusic = 1\nGameScreen = " + std::to_string(screen) +
         "\nResolution = " + std::to_string(resolution) + "\nGamepad = 0\nPad = 0\nButton = 1\nLastPlayed = " +
         std::to_string(last_played) + "\n";
}

std::string PrefsValue(const std::string& prefs, const std::string& key) {
  std::istringstream lines(prefs);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(key + " = ", 0) == 0) return line.substr(key.size() + 3);
  }
  return "";
}

std::vector<long> Numbers(const std::string& text) {
  std::vector<long> numbers;
  std::istringstream in(text);
  for (long n; in >> n;) numbers.push_back(n);
  return numbers;
}

std::string RecordedSolution(const std::string& level) {
  std::istringstream lines(GameProcess::ReadFile(std::string(CRATEVALE_PACK_DIR) + "level_solutions.txt"));
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(level + "\t", 0) == 0) return line.substr(line.rfind('\t') + 1);
  }
  return "";
}

std::vector<std::pair<unsigned long, bool>> StepKeys(char move) {
  unsigned long key = XK_Down;
  switch (move | 0x20) {
    case 'l': key = XK_Left; break;
    case 'r': key = XK_Right; break;
    case 'u': key = XK_Up; break;
    default: break;
  }
  std::vector<std::pair<unsigned long, bool>> keys = {{key, true}, {XK_x, true}, {XK_x, false}, {key, false}};
  for (int i = 0; i < 4; ++i) keys.insert(keys.end(), {{XK_x, true}, {XK_x, false}});
  return keys;
}

BusyProcesses::BusyProcesses(int count) {
  for (int i = 0; i < count; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      execlp("yes", "yes", static_cast<char*>(nullptr));
      _exit(127);
    }
    if (pid > 0) pids_.push_back(pid);
  }
}

BusyProcesses::~BusyProcesses() {
  for (pid_t pid : pids_) kill(pid, SIGKILL);
  for (pid_t pid : pids_) waitpid(pid, nullptr, 0);
}

int BusyProcesses::running() const {
  int alive = 0;
  for (pid_t pid : pids_) alive += waitpid(pid, nullptr, WNOHANG) == 0 ? 1 : 0;
  return alive;
}
