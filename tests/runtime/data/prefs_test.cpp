#include "runtime/data/prefs.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <string>

#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"

namespace {

const std::string kMark = "\xEF\xBB\xBF\n";

Text Path(const std::string& path) { return text_from_utf8(path); }

// Every group and key as the enumeration sees them: "k=v" for keys, "[g]" for groups, joined
// by "|". Keys before the first group come first.
std::string Enumerate() {
  std::string out;
  auto add = [&out](const std::string& item) { out += (out.empty() ? "" : "|") + item; };
  prefs_examine_groups();
  prefs_examine_keys();
  while (prefs_next_key()) add(text_to_utf8(prefs_key_name() + u"=" + prefs_key_value()));
  while (prefs_next_group()) {
    add("[" + text_to_utf8(prefs_group_name()) + "]");
    prefs_examine_keys();
    while (prefs_next_key()) add(text_to_utf8(prefs_key_name() + u"=" + prefs_key_value()));
  }
  return out;
}

// Opens the bytes as a file, rewrites it by writing one key again with its own spelling and
// value, and returns the file as written.
std::string Rewrite(const TempFolder& folder, const std::string& bytes, const Text& group,
                    const Text& key) {
  const std::string path = folder.Write("rewrite.prefs", bytes);
  EXPECT_NE(prefs_open(Path(path)), 0);
  EXPECT_EQ(prefs_select_group(group), 1);
  prefs_write_string(key, prefs_read_string(key));
  EXPECT_EQ(prefs_close(), 1);
  return folder.Read("rewrite.prefs");
}

int FileCount(const std::string& folder) {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

class PrefsTest : public testing::Test {
 protected:
  void TearDown() override { prefs_close(); }
  TempFolder folder;
};

TEST_F(PrefsTest, SaveWritesTheExactLayoutForEveryOption) {
  struct Case {
    int options;
    std::string expected;
  } cases[] = {
      {0, kMark + "; Top\n[One]\nName = Ann\nCount = 3\n[Two]\nCount = -4\n"},
      {kPrefsNoSpaces, kMark + "; Top\n[One]\nName=Ann\nCount=3\n[Two]\nCount=-4\n"},
      {kPrefsBlankBeforeGroup, kMark + "; Top\n[One]\nName = Ann\nCount = 3\n\n[Two]\nCount = -4\n"},
  };
  for (const Case& c : cases) {
    ASSERT_NE(prefs_create(Path(folder.path() + "layout.prefs"), c.options), 0);
    EXPECT_EQ(prefs_write_comment(u"Top"), 1);
    EXPECT_EQ(prefs_select_group(u"One"), 0);
    prefs_write_string(u"Name", u"Ann");
    prefs_write_int(u"Count", 3);
    EXPECT_EQ(prefs_select_group(u"Two"), 0);
    prefs_write_int(u"Count", -4);
    EXPECT_EQ(prefs_close(), 1);
    EXPECT_EQ(folder.Read("layout.prefs"), c.expected) << "options " << c.options;
  }
}

TEST_F(PrefsTest, CreatedFileWithNothingWrittenStillGetsItsMark) {
  ASSERT_NE(prefs_create(Path(folder.path() + "empty.prefs")), 0);
  EXPECT_EQ(prefs_close(), 1);
  EXPECT_EQ(folder.Read("empty.prefs"), kMark);
}

TEST_F(PrefsTest, MissingFileCollectsWritesAndIsCreatedWithMarkAtClose) {
  EXPECT_EQ(prefs_open(Path(folder.path() + "new.prefs")), 0);
  EXPECT_EQ(prefs_read_int(u"Music", 5), 5);
  prefs_write_int(u"Music", 0);
  EXPECT_EQ(prefs_close(), 1);
  EXPECT_EQ(folder.Read("new.prefs"), kMark + "Music = 0\n");
}

TEST_F(PrefsTest, UnmodifiedFileIsNotRewritten) {
  const std::string bytes = "[G]\r\nkey=value  \r\n";
  const std::string path = folder.Write("keep.prefs", bytes);
  ASSERT_NE(prefs_open(Path(path)), 0);
  EXPECT_EQ(prefs_select_group(u"G"), 1);
  EXPECT_EQ(prefs_read_string(u"key"), u"value");
  prefs_close();
  EXPECT_EQ(folder.Read("keep.prefs"), bytes);
}

TEST_F(PrefsTest, ZeroLengthFileIsWrittenBackWithoutMarkUnlessItNeedsOne) {
  // Plain ASCII reads back the same either way; anything beyond it would be taken for Latin-1
  // on the next read without a mark.
  EXPECT_EQ(Rewrite(folder, "", u"", u"Key"), "Key = \n");
  const std::string path = folder.Write("zero.prefs", "");
  ASSERT_NE(prefs_open(Path(path)), 0);
  prefs_write_string(u"Name", u"Zoë");
  prefs_close();
  EXPECT_EQ(folder.Read("zero.prefs"), kMark + "Name = Zo\xC3\xAB\n");
  ASSERT_NE(prefs_open(Path(path)), 0);
  EXPECT_EQ(prefs_read_string(u"Name"), u"Zoë");
}

TEST_F(PrefsTest, Latin1FileReadsAsLatin1AndIsWrittenBackAsUtf8WithMark) {
  EXPECT_EQ(Rewrite(folder, "[G]\ncaf\xE9=cr\xE8me\n", u"G", u"caf\u00e9"),
            kMark + "[G]\ncaf\xC3\xA9 = cr\xC3\xA8me\n");
  EXPECT_EQ(prefs_open(Path(folder.path() + "rewrite.prefs")), 1);
  EXPECT_EQ(Enumerate(), "[G]|caf\xC3\xA9=cr\xC3\xA8me");
}

// The same bytes parse the same way from a file and from memory.
TEST_F(PrefsTest, FilesAndMemoryBlocksParseAlike) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string expected;
  } cases[] = {
      {"LF", "[A]\nx=1\ny=2\n", "[A]|x=1|y=2"},
      {"CR LF", "[A]\r\nx=1\r\ny=2\r\n", "[A]|x=1|y=2"},
      {"CR", "[A]\rx=1\ry=2", "[A]|x=1|y=2"},
      {"blank lines and blanks only", "\n  \t\n[A]\n\n\t \r\nx=1\n", "[A]|x=1"},
      {"blanks around key and value", "[A]\n \t key \t =  \t value \t \n", "[A]|key=value"},
      {"no equals sign, LF", "[A]\nlonely\nx=1\n", "[A]|lonely=|x=1"},
      {"no equals sign, CR LF", "[A]\r\nlonely\r\nx=1\r\n", "[A]|lonely=|x=1"},
      {"empty key name", "=value\n", "=value"},
      {"second equals sign is part of the value", "a=b=c\n", "a=b=c"},
      {"semicolon inside a value", "a=b;c\n", "a=b;c"},
      {"keys before the first group", "x=1\n; note\n[A]\ny=2\n", "x=1|[A]|y=2"},
      {"comments are not keys", "[A]\n;x=1\n  ; y=2\ny=3\n", "[A]|y=3"},
      {"group without closing bracket", "[Open group\nx=1\n", "[Open group]|x=1"},
      {"text after the closing bracket", "[A] trailing ] text\nx=1\n", "[A]|x=1"},
      {"blanks inside brackets belong to the name", "[ A ]\nx=1\n", "[ A ]|x=1"},
      {"empty group name", "[]\nx=1\n", "[]|x=1"},
      {"zero byte stays inside its line", std::string("a=b\0c\nd=e\n", 10), std::string("a=b\0c|d=e", 9)},
  };
  for (const Case& c : cases) {
    const std::string with_mark = "\xEF\xBB\xBF" + c.bytes;
    ASSERT_NE(prefs_open_memory(reinterpret_cast<const uint8_t*>(with_mark.data()),
                                static_cast<int64_t>(with_mark.size())), 0);
    EXPECT_EQ(Enumerate(), c.expected) << c.name << " (memory)";
    ASSERT_NE(prefs_open(Path(folder.Write("parse.prefs", with_mark))), 0);
    EXPECT_EQ(Enumerate(), c.expected) << c.name << " (file)";
  }
}

