#include "runtime/data/pack.h"

#include <gtest/gtest.h>

#include <clocale>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "runtime/data/block_codec.h"
#include "tests/support/pack_files.h"
#include "tests/support/temp_folder.h"
#include "tools/packtool/packtool_lib.h"

namespace {

constexpr int64_t kSmallBlock = 4096;

MemoryBlock Bytes(const std::string& text) { return MemoryBlock(text.begin(), text.end()); }

std::string AsString(const MemoryBlock& block) { return std::string(block.begin(), block.end()); }

// Data of the shapes a pack holds: long runs, text with repeats at many distances, noise.
MemoryBlock MakeData(const std::string& shape, int64_t size) {
  std::mt19937 random(static_cast<uint32_t>(size) * 31 + static_cast<uint32_t>(shape.size()));
  MemoryBlock data;
  static const char* const kWords[] = {"crate ", "keeper ", "wall ", "target ", "floor ", "push\n", "level "};
  while (static_cast<int64_t>(data.size()) < size) {
    if (shape == "zeros") {
      data.push_back(0);
    } else if (shape == "runs") {
      data.insert(data.end(), 1 + random() % 300, static_cast<uint8_t>(random() % 4));
    } else if (shape == "text") {
      const std::string word = kWords[random() % 7];
      data.insert(data.end(), word.begin(), word.end());
    } else {
      data.push_back(static_cast<uint8_t>(random()));
    }
  }
  data.resize(static_cast<size_t>(size));
  return data;
}

int64_t Decode(const MemoryBlock& container, MemoryBlock* out) {
  return block_container_decode(container.data(), static_cast<int64_t>(container.size()), out->data(),
                                static_cast<int64_t>(out->size()));
}

std::vector<std::string> EntryNames(int64_t pack) {
  std::vector<std::string> names;
  EXPECT_EQ(pack_examine(pack), 1);
  while (pack_next_entry(pack)) names.push_back(text_to_utf8(pack_entry_name(pack)));
  return names;
}

std::string ExtractToString(int64_t pack, const Text& name, int64_t buffer_size) {
  MemoryBlock buffer(static_cast<size_t>(buffer_size) + 1, 0xEE);
  const int64_t size = pack_extract_to_memory(pack, buffer.data(), buffer_size, name);
  return size < 0 ? "(failed)" : std::string(buffer.begin(), buffer.begin() + size);
}

struct PackFixture : testing::Test {
  TempFolder folder;
  std::vector<PackSource> sources;

  void SetUp() override {
    sources = {{"b/stored.bin", MakeData("random", 700)},
               {"a/compressed.txt", MakeData("text", 3000)},
               {"empty", {}},
               {"several.blocks", MakeData("runs", 3 * kSmallBlock + 5)},
               {"Z", Bytes("zz")}};
  }
  std::string Write(int version, const std::string& name = "test.pack") {
    const std::string path = folder.path() + name;
    EXPECT_EQ(packtool_write(path, sources, version, kSmallBlock), "");
    return path;
  }
};

}  // namespace

// ---- The block coder ----

TEST(BlockCodec, RoundTripsEverySizeAndShapeWithBlocksEndingExactlyWhereTheyAre) {
  const int64_t sizes[] = {0, 1, 2, 3, 4, 5, 17, kSmallBlock - 1, kSmallBlock, kSmallBlock + 1, 3 * kSmallBlock + 123};
  for (const char* shape : {"zeros", "runs", "text", "random"}) {
    for (int64_t size : sizes) {
      SCOPED_TRACE(std::string(shape) + " " + std::to_string(size));
      const MemoryBlock data = MakeData(shape, size);
      // Each block must take exactly its own bytes, or the next block would start in the wrong place.
      for (int64_t at = 0; at < size; at += kSmallBlock) {
        const int64_t length = std::min(kSmallBlock, size - at);
        const MemoryBlock block = block_encode(data.data() + at, length);
        MemoryBlock out(static_cast<size_t>(length));
        EXPECT_EQ(block_decode(block.data(), static_cast<int64_t>(block.size()), out.data(), length),
                  static_cast<int64_t>(block.size()));
        EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin() + at));
      }
      // Into a larger buffer whose bytes past the data must stay as they were.
      const MemoryBlock container = block_container_encode(data.data(), size, kSmallBlock);
      MemoryBlock out(static_cast<size_t>(size) + 32, 0xEE);
      EXPECT_EQ(Decode(container, &out), size);
      EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
      EXPECT_EQ(std::count(out.begin() + size, out.end(), 0xEE), 32);
    }
  }
}

