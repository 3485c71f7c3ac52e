#include "runtime/data/files.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/runtime.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"

namespace {

std::vector<Text> ReadAllLines(const std::string& path) {
  std::vector<Text> lines;
  const int64_t file = file_open_read(kNewObject, text_from_utf8(path));
  EXPECT_NE(file, 0);
  while (!file_eof(file)) lines.push_back(file_read_line(file));
  file_close(file);
  return lines;
}

}  // namespace

TEST(Files, LineEndsOfEveryKindReadAsTheSameLines) {
  TempFolder folder;
  const std::vector<Text> expected = {u"one", u"two", u"", u"four"};
  for (const char* bytes : {"one\ntwo\n\nfour", "one\r\ntwo\r\n\r\nfour\r\n", "one\rtwo\r\rfour\r"}) {
    EXPECT_EQ(ReadAllLines(folder.Write("lines.txt", bytes)), expected) << bytes;
  }
}

TEST(Files, ZeroByteEndsALineAndCrKeepsTheNextByte) {
  TempFolder folder;
  EXPECT_EQ(ReadAllLines(folder.Write("zero.txt", std::string("ab\0cd\rx", 7))),
            (std::vector<Text>{u"ab", u"cd", u"x"}));
}

TEST(Files, Utf8IsDecodedAndInvalidBytesReadAsQuestionMarks) {
  TempFolder folder;
  // e-acute, an emoji (a surrogate pair), a stray 0xFF, a lead byte cut short by the line end.
  const std::string path = folder.Write("utf8.txt", "\xC3\xA9\xF0\x9F\x98\x80|\xFF|\xE2\x82\nnext");
  const std::vector<Text> lines = ReadAllLines(path);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], Text(u"\u00E9\U0001F600|?|?"));
  EXPECT_EQ(lines[1], u"next");
}

TEST(Files, OverLongSequencesReadAsQuestionMarksNotAsTheCharactersTheySpell) {
  TempFolder folder;
  // A NUL in two bytes, a "/" in three, a "." in four; then a proper two-byte letter.
  const std::string path = folder.Write("overlong.txt", "a\xC0\x80" "b\xE0\x80\xAF" "c\xF0\x80\x80\xAE" "d\xC3\xA9");
  EXPECT_EQ(ReadAllLines(path), (std::vector<Text>{u"a?b?c?d\u00E9"}));
}

TEST(Files, FileLinesNamesAndTheEnvironmentDecodeUtf8AsTextConversionDoes) {
  TempFolder folder;
  for (const std::string bytes : {"\xC3\xA9t\xC3\xA9", "a\xC0\xAF" "b", "\xED\xA0\x80" "c", "d\xE2\x82" "e\xFF",
                                  "\xF4\x90\x80\x80" "f\xF0\x9F\x98\x80"}) {
    SCOPED_TRACE(testing::PrintToString(bytes));
    const Text expected = text_from_utf8(bytes);
    EXPECT_EQ(ReadAllLines(folder.Write("line.txt", bytes + "\n")), std::vector<Text>{expected});
    setenv("CRATEVALE_TEST_VALUE", bytes.c_str(), 1);
    EXPECT_EQ(environment_variable(u"CRATEVALE_TEST_VALUE"), expected);
    const std::string name = "x" + bytes;
    folder.Write(name, "");
    const int64_t listing = directory_examine(kNewObject, text_from_utf8(folder.path()), u"x*");
    ASSERT_NE(listing, 0);
    ASSERT_EQ(directory_next_entry(listing), 1);
    EXPECT_EQ(directory_entry_name(listing), u"x" + expected);
    directory_finish(listing);
    std::remove((folder.path() + name).c_str());
  }
  unsetenv("CRATEVALE_TEST_VALUE");
}

