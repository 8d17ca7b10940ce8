// The UTF-8 codec against byte tables written by hand (well-formed text at
// every length boundary, lone surrogates, stray continuation bytes, overlong
// forms, encoded surrogates, leads 0xF5 to 0xFF, sequences cut at every byte)
// and by round trip of every
// valid BMP unit plus astral characters. Inputs are copied into exact-size heap
// blocks so that the sanitizer build sees any read past the count.
#include "textlib/utf8.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "tests/textlib/failing_allocator.h"

namespace {

// "F0 9F 98 80" -> bytes; "D83D DE00" -> units. Written-out hex keeps the
// expected values readable as literals.
std::string bytesOf(const char* hex) {
  std::string out;
  for (char* p = const_cast<char*>(hex); *p;) out += static_cast<char>(std::strtoul(p, &p, 16));
  return out;
}
std::u16string unitsOf(const char* hex) {
  std::u16string out;
  for (char* p = const_cast<char*>(hex); *p;) out += static_cast<char16_t>(std::strtoul(p, &p, 16));
  return out;
}
template <class Unit> std::string hexOf(const Unit* p, size_t n) {
  std::string out;
  char cell[8];
  for (size_t i = 0; i < n; ++i) {
    const unsigned v = sizeof(Unit) == 1 ? static_cast<unsigned char>(p[i]) : static_cast<unsigned>(p[i]);
    std::snprintf(cell, sizeof cell, sizeof(Unit) == 1 ? "%02X" : "%04X", v);
    if (!out.empty()) out += ' ';
    out += cell;
  }
  return out;
}
template <class Unit> std::unique_ptr<Unit[]> exactCopy(const std::basic_string<Unit>& s) {
  std::unique_ptr<Unit[]> copy(new Unit[s.size() ? s.size() : 1]);
  std::copy(s.begin(), s.end(), copy.get());
  return copy;
}

// --- encodeUtf8 / toUtf8 ---

struct EncodeCase {
  const char* in;    // UTF-16 units, hex
  const char* want;  // UTF-8 bytes, hex
};

// Runs encodeUtf8 over exactly the given units and checks the terminator and
// a canary after it.
std::string encodeExact(const std::u16string& units, int32_t count) {
  const auto in = exactCopy(units);
  std::string out(3 * units.size() + 3, '\xCC');
  const int32_t written = encodeUtf8(in.get(), count, &out[0]);
  EXPECT_EQ(out[written], '\0');
  EXPECT_EQ(out[written + 1], '\xCC');
  return hexOf(out.data(), written);
}

TEST(Utf8EncodeTest, WellFormed_Table) {
  const EncodeCase kCases[] = {
      {"0041", "41"},           {"007F", "7F"},
      {"0080", "C2 80"},        {"00E9", "C3 A9"},
      {"07FF", "DF BF"},        {"0800", "E0 A0 80"},
      {"3042", "E3 81 82"},     {"FFFF", "EF BF BF"},
      {"D800 DC00", "F0 90 80 80"}, {"D83D DE00", "F0 9F 98 80"},
      {"DBFF DFFF", "F4 8F BF BF"},
      {"0061 00E9 3042 D83D DE00", "61 C3 A9 E3 81 82 F0 9F 98 80"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.in);
    const std::u16string units = unitsOf(c.in);
    EXPECT_EQ(encodeExact(units, static_cast<int32_t>(units.size())), c.want);
  }
}

TEST(Utf8EncodeTest, BrokenSurrogates_Table) {
  const EncodeCase kCases[] = {
      // A lone surrogate becomes U+FFFD; the unit after it stays.
      {"D800 0041", "EF BF BD 41"},
      {"D800 0041 0042", "EF BF BD 41 42"},
      {"DC00", "EF BF BD"},
      {"D800", "EF BF BD"},
      {"0061 D800", "61 EF BF BD"},
      {"D800 D800 DC00", "EF BF BD F0 90 80 80"},
      {"DC00 D800 DC00", "EF BF BD F0 90 80 80"},
      {"DC00 D800", "EF BF BD EF BF BD"},
      {"DBFF DBFF", "EF BF BD EF BF BD"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.in);
    const std::u16string units = unitsOf(c.in);
    EXPECT_EQ(encodeExact(units, static_cast<int32_t>(units.size())), c.want);
  }
}

TEST(Utf8EncodeTest, CountBounds_Table) {
  const struct {
    const char* in;
    int32_t count;
    const char* want;
  } kCases[] = {
      {"0041 0042 0043", 2, "41 42"},
      {"D83D DE00", 1, "EF BF BD"},  // the count cuts the pair: its high stands alone
      {"D83D DE00 0041", 1, "EF BF BD"},
      {"0041 0000 0042", 3, "41"},   // a NUL inside the count ends the text
      {"D83D 0000 0042", 3, "EF BF BD"},
      {"0041 0042 0000", -1, "41 42"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.in << " count " << c.count);
    EXPECT_EQ(encodeExact(unitsOf(c.in), c.count), c.want);
  }
}

TEST(Utf8EncodeTest, ToUtf8_ReplacesTarget) {
  __kvstrA target("old");
  const char16_t word[] = {0x0041, 0x00E9, 0x3042, 0xD83D, 0xDE00, 0};
  toUtf8(target, word, -1);
  EXPECT_EQ(hexOf(target.str(), target.length()), "41 C3 A9 E3 81 82 F0 9F 98 80");
  toUtf8(target, u"abc", 10);  // a count past the NUL stops at the NUL
  EXPECT_EQ(std::string(target.str()), "abc");
  toUtf8(target, u"", -1);  // an empty text still gives an allocated target
  EXPECT_NE(target.data(), nullptr);
  EXPECT_EQ(target.length(), 0);
}

// --- decodeUtf8 / fromUtf8 ---

struct DecodeCase {
  const char* in;    // UTF-8 bytes, hex
  const char* want;  // UTF-16 units, hex
};

std::string decodeExact(const std::string& bytes, int32_t count) {
  const auto in = exactCopy(bytes);
  std::u16string out(bytes.size() + 2, char16_t{0xCCCC});  // at most one unit per byte
  const int32_t written = decodeUtf8(in.get(), count, &out[0]);
  EXPECT_EQ(out[written], 0);
  EXPECT_EQ(out[written + 1], 0xCCCC);
  return hexOf(out.data(), written);
}

TEST(Utf8DecodeTest, WellFormed_Table) {
  const DecodeCase kCases[] = {
      {"41", "0041"},           {"7F", "007F"},
      {"C2 80", "0080"},        {"C3 A9", "00E9"},
      {"DF BF", "07FF"},        {"E0 A0 80", "0800"},
      {"E3 81 82", "3042"},     {"EF BF BF", "FFFF"},
      {"F0 90 80 80", "D800 DC00"}, {"F0 9F 98 80", "D83D DE00"},
      {"F4 8F BF BF", "DBFF DFFF"},
      {"41 C3 A9 42", "0041 00E9 0042"},
      {"C3 A9 E3 81 82 F0 9F 98 80 DF BF E0 A0 80", "00E9 3042 D83D DE00 07FF 0800"},  // a run of sequences
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.in);
    const std::string bytes = bytesOf(c.in);
    EXPECT_EQ(decodeExact(bytes, static_cast<int32_t>(bytes.size())), c.want);
  }
}