TEST_F(PrefsTest, OnlyAWholeMarkMakesAFileUtf8) {
  // Two bytes of a mark are two Latin-1 letters.
  ASSERT_NE(prefs_open(Path(folder.Write("two.prefs", "\xEF\xBB"))), 0);
  EXPECT_EQ(Enumerate(), "\xC3\xAF\xC2\xBB=");
  // A mark alone is an empty UTF-8 file, and stays one with a mark.
  EXPECT_EQ(Rewrite(folder, "\xEF\xBB\xBF", u"", u"k"), kMark + "k = \n");
}

TEST_F(PrefsTest, MemoryBlockIsReadOnlyAndRejectsBadArguments) {
  EXPECT_EQ(prefs_open_memory(nullptr, 4), 0);
  EXPECT_EQ(prefs_open_memory(nullptr, -1), 0);
  EXPECT_EQ(prefs_read_int(u"x", 9), 9);  // nothing is held after a refused block
  EXPECT_NE(prefs_open_memory(nullptr, 0), 0);
  const std::string bytes = "x=1\n";
  ASSERT_NE(prefs_open_memory(reinterpret_cast<const uint8_t*>(bytes.data()), 4), 0);
  prefs_write_int(u"x", 2);
  EXPECT_EQ(prefs_read_int(u"x", 0), 2);
  EXPECT_EQ(prefs_close(), 0);  // the write had nowhere to go
  EXPECT_EQ(FileCount(folder.path()), 0);
}