TEST(Files, RefusedOrFailedWritesReportFailureAndLeaveTheFileAsItWas) {
  TempFolder folder;
  const std::string path = folder.Write("keep.txt", "precious\n");
  for (int64_t number : {int64_t{-2}, kMaxObjectNumber + 1}) {
    EXPECT_EQ(file_create(number, text_from_utf8(path)), 0) << number;
    EXPECT_EQ(folder.Read("keep.txt"), "precious\n") << number;
  }
  const int64_t file = file_open_read(kNewObject, text_from_utf8(path));
  ASSERT_NE(file, 0);
  EXPECT_EQ(file_write_line(file, u"over"), 0);
  file_close(file);
  EXPECT_EQ(folder.Read("keep.txt"), "precious\n");
}

TEST(Files, WrittenLinesEndInOneLineFeedAndReachTheDiskOnClose) {
  TempFolder folder;
  const Text path = text_from_utf8(folder.path() + "out.txt");
  const int64_t file = file_create(kNewObject, path);
  ASSERT_NE(file, 0);
  EXPECT_EQ(file_write_line(file, u"Gr\u00FC\u00DFe"), 1);
  EXPECT_EQ(file_write_line(file, u""), 1);
  file_close(file);
  EXPECT_EQ(folder.Read("out.txt"), "Gr\xC3\xBC\xC3\x9F" "e\n\n");
  EXPECT_EQ(file_write_line(file, u"closed"), 0);
  EXPECT_EQ(file_is_open(file), 0);
}

TEST(Files, NumberedFilesAreReplacedAndClosedTogether) {
  TempFolder folder;
  const Text a = text_from_utf8(folder.path() + "a.txt");
  const Text b = text_from_utf8(folder.path() + "b.txt");
  ASSERT_NE(file_create(3, a), 0);
  file_write_line(3, u"first");
  ASSERT_NE(file_create(3, b), 0);  // reusing the number closes (and flushes) a.txt
  EXPECT_EQ(folder.Read("a.txt"), "first\n");
  file_write_line(3, u"second");
  file_close(kAllObjects);
  EXPECT_EQ(folder.Read("b.txt"), "second\n");
  EXPECT_EQ(file_create(7, text_from_utf8(folder.path() + "missing/x.txt")), 0);
  EXPECT_EQ(file_is_open(7), 0);
}

TEST(Files, SizesOfFoldersMissingAndEmptyFiles) {
  TempFolder folder;
  folder.Write("empty", "");
  EXPECT_EQ(file_size(text_from_utf8(folder.path())), -2);
  EXPECT_EQ(file_size(text_from_utf8(folder.path() + "nothing")), -1);
  EXPECT_EQ(file_size(text_from_utf8(folder.path() + "empty")), 0);
  const Text sub = text_from_utf8(folder.path() + "sub");
  EXPECT_EQ(directory_create(sub), 1);
  EXPECT_EQ(directory_create(sub), 0);
  EXPECT_EQ(file_delete(text_from_utf8(folder.path() + "empty")), 1);
  EXPECT_EQ(file_delete(text_from_utf8(folder.path() + "empty")), 0);
}

TEST(Files, DirectoryPatternsMatchNamesWithAndWithoutDots) {
  TempFolder folder;
  folder.Write("en_GB.language", "");
  folder.Write("README", "");
  folder.Write("de_DE.language", "");
  auto list = [&](const Text& pattern) {
    std::vector<Text> names;
    const int64_t dir = directory_examine(kNewObject, text_from_utf8(folder.path()), pattern);
    EXPECT_NE(dir, 0);
    while (directory_next_entry(dir)) names.push_back(directory_entry_name(dir));
    directory_finish(dir);
    std::sort(names.begin(), names.end());
    return names;
  };
  EXPECT_EQ(list(u"*.language"), (std::vector<Text>{u"de_DE.language", u"en_GB.language"}));
  EXPECT_EQ(list(u"*.*"), (std::vector<Text>{u".", u"..", u"README", u"de_DE.language", u"en_GB.language"}));
  EXPECT_EQ(list(u""), list(u"*"));
  EXPECT_EQ(directory_examine(kNewObject, text_from_utf8(folder.path() + "none"), u"*"), 0);
}

