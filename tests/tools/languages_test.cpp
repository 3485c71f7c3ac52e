// Tests of the language-pack builder and of the built pack Cratevale.languages: key
// completeness, placeholders, the zip container, and whether the texts fit their panels.
#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "runtime/data/pack.h"
#include "runtime/data/prefs.h"
#include "runtime/data/text.h"
#include "tools/languages/languages.h"

namespace {

using languages::LanguageFile;

std::map<std::string, std::string> ReadZip(const std::string& path) {
  std::map<std::string, std::string> entries;
  archive* zip = archive_read_new();
  archive_read_support_format_zip(zip);
  if (archive_read_open_filename(zip, path.c_str(), 10240) == ARCHIVE_OK) {
    archive_entry* entry;
    while (archive_read_next_header(zip, &entry) == ARCHIVE_OK) {
      std::string bytes(size_t(archive_entry_size(entry)), '\0');
      la_ssize_t got = archive_read_data(zip, bytes.data(), bytes.size());
      bytes.resize(got < 0 ? 0 : size_t(got));
      entries[archive_entry_pathname(entry)] = bytes;
    }
  }
  archive_read_free(zip);
  return entries;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

LanguageFile Parse(const std::string& base, const std::string& text) {
  std::vector<std::string> problems;
  LanguageFile file = languages::ParseLanguage(base, text, &problems);
  EXPECT_TRUE(problems.empty()) << problems.front();
  return file;
}

const char kReferenceText[] =
    "\xEF\xBB\xBF[LANGUAGE FILE]\ntLangFileNAME = English\n[MENU]\n"
    "tCompleteTITLE = Level ### complete\ntStartHEADER = Level #\ntMenuQUIT = Quit\n";

TEST(LanguageChecks, CompleteTranslationPasses) {
  LanguageFile reference = Parse("en_GB", kReferenceText);
  LanguageFile german = Parse("de_DE",
                              "\xEF\xBB\xBF[LANGUAGE FILE]\ntLangFileNAME = Deutsch\n[X]\n"
                              "tStartHEADER = Level #\ntCompleteTITLE = Level ### geschafft\n"
                              "tMenuQUIT = Beenden\n");
  EXPECT_TRUE(languages::CheckAgainst(reference, german).empty());
}

TEST(LanguageChecks, EveryKindOfDifferenceIsReported) {
  LanguageFile reference = Parse("en_GB", kReferenceText);
  struct Case {
    const char* name;
    const char* body;  // the keys after the header group
    const char* expected;
  };
  const Case cases[] = {
      {"missing key", "tCompleteTITLE = A ###\ntStartHEADER = B #\n", "lacks key \"tMenuQUIT\""},
      {"extra key", "tCompleteTITLE = A ###\ntStartHEADER = B #\ntMenuQUIT = Q\ntMenuX = X\n",
       "has key \"tMenuX\""},
      {"empty value", "tCompleteTITLE = A ###\ntStartHEADER = B #\ntMenuQUIT =\n",
       "\"tMenuQUIT\" is empty"},
      {"lost placeholder", "tCompleteTITLE = A ##\ntStartHEADER = B #\ntMenuQUIT = Q\n",
       "tCompleteTITLE\" does not keep"},
      {"case of a key", "tCompleteTITLE = A ###\ntStartHEADER = B #\ntmenuQUIT = Q\n",
       "lacks key \"tMenuQUIT\""},
  };
  for (const Case& c : cases) {
    LanguageFile file =
        Parse("xx_XX", std::string("[LANGUAGE FILE]\ntLangFileNAME = X\n[K]\n") + c.body);
    std::vector<std::string> problems = languages::CheckAgainst(reference, file);
    bool found = false;
    for (const std::string& p : problems) found = found || p.find(c.expected) != std::string::npos;
    EXPECT_TRUE(found) << c.name;
  }
}

TEST(LanguageChecks, ReferenceMustHoldEveryKeyTheGameLooksUp) {
  LanguageFile reference = Parse("en_GB", kReferenceText);
  std::vector<std::string> problems = languages::CheckReference(reference);
  bool windowed = false;
  for (const std::string& p : problems) {
    windowed = windowed || p.find("\"TSettingsWINDOWED\"") != std::string::npos;
  }
  EXPECT_TRUE(windowed);
}

TEST(LanguageParsing, FollowsThePreferenceReaderLineRules) {
  std::vector<std::string> problems;
  // No byte-order mark: Latin-1 (0xE9 is e acute); CR LF lines; blanks around keys and values.
  LanguageFile file = languages::ParseLanguage(
      "fr_FR", "; comment\r\n[G]\r\n  tA   =   caf\xE9  \r\ntB\r\n\r\n[H\r\ntC=x=y\r\n", &problems);
  EXPECT_TRUE(problems.empty());
  ASSERT_EQ(file.groups.size(), 2u);
  EXPECT_EQ(file.groups[1].name, "H");
  EXPECT_EQ(*languages::FindValue(file, "tA"), "caf\xC3\xA9");
  EXPECT_EQ(*languages::FindValue(file, "tB"), "");
  EXPECT_EQ(*languages::FindValue(file, "tC"), "x=y");
}

TEST(LanguageParsing, ReportsKeysTheGameWouldLoseOrConfuse) {
  std::vector<std::string> problems;
  languages::ParseLanguage("en_GB", "tLoose = x\n[G]\ntA = 1\ntA = 2\n= nameless\n", &problems);
  ASSERT_EQ(problems.size(), 3u);
  EXPECT_NE(problems[0].find("before the first group"), std::string::npos);
  EXPECT_NE(problems[1].find("appears twice"), std::string::npos);
  EXPECT_NE(problems[2].find("no name"), std::string::npos);
}

TEST(LevelTitles, EveryLanguageGetsEveryTitleKey) {
  std::vector<std::string> problems;
  languages::TitleTable titles = languages::ParseTitles(
      "key\ten_GB\tde_DE\ntLevelONE\tFirst Steps\tErste Schritte\ntLevelTWO\tCorner\t\n",
      &problems);
  EXPECT_TRUE(problems.empty());
  LanguageFile german = Parse("de_DE", "[LANGUAGE FILE]\n");
  LanguageFile italian = Parse("it_IT", "[LANGUAGE FILE]\n");
  languages::AddTitles(&german, titles);
  languages::AddTitles(&italian, titles);
  EXPECT_EQ(*languages::FindValue(german, "tLevelONE"), "Erste Schritte");
  EXPECT_EQ(*languages::FindValue(german, "tLevelTWO"), "Corner");  // empty cell: English
  EXPECT_EQ(*languages::FindValue(italian, "tLevelONE"), "First Steps");
  EXPECT_EQ(german.groups.back().name, languages::kTitlesGroup);

  languages::ParseTitles("key\ten_GB\tde_DE\ntLevelONE\tOnly one\n", &problems);
  EXPECT_EQ(problems.size(), 1u);
}

TEST(LanguageZip, SameEntriesGiveSameBytesAndReadBack) {
  std::string dir = std::filesystem::temp_directory_path() / "cratevale_languages_test";
  std::filesystem::create_directories(dir);
  std::vector<std::pair<std::string, std::string>> entries = {
      {"a.language", "\xEF\xBB\xBF\n[G]\ntA = 1\n"}, {"b.language", std::string(5000, 'x')}};
  ASSERT_EQ(languages::WriteZip(dir + "/one.zip", entries), "");
  ASSERT_EQ(languages::WriteZip(dir + "/two.zip", entries), "");
  EXPECT_EQ(ReadFile(dir + "/one.zip"), ReadFile(dir + "/two.zip"));
  std::map<std::string, std::string> back = ReadZip(dir + "/one.zip");
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back["a.language"], entries[0].second);
  EXPECT_EQ(back["b.language"], entries[1].second);
  EXPECT_NE(languages::WriteZip(dir + "/missing/folder.zip", entries), "");
  std::filesystem::remove_all(dir);
}

// ---- The built pack ----------------------------------------------------------------------

struct BuiltPack : testing::Test {
  static std::map<std::string, LanguageFile>& Files() {
    static std::map<std::string, LanguageFile> files = [] {
      std::map<std::string, LanguageFile> parsed;
      for (const auto& [name, bytes] : ReadZip(CRATEVALE_PACK_DIR "Cratevale.languages")) {
        std::string base = name.substr(0, name.rfind('.'));
        std::vector<std::string> problems;
        parsed[base] = languages::ParseLanguage(base, bytes, &problems);
        EXPECT_TRUE(problems.empty()) << name;
      }
      return parsed;
    }();
    return files;
  }
  static const LanguageFile& Reference() { return Files()["en_GB"]; }
};

TEST_F(BuiltPack, HoldsTheFourLanguagesUnderTheirOwnNames) {
  const std::map<std::string, std::string> names = {
      {"en_GB", "English"}, {"de_DE", "Deutsch"}, {"fr_FR", "Fran\xC3\xA7" "ais"},
      {"es_ES", "Espa\xC3\xB1ol"}};
  for (const auto& [base, name] : names) {
    ASSERT_EQ(Files().count(base), 1u) << base;
    const std::string* value = languages::FindValue(Files()[base], "tLangFileNAME");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(*value, name);
    EXPECT_EQ(Files()[base].groups.front().name, languages::kHeaderGroup);
  }
}

TEST_F(BuiltPack, EveryLanguageHasExactlyTheReferenceKeys) {
  EXPECT_TRUE(languages::CheckReference(Reference()).empty());
  for (const auto& [base, file] : Files()) {
    std::vector<std::string> problems = languages::CheckAgainst(Reference(), file);
    EXPECT_TRUE(problems.empty()) << problems.front();
  }
}

TEST_F(BuiltPack, HoldsEveryLevelTitleKey) {
  std::string path = CRATEVALE_SOURCE_DIR "data/levels/titles.tsv";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "no level titles yet";
  std::vector<std::string> problems;
  languages::TitleTable titles = languages::ParseTitles(ReadFile(path), &problems);
  EXPECT_TRUE(problems.empty());
  for (const auto& [base, file] : Files()) {
    for (const auto& row : titles.rows) {
      EXPECT_NE(languages::FindValue(file, row.first), nullptr) << base << " " << row.first;
    }
  }
}

// The game lists the pack with its zip packer and reads each file with its preferences engine:
// through them every language must show exactly the keys and texts the builder wrote.
TEST_F(BuiltPack, TheGamesReadersSeeEveryKeyAndText) {
  int64_t pack = pack_open(kNewObject, text_from_utf8(CRATEVALE_PACK_DIR "Cratevale.languages"),
                           kPackerZip);
  ASSERT_NE(pack, 0);
  ASSERT_NE(pack_examine(pack), 0);
  size_t files = 0;
  while (pack_next_entry(pack)) {
    std::string name = text_to_utf8(pack_entry_name(pack));
    std::string base = name.substr(0, name.rfind('.'));
    MemoryBlock block;
    ASSERT_GT(pack_extract_to_block(pack, Text(), 1 << 20, &block), 0) << name;
    ASSERT_NE(prefs_open_memory(block.data(), int64_t(block.size())), 0) << name;
    std::map<std::string, std::string> seen;
    prefs_examine_groups();
    while (prefs_next_group()) {
      prefs_examine_keys();
      while (prefs_next_key()) seen[text_to_utf8(prefs_key_name())] = text_to_utf8(prefs_key_value());
    }
    prefs_select_group(text_from_utf8(languages::kHeaderGroup));
    EXPECT_EQ(text_to_utf8(prefs_read_string(u"tLangFileNAME")),
              *languages::FindValue(Files()[base], "tLangFileNAME"));
    prefs_close();
    size_t keys = 0;
    for (const languages::Group& group : Files()[base].groups) {
      for (const languages::Entry& entry : group.entries) {
        EXPECT_EQ(seen[entry.key], entry.value) << name << " " << entry.key;
        ++keys;
      }
    }
    EXPECT_EQ(seen.size(), keys) << name;
    ++files;
  }
  pack_close(pack);
  EXPECT_EQ(files, Files().size());
}

// Widths in pixels of texts drawn in the game's bold interface font at a pixel size.
class TextMeter {
 public:
  TextMeter()
      : surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8)),
        cr_(cairo_create(surface_)),
        layout_(pango_cairo_create_layout(cr_)) {}
  ~TextMeter() {
    g_object_unref(layout_);
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
  }
  int Width(const std::string& text, int pixels) {
    PangoFontDescription* font = pango_font_description_from_string("Arial Bold");
    pango_font_description_set_absolute_size(font, pixels * PANGO_SCALE);
    pango_layout_set_font_description(layout_, font);
    pango_font_description_free(font);
    pango_layout_set_text(layout_, text.c_str(), -1);
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout_, &width, &height);
    return width;
  }

 private:
  cairo_surface_t* surface_;
  cairo_t* cr_;
  PangoLayout* layout_;
};

