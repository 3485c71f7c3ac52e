#include "game/core/languages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "game/core/game.h"
#include "game/core/log.h"
#include "runtime/data/files.h"
#include "tests/support/pack_files.h"
#include "tests/support/temp_folder.h"

namespace {

// A UTF-8 language file with a byte-order mark; `top` holds lines before the first group.
std::string LanguageFile(const std::string& display_name, const std::string& keys, const std::string& top = "") {
  return "\xEF\xBB\xBF" + top + "[LANGUAGE FILE]\ntLangFileNAME = " + display_name + "\ntLangFileVERSION = 1\n\n" + keys;
}

// In file order; the table's walk order is English, Espanol, Francais, Deutsch.
const std::vector<ZipItem> kPackItems = {
    {"de_DE.language", LanguageFile("Deutsch", "[Menu]\ntMenuSTART = Spiel starten\ntMenuQUIT = Beenden\n")},
    {"en_GB.language", LanguageFile("English",
                                    "[Menu]\ntMenuSTART = Start game  \ntMenuQUIT = Quit\n"
                                    "[Settings]\nTSettingsWINDOWED = Windowed\n",
                                    "untitled = top keys are no texts\n")},
    {"fr_FR.language", LanguageFile("Fran\xC3\xA7" "ais", "[Menu]\ntMenuSTART = Jouer\n")},
    {"flags/", ""},
    {"es_ES.language", LanguageFile("Espa\xC3\xB1ol", "[Menu]\ntMenuSTART = Jugar\n")},
    {"readme.txt", "[LANGUAGE FILE]\ntLangFileNAME = Not a language\n"},
    {"it_IT.LANGUAGE", LanguageFile("Italiano", "")},
};

const std::vector<Text> kWalkOrder = {u"English", u"Espa\u00F1ol", u"Fran\u00E7ais", u"Deutsch"};

struct Languages : testing::Test {
  TempFolder folder;
  SettingsRecord saved_settings = Settings;
  FolderRecord saved_folders = Folders;

  void SetUp() override {
    map_clear(::Languages.TextTable);
    map_clear(::Languages.LanguageTable);
    list_clear(::Languages.LanguageList);
  }
  void TearDown() override {
    Settings = saved_settings;
    Folders = saved_folders;
  }
  Text WritePack(const std::vector<ZipItem>& items) {
    const std::string path = folder.path() + "Cratevale.languages";
    EXPECT_TRUE(WriteZipFile(path, items));
    return text_from_utf8(path);
  }
  Text WriteFolder(const std::vector<ZipItem>& items) {
    std::filesystem::create_directories(folder.path() + "Cratevale.languages");
    for (const ZipItem& item : items) {
      if (item.name.back() != '/') folder.Write("Cratevale.languages/" + item.name, item.data);
    }
    return text_from_utf8(folder.path() + "Cratevale.languages");
  }
};

std::vector<Text> ListedBaseNames() {
  std::vector<Text> names;
  for (const LanguageRecord& language : ::Languages.LanguageList.elements) names.push_back(language.BaseName);
  return names;
}

std::vector<Text> ListedDisplayNames() {
  std::vector<Text> names;
  for (const LanguageRecord& language : ::Languages.LanguageList.elements) names.push_back(language.DisplayName);
  return names;
}

}  // namespace

TEST_F(Languages, ZipAndFolderListTheLanguageFilesInTheTablesWalkOrder) {
  for (bool as_folder : {false, true}) {
    SCOPED_TRACE(as_folder ? "folder" : "zip");
    const Text pack = as_folder ? WriteFolder(kPackItems) : WritePack(kPackItems);
    ASSERT_EQ(ScanLanguages(pack), 1);
    EXPECT_EQ(ListedDisplayNames(), kWalkOrder);
    EXPECT_EQ(LanguageDisplayNames(), kWalkOrder);
    EXPECT_EQ(ListedBaseNames(), (std::vector<Text>{u"en_GB", u"es_ES", u"fr_FR", u"de_DE"}));
    std::filesystem::remove_all(text_to_utf8(pack));
  }
}