TEST(Files, PathParts) {
  struct Case { const char16_t* path; const char16_t* folder; const char16_t* bare; const char16_t* ext; };
  const Case cases[] = {
      {u"/games/lang/en_GB.language", u"/games/lang/", u"en_GB", u"language"},
      {u"shot.png", u"", u"shot", u"png"},
      {u"/home/user/.hidden", u"/home/user/", u"", u""},
      {u"/a.b/name", u"/a.b/", u"name", u""},
      {u"noext", u"", u"noext", u""},
      {u"trailing.", u"", u"trailing.", u""},
      {u"\"/quoted/file.txt\" extra", u"/quoted/", u"file", u"txt"},
      {u".profile", u"", u"", u""},
      {u"my file.tar gz", u"", u"my file.tar gz", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(text_to_utf8(c.path));
    EXPECT_EQ(path_part(c.path), c.folder);
    EXPECT_EQ(file_part(c.path, kWithoutExtension), c.bare);
    EXPECT_EQ(extension_part(c.path), c.ext);
  }
  EXPECT_EQ(file_part(u"/x/en_GB.language", 0), u"en_GB.language");
}

TEST(Files, ArgumentsRunOutIntoEmptyTexts) {
  char program[] = "cratevale", log[] = "/LOG", other[] = "x";
  char* argv[] = {program, log, other};
  program_set_arguments(3, argv);
  EXPECT_EQ(program_parameter_count(), 2);
  EXPECT_EQ(program_parameter(), u"/LOG");
  EXPECT_EQ(program_parameter(), u"x");
  EXPECT_EQ(program_parameter(), u"");
  EXPECT_EQ(program_parameter(), u"");
}

TEST(Files, LocationsAndEnvironment) {
  setenv("HOME", "/home/keeper", 1);
  EXPECT_EQ(home_directory(), u"/home/keeper/");
  setenv("HOME", "/", 1);
  EXPECT_EQ(home_directory(), u"/");
  unsetenv("HOME");
  EXPECT_EQ(home_directory(), u"");
  setenv("CRATEVALE_TEST_VALUE", "\xC3\xA9t\xC3\xA9", 1);
  EXPECT_EQ(environment_variable(u"CRATEVALE_TEST_VALUE"), u"\u00E9t\u00E9");
  EXPECT_EQ(environment_variable(u"CRATEVALE_TEST_UNSET"), u"");
  EXPECT_EQ(temporary_directory(), u"/tmp/");
  EXPECT_NE(program_filename().find(u"test_runtime_data"), Text::npos);
}

TEST(Dates, MakeValidatesEveryField) {
  EXPECT_EQ(date_make(1970, 1, 1, 1, 2, 3), 3723);
  EXPECT_NE(date_make(2024, 2, 29, 0, 0, 0), -1);
  EXPECT_EQ(date_make(2023, 2, 29, 0, 0, 0), -1);
  EXPECT_NE(date_make(2000, 2, 29, 0, 0, 0), -1);
  EXPECT_EQ(date_make(2100, 1, 1, 0, 0, 0), -1);
  EXPECT_EQ(date_make(2038, 1, 19, 3, 14, 7), 2147483647);
  EXPECT_EQ(date_make(2038, 1, 19, 3, 14, 8), -1);
  EXPECT_EQ(date_make(1969, 12, 31, 23, 59, 59), -1);
  EXPECT_EQ(date_make(2024, 4, 31, 0, 0, 0), -1);
  EXPECT_EQ(date_make(2024, 2, 30, 0, 0, 0), -1);
  EXPECT_EQ(date_make(2024, 13, 1, 0, 0, 0), -1);
  EXPECT_EQ(date_make(2024, 1, 1, 24, 0, 0), -1);
  EXPECT_EQ(date_make(2024, 1, 1, 0, 60, 0), -1);
  EXPECT_EQ(date_make(2024, 1, 1, 0, 0, 60), -1);
}

TEST(Dates, FormatTokensInEitherCase) {
  const int64_t date = date_make(2026, 3, 9, 7, 5, 30);
  EXPECT_EQ(date_format(u"%yyyy-%mm-%dd--%hh-%ii-%ss", date), u"2026-03-09--07-05-30");
  EXPECT_EQ(date_format(u"%DD-%MM-%YYYY %HH-%II-%SS", date), u"09-03-2026 07-05-30");
  EXPECT_EQ(date_format(u"%yy %yyy 100% %q %", date), u"26 26y 100% %q %");
  EXPECT_EQ(date_format(u"%yyyy-%mm-%dd", -1), u"0000-00-00");
}

TEST(Dates, NowFormatsBackToTheLocalClock) {
  const int64_t now = date_now();
  ASSERT_NE(now, -1);
  const time_t t = std::time(nullptr);
  struct tm local;
  localtime_r(&t, &local);
  EXPECT_EQ(str_to_int(date_format(u"%yyyy", now)), local.tm_year + 1900);
  EXPECT_EQ(str_to_int(date_format(u"%hh", now)), local.tm_hour);
}

TEST(Clock, ElapsedStartsWithinTheFirstSecondAndDelaysWait) {
  const int64_t first = elapsed_ms();
  EXPECT_GE(first, 0);
  EXPECT_LT(first, 1000);
  delay_ms(20);
  EXPECT_GE(elapsed_ms() - first, 19);
}

TEST(System, FiguresAreSane) {
  EXPECT_GE(cpu_count(0), 1);
  EXPECT_GE(cpu_count(1), 1);
  EXPECT_GT(memory_status(0), 0);
  EXPECT_GE(memory_status(0), memory_status(1));
  EXPECT_EQ(memory_status(6), 4096);
  EXPECT_EQ(memory_status(3), 0);
  EXPECT_EQ(os_version(), 2000);
  const Text name = cpu_name();
  if (!name.empty()) {
    EXPECT_NE(name[0], u' ');
  }
}

TEST(Files, ReplacingSavesWholeFilesWhereverTheyMayBeWritten) {
  TempFolder folder;
  const std::string existing = folder.Write("old.txt", "old contents, longer than the new");
  const std::string fresh = folder.path() + "new.txt";
  EXPECT_EQ(file_replaceable(text_from_utf8(existing)), 1);
  EXPECT_EQ(file_replace(text_from_utf8(existing), "new"), 1);
  EXPECT_EQ(folder.Read("old.txt"), "new");
  EXPECT_EQ(file_replace(text_from_utf8(fresh), std::string_view("a\0b", 3)), 1);
  EXPECT_EQ(folder.Read("new.txt"), std::string("a\0b", 3));
  EXPECT_EQ(file_replace(text_from_utf8(fresh), ""), 1);
  EXPECT_EQ(folder.Read("new.txt"), "");
  // Nothing that is not a regular file in a folder that exists is ever replaced.
  for (const std::string& path : {folder.path() + "missing/x.txt", folder.path(), std::string()}) {
    EXPECT_EQ(file_replaceable(text_from_utf8(path)), 0) << path;
    EXPECT_EQ(file_replace(text_from_utf8(path), "x"), 0) << path;
  }
}

// The in-place rewrite of a folder that takes no new files, under a file-size limit of 1024
// bytes: a file is either rewritten whole or left exactly as it was, never part new, part old.
TEST(Files, RewritingInPlaceNeverLeavesAFilePartOldPartNew) {
  struct Case {
    size_t old_size, new_size;
    bool saved;
  } cases[] = {
      {1080, 1100, false},  // longer than the limit and than the old file
      {1080, 1050, false},  // shorter than the old file, still beyond the limit
      {100, 2000, false},   // growing past the limit
      {1080, 900, true},    // within the limit: the old file was longer
      {500, 1000, true},    // growing within the limit
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.old_size) + " -> " + std::to_string(c.new_size));
    TempFolder folder;
    const std::string old_bytes(c.old_size, 'o');
    const std::string new_bytes(c.new_size, 'n');
    const std::string path = folder.Write("locked/results", old_bytes);
    const std::string locked = folder.path() + "locked";
    chmod(path.c_str(), 0666);
    chmod(locked.c_str(), 0555);
    EXPECT_TRUE(RunUnprivileged(
        folder.path(), [&] { return file_replace(text_from_utf8(path), new_bytes) == (c.saved ? 1 : 0); }, 1024));
    chmod(locked.c_str(), 0755);
    EXPECT_EQ(folder.Read("locked/results"), c.saved ? new_bytes : old_bytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(locked), std::filesystem::directory_iterator()), 1);
  }
}

