// The command-line answers, run as the real executable: a copy of build/cratevale in a game
// folder of its own, started without any display and with a fresh HOME, judged by its standard
// output, standard error, exit status and the files around it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

struct Answer {
  int status = -1;  // the exit status; -1 after a signal or when the program did not end
  std::string out;
  std::string err;
};

// Reads a whole file descriptor into a text, in a thread of its own so that neither pipe fills.
std::thread Drain(int fd, std::string* text) {
  return std::thread([fd, text] {
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text->append(buffer, n);
    close(fd);
  });
}

// Every file and folder under a folder with its size and modification time, to see whether a run
// wrote anything.
std::map<std::string, std::string> Tree(const std::string& folder) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const auto status = entry.symlink_status();
    std::string what = std::to_string(static_cast<int>(status.type()));
    if (fs::is_regular_file(status)) {
      what += " " + std::to_string(entry.file_size()) + " " +
              std::to_string(entry.last_write_time().time_since_epoch().count());
    }
    entries[entry.path().string()] = what;
  }
  return entries;
}

class CommandLineTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(game_dir());
    fs::copy_file(std::string(CRATEVALE_BINARY_DIR) + "cratevale", game_dir() + "cratevale");
    for (const char* pack : {"Cratevale.data", "Cratevale.maps", "Cratevale.languages"}) {
      fs::create_symlink(std::string(CRATEVALE_PACK_DIR) + pack, game_dir() + pack);
    }
    fs::create_directories(home());
  }

  std::string game_dir() const { return root_.path() + "game/"; }
  std::string home() const { return root_.path() + "home/"; }

  // Runs the copied game with the arguments from the root folder, with HOME and LANG set and no
  // display at all; `stdout_path` sends standard output to a file instead of the pipe.
  Answer Start(const std::vector<std::string>& args, const char* stdout_path = nullptr) const {
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return {};
    const std::string program = game_dir() + "cratevale";
    const std::string home_variable = "HOME=" + home();
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(root_.path().c_str()) != 0) _exit(126);
      if (stdout_path) {
        const int fd = open(stdout_path, O_WRONLY);
        if (fd < 0) _exit(126);
        dup2(fd, 1);
      } else {
        dup2(out[1], 1);
      }
      dup2(err[1], 2);
      close(out[0]), close(out[1]), close(err[0]), close(err[1]);
      std::vector<char*> argv{const_cast<char*>(program.c_str())};
      for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      std::vector<char*> envp{const_cast<char*>(home_variable.c_str()),
                              const_cast<char*>("LANG=C.UTF-8"),
                              const_cast<char*>("PATH=/usr/bin:/bin"),
                              // the sanitizer build: the game's leaks at a fatal end are not
                              // what these tests judge
                              const_cast<char*>("ASAN_OPTIONS=detect_leaks=0"), nullptr};
      execve(program.c_str(), argv.data(), envp.data());
      _exit(127);
    }
    close(out[1]);
    close(err[1]);
    Answer run;
    std::thread out_reader = Drain(out[0], &run.out);
    std::thread err_reader = Drain(err[0], &run.err);
    // Without a display even a game start ends at once; a minute is only a guard.
    int status = 0;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > give_up) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        status = -1;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    out_reader.join();
    err_reader.join();
    if (status != -1 && WIFEXITED(status)) run.status = WEXITSTATUS(status);
    return run;
  }

  TempFolder root_;
};

// Both answers come on stdout with status 0 and write nothing: not into the per-user folder
// under HOME, and not beside the executable, where the game writes when a Cratevale.prefs lies
// there. Neither needs a display.
TEST_F(CommandLineTest, HelpAndVersionAnswerWithoutADisplayAndWriteNothing) {
  for (bool prefs_beside_game : {false, true}) {
    SCOPED_TRACE(prefs_beside_game ? "Cratevale.prefs beside the game" : "no preferences");
    if (prefs_beside_game) root_.Write("game/Cratevale.prefs", "[Settings]\nMusic=0\n");
    const auto before = Tree(root_.path());

    const Answer version = Start({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "Cratevale 1.0\n");
    EXPECT_EQ(version.err, "");

    const Answer help = Start({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind("Usage: cratevale [/LOG]\n", 0), 0u) << help.out;
    for (const char* word : {"puzzle", "/LOG", "--version", "Cratevale.prefs", "Cratevale.scores",
                             "\"Log <date>--<time>.log\"", "screenshots",
                             "~/.Torvelin game studio/Cratevale/", "cratevale(6)"}) {
      EXPECT_NE(help.out.find(word), std::string::npos) << "the help does not mention " << word;
    }
    // A short usage fits a terminal: no line wider than 80 columns.
    for (size_t start = 0, end; (end = help.out.find('\n', start)) != std::string::npos; start = end + 1) {
      EXPECT_LE(end - start, 80u) << help.out.substr(start, end - start);
    }

    EXPECT_EQ(Tree(root_.path()), before) << "a command-line answer wrote a file";
  }
}

// Only the first argument is looked at, and only the exact words answer: everything else starts
// the game, which here, without a display, says so on stderr and ends with status 0.
TEST_F(CommandLineTest, OtherArgumentsStartTheGame) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"/LOG", "--help"}, {"/log", "--version"}, {"--HELP"},
                                             {"--help=all"}, {"-h"}, {"--versions"}}) {
    SCOPED_TRACE(args[0]);
    const Answer run = Start(args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("cannot open the X display"), std::string::npos) << run.err;
  }
}

// An answer that cannot be written is not reported as success.
TEST_F(CommandLineTest, AnAnswerThatCannotBeWrittenEndsWithAFailure) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  for (const char* argument : {"--help", "--version"}) {
    SCOPED_TRACE(argument);
    const Answer run = Start({argument}, "/dev/full");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot write to standard output"), std::string::npos) << run.err;
  }
}

}  // namespace