TEST_F(Languages, FilesWithoutHeaderOrWithTheSameNameShareARecord) {
  const Text pack = WritePack({{"a.language", "[Menu]\ntMenuSTART = A\n"},
                               {"b.language", "[LANGUAGE FILE]\ntLangFileVERSION = 2\n"},
                               {"c.language", LanguageFile("Same", "")},
                               {"d.language", LanguageFile("Same", "")}});
  ASSERT_EQ(ScanLanguages(pack), 1);
  ASSERT_EQ(list_size(::Languages.LanguageList), 2);
  EXPECT_EQ(map_get(::Languages.LanguageTable, u"").BaseName, u"b");     // the later file without a name
  EXPECT_EQ(map_get(::Languages.LanguageTable, u"Same").BaseName, u"d");  // the later file of that name
}

TEST_F(Languages, PacksThatCannotBeReadListNothing) {
  EXPECT_EQ(ScanLanguages(text_from_utf8(folder.path() + "missing")), 0);
  EXPECT_EQ(ScanLanguages(text_from_utf8(folder.Write("empty", ""))), 0);
  EXPECT_EQ(ScanLanguages(text_from_utf8(folder.Write("junk", "this is not a zip archive"))), 0);
  EXPECT_EQ(list_size(::Languages.LanguageList), 0);
  EXPECT_EQ(LoadLanguage(text_from_utf8(folder.path() + "junk"), u"en_GB"), 0);
  EXPECT_EQ(GameText(u"tMenuSTART"), u"");
}

TEST_F(Languages, LoadingReadsEveryGroupsKeysAndALaterLanguageKeepsWhatItLacks) {
  for (bool as_folder : {false, true}) {
    SCOPED_TRACE(as_folder ? "folder" : "zip");
    map_clear(::Languages.TextTable);
    const Text pack = as_folder ? WriteFolder(kPackItems) : WritePack(kPackItems);
    ASSERT_EQ(LoadLanguage(pack, u"en_GB"), 1);
    EXPECT_EQ(GameText(u"tMenuSTART"), u"Start game");
    EXPECT_EQ(GameText(u"TSettingsWINDOWED"), u"Windowed");
    EXPECT_EQ(GameText(u"tsettingsWINDOWED"), u"");  // keys are case-sensitive
    EXPECT_EQ(GameText(u"untitled"), u"");
    EXPECT_EQ(GameText(u"tLangFileNAME"), u"English");
    ASSERT_EQ(LoadLanguage(pack, u"fr_FR"), 1);
    EXPECT_EQ(GameText(u"tMenuSTART"), u"Jouer");
    EXPECT_EQ(GameText(u"tMenuQUIT"), u"Quit");
    EXPECT_EQ(LoadLanguage(pack, u"it_IT"), 0);  // its extension is not exactly "language"
    EXPECT_EQ(LoadLanguage(pack, u"xx_XX"), 0);
    EXPECT_EQ(GameText(u"tMenuSTART"), u"Jouer");
    std::filesystem::remove_all(text_to_utf8(pack));
  }
}