TEST_F(PrefsTest, RewriteNormalisesBlanksButKeepsTrailingBlanksOfValues) {
  EXPECT_EQ(Rewrite(folder, "\xEF\xBB\xBF  \tkey \t=   value  \n", u"", u"other"),
            kMark + "key = value  \nother = \n");
}

TEST_F(PrefsTest, CommentsKeepAllButOneBlankAfterTheSemicolon) {
  EXPECT_EQ(Rewrite(folder, "\xEF\xBB\xBF;tight\n;  two blanks\n; one\n[G]\n", u"G", u"k"),
            kMark + "; tight\n;  two blanks\n; one\n[G]\nk = \n");
}

TEST_F(PrefsTest, IntegersReadLikeTheCLibrary) {
  struct Case {
    const char* value;
    int32_t expected;
  } cases[] = {
      {"12abc", 12}, {"abc", 0},  {"-7", -7},       {"+5", 5},     {"", 0},
      {"0x1F", 0},   {"007", 7},  {"2147483647", 2147483647},      {"4294967297", 1},
      {"- 3", 0},    {"3 4", 3},
  };
  for (const Case& c : cases) {
    const std::string bytes = std::string("\xEF\xBB\xBF[G]\nn=") + c.value + "\n";
    ASSERT_NE(prefs_open_memory(reinterpret_cast<const uint8_t*>(bytes.data()),
                                static_cast<int64_t>(bytes.size())), 0);
    prefs_select_group(u"G");
    EXPECT_EQ(prefs_read_int(u"n", 99), c.expected) << c.value;
    EXPECT_EQ(prefs_read_int(u"missing", 99), 99);
  }
}

TEST_F(PrefsTest, MissingGroupReadsDefaultsAndTwoWritesAppendItAtTheEnd) {
  const std::string path = folder.Write("g.prefs", "\xEF\xBB\xBF[A]\nx = 1\n");
  ASSERT_NE(prefs_open(Path(path)), 0);
  EXPECT_EQ(prefs_select_group(u"B"), 0);
  EXPECT_EQ(prefs_read_int(u"x", 42), 42);  // x of group A is not in B
  EXPECT_EQ(prefs_read_string(u"x", u"none"), u"none");
  EXPECT_EQ(prefs_examine_keys(), 0);
  prefs_write_int(u"second", 2);
  prefs_write_int(u"first", 1);
  prefs_close();
  EXPECT_EQ(folder.Read("g.prefs"), kMark + "[A]\nx = 1\n[B]\nsecond = 2\nfirst = 1\n");
}

TEST_F(PrefsTest, NewKeysGoAtTheEndOfTheirGroup) {
  const std::string path = folder.Write("k.prefs", "\xEF\xBB\xBFtop=1\n[A]\na=1\n; about B\n[B]\nb=1\n");
  ASSERT_NE(prefs_open(Path(path)), 0);
  prefs_select_group(u"a");
  prefs_write_int(u"a2", 2);
  prefs_select_group(u"");
  prefs_write_int(u"top2", 2);
  prefs_select_group(u"B");
  prefs_write_int(u"b2", 2);
  prefs_close();
  EXPECT_EQ(folder.Read("k.prefs"),
            kMark + "top = 1\ntop2 = 2\n[A]\na = 1\n; about B\na2 = 2\n[B]\nb = 1\nb2 = 2\n");

  // Before a leading group header, a key without a group goes to the very start.
  ASSERT_NE(prefs_open(Path(folder.Write("k.prefs", "\xEF\xBB\xBF[A]\na=1\n"))), 0);
  prefs_write_int(u"top", 1);
  prefs_close();
  EXPECT_EQ(folder.Read("k.prefs"), kMark + "top = 1\n[A]\na = 1\n");
}