TEST(BlockCodec, CompressesRepetitiveDataAndDoesNotInflateNoiseMuch) {
  const MemoryBlock text = MakeData("text", 100000);
  EXPECT_LT(block_encode(text.data(), 100000).size(), 30000u);
  const MemoryBlock noise = MakeData("random", 100000);
  EXPECT_LT(block_encode(noise.data(), 100000).size(), 100000u * 9 / 8 + 2);
}

TEST(BlockCodec, MatchLongerThanItsOffsetRepeatsTheLastByte) {
  // 'a', then a tag word 1 010100 00 ... (match; length gamma 8 -> 10; offset gamma 2) and the
  // offset byte 0: offset 1, length 10.
  const uint8_t block[] = {'a', 0x00, 0xA8, 0x00};
  uint8_t out[11];
  EXPECT_EQ(block_decode(block, sizeof block, out, sizeof out), 4);
  EXPECT_EQ(std::string(out, out + 11), std::string(11, 'a'));
}

TEST(BlockCodec, ANewTagWordIsReadWhereTheInputStandsWhenSixteenBitsAreUsed) {
  // First literal, a tag of 16 literal bits, 16 literals, a second tag, one more literal.
  std::vector<uint8_t> block = {'0', 0x00, 0x00};
  for (char c = 'a'; c < 'a' + 16; ++c) block.push_back(static_cast<uint8_t>(c));
  block.insert(block.end(), {0x00, 0x00, '!'});
  uint8_t out[18];
  EXPECT_EQ(block_decode(block.data(), static_cast<int64_t>(block.size()), out, sizeof out),
            static_cast<int64_t>(block.size()));
  EXPECT_EQ(std::string(out, out + 18), "0abcdefghijklmnop!");
}