TEST(Utf8DecodeTest, Malformed_Table) {
  const DecodeCase kCases[] = {
      // One U+FFFD for each maximal invalid part; the byte that ends it is read again.
      {"80 41", "FFFD 0041"},
      {"BF BF", "FFFD FFFD"},
      {"C3 41 42", "FFFD 0041 0042"},
      {"E3 3C 22 3E", "FFFD 003C 0022 003E"},  // a stray lead never swallows markup
      {"F0 9F 98 41", "FFFD 0041"},
      {"ED A0 80", "FFFD FFFD FFFD"},          // an encoded surrogate
      {"ED 9F BF", "D7FF"},
      {"C0 80 41", "FFFD FFFD 0041"},          // overlong forms: never a NUL or a "/"
      {"C0 AF", "FFFD FFFD"},
      {"C1 BF", "FFFD FFFD"},
      {"E0 80 AF", "FFFD FFFD FFFD"},
      {"E0 9F BF", "FFFD FFFD FFFD"},
      {"F0 8F BF BF", "FFFD FFFD FFFD FFFD"},
      {"F4 90 80 80", "FFFD FFFD FFFD FFFD"},  // past U+10FFFF
      {"F5 80 80 80", "FFFD FFFD FFFD FFFD"},
      {"F8 80 80 80", "FFFD FFFD FFFD FFFD"},
      {"FF BF BF BF", "FFFD FFFD FFFD FFFD"},
      {"61 F1 80 80 E1 80 C2 62 80 63 80 BF 64",
       "0061 FFFD FFFD FFFD 0062 FFFD 0063 FFFD FFFD 0064"},
      // Valid and invalid sequences back to back, the run cut by the end.
      {"E3 81 82 E0 80 80 C3 A9 ED A0 80 E3 81", "3042 FFFD FFFD FFFD 00E9 FFFD FFFD FFFD FFFD"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.in);
    const std::string bytes = bytesOf(c.in);
    EXPECT_EQ(decodeExact(bytes, static_cast<int32_t>(bytes.size())), c.want);
  }
}