TEST_F(PrefsTest, NamesMatchWithoutCaseAndTakeTheSpellingOfTheLastWrite) {
  const std::string path = folder.Write("c.prefs", "\xEF\xBB\xBF[Settings]\nMusic = 0\n");
  ASSERT_NE(prefs_open(Path(path)), 0);
  EXPECT_EQ(prefs_select_group(u"sETTINGS"), 1);
  EXPECT_EQ(prefs_read_int(u"music", 1), 0);
  prefs_write_int(u"MUSIC", 1);
  EXPECT_EQ(prefs_read_int(u"Music", 0), 1);
  // Only ASCII letters fold: an accented capital is another name.
  EXPECT_EQ(prefs_select_group(u"SETTINGS\u00c9"), 0);
  prefs_close();
  EXPECT_EQ(folder.Read("c.prefs"), kMark + "[Settings]\nMUSIC = 1\n");
}

TEST_F(PrefsTest, LineEndsInsideWrittenTextsCannotAddEntries) {
  ASSERT_NE(prefs_create(Path(folder.path() + "n.prefs")), 0);
  prefs_write_comment(u"two\nlines");
  prefs_select_group(u"G\r\n[H]");
  prefs_write_string(u"key\n[Evil]", u"x\r\n[Evil]\ny=1");
  prefs_close();
  EXPECT_EQ(folder.Read("n.prefs"), kMark + "; two lines\n[G  [H]]\nkey [Evil] = x  [Evil] y=1\n");
}

TEST_F(PrefsTest, CommentGoesAfterTheEntryLastWritten) {
  const std::string path = folder.Write("m.prefs", "\xEF\xBB\xBF[A]\na=1\nb=2\n");
  ASSERT_NE(prefs_open(Path(path)), 0);
  EXPECT_EQ(prefs_write_comment(u"first"), 1);  // no current entry: the very start
  prefs_select_group(u"A");
  prefs_write_int(u"a", 5);
  EXPECT_EQ(prefs_write_comment(u"after a"), 1);
  prefs_close();
  EXPECT_EQ(folder.Read("m.prefs"), kMark + "; first\n[A]\na = 5\n; after a\nb = 2\n");
}

TEST_F(PrefsTest, EnumerationStopsAtTheEndAndLeavesReadsWorking) {
  const std::string bytes = "\xEF\xBB\xBF[A]\na=1\n[B]\n[C]\nc=3\n";
  ASSERT_NE(prefs_open_memory(reinterpret_cast<const uint8_t*>(bytes.data()),
                              static_cast<int64_t>(bytes.size())), 0);
  EXPECT_EQ(Enumerate(), "[A]|a=1|[B]|[C]|c=3");
  EXPECT_EQ(prefs_next_group(), 0);
  EXPECT_EQ(prefs_next_group(), 0);
  EXPECT_EQ(prefs_group_name(), u"C");
  EXPECT_EQ(prefs_next_key(), 0);
  EXPECT_EQ(prefs_key_name(), u"c");
  EXPECT_EQ(prefs_read_int(u"c", 0), 3);
  prefs_select_group(u"B");
  EXPECT_EQ(prefs_key_name(), u"");  // a group header is not a key
  EXPECT_EQ(prefs_key_value(), u"");
}

TEST_F(PrefsTest, NothingHeldMakesEveryOperationDoNothing) {
  EXPECT_EQ(prefs_create(Path(folder.path() + "no/such/folder.prefs")), 0);
  EXPECT_EQ(prefs_select_group(u""), 0);
  EXPECT_EQ(prefs_read_int(u"x", 7), 7);
  EXPECT_EQ(prefs_read_string(u"x", u"d"), u"d");
  prefs_write_int(u"x", 1);
  EXPECT_EQ(prefs_write_comment(u"c"), 0);
  EXPECT_EQ(prefs_examine_groups(), 0);
  EXPECT_EQ(prefs_next_group(), 0);
  EXPECT_EQ(prefs_examine_keys(), 0);
  EXPECT_EQ(prefs_next_key(), 0);
  EXPECT_EQ(prefs_close(), 1);
  EXPECT_FALSE(std::filesystem::exists(folder.path() + "no"));
}

