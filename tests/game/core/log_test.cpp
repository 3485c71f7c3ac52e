#include "game/core/log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <vector>

#include "game/core/game.h"
#include "runtime/data/files.h"
#include "runtime/runtime.h"
#include "tests/support/temp_folder.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void StartWith(std::vector<std::string> arguments) {
  std::vector<char*> argv;
  arguments.insert(arguments.begin(), "cratevale");
  for (std::string& a : arguments) argv.push_back(a.data());
  program_set_arguments(static_cast<int>(argv.size()), argv.data());
}

class LogTest : public testing::Test {
 protected:
  void SetUp() override {
    file_close(kAllObjects);
    Log = LogRecord();
    Folders.SaveTo = text_from_utf8(folder.path());
  }
  void TearDown() override { file_close(kAllObjects); }

  std::string LogFileName() const { return "Log " + text_to_utf8(Log.Stamp) + ".log"; }

  TempFolder folder;
};

}  // namespace

TEST_F(LogTest, ReportIsWrittenInOrderWithTabbedValues) {
  StartWith({"/LOG"});
  Settings = SettingsRecord();
  Settings.Language = u"en_GB";
  Settings.GameScreen = 2;
  Settings.MusicOn = 0;
  Settings.Resolution = 4;
  GameDisplay.DesktopCount = 2;
  LogStart();
  LogInitialSettings();
  LogAvailableLanguages({u"Deutsch", u"English"});
  LogValue(u"Load language (en_GB):", LogResult(0));
  file_close(kAllObjects);

  ASSERT_EQ(Log.Stamp.size(), 20u);
  const std::vector<std::string> lines = Lines(folder.Read(LogFileName()));
  ASSERT_EQ(lines.size(), 40u);
  EXPECT_EQ(lines[0], "Cratevale");
  EXPECT_EQ(lines[1], text_to_utf8(Log.Stamp));
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3], "[SYSTEM DETAILS]");
  EXPECT_EQ(lines[4].rfind("CPU Name:\t\t", 0), 0u);
  EXPECT_EQ(lines[9], "Number of desktops:\t\t2");
  EXPECT_EQ(lines[10], "Operating system:\t\t2000");
  const std::vector<std::string> tail(lines.end() - 24, lines.end());
  const std::vector<std::string> expected = {
      "Directory:\t\tTorvelin game studio/Cratevale", "Bit:\t\t(x64)", "", "[CODE SUBSYSTEMS]",
      "Language:\t\t2.0", "Log:\t\t1.2", "", "[PATHS]", "GameDir:\t\t", "UserDir:\t\t",
      "SaveTo:\t\t" + folder.path(), "", "[INITIAL SETTINGS]", "Language:\t\ten_GB",
      "GameScreen:\t\tBorderless", "Music:\t\tOff", "ScreenMode:\t\t4", "", "[AVAILABLE LANGUAGES]",
      "Language:\t\tDeutsch", "Language:\t\tEnglish", "", "[STARTING GAME]", "Load language (en_GB):\t\tFAILED"};
  EXPECT_EQ(tail, expected);
}

TEST_F(LogTest, UnknownScreenModeHasNoLineAndNothingIsWrittenWithoutTheSwitch) {
  StartWith({"/log"});
  Settings.GameScreen = 5;
  LogStart();
  LogInitialSettings();
  EXPECT_EQ(Log.Stamp.size(), 20u);  // any argument makes the stamp
  EXPECT_EQ(Log.Enabled, 0);
  EXPECT_EQ(file_size(text_from_utf8(folder.path() + LogFileName())), -1);

  StartWith({"/LOG"});
  LogStart();
  LogInitialSettings();
  file_close(kAllObjects);
  const std::string text = folder.Read(LogFileName());
  EXPECT_EQ(text.find("GameScreen:"), std::string::npos);
  EXPECT_NE(text.find("Music:"), std::string::npos);
}

TEST_F(LogTest, NoArgumentsMeansNoStampAndNoFile) {
  StartWith({});
  LogStart();
  EXPECT_TRUE(Log.Stamp.empty());
  EXPECT_EQ(Log.File, 0);
}

TEST_F(LogTest, LogSwitchesItselfOffWhenItsFileIsGone) {
  StartWith({"/LOG", "second"});
  LogStart();
  ASSERT_EQ(Log.Enabled, 1);
  file_close(Log.File);
  LogLine(u"lost");
  EXPECT_EQ(Log.Enabled, 0);
  // A new file under the same handle number would not bring it back.
  LogLine(u"still lost");
  EXPECT_EQ(Log.Enabled, 0);
}

TEST_F(LogTest, UnwritableFolderLeavesLoggingOff) {
  Folders.SaveTo = text_from_utf8(folder.path() + "no/such/folder/");
  StartWith({"/LOG"});
  LogStart();
  EXPECT_EQ(Log.File, 0);
  EXPECT_EQ(Log.Enabled, 0);
  LogLine(u"ignored");
}

TEST(LogTabs, MakesTabs) {
  EXPECT_EQ(Tabs(0), u"");
  EXPECT_EQ(Tabs(2), u"\t\t");
  EXPECT_EQ(Tabs(-3), u"");
}

TEST_F(LogTest, EachLineIsInTheFileBeforeTheNextIsWritten) {
  StartWith({"/LOG"});
  LogStart();
  LogValue(u"Joystick:", 0);
  // Read while the log is still open, as a watcher of a running game does.
  EXPECT_NE(folder.Read(LogFileName()).find("Joystick:\t\t0\n"), std::string::npos);
}