TEST(BlockCodec, CorruptBlocksFailInsteadOfReachingOutside) {
  struct Case {
    const char* what;
    std::vector<uint8_t> block;
    int64_t out_size;
  };
  const Case cases[] = {
      {"offset before the block's start", {'a', 0x00, 0xA8, 0x01}, 11},
      {"match past the block's end", {'a', 0x00, 0xA8, 0x00}, 5},
      {"no tag word", {'a', 0x00}, 2},
      {"literal missing", {'a', 0x00, 0x00}, 2},
      {"offset byte missing", {'a', 0x00, 0xA8}, 11},
      {"endless gamma", {'a', 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 100},
      {"empty input", {}, 1},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> out(static_cast<size_t>(c.out_size));
    EXPECT_EQ(block_decode(c.block.data(), static_cast<int64_t>(c.block.size()), out.data(), c.out_size), -1)
        << c.what;
  }
}

TEST(BlockCodec, DamagedContainersFail) {
  const MemoryBlock data = MakeData("text", 2 * kSmallBlock + 100);
  const MemoryBlock good = block_container_encode(data.data(), static_cast<int64_t>(data.size()), kSmallBlock);
  MemoryBlock out(data.size());
  for (size_t cut = 0; cut < good.size(); cut += (cut < 64 ? 1 : 97)) {
    EXPECT_EQ(block_container_decode(good.data(), static_cast<int64_t>(cut), out.data(), static_cast<int64_t>(out.size())), -1)
        << "cut at " << cut;
  }
  MemoryBlock bad_magic = good;
  bad_magic[0] = '2';
  EXPECT_EQ(Decode(bad_magic, &out), -1);
  MemoryBlock zero_block_size = good;
  std::fill(zero_block_size.begin() + 16, zero_block_size.begin() + 24, 0);
  EXPECT_EQ(Decode(zero_block_size, &out), -1);
  MemoryBlock too_small(data.size() - 1);
  EXPECT_EQ(Decode(good, &too_small), -1);
}

// The block format read one bit and one byte at a time, as plainly as it can be written: the
// fast decoder must agree with it on every input, valid or not.
int64_t ReferenceDecode(const std::vector<uint8_t>& in, std::vector<uint8_t>* out) {
  size_t src = 0;
  uint32_t tag = 0;
  int bits = 0;
  bool bad = false;
  auto bit = [&]() -> uint32_t {
    if (bits == 0) {
      if (in.size() - src < 2) {
        bad = true;
        return 0;
      }
      tag = in[src] | (in[src + 1] << 8);
      src += 2;
      bits = 16;
    }
    return (tag >> --bits) & 1;
  };
  auto gamma = [&] {
    uint64_t value = 1;
    do {
      value = value * 2 + bit();
      if (value >= (1u << 30)) bad = true;
    } while (!bad && bit());
    return value;
  };
  if (out->empty()) return 0;
  if (in.empty()) return -1;
  size_t done = 0;
  (*out)[done++] = in[src++];
  while (done < out->size()) {
    if (bit() == 0) {
      if (bad || src >= in.size()) return -1;
      (*out)[done++] = in[src++];
      continue;
    }
    const uint64_t length = gamma() + 2;
    const uint64_t high = gamma();
    if (bad || src >= in.size()) return -1;
    const uint64_t offset = (high - 2) * 256 + in[src++] + 1;
    if (offset > done || length > out->size() - done) return -1;
    for (uint64_t i = 0; i < length; ++i, ++done) (*out)[done] = (*out)[done - offset];
  }
  return bad ? -1 : static_cast<int64_t>(src);
}

TEST(BlockCodec, AgreesWithAPlainBitByBitReadingOnValidAndDamagedBlocks) {
  std::mt19937 random(99);
  for (int round = 0; round < 3000; ++round) {
    const int64_t size = 1 + random() % 600;
    const MemoryBlock data = MakeData(round % 2 ? "text" : "runs", size);
    std::vector<uint8_t> block = block_encode(data.data(), size);
    if (round % 3 != 0) {
      for (int flips = 1 + random() % 3; flips > 0; --flips) block[random() % block.size()] ^= 1 << (random() % 8);
    }
    if (round % 5 == 0) block.resize(random() % (block.size() + 1));
    std::vector<uint8_t> fast(static_cast<size_t>(size)), plain(static_cast<size_t>(size));
    const int64_t fast_result = block_decode(block.data(), static_cast<int64_t>(block.size()), fast.data(), size);
    const int64_t plain_result = ReferenceDecode(block, &plain);
    ASSERT_EQ(fast_result, plain_result) << "round " << round;
    if (fast_result >= 0) {
      ASSERT_EQ(fast, plain) << "round " << round;
    }
  }
}

// ---- Packs of the runtime's format ----

TEST_F(PackFixture, BothLayoutsListTheSameNamesInFileOrder) {
  const int64_t v1 = pack_open(kNewObject, text_from_utf8(Write(1, "v1.pack")), kPackerRuntime);
  const int64_t v2 = pack_open(kNewObject, text_from_utf8(Write(2, "v2.pack")), kPackerRuntime);
  ASSERT_NE(v1, 0);
  ASSERT_NE(v2, 0);
  const std::vector<std::string> expected = {"b/stored.bin", "a/compressed.txt", "empty", "several.blocks", "Z"};
  EXPECT_EQ(EntryNames(v1), expected);
  EXPECT_EQ(EntryNames(v2), expected);
  for (const PackSource& source : sources) {
    EXPECT_EQ(ExtractToString(v1, text_from_utf8(source.name), 20000), AsString(source.data)) << source.name;
  }
  pack_close(v1);
  pack_close(v2);
}

TEST_F(PackFixture, StoredAndCompressedEntriesExtractToTheirExactBytes) {
  const int64_t pack = pack_open(kNewObject, text_from_utf8(Write(2)), kPackerRuntime);
  ASSERT_NE(pack, 0);
  ASSERT_EQ(pack_examine(pack), 1);
  while (pack_next_entry(pack)) {
    const PackSource* source = nullptr;
    for (const PackSource& s : sources) {
      if (text_from_utf8(s.name) == pack_entry_name(pack)) source = &s;
    }
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(pack_entry_type(pack), kEntryFile);
    EXPECT_EQ(pack_entry_size(pack, kUnpackedSize), static_cast<int64_t>(source->data.size()));
    // The current entry, then the same entry by name, into a buffer exactly its size.
    EXPECT_EQ(ExtractToString(pack, u"", static_cast<int64_t>(source->data.size())), AsString(source->data));
    EXPECT_EQ(ExtractToString(pack, pack_entry_name(pack), static_cast<int64_t>(source->data.size())),
              AsString(source->data));
  }
  EXPECT_EQ(pack_entry_type(pack), -1);
  EXPECT_EQ(pack_entry_name(pack), u"");
  EXPECT_EQ(pack_next_entry(pack), 0);
  pack_close(pack);
}

TEST_F(PackFixture, CompressedEntriesReallyAreCompressedAndNoiseIsStored) {
  const int64_t pack = pack_open(kNewObject, text_from_utf8(Write(2)), kPackerRuntime);
  pack_examine(pack);
  while (pack_next_entry(pack)) {
    const std::string name = text_to_utf8(pack_entry_name(pack));
    const int64_t unpacked = pack_entry_size(pack, kUnpackedSize);
    const int64_t stored = pack_entry_size(pack, kStoredSize);
    if (name == "a/compressed.txt" || name == "several.blocks") {
      EXPECT_LT(stored, unpacked) << name;
    } else {
      EXPECT_EQ(stored, unpacked) << name;
    }
  }
  pack_close(pack);
}

TEST_F(PackFixture, WrongNamesAndSmallBuffersGiveMinusOne) {
  const int64_t pack = pack_open(kNewObject, text_from_utf8(Write(2)), kPackerRuntime);
  EXPECT_EQ(ExtractToString(pack, u"z", 100), "(failed)");  // names are case-sensitive
  EXPECT_EQ(ExtractToString(pack, u"A/compressed.txt", 20000), "(failed)");
  EXPECT_EQ(ExtractToString(pack, u"missing", 20000), "(failed)");
  EXPECT_EQ(ExtractToString(pack, u"a/compressed.txt", 2999), "(failed)");
  EXPECT_EQ(ExtractToString(pack, u"b/stored.bin", 699), "(failed)");
  EXPECT_EQ(ExtractToString(pack, u"", 20000), "(failed)");  // no current entry yet
  EXPECT_EQ(ExtractToString(pack, u"empty", 0), "");
  pack_close(pack);
}

TEST_F(PackFixture, ExtractionToAFileWritesTheEntry) {
  const int64_t pack = pack_open(kNewObject, text_from_utf8(Write(2)), kPackerRuntime);
  const Text target = text_from_utf8(folder.path() + "out.bin");
  EXPECT_EQ(pack_extract_to_file(pack, target, u"several.blocks"), 3 * kSmallBlock + 5);
  EXPECT_EQ(folder.Read("out.bin"), AsString(sources[3].data));
  EXPECT_EQ(pack_extract_to_file(pack, target, u"empty"), 0);
  EXPECT_EQ(folder.Read("out.bin"), "");
  EXPECT_EQ(pack_extract_to_file(pack, target, u"nothing"), -1);
  EXPECT_EQ(pack_extract_to_file(pack, text_from_utf8(folder.path() + "no/such/folder"), u"Z"), -1);
  MemoryBlock whole;
  EXPECT_EQ(pack_extract_to_block(pack, u"a/compressed.txt", 1 << 20, &whole), 3000);
  EXPECT_EQ(whole, sources[1].data);
  EXPECT_EQ(pack_extract_to_block(pack, u"a/compressed.txt", 2999, &whole), -1);
  pack_close(pack);
}

TEST_F(PackFixture, OnlyTheTwoMagicsOpen) {
  for (const char* bytes : {"", "2zl", "3zlp", "PK\3\4....", "2ZLP"}) {
    EXPECT_EQ(pack_open(kNewObject, text_from_utf8(folder.Write("other", bytes)), kPackerRuntime), 0) << bytes;
  }
  EXPECT_EQ(pack_open(kNewObject, text_from_utf8(folder.path() + "missing"), kPackerRuntime), 0);
  EXPECT_EQ(pack_open(kNewObject, u"", kPackerRuntime), 0);
  const int64_t empty = pack_open(kNewObject, text_from_utf8(folder.Write("magic-only", "1zlp")), kPackerRuntime);
  ASSERT_NE(empty, 0);
  EXPECT_EQ(EntryNames(empty), std::vector<std::string>());
  pack_close(empty);
}

TEST_F(PackFixture, TruncatedPacksListOnlyTheEntriesThatAreWhole) {
  const std::string whole = folder.Read(Write(2).substr(folder.path().size()));
  std::set<size_t> entry_ends;  // file sizes at which an entry ends
  {
    size_t at = 4;
    for (const PackSource& source : sources) {
      at += 18 + source.name.size() + packtool_store(source.data, kSmallBlock).size();
      entry_ends.insert(at);
    }
  }
  std::set<size_t> cuts = {0, 1, 3, 4, 5, whole.size()};
  for (size_t end : entry_ends) cuts.insert({end - 1, end, end + 1});
  for (size_t cut = 0; cut < whole.size(); cut += 53) cuts.insert(cut);
  for (size_t cut : cuts) {
    if (cut > whole.size()) continue;
    const int64_t pack = pack_open(kNewObject, text_from_utf8(folder.Write("cut.pack", whole.substr(0, cut))),
                                   kPackerRuntime);
    if (cut < 4) {
      EXPECT_EQ(pack, 0);
      continue;
    }
    const std::vector<std::string> names = EntryNames(pack);
    const size_t complete = std::distance(entry_ends.begin(), entry_ends.upper_bound(cut));
    ASSERT_EQ(names.size(), complete) << "cut at " << cut;
    for (size_t i = 0; i < complete; ++i) {
      EXPECT_EQ(ExtractToString(pack, text_from_utf8(names[i]), 20000), AsString(sources[i].data));
    }
    pack_close(pack);
  }
}

TEST_F(PackFixture, HeadersThatLieAboutSizesEndTheIndex) {
  struct Case {
    const char* what;
    int64_t unpacked;
    int64_t stored;
    int16_t name_length;
  };
  const Case cases[] = {
      {"stored data past the end", 5, 1000, 1},
      {"negative stored size", 5, -5, 1},
      {"negative unpacked size", -1, 5, 1},
      {"negative name length", 5, 5, -1},
      {"name past the end", 5, 5, 30000},
  };
  for (const Case& c : cases) {
    std::string bytes = "2zlp";
    auto put = [&](uint64_t value, int n) {
      for (int i = 0; i < n; ++i) bytes.push_back(static_cast<char>(value >> (8 * i)));
    };
    put(2, 8), put(2, 8), put(2, 2), bytes += "okhi";  // one good entry first
    put(c.unpacked, 8), put(c.stored, 8), put(static_cast<uint16_t>(c.name_length), 2), bytes += "xhello";
    const int64_t pack = pack_open(kNewObject, text_from_utf8(folder.Write("lying.pack", bytes)), kPackerRuntime);
    EXPECT_EQ(EntryNames(pack), std::vector<std::string>{"ok"}) << c.what;
    EXPECT_EQ(ExtractToString(pack, u"ok", 10), "hi") << c.what;
    EXPECT_EQ(ExtractToString(pack, u"x", 10000), "(failed)") << c.what;
    pack_close(pack);
  }
}

TEST_F(PackFixture, CompressedDataThatDisagreesWithItsHeaderFails) {
  const MemoryBlock data = MakeData("text", 500);
  MemoryBlock container = block_container_encode(data.data(), 500, kSmallBlock);
  std::string bytes = "2zlp";
  auto put = [&](uint64_t value, int n) {
    for (int i = 0; i < n; ++i) bytes.push_back(static_cast<char>(value >> (8 * i)));
  };
  put(400, 8), put(container.size(), 8), put(1, 2), bytes += "e";  // the index says 400 bytes
  bytes += AsString(container);
  const int64_t pack = pack_open(kNewObject, text_from_utf8(folder.Write("disagree.pack", bytes)), kPackerRuntime);
  EXPECT_EQ(ExtractToString(pack, u"e", 1000), "(failed)");
  pack_close(pack);
}

// ---- Zip packs ----

struct ZipFixture : testing::Test {
  TempFolder folder;
  std::vector<ZipItem> items = {{"en_GB.language", "[LANGUAGE FILE]\ntLangFileNAME = English\n"},
                                {"flags/", ""},
                                {"flags/de.png", std::string(5000, 'x') + "tail"},
                                {"cafe.txt", "latte"},
                                {"empty", ""}};
  int64_t Open() {
    const std::string path = folder.path() + "test.zip";
    EXPECT_TRUE(WriteZipFile(path, items));
    return pack_open(kNewObject, text_from_utf8(path), kPackerZip);
  }
};

TEST_F(ZipFixture, EnumerationGivesNamesAndFolderTypes) {
  const int64_t pack = Open();
  ASSERT_NE(pack, 0);
  EXPECT_EQ(pack_entry_type(pack), -1);
  ASSERT_EQ(pack_examine(pack), 1);
  std::vector<std::string> names;
  std::vector<int> types;
  while (pack_next_entry(pack)) {
    names.push_back(text_to_utf8(pack_entry_name(pack)));
    types.push_back(pack_entry_type(pack));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"en_GB.language", "flags/", "flags/de.png", "cafe.txt", "empty"}));
  EXPECT_EQ(types, (std::vector<int>{kEntryFile, kEntryDirectory, kEntryFile, kEntryFile, kEntryFile}));
  // A second examine starts again from the first entry.
  EXPECT_EQ(pack_examine(pack), 1);
  EXPECT_EQ(pack_next_entry(pack), 1);
  EXPECT_EQ(pack_entry_name(pack), u"en_GB.language");
  pack_close(pack);
}