TEST(Utf8DecodeTest, CutAtEveryByte_Table) {
  // A sequence cut by the end is one U+FFFD.
  const DecodeCase kCases[] = {
      {"C3", "FFFD"},       {"E3", "FFFD"},        {"E3 81", "FFFD"},
      {"F0", "FFFD"},       {"F0 9F", "FFFD"},     {"F0 9F 98", "FFFD"},
      {"BF", "FFFD"},       {"FE", "FFFD"},
      {"41 E3 81", "0041 FFFD"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.in);
    const std::string bytes = bytesOf(c.in);
    EXPECT_EQ(decodeExact(bytes, static_cast<int32_t>(bytes.size())), c.want);
  }
}

TEST(Utf8DecodeTest, CountBounds_Table) {
  const struct {
    const char* in;
    int32_t count;
    const char* want;
  } kCases[] = {
      {"E3 81 82 41", 1, "FFFD"},   // the count cuts the sequence; nothing after is read
      {"E3 81 82 41", 2, "FFFD"},
      {"E3 81 82 41", 3, "3042"},
      {"E3 81 82 41", 4, "3042 0041"},
      {"C3 41 42", 1, "FFFD"},
      {"41 00 42", 3, "0041"},      // a NUL lead byte ends the text
      {"E3 00 42", 3, "FFFD"},      // so does a NUL where a continuation byte belongs
      {"41 42 00", -1, "0041 0042"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.in << " count " << c.count);
    EXPECT_EQ(decodeExact(bytesOf(c.in), c.count), c.want);
  }
}

// Plain ASCII is taken eight bytes at a time: a NUL, a non-ASCII byte or the
// count inside such a block must end or interrupt it exactly where one byte at
// a time would. fromUtf8 sizes its array by a count of the same units (the
// sanitizer build catches a count that falls short).
TEST(Utf8DecodeTest, AsciiBlocks_Table) {
  const struct {
    const char* in;
    int32_t count;
    const char* want;
  } kCases[] = {
      {"41 42 43 44 45 46 47 48 49 4A", 10, "0041 0042 0043 0044 0045 0046 0047 0048 0049 004A"},
      {"41 42 43 44 45 46 47 48 49 4A", 9, "0041 0042 0043 0044 0045 0046 0047 0048 0049"},
      {"41 42 43 44 45 46 47 48 49 4A", 7, "0041 0042 0043 0044 0045 0046 0047"},
      {"41 42 43 00 45 46 47 48 49 4A", 10, "0041 0042 0043"},
      {"41 42 43 44 45 46 47 48 49 00 4B", 11,
       "0041 0042 0043 0044 0045 0046 0047 0048 0049"},
      {"41 42 43 44 45 46 C3 A9 49 4A 4B 4C 4D 4E 4F 50 51", 17,
       "0041 0042 0043 0044 0045 0046 00E9 0049 004A 004B 004C 004D 004E 004F 0050 0051"},
      {"41 42 43 44 45 46 47 48 F0 9F 98 80 49 4A 4B 4C 4D 4E 4F 50", 20,
       "0041 0042 0043 0044 0045 0046 0047 0048 D83D DE00 0049 004A 004B 004C 004D 004E 004F 0050"},
      {"41 42 43 44 45 46 47 48 E3 81", 10, "0041 0042 0043 0044 0045 0046 0047 0048 FFFD"},
      {"7F 01 20 7E 41 42 43 44 80", 9, "007F 0001 0020 007E 0041 0042 0043 0044 FFFD"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.in << " count " << c.count);
    const std::string bytes = bytesOf(c.in);
    EXPECT_EQ(decodeExact(bytes, c.count), c.want);
    __kvstrW wide;
    fromUtf8(wide, bytes.data(), c.count);
    EXPECT_EQ(hexOf(wide.str(), wide.length()), c.want);
  }
}

