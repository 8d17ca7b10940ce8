// Owned strings, the wide string buffer and decimal formatting: absent versus
// empty, counted copies, copies out of the string's own text, the buffer's
// growth step, and a failed allocation leaving everything as it was.
#include "textlib/kvstr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "tests/textlib/failing_allocator.h"

namespace {

std::u16string text(const __kvstrW& s) { return s.str(); }
std::u16string text(const __kvstrbufW& b) { return std::u16string(b.str(), b.length()); }

// --- construction and copies ---

TEST(KvstrTest, NullOrEmptySource_GivesAbsentString) {
  const char16_t nul[] = {0};
  const __kvstrW fromNull(static_cast<const char16_t*>(nullptr));
  const __kvstrW fromNul(nul);
  for (const __kvstrW* s : {&fromNull, &fromNul}) {
    __kvstrW copy(*s);
    EXPECT_EQ(copy.data(), nullptr);
    EXPECT_EQ(s->str(), kEmptyText);
    EXPECT_EQ(s->at(0), kEmptyText);
    EXPECT_EQ(s->length(), 0);
  }
  const __kvstrA narrow(static_cast<const char*>(nullptr));
  EXPECT_EQ(narrow.str(), kEmptyNarrowText);
}

TEST(KvstrTest, CopyOfAllocatedEmptyString_IsAbsent) {
  __kvstrW empty;
  empty.assign(u"x", 0);
  ASSERT_NE(empty.data(), nullptr);
  __kvstrW copy(empty);
  EXPECT_EQ(copy.data(), nullptr);
  EXPECT_TRUE(copy == empty);
}

TEST(KvstrTest, Copy_IsDeepAndExact) {
  __kvstrW a(u"abc");
  __kvstrW b(a);
  __kvstrW c;
  c = a;
  EXPECT_NE(b.data(), a.data());
  EXPECT_NE(c.data(), a.data());
  a.assign(u"z", 1);
  EXPECT_EQ(text(b), u"abc");
  EXPECT_EQ(text(c), u"abc");
  c = c;  // self-assignment keeps the text
  EXPECT_EQ(text(c), u"abc");
}

// --- assign ---

TEST(KvstrTest, AssignCounts_Table) {
  const char16_t abNul[] = {u'a', u'b', 0, u'c', u'd', 0};
  const struct {
    const char* name;
    const char16_t* src;
    int32_t n;
    const char16_t* want;
    int32_t stoppedAt;  // offset of the returned position in src
  } kCases[] = {
      {"n zero", u"abc", 0, u"", 0},
      {"n below length", u"hello", 3, u"hel", 3},
      {"n equals length", u"hello", 5, u"hello", 5},
      {"NUL inside n", abNul, 5, u"ab", 2},
      {"negative n", u"abc", -4, u"", 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    __kvstrW s(u"old");
    const char16_t* stopped = s.assign(c.src, c.n);
    EXPECT_EQ(stopped, c.src + c.stoppedAt);
    ASSERT_NE(s.data(), nullptr);  // assign always leaves an array, even an empty one
    EXPECT_EQ(text(s), c.want);
  }
}

TEST(KvstrTest, AssignNullSource_GivesEmptyNotAbsent) {
  __kvstrW s(u"old");
  EXPECT_EQ(s.assign(nullptr, 5), nullptr);
  ASSERT_NE(s.data(), nullptr);
  EXPECT_EQ(s.data()[0], 0);
  EXPECT_EQ(s.length(), 0);
}

TEST(KvstrTest, AssignFromOwnText_CopiesBeforeFreeing) {
  __kvstrW s(u"hello");
  s.assign(s.str() + 1, 3);
  EXPECT_EQ(text(s), u"ell");
  s.assign(s.str(), s.length());
  EXPECT_EQ(text(s), u"ell");
}

// --- append and attach ---

TEST(KvstrTest, AppendCounts_Table) {
  const char16_t cdNul[] = {u'c', u'd', 0, u'e', 0};
  const struct {
    const char* name;
    const char16_t* start;
    const char16_t* src;
    int32_t n;
    const char16_t* want;
  } kCases[] = {
      {"to absent", nullptr, u"xy", 2, u"xy"},
      {"n below length", u"ab", u"cdef", 2, u"abcd"},
      {"NUL inside n", u"ab", cdNul, 4, u"abcd"},
      {"n zero", u"ab", u"cd", 0, u"ab"},
      {"null source", u"ab", nullptr, 3, u"ab"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    __kvstrW s(c.start);
    s.append(c.src, c.n);
    EXPECT_EQ(text(s), c.want);
  }
}

TEST(KvstrTest, AppendOwnText_DoublesIt) {
  __kvstrW s(u"ab");
  s.append(s.str(), s.length());
  EXPECT_EQ(text(s), u"abab");
}

TEST(KvstrTest, Attach_TakesArrayAndFreesOld) {
  __kvstrW s(u"old");
  auto* array = new char16_t[3]{u'h', u'i', 0};
  s.attach(array);  // the sanitizer build reports the old array if it leaks
  EXPECT_EQ(s.data(), array);
  EXPECT_EQ(text(s), u"hi");
  s.attach(array);  // attaching the array it already owns must not free it
  EXPECT_EQ(text(s), u"hi");
}

// --- ordering ---

TEST(KvstrTest, Ordering_IsCodeUnitOrder) {
  const char16_t pair[] = {0xD83D, 0xDE00, 0};
  const char16_t fullA[] = {0xFF21, 0};
  const char16_t high[] = {0x8000, 0};
  const struct {
    const char16_t* a;
    const char16_t* b;
    bool less;
  } kCases[] = {
      {u"B", u"a", true},      {u"a", u"B", false},  // case-sensitive: 66 before 97
      {u"ab", u"abc", true},   {u"abc", u"ab", false},  // a prefix orders first
      {nullptr, u"", false},   {u"", nullptr, false},  // absent equals empty
      {nullptr, u"a", true},   {u"a", u"a", false},
      {pair, fullA, true},  // a surrogate unit orders below U+FF21
      {high, u"z", false},  // units compare unsigned
  };
  for (const auto& c : kCases) {
    const __kvstrW a(c.a);
    const __kvstrW b(c.b);
    SCOPED_TRACE(testing::Message() << "a=" << text(a).size() << " units, b=" << text(b).size());
    EXPECT_EQ(a < b, c.less);
  }
}

TEST(KvstrTest, MapKeys_AbsentAndEmptyAreOneKey) {
  std::map<__kvstrW, int> map;
  map.emplace(__kvstrW(), 1);
  __kvstrW empty;
  empty.assign(u"", 0);
  EXPECT_FALSE(map.emplace(empty, 2).second);  // inserting never replaces
  EXPECT_EQ(map.at(__kvstrW(u"")), 1);
  map.emplace(__kvstrW(u"b"), 3);
  map.emplace(__kvstrW(u"B"), 4);
  ASSERT_EQ(map.size(), 3u);
  auto it = map.begin();
  EXPECT_EQ(text((it++)->first), u"");
  EXPECT_EQ(text((it++)->first), u"B");
  EXPECT_EQ(text((it++)->first), u"b");
}

// --- the wide string buffer ---

TEST(KvstrbufTest, Fresh_ReadsEmpty) {
  __kvstrbufW b;
  EXPECT_EQ(b.str(), kEmptyText);
  EXPECT_EQ(b.capacity(), 0);
  b.append(u"", 0);  // even an empty append allocates the first step
  EXPECT_EQ(b.capacity(), 1024);
  EXPECT_NE(b.str(), kEmptyText);
  EXPECT_EQ(b.str()[0], 0);
}

TEST(KvstrbufTest, Growth_Table) {
  const std::u16string longText(5000, u'x');
  const struct {
    const char* name;
    int32_t firstN;   // units appended first (from longText)
    int32_t secondN;  // then this many more
    int32_t capacity;
    int32_t length;
  } kCases[] = {
      {"one unit", 1, 0, 1024, 1},
      {"needed 1025 after 1", 1, 1023, 2048, 1024},
      {"needed exactly 1024", 1023, 0, 1024, 1023},
      {"needed 1025 after 1023", 1023, 1, 2048, 1024},
      {"needed 2049", 2048, 0, 3072, 2048},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    __kvstrbufW b;
    b.append(longText.data(), c.firstN);
    if (c.secondN) b.append(longText.data(), c.secondN);
    EXPECT_EQ(b.capacity(), c.capacity);
    EXPECT_EQ(b.length(), c.length);
    EXPECT_EQ(b.str()[c.length], 0);
  }
}

// Unit by unit, the buffer of short texts grows one step at a time.
TEST(KvstrbufTest, GrowthByUnits_InWholeSteps) {
  __kvstrbufW b;
  std::vector<int32_t> capacities;
  for (int i = 0; i < 100000; ++i) {
    b.append(u'z');
    if (capacities.empty() || capacities.back() != b.capacity()) capacities.push_back(b.capacity());
  }
  ASSERT_EQ(capacities.size(), 98u);
  EXPECT_EQ(capacities[1], 2048);
  EXPECT_EQ(capacities.back(), 100352);
  EXPECT_EQ(b.length(), 100000);
  EXPECT_EQ(b.str()[99999], u'z');
  EXPECT_EQ(b.str()[100000], 0);
}

// An append grows to exactly the steps it needs.
TEST(KvstrbufTest, LargeAppend_GrowsToNeededSteps) {
  const std::u16string longText(10000, u'y');
  __kvstrbufW b;
  b.append(u'a');
  b.append(longText.data(), 10000);  // needed 10002
  EXPECT_EQ(b.capacity(), 10240);
  EXPECT_EQ(b.length(), 10001);
}

TEST(KvstrbufTest, Reserve_MakesRoomInWholeStepsOnce) {
  __kvstrbufW b;
  b.append(u"ab", 2);
  b.reserve(5000);  // needed 5003
  EXPECT_EQ(b.capacity(), 5120);
  EXPECT_EQ(text(b), u"ab");
  const std::u16string more(5000, u'm');
  b.append(more.data(), 5000);
  EXPECT_EQ(b.capacity(), 5120);  // no growth after the reservation
  EXPECT_EQ(b.length(), 5002);
  b.reserve(10);  // enough room already: nothing changes
  EXPECT_EQ(b.capacity(), 5120);
  __kvstrbufW fresh;
  fresh.reserve(0);  // like the first append: one step, reading as empty
  EXPECT_EQ(fresh.capacity(), 1024);
  EXPECT_EQ(text(fresh), u"");
}

TEST(KvstrbufTest, ShrinkToFit_KeepsTheTextAndGrowsAgain) {
  __kvstrbufW b;
  b.shrinkToFit();  // nothing held: stays empty
  EXPECT_EQ(b.capacity(), 0);
  EXPECT_EQ(text(b), u"");
  b.append(u"abc", 3);
  b.shrinkToFit();
  EXPECT_EQ(b.capacity(), 4);  // the text and its NUL
  EXPECT_EQ(text(b), u"abc");
  b.append(u'd');
  EXPECT_EQ(text(b), u"abcd");
  EXPECT_EQ(b.capacity(), 1024);
}

TEST(KvstrbufTest, Truncate_KeepsTheHeadAndGivesBackTheRest) {
  const struct {
    int32_t length;
    const char16_t* text;
    int32_t capacity;
  } kCases[] = {{2, u"ab", 3}, {0, u"", 1}, {5, u"abcde", 1024}, {9, u"abcde", 1024}, {-1, u"abcde", 1024}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.length);
    __kvstrbufW b;
    b.append(u"abcde", 5);
    b.truncate(c.length);
    EXPECT_EQ(text(b), c.text);
    EXPECT_EQ(b.capacity(), c.capacity);
  }
}

// append stops at a NUL whether or not the buffer had room already.
TEST(KvstrbufTest, Append_StopsAtNulWithOrWithoutRoom) {
  std::u16string source(40, u'r');
  source[20] = 0;
  for (int32_t n : {0, 1, 7, 8, 9, 16, 19, 20, 21, 24, 40}) {
    SCOPED_TRACE(n);
    for (bool reserved : {false, true}) {
      __kvstrbufW b;
      b.append(u'<');
      if (reserved) b.reserve(100);
      b.append(source.data(), n);
      const int32_t copied = n < 20 ? n : 20;
      EXPECT_EQ(b.length(), 1 + copied);
      EXPECT_EQ(text(b), u"<" + std::u16string(static_cast<size_t>(copied), u'r'));
      EXPECT_EQ(b.str()[b.length()], 0);
    }
  }
}

TEST(KvstrbufTest, CountBeyondText_SizesCapacityFromCount) {
  __kvstrbufW b;
  b.append(u"ab", 5000);  // needed 5001
  EXPECT_EQ(b.capacity(), 5120);
  EXPECT_EQ(text(b), u"ab");
  b.append(u"cd", 1);
  EXPECT_EQ(text(b), u"abc");
  b.append(u'\0');  // a NUL unit appends nothing
  b.append(u'd');
  EXPECT_EQ(text(b), u"abcd");
  EXPECT_EQ(b.capacity(), 5120);
}

TEST(KvstrbufTest, AppendOwnTextWhileGrowing_CopiesBeforeFreeing) {
  __kvstrbufW b;
  const std::u16string half(1000, u'q');
  b.append(half.data(), 999);
  b.append(u'r');
  b.append(b.str(), b.length());  // needed 2001: the old array is replaced
  EXPECT_EQ(b.capacity(), 2048);
  EXPECT_EQ(text(b), half.substr(0, 999) + u"r" + half.substr(0, 999) + u"r");
}

// A count past the buffer's own text copies the text once, with or without
// room: the copy stops at the NUL that ends it.
TEST(KvstrbufTest, AppendOwnTextWithLargerCount_CopiesItOnce) {
  for (bool reserved : {false, true}) {
    __kvstrbufW b;
    b.append(u"ab", 2);
    if (reserved) b.reserve(100);
    b.append(b.str(), 10);
    EXPECT_EQ(text(b), u"abab");
  }
}

// --- decimal formatting ---

TEST(FormatDecimalTest, Values_Table) {
  const struct {
    int32_t value;
    const char16_t* want;
  } kCases[] = {
      {0, u"0"},           {7, u"7"},
      {-7, u"-7"},         {10, u"10"},
      {-10, u"-10"},       {2147483647, u"2147483647"},
      {-2147483647 - 1, u"-2147483648"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.value);
    char16_t out[14];
    std::fill(std::begin(out), std::end(out), char16_t{0xCCCC});
    char16_t* end = formatDecimal(c.value, out);
    const std::u16string want = c.want;
    EXPECT_EQ(std::u16string(out), want);
    EXPECT_EQ(end, out + want.size());
    EXPECT_EQ(*end, 0);
    EXPECT_EQ(end[1], 0xCCCC);  // nothing written past the NUL
  }
}

// --- failed allocations ---

TEST(KvstrTest, FailedAllocation_LeavesStringUnchanged) {
  __kvstrW s(u"keep");
  const char16_t* before = s.data();
  const __kvstrW other(u"other");

  EXPECT_THROW((testalloc::failAllocationAfter(1), s.assign(u"xy", 2)), std::bad_alloc);
  EXPECT_THROW((testalloc::failAllocationAfter(1), s.append(u"xy", 2)), std::bad_alloc);
  EXPECT_THROW((testalloc::failAllocationAfter(1), s = other), std::bad_alloc);
  testalloc::disarm();
  EXPECT_EQ(s.data(), before);
  EXPECT_EQ(text(s), u"keep");
}

// A growth past the 32-bit range is refused before anything changes.
TEST(KvstrbufTest, FailedGrowth_LeavesBufferUnchanged) {
  __kvstrbufW buffer;
  const std::u16string block(1023, u'k');
  buffer.append(block.data(), 1023);
  const char16_t* before = buffer.str();
  const int32_t capacity = buffer.capacity();
  EXPECT_THROW(buffer.append(u"more", std::numeric_limits<int32_t>::max()), std::bad_alloc);
  EXPECT_EQ(buffer.str(), before);
  EXPECT_EQ(buffer.capacity(), capacity);
  EXPECT_EQ(buffer.length(), 1023);
  EXPECT_EQ(buffer.str()[1023], 0);
  buffer.append(u"more", 4);  // and it still works afterwards
  EXPECT_EQ(buffer.length(), 1027);
}

// The search takes several units a step: every position of the first hit in
// and after the whole steps, for a pair of units and for one.
TEST(FindEitherUnitTest, FirstHitAtEveryPosition) {
  const struct {
    char16_t a, b, hit;
  } kCases[] = {{u'&', 0, u'&'}, {u'&', 0, 0}, {u'"', u'"', u'"'}};
  for (const auto& c : kCases) {
    for (size_t length = 0; length <= 19; ++length) {
      for (size_t at = 0; at <= length; ++at) {
        SCOPED_TRACE(testing::Message() << int(c.hit) << " length " << length << " at " << at);
        // Fillers share the wanted units' low or high byte but are none of them.
        std::u16string text(length, static_cast<char16_t>(c.a << 8));
        for (size_t i = 1; i < length; i += 2) text[i] = static_cast<char16_t>(c.a | 0x100);
        text += c.a;  // past the range: never reached
        if (at < length) text[at] = c.hit;
        if (at + 1 < length) text[at + 1] = c.b;  // only the first hit counts
        EXPECT_EQ(findEitherUnit(text.data(), text.data() + length, c.a, c.b) - text.data(),
                  static_cast<std::ptrdiff_t>(at));
      }
    }
  }
}

// The byte search takes a block of bytes a step: every position of the first
// hit in and after the whole steps, among fillers one bit away from the byte.
TEST(FindByteTest, FirstHitAtEveryPosition) {
  for (const char wanted : {'\0', '\n', '\x80'}) {
    for (size_t length = 0; length <= 35; ++length) {
      for (size_t at = 0; at <= length; ++at) {
        SCOPED_TRACE(testing::Message() << int(wanted) << " length " << length << " at " << at);
        std::string text(length, static_cast<char>(wanted ^ 0x01));
        for (size_t i = 1; i < length; i += 2) text[i] = static_cast<char>(wanted ^ 0x80);
        text += wanted;  // past the range: never reached
        if (at < length) text[at] = wanted;
        if (at + 1 < length) text[at + 1] = wanted;  // only the first hit counts
        EXPECT_EQ(findByte(text.data(), text.data() + length, wanted) - text.data(), static_cast<std::ptrdiff_t>(at));
      }
    }
  }
}

}  // namespace