// The panels at a 1920-pixel-wide screen; they all scale with the screen width.
TEST_F(BuiltPack, TextsFitTheirPanels) {
  const int kWidth = 1920;
  const int entry = 2 * (kWidth / 72);           // menu entries
  const int menu_room = kWidth / 4 - 20;         // main and in-game menu
  const int settings_room = int(kWidth / 1.8 + 0.5) - 30;  // label and value on one row
  const int complete_room = (kWidth / 2 - 40) / 3;         // retry, menu and next on one row
  const int card = (kWidth / 4) / 18;            // level card texts
  TextMeter meter;
  for (const auto& language : Files()) {
    const std::string& base = language.first;
    const LanguageFile& file = language.second;
    auto text = [&](const char* key) { return *languages::FindValue(file, key); };
    for (const char* key : {"tMenuSTART", "tMenuSETTINGS", "tMenuCREDITS", "tMenuQUIT",
                            "tInGameRESUME", "tInGameRESTART", "tInGameSETTINGS", "tInGameQUIT"}) {
      EXPECT_LE(meter.Width(text(key), entry), menu_room) << base << " " << key;
    }
    const std::pair<const char*, std::vector<std::string>> rows[] = {
        {"tSettingsLANGUAGE", {"FRAN\xC3\x87" "AIS", "ESPA\xC3\x91OL", "DEUTSCH"}},
        {"tSettingsMUSIC", {text("tSettingsON"), text("tSettingsOFF")}},
        {"tSettingsSCREENMODE",
         {text("tSettingsFULLSCREEN"), text("TSettingsWINDOWED"), text("tSettingsBORDERLESS")}},
        {"tSettingsRESOLUTION", {"3840x2160"}},
        {"tSettingsOK", {text("tSettingsCANCEL")}}};
    for (const auto& [label, values] : rows) {
      for (const std::string& value : values) {
        EXPECT_LE(meter.Width(text(label), entry) + meter.Width(value, entry), settings_room)
            << base << " " << label << " " << value;
      }
    }
    for (const char* key : {"tCompleteRETRY", "tCompleteMENU", "tCompleteNEXT"}) {
      EXPECT_LE(meter.Width(text(key), entry), complete_room) << base << " " << key;
    }
    EXPECT_LE(meter.Width(text("tStartTIME") + " 99:59", card), kWidth / 4) << base;
    for (const languages::Group& group : file.groups) {
      if (group.name != languages::kTitlesGroup) continue;
      for (const languages::Entry& title : group.entries) {
        EXPECT_LE(meter.Width(title.value, card), kWidth / 4 - 20) << base << " " << title.key;
      }
    }
    EXPECT_LE(meter.Width(text("tQuitYES") + text("tQuitNO"), entry), kWidth / 2 - 40) << base;
  }
}

}  // namespace