// The block scan stops at the first byte that is not plain ASCII wherever it
// lies in a block (16 bytes with SSE2, 8 without) and hands the ASCII before it
// on at once: one stop at every position of three blocks' worth of "A".
TEST(Utf8DecodeTest, StopAtEveryBlockPosition_Table) {
  const struct {
    const char* stop;
    const char* want;  // for the stop
    bool goesOn;       // whether the "A"s after it are decoded
  } kCases[] = {
      {"C3 A9", "00E9", true},       // a valid sequence: its character
      {"80", "FFFD", true},          // a byte that leads nothing
      {"E3 41", "FFFD 0041", true},  // a sequence cut by ASCII, which is read afresh
      {"00", "", false},             // the NUL ends the text
  };
  constexpr size_t kRun = 48;
  auto runOfA = [](size_t n) {
    std::string hex;
    for (size_t i = 0; i < n; ++i) hex += " 0041";
    return hex;
  };
  for (const auto& c : kCases) {
    for (size_t at = 0; at < kRun; ++at) {
      SCOPED_TRACE(testing::Message() << c.stop << " at " << at);
      const std::string bytes = std::string(at, 'A') + bytesOf(c.stop) + std::string(kRun - at, 'A');
      std::string want = runOfA(at) + (*c.want ? " " : "") + c.want + runOfA(c.goesOn ? kRun - at : 0);
      want.erase(0, want.find_first_not_of(' '));
      EXPECT_EQ(decodeExact(bytes, static_cast<int32_t>(bytes.size())), want);
      __kvstrW wide;
      fromUtf8(wide, bytes.data(), static_cast<int32_t>(bytes.size()));
      EXPECT_EQ(hexOf(wide.str(), wide.length()), want);
    }
  }
}

TEST(Utf8DecodeTest, FromUtf8_ReplacesTarget) {
  __kvstrW target(u"old");
  fromUtf8(target, "\xE3\x81\x82\xF0\x9F\x98\x80", -1);
  EXPECT_EQ(hexOf(target.str(), target.length()), "3042 D83D DE00");
  fromUtf8(target, "ab\0cd", 5);
  EXPECT_EQ(std::u16string(target.str()), u"ab");
  fromUtf8(target, "", -1);
  EXPECT_NE(target.data(), nullptr);
  EXPECT_EQ(target.length(), 0);
}

// --- null source or zero count: the target is emptied in place ---

TEST(Utf8Test, NullOrZeroCount_EmptiesTargetWithoutFreeing) {
  __kvstrA narrow("xyz");
  const char* narrowArray = narrow.data();
  toUtf8(narrow, nullptr, 3);
  EXPECT_EQ(narrow.data(), narrowArray);
  EXPECT_EQ(narrow.length(), 0);
  narrow.assign("xyz", 3);
  narrowArray = narrow.data();
  toUtf8(narrow, u"a", 0);
  EXPECT_EQ(narrow.data(), narrowArray);
  EXPECT_EQ(narrow.length(), 0);

  __kvstrW wide(u"xyz");
  const char16_t* wideArray = wide.data();
  fromUtf8(wide, nullptr, -1);
  EXPECT_EQ(wide.data(), wideArray);
  EXPECT_EQ(wide.length(), 0);
  wide.assign(u"xyz", 3);
  wideArray = wide.data();
  fromUtf8(wide, "a", 0);
  EXPECT_EQ(wide.data(), wideArray);
  EXPECT_EQ(wide.length(), 0);

  __kvstrA absentNarrow;
  __kvstrW absentWide;
  toUtf8(absentNarrow, nullptr, -1);
  fromUtf8(absentWide, "abc", 0);
  EXPECT_EQ(absentNarrow.data(), nullptr);
  EXPECT_EQ(absentWide.data(), nullptr);
}