TEST_F(ZipFixture, ExtractingEachEntryByNameDuringEnumerationVisitsEveryEntryOnce) {
  const int64_t pack = Open();
  ASSERT_EQ(pack_examine(pack), 1);
  std::vector<std::string> visited;
  while (pack_next_entry(pack)) {
    const Text name = pack_entry_name(pack);
    visited.push_back(text_to_utf8(name));
    if (pack_entry_type(pack) == kEntryFile) {
      for (const ZipItem& item : items) {
        if (text_from_utf8(item.name) == name) {
          EXPECT_EQ(ExtractToString(pack, name, 10000), item.data);
        }
      }
    } else {
      EXPECT_EQ(ExtractToString(pack, name, 10000), "(failed)");  // folders hold no data
    }
  }
  EXPECT_EQ(visited.size(), items.size());
  EXPECT_EQ(std::set<std::string>(visited.begin(), visited.end()).size(), items.size());
  pack_close(pack);
}

TEST_F(ZipFixture, ExtractionByNameIsCaseSensitiveAndCutsToTheBuffer) {
  const int64_t pack = Open();
  EXPECT_EQ(ExtractToString(pack, u"EN_GB.language", 1000), "(failed)");
  EXPECT_EQ(ExtractToString(pack, u"cafe.txt", 3), "lat");
  EXPECT_EQ(ExtractToString(pack, u"empty", 10), "");
  MemoryBlock whole;
  EXPECT_EQ(pack_extract_to_block(pack, u"flags/de.png", 1 << 20, &whole), 5004);
  EXPECT_EQ(AsString(whole), items[2].data);
  EXPECT_EQ(pack_extract_to_block(pack, u"flags/de.png", 5003, &whole), -1);
  const Text target = text_from_utf8(folder.path() + "de.png");
  EXPECT_EQ(pack_extract_to_file(pack, target, u"flags/de.png"), 5004);
  EXPECT_EQ(folder.Read("de.png"), items[2].data);
  EXPECT_EQ(pack_extract_to_file(pack, target, u"flags/"), -1);
  EXPECT_EQ(pack_extract_to_file(pack, target, u"gone"), -1);
  pack_close(pack);
}

