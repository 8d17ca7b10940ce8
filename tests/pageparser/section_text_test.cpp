// The section text's growth, in and out of its arena.
#include "pageparser/section_text.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

TEST(SectionTextTest, ManyRuns_KeepEveryUnitInOrder) {
  TSectionText text;
  EXPECT_TRUE(text.empty());
  EXPECT_EQ(std::u16string(text.str()), u"");
  EXPECT_FALSE(text.endsWith(u'\n'));
  int32_t growths = 0;
  for (int i = 0; i < 100000; ++i) {
    const int32_t capacity = text.capacity();
    text.append(i % 2 ? u"b\n" : u"a", i % 2 ? 2 : 1);
    if (text.capacity() != capacity) ++growths;
  }
  // From 32 units, doubled up to 4096, then half again each time.
  EXPECT_EQ(text.capacity(), 157464);
  EXPECT_EQ(growths, 17);
  ASSERT_EQ(text.length(), 150000);
  const std::u16string all(text.str());
  EXPECT_EQ(all.size(), 150000u);
  EXPECT_EQ(all.substr(0, 6), u"ab\nab\n");
  EXPECT_EQ(all.substr(149994), u"ab\nab\n");
  EXPECT_TRUE(text.endsWith(u'\n'));
}

// Texts in an arena grow in place only while theirs is the latest room; any
// other growth copies, and past the arena's share the text moves to the C
// allocator. Whatever the interleaving, every text keeps its units in order,
// and shrinking one leaves its neighbours whole.
TEST(SectionTextTest, InArena_InterleavedGrowthKeepsEveryText) {
  const struct {
    const char* name;
    int32_t texts;
    int32_t runsEach;
    int32_t runLength;
  } kCases[] = {
      {"one text, in place then past the arena", 1, 600, 9},
      {"two texts taking turns", 2, 300, 7},
      {"five texts, one long run each turn", 5, 40, 150},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    TTextArena arena;
    std::vector<std::unique_ptr<TSectionText>> texts;
    std::vector<std::u16string> expected(static_cast<size_t>(c.texts));
    for (int32_t i = 0; i < c.texts; ++i) texts.push_back(std::make_unique<TSectionText>(&arena));
    for (int32_t run = 0; run < c.runsEach; ++run) {
      for (int32_t i = 0; i < c.texts; ++i) {
        const std::u16string units(static_cast<size_t>(c.runLength), static_cast<char16_t>(u'a' + (run + i) % 26));
        texts[static_cast<size_t>(i)]->appendUnits(units.data(), c.runLength);
        expected[static_cast<size_t>(i)] += units;
      }
    }
    texts.front()->truncate(3);
    expected.front().resize(3);
    texts.back()->shrinkToFit();
    for (int32_t i = 0; i < c.texts; ++i) {
      const TSectionText& t = *texts[static_cast<size_t>(i)];
      EXPECT_EQ(std::u16string(t.str(), static_cast<size_t>(t.length())), expected[static_cast<size_t>(i)]);
      EXPECT_EQ(t.str()[t.length()], 0);
    }
  }
}

TEST(TextArenaTest, ExtendsOnlyTheLatestRoomWithinItsBlock) {
  TTextArena arena;
  char16_t* const first = arena.allocate(10);
  EXPECT_TRUE(arena.extend(first, 10, 6));
  char16_t* const second = arena.allocate(4);
  EXPECT_EQ(second, first + 16);
  EXPECT_FALSE(arena.extend(first, 16, 1));       // no longer the latest
  EXPECT_FALSE(arena.extend(second, 4, 1 << 20));  // more than its block holds
  EXPECT_TRUE(arena.extend(second, 4, 1));
}

// Short runs are copied without a call, in two overlapping pieces of a size
// that depends on the length: every length up to past the longest such run,
// after an odd and an even length.
TEST(SectionTextTest, AppendUnits_CopiesExactlyTheRun) {
  std::u16string source;
  for (char16_t c = u'A'; source.size() < 140; ++c) source += c;
  for (const char16_t* before : {u"", u"1", u"12"}) {
    for (int32_t n = 0; n <= 140; ++n) {
      SCOPED_TRACE(testing::Message() << "after " << std::char_traits<char16_t>::length(before) << ", " << n);
      TSectionText text;
      text.append(before, static_cast<int32_t>(std::char_traits<char16_t>::length(before)));
      text.appendUnits(source.data(), n);
      EXPECT_EQ(std::u16string(text.str()), std::u16string(before) + source.substr(0, static_cast<size_t>(n)));
    }
  }
}

TEST(SectionTextTest, Append_StopsAtNulAndSurvivesItsOwnText) {
  TSectionText text;
  const char16_t withNul[] = {u'x', u'y', 0, u'z'};
  text.append(withNul, 4);
  EXPECT_EQ(std::u16string(text.str()), u"xy");
  text.append(u'\0');  // appends nothing
  EXPECT_EQ(text.length(), 2);
  // Appending the text to itself while it grows: the source moves with it.
  for (int i = 0; i < 6; ++i) text.append(text.str(), text.length());
  EXPECT_EQ(text.length(), 128);
  EXPECT_EQ(std::u16string(text.str()).substr(120), u"xyxyxyxy");
}

// A growth past the 32-bit range is refused before anything changes.
TEST(SectionTextTest, FailedGrowth_LeavesTextUnchanged) {
  TSectionText text;
  text.append(u"abc", 3);
  const int32_t capacity = text.capacity();
  EXPECT_THROW(text.append(u"more", std::numeric_limits<int32_t>::max()), std::bad_alloc);
  EXPECT_EQ(std::u16string(text.str()), u"abc");
  EXPECT_EQ(text.capacity(), capacity);
}

}  // namespace