TEST(Files, TemporaryFilesBesideATargetAreRenamedOverIt) {
  TempFolder folder;
  const Text target = text_from_utf8(folder.path() + "Cratevale 01-02-2026 10-11-12.png");
  const Text first = file_temporary_beside(target), second = file_temporary_beside(target);
  ASSERT_FALSE(first.empty());
  EXPECT_NE(first, second);
  EXPECT_EQ(path_part(first), text_from_utf8(folder.path()));
  const std::string name = text_to_utf8(file_part(first, 0));
  EXPECT_EQ(name.rfind(".Cratevale 01-02-2026 10-11-12.png.", 0), 0u) << name;
  EXPECT_EQ(name.size(), std::string(".Cratevale 01-02-2026 10-11-12.png.").size() + 6);
  struct stat info;
  ASSERT_EQ(stat(text_to_utf8(first).c_str(), &info), 0);
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);  // as a file made under its own name
  EXPECT_EQ(file_rename(first, target), 1);
  EXPECT_EQ(file_size(target), 0);
  EXPECT_EQ(file_size(first), -1);
  EXPECT_TRUE(file_temporary_beside(text_from_utf8(folder.path() + "missing/x.png")).empty());
}

TEST(Files, LastLinesWithAndWithoutTheirLineEnd) {
  TempFolder folder;
  for (const std::string& bytes : {std::string("12\n34"), std::string("12\r\n34\r\n")}) {
    const int64_t file = file_open_read(kNewObject, text_from_utf8(folder.Write("lines", bytes)));
    EXPECT_EQ(file_read_line(file), u"12");
    EXPECT_EQ(file_line_ended(file), 1);
    EXPECT_EQ(file_read_line(file), u"34");
    EXPECT_EQ(file_line_ended(file), bytes.back() == '\n' ? 1 : 0);
    file_close(file);
  }
}