TEST(Utf8Test, FailedAllocation_LeavesTargetUnchanged) {
  __kvstrA narrow("keep");
  __kvstrW wide(u"keep");
  const char* narrowArray = narrow.data();
  const char16_t* wideArray = wide.data();
  EXPECT_THROW((testalloc::failAllocationAfter(1), toUtf8(narrow, u"new", -1)), std::bad_alloc);
  EXPECT_THROW((testalloc::failAllocationAfter(1), fromUtf8(wide, "new", -1)), std::bad_alloc);
  testalloc::disarm();
  EXPECT_EQ(narrow.data(), narrowArray);
  EXPECT_EQ(std::string(narrow.str()), "keep");
  EXPECT_EQ(wide.data(), wideArray);
  EXPECT_EQ(std::u16string(wide.str()), u"keep");
}

// --- decodeUtf8Char ---

TEST(Utf8DecodeCharTest, Characters_Table) {
  const struct {
    const char* in;  // bytes before the terminating NUL, hex
    uint32_t want;
    int advance;
  } kCases[] = {
      {"", 0, 0},                          // the end: next stays on the NUL
      {"41", 0x41, 1},
      {"7F", 0x7F, 1},
      {"C3 A9", 0xE9, 2},
      {"E3 81 82", 0x3042, 3},
      {"EF BF BF", 0xFFFF, 3},
      {"F0 9F 98 80", 0xD83DDE00, 4},      // a packed pair, high in the upper half
      {"F0 90 80 80", 0xD800DC00, 4},
      {"F4 8F BF BF", 0xDBFFDFFF, 4},
      {"C3 A9 41", 0xE9, 2},
      // An invalid part is U+FFFD; next on the byte that ended it.
      {"80 41", 0xFFFD, 1},
      {"F8 80 80 80", 0xFFFD, 1},
      {"C0 AF", 0xFFFD, 1},
      {"ED A0 80", 0xFFFD, 1},
      {"F0 9F 98 41", 0xFFFD, 3},
      // Cut short by the NUL: U+FFFD, next on the NUL.
      {"C3", 0xFFFD, 1},
      {"E3", 0xFFFD, 1},
      {"E3 81", 0xFFFD, 2},
      {"F0", 0xFFFD, 1},
      {"F0 9F", 0xFFFD, 2},
      {"F0 9F 98", 0xFFFD, 3},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.in);
    const std::string bytes = bytesOf(c.in);
    const auto in = exactCopy(bytes + '\0');
    const char* next = nullptr;
    EXPECT_EQ(decodeUtf8Char(in.get(), &next), c.want);
    EXPECT_EQ(next - in.get(), c.advance);
  }
}

// --- round trip ---

// Every BMP unit outside the surrogate range, then four astral characters.
std::u16string allValidUnits() {
  std::u16string s;
  for (uint32_t u = 1; u <= 0xFFFF; ++u) {
    if (u < 0xD800 || u > 0xDFFF) s += static_cast<char16_t>(u);
  }
  s += unitsOf("D800 DC00 DBFF DFFF D83D DE00 D840 DC00");
  return s;
}

TEST(Utf8RoundTripTest, EveryValidUnit_SurvivesBothWays) {
  const std::u16string original = allValidUnits();
  __kvstrA narrow;
  toUtf8(narrow, original.c_str(), -1);
  // 127 one-byte, 1920 two-byte, 61440 three-byte units and 4 four-byte pairs.
  EXPECT_EQ(narrow.length(), 188303);
  __kvstrW wide;
  fromUtf8(wide, narrow.str(), narrow.length());
  EXPECT_TRUE(std::u16string(wide.str()) == original);
}

TEST(Utf8RoundTripTest, DecodeCharWalk_SplitsPackedPairs) {
  const std::u16string original = allValidUnits();
  __kvstrA narrow;
  toUtf8(narrow, original.c_str(), -1);
  std::u16string walked;
  const char* p = narrow.str();
  while (const uint32_t c = decodeUtf8Char(p, &p)) {
    if (c > 0xFFFF) walked += static_cast<char16_t>(c >> 16);
    walked += static_cast<char16_t>(c & 0xFFFF);
  }
  EXPECT_EQ(p, narrow.str() + narrow.length());
  EXPECT_TRUE(walked == original);
}

}  // namespace
