// The object tables every runtime service keeps: numbers and handles, and new objects stored
// under either.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/data/files.h"
#include "runtime/runtime.h"
#include "tests/support/temp_folder.h"

namespace {

// An object that says when it goes, and what its table shows of it at that moment.
struct Probe {
  static inline std::vector<std::string>* gone = nullptr;
  static inline ObjectTable<Probe>* table = nullptr;
  std::string name;
  int64_t handle = 0;
  ~Probe() {
    if (gone && !name.empty()) gone->push_back(name + (table && table->Find(handle) ? " still found" : ""));
  }
};

TEST(ObjectTable, AHandleTakesANewObjectInItsPlaceAndKeepsItsNumber) {
  ObjectTable<Probe> table;
  std::vector<std::string> gone;
  Probe::gone = &gone;
  Probe::table = &table;

  int64_t fresh = 0, numbered = 0;
  table.Create(kNewObject, &fresh)->name = "fresh";
  table.Find(fresh)->handle = fresh;
  Probe* five = table.Create(5, &numbered);
  five->name = "five";
  five->handle = numbered;

  // A handle made for kNewObject stores a new object, which the same handle then names; the old
  // object went first and was no longer found while it went.
  int64_t again = 0;
  Probe* replaced = table.Create(fresh, &again);
  ASSERT_NE(replaced, nullptr);
  EXPECT_EQ(again, fresh);
  EXPECT_EQ(gone, std::vector<std::string>{"fresh"});
  replaced->name = "fresh 2";
  EXPECT_EQ(table.Find(fresh), replaced);
  EXPECT_EQ(table.Count(), 2u);

  // A numbered object's handle: number and handle both name the new object.
  Probe* five_again = table.Create(numbered);
  ASSERT_NE(five_again, nullptr);
  EXPECT_EQ(table.Find(5), five_again);
  EXPECT_EQ(table.Find(numbered), five_again);
  EXPECT_EQ(table.HandleOf(5), numbered);
  five_again->name = "five 2";

  // A handle that names nothing (freed, or never made) and numbers out of range store nothing.
  table.Free(fresh);
  EXPECT_EQ(table.Create(fresh), nullptr);
  EXPECT_EQ(table.Create(kFirstHandle + 1000), nullptr);
  EXPECT_EQ(table.Create(-2), nullptr);
  EXPECT_FALSE(table.CanHold(fresh));
  EXPECT_TRUE(table.CanHold(numbered));
  EXPECT_TRUE(table.CanHold(kNewObject));
  EXPECT_TRUE(table.CanHold(kMaxObjectNumber));
  EXPECT_EQ(table.Count(), 1u);

  table.Free(kAllObjects);
  EXPECT_EQ(gone, (std::vector<std::string>{"fresh", "five", "fresh 2", "five 2"}));
  Probe::gone = nullptr;
  Probe::table = nullptr;
}

// A file number given as the handle of an open file reopens that handle on the new file; an
// unknown handle is refused before the file is touched.
TEST(ObjectTable, FilesOpenUnderTheHandleOfAnOpenFile) {
  TempFolder folder;
  const Text first = text_from_utf8(folder.path() + "first.txt");
  const Text second = text_from_utf8(folder.path() + "second.txt");
  const int64_t file = file_create(kNewObject, first);
  ASSERT_NE(file, 0);
  EXPECT_EQ(file_create(file, second), file);
  EXPECT_EQ(file_write_line(file, u"into the second"), 1);
  file_close(file);
  EXPECT_GT(file_size(second), 0);
  EXPECT_EQ(file_size(first), 0);
  EXPECT_EQ(file_create(file, first), 0);  // closed: the handle names nothing
}

}  // namespace
