#include "runtime/data/text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

#include "runtime/data/containers.h"

TEST(Text, Utf8RoundTripJoinsAndSplitsSurrogates) {
  const std::string source = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // a, e-acute, euro, emoji
  const Text text = text_from_utf8(source);
  ASSERT_EQ(text.size(), 5u);
  EXPECT_EQ(text[3], 0xD83D);
  EXPECT_EQ(text[4], 0xDE00);
  EXPECT_EQ(text_to_utf8(text), source);
}

TEST(Text, EachMalformedUtf8SequenceBecomesOneQuestionMark) {
  const struct {
    const char* what;
    std::string bytes;
    Text text;
  } cases[] = {
      {"stray bytes", "\xFF" "a\x80" "b\xF8\x88\x80\x80\x80", u"?a?b?????"},
      {"cut short by the next lead or by the end", "a\xC3" "\xE2\x82", u"a??"},
      {"cut short by ASCII, which is kept", "\xE2\x82" "x\xF0\x9F" "y", u"?x?y"},
      {"over-long NUL, slash and full stop", "a\xC0\x80" "b\xE0\x80\xAF" "c\xF0\x80\x80\xAE", u"a?b?c?"},
      {"over-long forms of the shortest lead bytes", "\xC1\xBF\xE0\x9F\xBF\xF0\x8F\xBF\xBF", u"???"},
      {"encoded surrogate", "\xED\xA0\x80", u"?"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80" "\xF7\xBF\xBF\xBF", u"??"},
      {"the last and the first of each length", "\xF4\x8F\xBF\xBF" "\xC2\x80\xE0\xA0\x80",
       u"\U0010FFFF\u0080\u0800"},
  };
  for (const auto& c : cases) EXPECT_EQ(text_from_utf8(c.bytes), c.text) << c.what;
}

TEST(Text, Latin1Conversions) {
  EXPECT_EQ(text_from_latin1("\xE9t\xE9"), Text(u"\u00E9t\u00E9"));
  EXPECT_EQ(text_to_latin1(u"\u00E9\u20AC"), "\xE9?");
}

TEST(Text, ToIntFollowsTheTolerantRule) {
  struct Case { const char16_t* text; int64_t value; };
  const Case cases[] = {
      {u"$FF", 255}, {u"$ff", 255}, {u"%101", 5}, {u"  -12", -12}, {u"\t+7", 7}, {u"12abc", 12},
      {u"abc", 0}, {u"", 0}, {u"-", 0}, {u"$", 0}, {u"%102", 2}, {u"-$10", -16},
      {u"9223372036854775807", 9223372036854775807LL},
  };
  for (const Case& c : cases) EXPECT_EQ(str_to_int(c.text), c.value) << text_to_utf8(c.text);
}

TEST(Text, FromDoubleFormatsWithAPointInEveryLocale) {
  EXPECT_EQ(str_from_double(2.5, -1), u"2.5");
  EXPECT_EQ(str_from_double(3, -1), u"3");
  EXPECT_EQ(str_from_double(1.0 / 3, -1), u"0.3333333333");
  EXPECT_EQ(str_from_double(16.0 / 9, 2), u"1.78");
  EXPECT_EQ(str_from_double(-0.0, 2), u"0.00");
  EXPECT_EQ(str_from_double(100, -1), u"100");
  EXPECT_EQ(str_from_double(1.5, -7), u"2");
  EXPECT_EQ(str_from_double(1.0 / 0.0, 2), u"+Infinity");
  EXPECT_EQ(str_from_double(-1.0 / 0.0, 2), u"-Infinity");
  EXPECT_EQ(str_from_double(0.0 / 0.0, 2), u"NaN");
  EXPECT_EQ(str_from_double(1e308, 0).size(), 309u);

  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  bool comma_locale = false;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "C.UTF-8"}) {
    if (std::setlocale(LC_NUMERIC, name) && *std::localeconv()->decimal_point == ',') {
      comma_locale = true;
      break;
    }
  }
  EXPECT_EQ(str_from_double(2.25, 2), u"2.25");
  EXPECT_EQ(str_from_double(2.5, -1), u"2.5");
  std::setlocale(LC_NUMERIC, saved.c_str());
  if (!comma_locale) GTEST_SKIP() << "no decimal-comma locale installed";
}