TEST_F(ZipFixture, NonAsciiNamesNeitherEndTheEnumerationNorGetLost) {
  items = {{"caf\xC3\xA9.language", "one"}, {"after.language", "two"}};
  const std::string locale = std::setlocale(LC_CTYPE, nullptr);
  for (const char* which : {"C.UTF-8", "C"}) {
    ASSERT_NE(std::setlocale(LC_CTYPE, which), nullptr);
    const int64_t pack = Open();
    std::vector<std::string> contents;
    pack_examine(pack);
    while (pack_next_entry(pack)) contents.push_back(ExtractToString(pack, pack_entry_name(pack), 100));
    EXPECT_EQ(contents, (std::vector<std::string>{"one", "two"})) << which;
    if (std::string(which) == "C.UTF-8") {
      EXPECT_EQ(ExtractToString(pack, u"caf\u00E9.language", 100), "one");
    }
    pack_close(pack);
  }
  std::setlocale(LC_CTYPE, locale.c_str());
}

TEST_F(ZipFixture, SizesComeFromTheArchive) {
  items = {{"same.txt", std::string(10000, 'a')}};
  const int64_t pack = Open();
  ASSERT_EQ(pack_next_entry(pack), 1);
  EXPECT_EQ(pack_entry_size(pack, kUnpackedSize), 10000);
  const int64_t stored = pack_entry_size(pack, kStoredSize);
  EXPECT_GT(stored, 0);
  EXPECT_LT(stored, 1000);
  pack_close(pack);
}