TEST_F(Languages, NothingIsWrittenToDiskAndArchiveNamesNeverBecomePaths) {
  const std::string escape = "../../../../../../../tmp/cratevale-escape";
  const Text pack = WritePack({{escape + ".language", LanguageFile("Escape", "[A]\ntKey = v\n")}});
  // Other tests come and go in the temporary folder at the same time: only this name is checked.
  const std::string tmp = std::filesystem::temp_directory_path().string();
  ASSERT_EQ(ScanLanguages(pack), 1);
  EXPECT_EQ(ListedBaseNames(), std::vector<Text>{u"cratevale-escape"});
  EXPECT_EQ(LoadLanguage(pack, text_from_utf8(escape)), 1);
  EXPECT_EQ(GameText(u"tKey"), u"v");
  EXPECT_FALSE(std::filesystem::exists(tmp + "/cratevale-escape.language"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST_F(Languages, OversizedAndEmptyEntriesAreSkipped) {
  const Text pack = WritePack({{"big.language", LanguageFile("Big", std::string(kLargestLanguageFile, ';'))},
                               {"empty.language", ""},
                               {"ok.language", LanguageFile("Ok", "")}});
  ASSERT_EQ(ScanLanguages(pack), 1);
  EXPECT_EQ(ListedBaseNames(), std::vector<Text>{u"ok"});
  EXPECT_EQ(LoadLanguage(pack, u"big"), 0);
}

TEST_F(Languages, PositionFindsTheBaseNameOrLeavesTheLastLanguageCurrent) {
  ASSERT_EQ(ScanLanguages(WritePack(kPackItems)), 1);
  EXPECT_EQ(LanguagePosition(u"fr_FR"), 2);
  EXPECT_EQ(list_current(::Languages.LanguageList)->BaseName, u"fr_FR");
  EXPECT_EQ(LanguagePosition(u"en_GB"), 0);
  EXPECT_EQ(LanguagePosition(u"EN_GB"), 0);
  EXPECT_EQ(list_current(::Languages.LanguageList)->BaseName, u"de_DE");
  list_clear(::Languages.LanguageList);
  EXPECT_EQ(LanguagePosition(u"en_GB"), 0);
  EXPECT_EQ(list_current(::Languages.LanguageList), nullptr);
}

TEST(SystemLanguage, IsLangUpToItsFirstDot) {
  const char* saved = std::getenv("LANG");
  const std::string old = saved ? saved : "";
  const std::pair<const char*, Text> cases[] = {
      {"de_DE.UTF-8", u"de_DE"}, {"fr_FR", u"fr_FR"}, {"C.UTF-8.x", u"C"}, {"", u""}};
  for (const auto& [value, expected] : cases) {
    setenv("LANG", value, 1);
    EXPECT_EQ(SystemLanguage(), expected) << value;
  }
  unsetenv("LANG");
  EXPECT_EQ(SystemLanguage(), u"");
  if (saved) setenv("LANG", old.c_str(), 1);
}

TEST_F(Languages, StartUpFallsBackToEnglishAndLogsTheLanguages) {
  const std::string log_path = folder.path() + "test.log";
  ASSERT_EQ(LogOpen(text_from_utf8(log_path), u"Cratevale"), 1);
  LogEnable();
  WritePack(kPackItems);
  Folders.GameDir = text_from_utf8(folder.path());
  Settings.Language = u"xx_XX";
  StartLanguages();
  EXPECT_EQ(Settings.Language, u"en_GB");
  EXPECT_EQ(GameText(u"tMenuQUIT"), u"Quit");
  EXPECT_EQ(::Languages.LanguageIndex, 0);
  EXPECT_EQ(SwitchLanguage(u"de_DE"), 1);
  EXPECT_EQ(Settings.Language, u"de_DE");
  EXPECT_EQ(GameText(u"tMenuQUIT"), u"Beenden");
  EXPECT_EQ(SwitchLanguage(u"zz_ZZ"), 0);
  EXPECT_EQ(Settings.Language, u"zz_ZZ");
  EXPECT_EQ(GameText(u"tMenuQUIT"), u"Beenden");
  file_close(Log.File);
  Log = LogRecord();

  const std::string log = folder.Read("test.log");
  const std::string expected =
      "\n[AVAILABLE LANGUAGES]\nLanguage:\t\tEnglish\nLanguage:\t\tEspa\xC3\xB1ol\nLanguage:\t\tFran\xC3\xA7" "ais\n"
      "Language:\t\tDeutsch\n\n[STARTING GAME]\nLoad language (en_GB):\t\tOK\n"
      "Load language (de_DE):\t\tOK\nLoad language (zz_ZZ):\t\tFAILED\n";
  EXPECT_NE(log.find(expected), std::string::npos) << log;
}

TEST_F(Languages, AStoredLanguageOfThePackIsKept) {
  WritePack(kPackItems);
  Folders.GameDir = text_from_utf8(folder.path());
  Settings.Language = u"es_ES";
  StartLanguages();
  EXPECT_EQ(Settings.Language, u"es_ES");
  EXPECT_EQ(GameText(u"tMenuSTART"), u"Jugar");
  EXPECT_EQ(::Languages.LanguageIndex, 1);
  EXPECT_EQ(list_current(::Languages.LanguageList)->BaseName, u"es_ES");
}
