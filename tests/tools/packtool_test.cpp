#include "tools/packtool/packtool_lib.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/data/pack.h"
#include "tests/support/pack_files.h"
#include "tests/support/temp_folder.h"

namespace {

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

ToolRun PackTool(const std::vector<std::string>& arguments) {
  std::ostringstream out, err;
  const int status = packtool_run(arguments, out, err);
  return {status, out.str(), err.str()};
}

std::string Noise(size_t size) {
  std::mt19937 random(7);
  std::string bytes;
  while (bytes.size() < size) bytes.push_back(static_cast<char>(random()));
  return bytes;
}

struct PackToolTest : testing::Test {
  TempFolder folder;
  std::string pack;
  std::string level = std::string(2000, '#') + "\n#  $ . @ #\n" + std::string(2000, '#');
  std::string noise = Noise(5000);

  void SetUp() override {
    pack = folder.path() + "out.pack";
    folder.Write("src/maps/level1.txt", level);
    folder.Write("src/maps.index", "index");
    folder.Write("src/Zed", "");
    folder.Write("src/music/noise.ogg", noise);
  }
};

}  // namespace

TEST_F(PackToolTest, CreateThenListShowsEveryFileSortedByteWiseWithItsSizes) {
  const ToolRun create = PackTool({"create", pack, folder.path() + "src"});
  ASSERT_EQ(create.status, 0) << create.err;
  const ToolRun list = PackTool({"list", pack});
  ASSERT_EQ(list.status, 0) << list.err;
  std::istringstream lines(list.out);
  std::vector<std::string> names;
  std::string name, unpacked, stored;
  while (std::getline(lines, name, '\t') && std::getline(lines, unpacked, '\t') && std::getline(lines, stored)) {
    names.push_back(name);
    if (name == "maps/level1.txt") {
      EXPECT_EQ(unpacked, std::to_string(level.size()));
      EXPECT_LT(std::stoll(stored), 200);  // compressed
    }
    if (name == "music/noise.ogg") {
      EXPECT_EQ(stored, "5000");  // compression would not pay
    }
    if (name == "Zed") {
      EXPECT_EQ(unpacked + "/" + stored, "0/0");
    }
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Zed", "maps.index", "maps/level1.txt", "music/noise.ogg"}));
}

TEST_F(PackToolTest, ExtractGivesBackEveryFileOrTheNamedOnes) {
  ASSERT_EQ(PackTool({"create", pack, folder.path() + "src"}).status, 0);
  ASSERT_EQ(PackTool({"extract", pack, folder.path() + "all"}).status, 0);
  EXPECT_EQ(folder.Read("all/maps/level1.txt"), level);
  EXPECT_EQ(folder.Read("all/music/noise.ogg"), noise);
  EXPECT_TRUE(std::filesystem::is_regular_file(folder.path() + "all/Zed"));

  ASSERT_EQ(PackTool({"extract", pack, folder.path() + "some", "maps.index"}).status, 0);
  EXPECT_EQ(folder.Read("some/maps.index"), "index");
  EXPECT_FALSE(std::filesystem::exists(folder.path() + "some/maps"));

  const ToolRun missing = PackTool({"extract", pack, folder.path() + "none", "maps.index", "MAPS.INDEX"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("MAPS.INDEX"), std::string::npos);
}

TEST_F(PackToolTest, OutputIsTheSameForTheSameFilesAndTheGameReadsIt) {
  ASSERT_EQ(PackTool({"create", pack, folder.path() + "src"}).status, 0);
  const std::string first = folder.Read("out.pack");
  ASSERT_EQ(PackTool({"create", pack, folder.path() + "src"}).status, 0);
  EXPECT_EQ(folder.Read("out.pack"), first);
  EXPECT_EQ(first.substr(0, 4), "2zlp");

  const int64_t handle = pack_open(kNewObject, text_from_utf8(pack), kPackerRuntime);
  MemoryBlock block;
  EXPECT_EQ(pack_extract_to_block(handle, u"maps/level1.txt", 1 << 20, &block), static_cast<int64_t>(level.size()));
  EXPECT_EQ(std::string(block.begin(), block.end()), level);
  pack_close(handle);
}

TEST_F(PackToolTest, APackWrittenIntoItsOwnFolderIsNotPackedIntoItself) {
  const std::string inside = folder.path() + "src/self.pack";
  ASSERT_EQ(PackTool({"create", inside, folder.path() + "src"}).status, 0);
  ASSERT_EQ(PackTool({"create", inside, folder.path() + "src"}).status, 0);
  EXPECT_EQ(PackTool({"list", inside}).out.find("self.pack"), std::string::npos);
}

TEST_F(PackToolTest, ZipPacksAreListedAndExtractedToo) {
  const std::string zip = folder.path() + "t.zip";
  ASSERT_TRUE(WriteZipFile(zip, {{"de/", ""}, {"de/de_DE.language", level}}));
  const ToolRun list = PackTool({"list", zip});
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(list.out.substr(0, list.out.find('\n') + 1), "de/\t0\t0\n");
  EXPECT_NE(list.out.find("de/de_DE.language\t" + std::to_string(level.size()) + "\t"), std::string::npos);
  ASSERT_EQ(PackTool({"extract", zip, folder.path() + "z"}).status, 0);
  EXPECT_EQ(folder.Read("z/de/de_DE.language"), level);
}

TEST_F(PackToolTest, EntryNamesThatLeadOutsideTheFolderAreRefused) {
  for (const char* name : {"../escaped", "/tmp/absolute", "a/../../escaped", "a//b", ""}) {
    ASSERT_EQ(packtool_write(pack, {{name, MemoryBlock{'x'}}}), "");
    const ToolRun run = PackTool({"extract", pack, folder.path() + "x/y"});
    EXPECT_EQ(run.status, 1) << name;
    EXPECT_NE(run.err.find("refusing"), std::string::npos) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(folder.path() + "x/escaped"));
  EXPECT_FALSE(std::filesystem::exists(folder.path() + "escaped"));
}

TEST_F(PackToolTest, FailuresExitNonZeroWithAMessage) {
  const std::vector<std::vector<std::string>> usage = {{}, {"create", pack}, {"list"}, {"extract", pack}, {"pack"}};
  for (const auto& arguments : usage) {
    const ToolRun run = PackTool(arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("usage"), std::string::npos);
  }
  const std::vector<std::vector<std::string>> failing = {
      {"create", pack, folder.path() + "no-such-folder"},
      {"create", folder.path() + "no/such/dir/x.pack", folder.path() + "src"},
      {"list", folder.path() + "missing.pack"},
      {"list", folder.Write("text.txt", "neither kind of pack")},
      {"list", folder.path() + "src"},
      {"extract", folder.path() + "missing.pack", folder.path() + "out"},
  };
  for (const auto& arguments : failing) {
    const ToolRun run = PackTool(arguments);
    EXPECT_EQ(run.status, 1) << arguments[0] << " " << arguments[1];
    EXPECT_NE(run.err.find("packtool: "), std::string::npos);
  }
}