TEST_F(ZipFixture, FilesThatAreNotZipsDoNotOpen) {
  for (const char* bytes : {"", "not a zip at all", "2zlp"}) {
    EXPECT_EQ(pack_open(kNewObject, text_from_utf8(folder.Write("nope.zip", bytes)), kPackerZip), 0) << bytes;
  }
  EXPECT_EQ(pack_open(kNewObject, u"", kPackerZip), 0);
  EXPECT_EQ(pack_open(kNewObject, text_from_utf8(folder.path() + "missing.zip"), kPackerZip), 0);
}

// ---- The pack table and the registry ----

TEST_F(PackFixture, NumbersNameOpenPacksAndReusingOneClosesTheOldPack) {
  const Text path = text_from_utf8(Write(2));
  const int64_t first = pack_open(7, path, kPackerRuntime);
  ASSERT_NE(first, 0);
  EXPECT_EQ(pack_examine(7), 1);
  const int64_t second = pack_open(7, path, kPackerRuntime);
  EXPECT_NE(second, first);
  EXPECT_EQ(pack_examine(first), 0);
  EXPECT_EQ(pack_examine(7), 1);
  pack_close(kAllObjects);
  EXPECT_EQ(pack_examine(7), 0);
  EXPECT_EQ(pack_next_entry(12345), 0);
  EXPECT_EQ(pack_entry_name(12345), u"");
  EXPECT_EQ(pack_extract_to_memory(12345, nullptr, 0, u"x"), -1);
}

TEST_F(PackFixture, UnknownPackersFailAndRegisteringTwiceKeepsTheFirst) {
  EXPECT_EQ(pack_open(kNewObject, text_from_utf8(Write(2)), 3), 0);
  packer_register(kPackerRuntime, pack_zip_packer());
  packer_register(kPackerRuntime + 65536, pack_zip_packer());  // the same number as a 16-bit value
  EXPECT_EQ(packer_find(kPackerRuntime), pack_runtime_packer());
  EXPECT_EQ(packer_find(kFirstPacker), pack_zip_packer());
}
