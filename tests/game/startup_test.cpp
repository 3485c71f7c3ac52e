// The per-user folder's path and the creation of a folder path.
#include "game/startup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "tests/support/temp_folder.h"

namespace {

// Sets HOME (or unsets it for nullopt) for the length of a test.
class HomeVariable {
 public:
  explicit HomeVariable(const std::optional<std::string>& value) {
    if (const char* old = std::getenv("HOME")) old_ = old;
    if (value) {
      setenv("HOME", value->c_str(), 1);
    } else {
      unsetenv("HOME");
    }
  }
  ~HomeVariable() {
    if (old_) {
      setenv("HOME", old_->c_str(), 1);
    } else {
      unsetenv("HOME");
    }
  }

 private:
  std::optional<std::string> old_;
};

TEST(UserDirPath, FollowsHome) {
  struct Case {
    std::optional<std::string> home;
    const char* path;
  } cases[] = {
      {"/home/ann", "/home/ann/.Torvelin game studio/Cratevale/"},
      {"/home/ann/", "/home/ann/.Torvelin game studio/Cratevale/"},
      {"/", "/.Torvelin game studio/Cratevale/"},
      {"h", "h/.Torvelin game studio/Cratevale/"},
      {"/home/Zoë", "/home/Zoë/.Torvelin game studio/Cratevale/"},
      {"", ".Torvelin game studio/Cratevale/"},
      {std::nullopt, ".Torvelin game studio/Cratevale/"},  // relative to the working folder
  };
  for (const Case& c : cases) {
    HomeVariable home(c.home);
    EXPECT_EQ(text_to_utf8(UserDirPath()), c.path) << (c.home ? *c.home : "(unset)");
  }
}

bool IsFolder(const std::string& path) { return std::filesystem::is_directory(path); }

int Mode(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 0777) : -1;
}

TEST(CreatePath, MakesEveryMissingFolderPrivately) {
  TempFolder folder;
  const std::string base = folder.path();
  struct Case {
    std::string path;
    int result;
    std::string made;  // a folder that must exist afterwards
  } cases[] = {
      {base + "one/two three/four/", 1, base + "one/two three/four"},
      {base + "one/two three/five", 1, base + "one/two three/five"},  // without the closing "/"
      {base + "one/two three/four/", 1, base + "one/two three/four"},  // already there
      {base + "a//b/", 1, base + "a/b"},
      {base + "file/inside/", 0, ""},  // a file stands where a folder should be
  };
  folder.Write("file", "not a folder");
  for (const Case& c : cases) {
    EXPECT_EQ(CreatePath(text_from_utf8(c.path)), c.result) << c.path;
    if (!c.made.empty()) {
      EXPECT_TRUE(IsFolder(c.made)) << c.path;
    }
  }
  EXPECT_EQ(Mode(base + "one"), 0700);
  EXPECT_EQ(Mode(base + "one/two three/four"), 0700);
}

TEST(CreatePath, ARelativePathIsMadeBelowTheWorkingFolder) {
  TempFolder folder;
  const std::filesystem::path old = std::filesystem::current_path();
  std::filesystem::current_path(folder.path());
  EXPECT_EQ(CreatePath(u".Torvelin game studio/Cratevale/"), 1);
  std::filesystem::current_path(old);
  EXPECT_TRUE(IsFolder(folder.path() + ".Torvelin game studio/Cratevale"));
}

}  // namespace