TEST(Text, CountPadReplaceRight) {
  EXPECT_EQ(str_count(u"aaaa", u"aa"), 2);
  EXPECT_EQ(str_count(u"abc", u""), 0);
  EXPECT_EQ(str_pad_left(u"7", 2, u"0"), u"07");
  EXPECT_EQ(str_pad_left(u"123", 2, u"0"), u"12");
  EXPECT_EQ(str_pad_left(u"7", 3, u""), u"  7");
  EXPECT_EQ(str_replace(u"aaa", u"aa", u"b"), u"ba");
  EXPECT_EQ(str_replace(u"###/#", u"#", u"12"), u"121212/12");
  EXPECT_EQ(str_replace(u"abc", u"", u"x"), u"abc");
  EXPECT_EQ(str_right(u"abc", 2), u"bc");
  EXPECT_EQ(str_right(u"abc", 9), u"abc");
  EXPECT_EQ(str_right(u"abc", -1), u"");
}

TEST(Text, FieldsBetweenDelimiters) {
  EXPECT_EQ(str_field(u"a,,c", 2, u","), u"");
  EXPECT_EQ(str_field(u"a,,c", 3, u","), u"c");
  EXPECT_EQ(str_field(u"a,,c", 4, u","), u"");
  EXPECT_EQ(str_field(u"a,,c", 0, u","), u"");
  EXPECT_EQ(str_field(u"a<>b<>c", 2, u"<>"), u"b");
  EXPECT_EQ(str_field(u"a<b", 2, u"<>"), u"");
  EXPECT_EQ(str_field(u"abc", 1, u""), u"abc");
}

TEST(Text, CaseMappingAndAsciiComparison) {
  std::setlocale(LC_CTYPE, "C.UTF-8");
  EXPECT_EQ(str_upper(u"deutsch \u00e9"), u"DEUTSCH \u00c9");
  EXPECT_EQ(str_equal_ascii_nocase(u"GameScreen", u"gamescreen"), 1);
  EXPECT_EQ(str_equal_ascii_nocase(u"\u00e9", u"\u00c9"), 0);
  std::setlocale(LC_CTYPE, "C");
}

TEST(List, CurrentElementRules) {
  List<int> list;
  EXPECT_EQ(list_next(list), nullptr);
  *list_add(list) = 1;  // [1]
  *list_add(list) = 3;  // [1, 3]
  list_first(list);
  *list_add(list) = 2;  // [1, 2, 3], 2 current
  EXPECT_EQ(list_index(list), 1);
  list_reset(list);
  *list_add(list) = 0;  // no current: at the front
  std::vector<int> seen;
  list_reset(list);
  while (int* v = list_next(list)) seen.push_back(*v);
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(list_next(list), nullptr);
  EXPECT_EQ(*list_current(list), 3);  // the last stays current
  list_first(list);
  EXPECT_EQ(list_previous(list), nullptr);
  EXPECT_EQ(*list_current(list), 0);
  EXPECT_EQ(*list_select(list, 2), 2);
  EXPECT_EQ(list_select(list, 4), nullptr);
  EXPECT_EQ(list_index(list), -1);
  EXPECT_EQ(list_size(list), 4);
}

TEST(Map, GetDoesNotAddPutDoes) {
  struct Record { int value; Text name; };
  Map<Record> map = map_create<Record>();
  EXPECT_EQ(map_get(map, u"missing").value, 0);
  EXPECT_EQ(map_size(map), 0);
  map_put(map, u"missing")->value = 5;
  EXPECT_EQ(map_size(map), 1);
  EXPECT_EQ(map_get(map, u"missing").value, 5);
  EXPECT_EQ(map_find(map, u"MISSING"), nullptr);
}

TEST(Map, WalksBucketsInOrderAndNewestFirstWithinABucket) {
  EXPECT_EQ(map_hash(u"ab"), 97u * 65599u + 98u);
  EXPECT_EQ(map_hash(u"\uFFFF"), 0xFFFFFFFFu);  // units count as signed 16-bit numbers
  // With 4 buckets, "a" (97) and "e" (101) share bucket 1; "c" (99) lies in bucket 3, "d" in 0.
  Map<int> map = map_create<int>(4);
  for (const char16_t* key : {u"c", u"a", u"d", u"e"}) *map_put(map, key) = 1;
  std::vector<Text> order;
  map_reset(map);
  while (map_next(map)) order.push_back(map_key(map));
  EXPECT_EQ(order, (std::vector<Text>{u"d", u"e", u"a", u"c"}));
  EXPECT_EQ(map_next(map), nullptr);
}

TEST(Text, InitMapsCaseBeyondAsciiEvenUnderThePlainLocale) {
  setenv("LC_ALL", "C", 1);
  text_init();
  EXPECT_EQ(str_upper(u"fran\u00e7ais espa\u00f1ol"), u"FRAN\u00c7AIS ESPA\u00d1OL");
  EXPECT_EQ(str_from_double(0.5, 1), u"0.5");
  unsetenv("LC_ALL");
  std::setlocale(LC_ALL, "C");
}
