// Reading the map pack's index and level maps, level properties, cell queries and the level list.
#include "game/maps.h"
#include "tests/support/map_queries.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "game/core/game.h"
#include "runtime/data/pack.h"
#include "runtime/display/image.h"
#include "runtime/display/png.h"
#include "tests/support/temp_folder.h"
#include "tools/mapwriter/mapwriter.h"
#include "tools/packtool/packtool_lib.h"

namespace {

MapPackIndex SampleIndex() {
  MapPackIndex index;
  index.Title = u"Cratevale levels";
  index.Description = u"Forty warehouses";
  index.Value = -1234567890123;
  index.ShortText = u"CV1";
  index.Levels = {u"dock", u"yard", u"cellar"};
  index.BlockCount = 2;
  index.Tiles = {{u"1", 0, 0}, {u"2", 1, 0}, {u"3", 0, 1}};
  return index;
}

// A 4 x 3 level with two layers: floor everywhere, one wall tile at (3, 2).
MapRecord SampleMap() {
  MapRecord map;
  map.Title = u"tLevelDOCK";
  map.Width = 4;
  map.Height = 3;
  map.Property4 = -7;
  map.Property5 = 70000;
  map.LayerCount = 2;
  map.Property7 = 1;
  map.Property8 = 2;
  map.CrateCount = 1;
  map.Crates = u"1,1";
  map.Targets = u"2,1";
  map.Start = u"0,1";
  map.Property13 = u"thirteen";
  map.Property14 = u"fourteen";
  map.Layers = {MakeMapLayer(u"floor", 4, 3), MakeMapLayer(u"walls", 4, 3)};
  for (int x = 0; x < 4; ++x) {
    for (int y = 0; y < 3; ++y) SetMapTile(map.Layers[0], 3, x, y, 1);
  }
  SetMapTile(map.Layers[1], 3, 3, 2, -5);
  map.Layers[0].Values[0] = 11;
  map.Layers[0].Values[2] = -3;
  map.Layers[1].Flag = 200;
  return map;
}

MapRecord Parse(const MemoryBlock& block) { return ParseMap(block.data(), static_cast<int64_t>(block.size())); }

int32_t Int32At(const MemoryBlock& block, size_t at) {
  return static_cast<int32_t>(block[at] | block[at + 1] << 8 | block[at + 2] << 16 | uint32_t{block[at + 3]} << 24);
}

void PutInt32At(MemoryBlock& block, size_t at, int32_t value) {
  for (int i = 0; i < 4; ++i) block[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
}

TEST(Maps, IndexRoundTripsThroughTheWriter) {
  const MapPackIndex written = SampleIndex();
  const MemoryBlock block = WriteMapIndex(written);
  ASSERT_EQ(block.size(), 1080u + 64 * 3 + 256 * 2 + 578 * 3);
  MapPackIndex read;
  ASSERT_EQ(ParseMapIndex(block.data(), static_cast<int64_t>(block.size()), &read), 1);
  EXPECT_EQ(read.Title, written.Title);
  EXPECT_EQ(read.Description, written.Description);
  EXPECT_EQ(read.Value, written.Value);
  EXPECT_EQ(read.ShortText, written.ShortText);
  EXPECT_EQ(read.Levels, written.Levels);
  EXPECT_EQ(read.BlockCount, 2);
  ASSERT_EQ(read.Tiles.size(), 3u);
  EXPECT_EQ(read.Tiles[1].Name, u"2");
  EXPECT_EQ(read.Tiles[1].MaskFlag, 1);
  EXPECT_EQ(read.Tiles[1].AlphaFlag, 0);
  EXPECT_EQ(read.Tiles[2].AlphaFlag, 1);
}

TEST(Maps, IndexLayoutMatchesTheTable) {
  const MemoryBlock block = WriteMapIndex(SampleIndex());
  EXPECT_EQ(std::string(block.begin(), block.begin() + 4), "INX0");
  EXPECT_EQ(block[4], 'C');
  EXPECT_EQ(block[516], 'F');
  EXPECT_EQ(block[1036], 'C');
  EXPECT_EQ(Int32At(block, 1068), 3);
  EXPECT_EQ(block[1072 + 64], 'y');               // second level name
  EXPECT_EQ(Int32At(block, 1072 + 64 * 3), 2);    // N
  EXPECT_EQ(Int32At(block, 1076 + 64 * 3 + 512), 3);  // T
  const size_t second_tile = 1080 + 64 * 3 + 512 + 578;
  EXPECT_EQ(block[second_tile], '2');
  EXPECT_EQ(block[second_tile + 576], 1);  // mask flag
  EXPECT_EQ(block[second_tile + 577], 0);  // alpha flag
}

TEST(Maps, IndexWithWrongMagicGivesNoLevels) {
  MemoryBlock block = WriteMapIndex(SampleIndex());
  block[3] = '1';
  MapPackIndex read;
  EXPECT_EQ(ParseMapIndex(block.data(), static_cast<int64_t>(block.size()), &read), 0);
  EXPECT_TRUE(read.Levels.empty());

  LoadMapEntries([&](const Text& entry) { return entry == u"index" ? block : MemoryBlock(); });
  EXPECT_TRUE(MapLevelOrder().empty());
  EXPECT_EQ(MapPackInformation(4), u"0");
}

TEST(Maps, TruncatedIndexKeepsTheWholeEntriesOnly) {
  const MemoryBlock full = WriteMapIndex(SampleIndex());
  const struct {
    size_t size;
    size_t levels;
    size_t tiles;
  } cases[] = {
      {1071, 0, 0},                        // header cut short: not an index
      {1072 + 64 + 63, 1, 0},              // second level name cut
      {1080 + 64 * 3 + 512 + 578, 3, 1},   // second tile missing
      {full.size() - 1, 3, 2},             // last tile one byte short
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    MapPackIndex read;
    ParseMapIndex(full.data(), static_cast<int64_t>(c.size), &read);
    EXPECT_EQ(read.Levels.size(), c.levels);
    EXPECT_EQ(read.Tiles.size(), c.tiles);
  }
}

TEST(Maps, IndexWithHugeCountsReadsNoFurtherThanItsBytes) {
  MemoryBlock block = WriteMapIndex(SampleIndex());
  MapPackIndex read;
  PutInt32At(block, 1072 + 64 * 3, 0x7FFFFFFF);  // N blocks
  ParseMapIndex(block.data(), static_cast<int64_t>(block.size()), &read);
  EXPECT_EQ(read.Levels.size(), 3u);
  EXPECT_TRUE(read.Tiles.empty());
  PutInt32At(block, 1068, -1);  // L
  ParseMapIndex(block.data(), static_cast<int64_t>(block.size()), &read);
  EXPECT_TRUE(read.Levels.empty());
}

TEST(Maps, MapRoundTripsThroughTheWriter) {
  const MapRecord written = SampleMap();
  const MapRecord read = Parse(WriteMap(written));
  EXPECT_EQ(read.Title, written.Title);
  for (int property = 2; property <= 14; ++property) {
    EXPECT_EQ(MapRecordProperty(read, property), MapRecordProperty(written, property)) << property;
  }
  ASSERT_EQ(read.Layers.size(), 2u);
  EXPECT_EQ(read.LayerCount, 2);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(read.Layers[i].Name, written.Layers[i].Name);
    EXPECT_EQ(read.Layers[i].Tiles, written.Layers[i].Tiles);
    EXPECT_EQ(read.Layers[i].Visible, 1);
  }
  EXPECT_EQ(read.Layers[0].Values[0], 11);
  EXPECT_EQ(read.Layers[0].Values[2], -3);
  EXPECT_EQ(read.Layers[1].Flag, 200);
}

TEST(Maps, MapLayoutMatchesTheTableColumnByColumn) {
  const MemoryBlock block = WriteMap(SampleMap());
  EXPECT_EQ(std::string(block.begin(), block.begin() + 4), "MAP0");
  EXPECT_EQ(block[68], 't');
  EXPECT_EQ(Int32At(block, 580), 4);
  EXPECT_EQ(Int32At(block, 584), 3);
  EXPECT_EQ(Int32At(block, 596), 2);
  EXPECT_EQ(Int32At(block, 608), 1);
  EXPECT_EQ(block[612], '1');
  EXPECT_EQ(block[1636], '2');
  EXPECT_EQ(block[2660], '0');
  EXPECT_EQ(block[3684], 't');
  EXPECT_EQ(block[4708], 'f');
  const size_t second_layer = 5732 + 269 + 2 * 12;
  EXPECT_EQ(block[second_layer], 'w');
  // Cell (3, 2) is the last of the column-by-column grid: x * height + y = 11.
  const size_t cell = second_layer + 269 + 2 * 11;
  EXPECT_EQ(static_cast<int16_t>(block[cell] | block[cell + 1] << 8), -5);
  EXPECT_EQ(block.size(), cell + 2);
}

TEST(Maps, FullLengthTextFieldsAreTakenWhole) {
  MapRecord map = SampleMap();
  map.Title = Text(kMapTitleUnits, u'T');
  map.Crates = Text(kMapTextUnits, u'1');
  map.Property14 = Text(kMapTextUnits + 5, u'x');  // cut to the field by the writer
  map.Layers[0].Name = Text(kLayerNameUnits, u'L');
  const MapRecord read = Parse(WriteMap(map));
  EXPECT_EQ(read.Title, map.Title);
  EXPECT_EQ(read.Crates, map.Crates);
  EXPECT_EQ(read.Property14, Text(kMapTextUnits, u'x'));
  EXPECT_EQ(read.Layers[0].Name, map.Layers[0].Name);
  EXPECT_EQ(read.Targets, u"2,1");  // the next field is not run into

  MapPackIndex index = SampleIndex();
  index.Title = Text(kPackTitleUnits, u'a');
  index.ShortText = Text(kPackShortTextUnits, u'b');
  index.Levels = {Text(kLevelNameUnits, u'c'), u"d"};
  index.Tiles[0].Name = Text(kTileNameUnits, u'e');
  const MemoryBlock block = WriteMapIndex(index);
  MapPackIndex read_index;
  ASSERT_EQ(ParseMapIndex(block.data(), static_cast<int64_t>(block.size()), &read_index), 1);
  EXPECT_EQ(read_index.Title, index.Title);
  EXPECT_EQ(read_index.ShortText, index.ShortText);
  EXPECT_EQ(read_index.Levels, index.Levels);
  EXPECT_EQ(read_index.Tiles[0].Name, index.Tiles[0].Name);
}

TEST(Maps, MalformedMapGivesTheEmptyRecord) {
  const MemoryBlock good = WriteMap(SampleMap());
  const int32_t kHuge = 0x7FFFFFFF;
  const struct {
    const char* name;
    std::function<void(MemoryBlock&)> change;
  } cases[] = {
      {"wrong magic", [](MemoryBlock& b) { b[0] = 'X'; }},
      {"header cut short", [](MemoryBlock& b) { b.resize(5731); }},
      {"last cell missing", [](MemoryBlock& b) { b.pop_back(); }},
      {"one layer too many", [](MemoryBlock& b) { PutInt32At(b, 596, 3); }},
      {"huge layer count", [&](MemoryBlock& b) { PutInt32At(b, 596, kHuge); }},
      {"huge width", [&](MemoryBlock& b) { PutInt32At(b, 580, kHuge); }},
      {"huge width and height", [&](MemoryBlock& b) { PutInt32At(b, 580, kHuge), PutInt32At(b, 584, kHuge); }},
      {"negative width", [](MemoryBlock& b) { PutInt32At(b, 580, -4); }},
      // No cells to read, but drawing would walk two billion columns a frame.
      {"huge width, height 0", [&](MemoryBlock& b) { PutInt32At(b, 580, kHuge), PutInt32At(b, 584, 0); }},
      {"huge height, width 0", [&](MemoryBlock& b) { PutInt32At(b, 580, 0), PutInt32At(b, 584, kHuge); }},
      {"wider than the board", [](MemoryBlock& b) { PutInt32At(b, 580, kBoardWidth + 1), PutInt32At(b, 584, 0); }},
      {"taller than the board", [](MemoryBlock& b) { PutInt32At(b, 580, 0), PutInt32At(b, 584, kBoardHeight + 1); }},
      {"negative layer count", [](MemoryBlock& b) { PutInt32At(b, 596, -1); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryBlock block = good;
    c.change(block);
    const MapRecord read = Parse(block);
    EXPECT_EQ(read.Width, 0);
    EXPECT_EQ(read.Height, 0);
    EXPECT_EQ(read.CrateCount, 0);
    EXPECT_TRUE(read.Layers.empty());
    EXPECT_TRUE(read.Title.empty());
  }
}

TEST(Maps, CellQueryAnswersEmptyFilledOrNoLayer) {
  const MapRecord map = Parse(WriteMap(SampleMap()));
  EXPECT_EQ(MapRecordCell(map, 1, 0, 0), kCellEmpty);
  EXPECT_EQ(MapRecordCell(map, 1, 3, 2), kCellFilled);  // a negative tile number still fills it
  EXPECT_EQ(MapRecordCell(map, 0, 3, 2), kCellFilled);
  EXPECT_EQ(MapRecordCell(map, kWallLayer, 0, 0), kCellNoLayer);  // fewer than three layers
  EXPECT_EQ(MapRecordCell(map, -1, 0, 0), kCellNoLayer);
  // Outside the level's width and height a cell is filled.
  EXPECT_EQ(MapRecordCell(map, 1, 4, 0), kCellFilled);
  EXPECT_EQ(MapRecordCell(map, 1, 0, 3), kCellFilled);
  EXPECT_EQ(MapRecordCell(map, 1, -1, 0), kCellFilled);
  EXPECT_EQ(MapTileAt(map, 1, 3, 2), -5);
  EXPECT_EQ(MapTileAt(map, 1, 2, 3), 0);
}

TEST(Maps, PropertiesOfALevelAsTexts) {
  const MapRecord map = Parse(WriteMap(SampleMap()));
  const Text expected[] = {u"tLevelDOCK", u"", u"4", u"3", u"-7", u"70000", u"2", u"1",
                           u"2", u"1", u"1,1", u"2,1", u"0,1", u"thirteen", u"fourteen"};
  for (int property = 0; property <= 14; ++property) {
    EXPECT_EQ(MapRecordProperty(map, property), expected[property]) << property;
  }
  EXPECT_EQ(MapRecordProperty(map, 15), u"");
  EXPECT_EQ(MapRecordProperty(map, -1), u"");
  // A level never loaded answers with an empty record.
  EXPECT_EQ(MapLevelProperty(u"never loaded", 0), u"");
  EXPECT_EQ(MapLevelProperty(u"never loaded", 9), u"0");
  EXPECT_EQ(MapCell(u"never loaded", 0, 0, 0), kCellNoLayer);
}

// A pack held in memory: entry name -> bytes.
struct MemoryPack {
  std::map<Text, MemoryBlock> entries;
  MapEntryReader Reader() const {
    return [this](const Text& name) {
      auto it = entries.find(name);
      return it == entries.end() ? MemoryBlock() : it->second;
    };
  }
};

TEST(Maps, LoadingKeepsLevelsWithMissingOrBadMapsAsEmptyLevels) {
  MemoryPack pack;
  pack.entries[u"index"] = WriteMapIndex(SampleIndex());
  pack.entries[MapEntryName(u"dock")] = WriteMap(SampleMap());
  MemoryBlock bad = WriteMap(SampleMap());
  bad[0] = 'm';
  pack.entries[MapEntryName(u"cellar")] = bad;  // "yard" has no map at all
  LoadMapEntries(pack.Reader());

  EXPECT_EQ(MapLevelOrder(), (std::vector<Text>{u"dock", u"yard", u"cellar"}));
  List<Text> names;
  MapLevelNames(names);
  EXPECT_EQ(list_size(names), 3);
  EXPECT_EQ(*list_first(names), u"dock");
  EXPECT_EQ(MapLevelProperty(u"dock", 0), u"tLevelDOCK");
  EXPECT_EQ(MapLevelProperty(u"dock", 1), u"dock");
  EXPECT_EQ(MapCell(u"dock", 1, 3, 2), kCellFilled);
  for (const char16_t* level : {u"yard", u"cellar"}) {
    EXPECT_EQ(MapLevelProperty(level, 1), level);  // the entry name is kept
    EXPECT_EQ(MapLevelProperty(level, 2), u"0");
    EXPECT_EQ(MapLevelProperty(level, 9), u"0");
    EXPECT_EQ(FindMap(level).Layers.size(), 0u);
  }
  const Text information[] = {u"Cratevale levels", u"Forty warehouses", u"-1234567890123", u"CV1", u"3", u"3"};
  for (int number = 0; number < 6; ++number) EXPECT_EQ(MapPackInformation(number), information[number]);
  EXPECT_EQ(MapPackInformation(6), u"");
  ASSERT_NE(FindTile(u"3"), nullptr);
  EXPECT_EQ(FindTile(u"3")->Tile.AlphaFlag, 1);
  EXPECT_EQ(FindTile(u"3")->Sprite, 0);
  EXPECT_EQ(FindTile(u"4"), nullptr);

  // Loading again replaces everything.
  LoadMapEntries(MemoryPack().Reader());
  EXPECT_TRUE(MapLevelOrder().empty());
  EXPECT_EQ(MapLevelProperty(u"dock", 0), u"");
  EXPECT_EQ(FindTile(u"3"), nullptr);
}

TEST(Maps, LevelListFollowsTheIndexAndUnlocksTheFirstWithoutResults) {
  MemoryPack pack;
  pack.entries[u"index"] = WriteMapIndex(SampleIndex());
  pack.entries[MapEntryName(u"dock")] = WriteMap(SampleMap());
  LoadMapEntries(pack.Reader());
  TempFolder folder;
  FillLevelList(text_from_utf8(folder.path()));
  ASSERT_EQ(LevelList.size(), 3u);
  EXPECT_EQ(LevelList[0].Name, u"dock");
  EXPECT_EQ(LevelList[0].TitleKey, u"tLevelDOCK");
  EXPECT_EQ(LevelList[2].Name, u"cellar");
  EXPECT_EQ(LevelList[2].TitleKey, u"");
  EXPECT_EQ(LevelList[0].Unlocked, 1);
  EXPECT_EQ(LevelList[1].Unlocked, 0);

  // With a results file, the figures and flags come from it; a file that would lock even the first
  // level (damaged or edited by hand) still leaves it open.
  folder.Write("Cratevale.scores", "5\n6\n0\n7\n8\n1\n");
  FillLevelList(text_from_utf8(folder.path()));
  EXPECT_EQ(LevelList[0].Unlocked, 1);
  EXPECT_EQ(LevelList[0].TimeMs, 5);
  EXPECT_EQ(LevelList[0].Steps, 6);
  EXPECT_EQ(LevelList[1].Unlocked, 1);
  EXPECT_EQ(LevelList[2].Unlocked, 0);
  folder.Write("Cratevale.scores", "");
  FillLevelList(text_from_utf8(folder.path()));
  EXPECT_EQ(LevelList[0].Unlocked, 1);
  EXPECT_EQ(LevelList[1].Unlocked, 0);
}

// A 16 x 9 RGBA picture, orange.
MemoryBlock SamplePng() {
  std::vector<uint8_t> pixels(16 * 9 * 4);
  for (size_t i = 0; i < pixels.size(); i += 4) pixels[i] = 232, pixels[i + 1] = 106, pixels[i + 2] = 23, pixels[i + 3] = 255;
  PixelRows rows;
  rows.bytes = pixels;
  rows.width = 16;
  rows.height = 9;
  rows.pitch = 16 * 4;
  return png_encode_to_memory(rows);
}

PackSource Entry(const Text& name, MemoryBlock data) { return PackSource{text_to_utf8(name), std::move(data)}; }

TEST(Maps, LoadsLevelsAndThumbnailsFromARealPack) {
  TempFolder folder;
  const std::string path = folder.path() + "Cratevale.maps";
  MemoryBlock big(3 * 1024 * 1024, 7);  // stored compressed: the pack decodes it on the way
  const std::vector<PackSource> entries = {
      Entry(u"index", WriteMapIndex(SampleIndex())),
      Entry(MapEntryName(u"dock"), WriteMap(SampleMap())),
      Entry(MapEntryName(u"yard"), WriteMap(SampleMap())),
      Entry(ThumbnailEntryName(u"dock"), SamplePng()),
      Entry(ThumbnailEntryName(u"yard"), big),
  };
  ASSERT_EQ(packtool_write(path, entries), "");
  const Text pack = text_from_utf8(path);

  LoadMapPack(pack, kPackerRuntime);
  EXPECT_EQ(MapLevelOrder(), (std::vector<Text>{u"dock", u"yard", u"cellar"}));
  EXPECT_EQ(MapLevelProperty(u"yard", 0), u"tLevelDOCK");
  EXPECT_EQ(MapLevelProperty(u"yard", 1), u"yard");
  EXPECT_EQ(MapCell(u"dock", 1, 3, 2), kCellFilled);
  EXPECT_EQ(MapLevelProperty(u"cellar", 2), u"0");

  image_init();
  image_codecs_init();
  png_decoder_register();
  const int64_t thumbnail = LevelThumbnail(pack, u"dock", kPackerRuntime);
  ASSERT_NE(thumbnail, 0);
  EXPECT_EQ(image_width(thumbnail), 16);
  EXPECT_EQ(image_height(thumbnail), 9);
  image_free(thumbnail);
  EXPECT_EQ(LevelThumbnail(pack, u"yard", kPackerRuntime), 0);    // not a picture
  EXPECT_EQ(LevelThumbnail(pack, u"cellar", kPackerRuntime), 0);  // no entry
  EXPECT_EQ(LevelThumbnail(pack + u"x", u"dock", kPackerRuntime), 0);  // no pack
  image_shutdown();

  // A file that is not a pack leaves the module empty.
  LoadMapPack(text_from_utf8(folder.Write("not a pack", "INX0 and more")), kPackerRuntime);
  EXPECT_TRUE(MapLevelOrder().empty());
  EXPECT_EQ(MapLevelProperty(u"dock", 2), u"0");
}

TEST(Maps, StoredRecordWithAShortGridIsReadOnlyWithinIt) {
  MapRecord map = SampleMap();
  map.Layers[1].Tiles.resize(5);  // cells from (1, 2) on are missing
  StoreMap(u"short", map);
  EXPECT_EQ(MapCell(u"short", 1, 3, 2), kCellEmpty);
  EXPECT_EQ(MapCell(u"short", 0, 3, 2), kCellFilled);
  DrawLevel(u"short");  // no tile sprites: only the lookups run, inside the grid
  FreeMapPack();
}

TEST(Maps, WriterRefusesGridsThatDoNotMatchTheSize) {
  MapRecord map = SampleMap();
  map.Layers[1].Tiles.pop_back();
  EXPECT_TRUE(WriteMap(map).empty());
  map = SampleMap();
  map.Width = -1;
  EXPECT_TRUE(WriteMap(map).empty());
  // A header value the 32-bit field cannot hold is refused rather than cut to another number.
  map = SampleMap();
  map.CrateCount = int64_t{1} << 32;
  EXPECT_TRUE(WriteMap(map).empty());
  map = SampleMap();
  map.Property5 = -(int64_t{1} << 31) - 1;
  EXPECT_TRUE(WriteMap(map).empty());
  map.Property5 = -(int64_t{1} << 31);
  EXPECT_EQ(Parse(WriteMap(map)).Property5, map.Property5);
  EXPECT_EQ(WritePositions({{3, 4}, {10, -2}}), u"3,4,10,-2");
  EXPECT_EQ(WritePositions({}), u"");
}

}  // namespace