// The lock of a save folder: one holder at a time, within one process as between processes; the
// system drops it with a process that is killed; a folder that takes no new files is locked
// itself.
TEST(Files, LocksHaveOneHolderAndDieWithTheirProcess) {
  TempFolder folder;
  const Text path = text_from_utf8(folder.path() + "game.lock");
  const int lock = file_lock(path);
  ASSERT_GE(lock, 0);
  EXPECT_EQ(file_lock(path), kLockHeld);
  file_unlock(lock);

  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t holder = fork();
  if (holder == 0) {
    const char taken = file_lock(path) >= 0 ? 1 : 0;
    write(ready[1], &taken, 1);
    pause();
    _exit(0);
  }
  char taken = 0;
  ASSERT_EQ(read(ready[0], &taken, 1), 1);
  EXPECT_EQ(taken, 1);
  EXPECT_EQ(file_lock(path), kLockHeld);
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  close(ready[0]);
  close(ready[1]);
  const int again = file_lock(path);
  EXPECT_GE(again, 0);
  file_unlock(again);

  const std::string locked = folder.path() + "locked";
  mkdir(locked.c_str(), 0555);
  EXPECT_TRUE(RunUnprivileged(folder.path(), [&] {
    const Text inside = text_from_utf8(locked + "/game.lock");
    const int first = file_lock(inside);
    return first >= 0 && file_lock(inside) == kLockHeld && !std::filesystem::exists(locked + "/game.lock");
  }));
  EXPECT_EQ(file_lock(text_from_utf8(folder.path() + "missing/game.lock")), kLockUnavailable);
}