TEST_F(PrefsTest, OpeningAnotherFileWritesTheFirst) {
  ASSERT_NE(prefs_create(Path(folder.path() + "a.prefs")), 0);
  prefs_write_int(u"a", 1);
  EXPECT_EQ(prefs_open(Path(folder.path() + "b.prefs")), 0);
  EXPECT_EQ(folder.Read("a.prefs"), kMark + "a = 1\n");
}

TEST_F(PrefsTest, ReplacingKeepsSymbolicLinksAndFileModes) {
  const std::string target = folder.Write("real.prefs", "x=1\n");
  chmod(target.c_str(), 0640);
  const std::string link = folder.path() + "link.prefs";
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  ASSERT_NE(prefs_open(Path(link)), 0);
  prefs_write_int(u"x", 2);
  EXPECT_EQ(prefs_close(), 1);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(folder.Read("real.prefs"), kMark + "x = 2\n");
  struct stat info;
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(FileCount(folder.path()), 2);  // no temporary file left behind
}

TEST_F(PrefsTest, ReadOnlyFileIsReadAndKeepsItsContent) {
  // The folder takes new files: only the file itself is read-only.
  const std::string bytes = "[A]\nx=1\n";
  const std::string path = folder.Write("open/ro.prefs", bytes);
  chmod((folder.path() + "open").c_str(), 0777);
  chmod(path.c_str(), 0444);
  EXPECT_TRUE(RunUnprivileged(folder.path(), [&] {
    if (prefs_open(Path(path)) == 0) return false;
    prefs_select_group(u"A");
    const bool read = prefs_read_int(u"x", 0) == 1;
    prefs_write_int(u"x", 2);
    prefs_write_comment(u"lost");
    return read && prefs_close() == 0 && prefs_create(Path(path)) == 0;
  }));
  EXPECT_EQ(folder.Read("open/ro.prefs"), bytes);
  EXPECT_EQ(FileCount(folder.path() + "open"), 1);
}

// A shared folder that takes no new files, holding a preferences file the player may write:
// the save cannot go through a temporary file there, and rewrites the file in place.
TEST_F(PrefsTest, UnwritableFolderRewritesAWritableFileInPlace) {
  const std::string path = folder.Write("locked/shared.prefs", "[A]\nx=1\n; a comment longer than the file will be\n");
  const std::string locked = folder.path() + "locked";
  chmod(path.c_str(), 0666);
  chmod(locked.c_str(), 0555);
  EXPECT_TRUE(RunUnprivileged(folder.path(), [&] {
    if (prefs_open(Path(path)) == 0) return false;
    prefs_select_group(u"A");
    prefs_write_int(u"x", 2);
    if (prefs_close() != 1) return false;
    // Created afresh: the new text is shorter than the old, which must not linger after it.
    if (prefs_create(Path(path)) == 0) return false;
    prefs_select_group(u"A");
    prefs_write_int(u"x", 3);
    if (prefs_close() != 1) return false;
    // A file that does not exist yet cannot be made there.
    return prefs_create(Path(locked + "/new.prefs")) == 0;
  }));
  chmod(locked.c_str(), 0755);
  EXPECT_EQ(folder.Read("locked/shared.prefs"), kMark + "[A]\nx = 3\n");
  EXPECT_EQ(FileCount(locked), 1);
}

// A save that cannot write every byte reports failure, whichever way it goes: through a
// temporary file (the old file then stays as it was) or in place. The file-size limit makes the
// writes fail for real.
TEST_F(PrefsTest, SaveThatCannotWriteEveryByteFails) {
  const std::string old_bytes = "[A]\nx=1\n";
  for (const bool folder_writable : {true, false}) {
    SCOPED_TRACE(folder_writable);
    const std::string path = folder.Write("limited/big.prefs", old_bytes);
    const std::string limited = folder.path() + "limited";
    chmod(path.c_str(), 0666);
    chmod(limited.c_str(), folder_writable ? 0777 : 0555);
    const std::string long_value(200, 'v');
    EXPECT_TRUE(RunUnprivileged(
        folder.path(),
        [&] {
          if (prefs_open(Path(path)) == 0) return false;
          prefs_select_group(u"A");
          prefs_write_string(u"x", text_from_utf8(long_value));
          return prefs_close() == 0;
        },
        64));
    chmod(limited.c_str(), 0755);
    if (folder_writable) {
      EXPECT_EQ(folder.Read("limited/big.prefs"), old_bytes);
    }
    EXPECT_EQ(FileCount(limited), 1);
  }
}

}  // namespace
