// The platform layer: natively our own implementations, on Windows (under
// Wine) the system's. The same expectations hold for both, except where a
// case says it is native only.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace {

/// A fresh folder under the system's temporary folder, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    static int serial = 0;
    path_ = fs::temp_directory_path() /
            ("dx_platform_" + std::to_string(std::rand()) + "_" + std::to_string(++serial));
    fs::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  fs::path operator/(const fs::path& name) const { return path_ / name; }

 private:
  fs::path path_;
};

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

std::u16string text16(const fs::path& path) { return path.u16string(); }

uint32_t lengthPrefix(BSTR text) {
  uint32_t length;
  std::memcpy(&length, reinterpret_cast<const unsigned char*>(text) - 4, 4);
  return length;
}

// --- system strings ---

TEST(BstrTest, AllocString_HasByteLengthPrefixAndWideNul) {
  BSTR text = platform::SysAllocString(u"abc");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(lengthPrefix(text), 6u);
  EXPECT_EQ(platform::SysStringByteLen(text), 6u);
  EXPECT_EQ(std::memcmp(text, u"abc", 8), 0);  // the three units and the NUL
  platform::SysFreeString(text);
}

TEST(BstrTest, AllocString_EmptyIsAStringNullIsNull) {
  BSTR empty = platform::SysAllocString(u"");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(platform::SysStringByteLen(empty), 0u);
  EXPECT_EQ(empty[0], 0);
  platform::SysFreeString(empty);
  EXPECT_EQ(platform::SysAllocString(nullptr), nullptr);
  EXPECT_EQ(platform::SysStringByteLen(nullptr), 0u);
  platform::SysFreeString(nullptr);
}

TEST(BstrTest, AllocStringByteLen_KeepsOddLengthAndEndsWithTwoZeroBytes) {
  BSTR bytes = platform::SysAllocStringByteLen("a\0bXY", 3);
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(lengthPrefix(bytes), 3u);
  EXPECT_EQ(platform::SysStringByteLen(bytes), 3u);
  EXPECT_EQ(std::memcmp(bytes, "a\0b\0\0", 5), 0);
  platform::SysFreeString(bytes);

  BSTR page = platform::SysAllocStringByteLen("<p>x</p>\0", 9);  // how a host hands a page over
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(platform::SysStringByteLen(page), 9u);
  EXPECT_STREQ(reinterpret_cast<const char*>(page), "<p>x</p>");
  platform::SysFreeString(page);
}

TEST(BstrTest, AllocStringByteLen_WithoutBytesGivesTheLength) {
  BSTR blank = platform::SysAllocStringByteLen(nullptr, 10);
  ASSERT_NE(blank, nullptr);
  EXPECT_EQ(platform::SysStringByteLen(blank), 10u);
  platform::SysFreeString(blank);
}

TEST(BstrTest, AllocStringLen_TakesThatManyUnitsNulsIncluded) {
  BSTR text = platform::SysAllocStringLen(u"a\0bcd", 3);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(platform::SysStringByteLen(text), 6u);
  EXPECT_EQ(std::memcmp(text, u"a\0b", 8), 0);  // the three units and the NUL
  platform::SysFreeString(text);
}

TEST(BstrTest, AllocStringLen_WithoutTextGivesRoomToWriteInPlace) {
  BSTR room = platform::SysAllocStringLen(nullptr, 4);
  ASSERT_NE(room, nullptr);
  EXPECT_EQ(platform::SysStringByteLen(room), 8u);
  EXPECT_EQ(room[4], 0);  // the NUL after the room
  std::memcpy(room, u"wxyz", 8);
  EXPECT_EQ(std::memcmp(room, u"wxyz", 10), 0);
  platform::SysFreeString(room);

  BSTR empty = platform::SysAllocStringLen(nullptr, 0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(platform::SysStringByteLen(empty), 0u);
  EXPECT_EQ(empty[0], 0);
  platform::SysFreeString(empty);
}

TEST(BstrTest, AllocStringLen_BeyondThirtyTwoBitBytes_Null) {
  EXPECT_EQ(platform::SysAllocStringLen(nullptr, 0x80000000u), nullptr);
  EXPECT_EQ(platform::SysAllocStringLen(nullptr, UINT32_MAX), nullptr);
}

#if !defined(_WIN32)
TEST(BstrTest, NativeHostBlock_IsReadAndFreedByTheLayer) {
  // A native host builds a BSTR itself: malloc'd block, length, text, NUL.
  auto* block = static_cast<unsigned char*>(std::malloc(4 + 4 + 2));
  const uint32_t length = 4;
  std::memcpy(block, &length, 4);
  std::memcpy(block + 4, "hi!\0\0\0", 6);
  BSTR text = reinterpret_cast<BSTR>(block + 4);
  EXPECT_EQ(platform::SysStringByteLen(text), 4u);
  platform::SysFreeString(text);  // free() of the block; the sanitizer build checks the pairing
}

TEST(BstrTest, NativeBlock_IsReleasedWithFreeOfTheBlockStart) {
  BSTR text = platform::SysAllocString(u"xy");
  ASSERT_NE(text, nullptr);
  std::free(reinterpret_cast<unsigned char*>(text) - 4);  // as a native host does
}
#endif

// --- profile reader ---

// CRLF line ends, as files written on Windows have them.
constexpr char kProfile[] =
    "; settings\r\n"
    "[Other]\r\n"
    "AudioEnabled=5\r\n"
    "[Config]\r\n"
    "Seven=7\r\n"
    " negative =  -3\r\n"
    "Plus=+5\r\n"
    "Trailing=12abc\r\n"
    "Letters=abc\r\n"
    "Empty=\r\n"
    "Blank=   \r\n"
    "  Spaced  =   42   \r\n"
    "Quoted=\"8\"\r\n"
    ";Commented=9\r\n"
    "NoEquals\r\n"
    "Twice=1\r\n"
    "Twice=2\r\n"
    "Huge=4294967297\r\n"
    "Cut=000000000000000000000000000003\r\n"    // a digit as the 30th unit
    "Kept=00000000000000000000000000004\r\n"    // and as the 29th
    "[config]\r\n"
    "Later=11\r\n";

TEST(ProfileTest, GetPrivateProfileInt_ReadsAsWindowsDoes) {
  TempFolder folder;
  const fs::path file = folder / "settings.ini";
  writeFile(file, kProfile);
  const std::u16string path = text16(file);

  const struct {
    const char16_t* section;
    const char16_t* key;
    int32_t want;
  } kCases[] = {
      {u"config", u"Seven", 7},        // section matched whatever its case
      {u"CONFIG", u"SEVEN", 7},        // key too
      {u"config", u"negative", -3},    // blanks around name and value
      {u"config", u"plus", 5},
      {u"config", u"trailing", 12},    // leading digits only
      {u"config", u"letters", 0},      // a value without digits is 0
      {u"config", u"empty", 99},       // an empty value reads as absent
      {u"config", u"blank", 99},
      {u"config", u"spaced", 42},
      {u"config", u"quoted", 8},       // one pair of quotes is stripped
      {u"config", u"Commented", 99},   // ";" starts a comment
      {u"config", u"NoEquals", 99},
      {u"config", u"Twice", 1},        // the first key of a name wins
      {u"config", u"Huge", 1},         // wraps modulo 2^32
      {u"config", u"Cut", 0},          // only the value's first 29 units are read
      {u"config", u"Kept", 4},
      {u"config", u"Later", 99},       // only the first section of a name counts
      {u"config", u"AudioEnabled", 99},  // the key lives in another section
      {u"other", u"AudioEnabled", 5},
      {u"absent", u"Seven", 99},
  };
  for (const auto& row : kCases) {
    SCOPED_TRACE(std::string(row.section, row.section + std::char_traits<char16_t>::length(row.section)) + "/" +
                 std::string(row.key, row.key + std::char_traits<char16_t>::length(row.key)));
    EXPECT_EQ(platform::GetPrivateProfileIntW(row.section, row.key, 99, path.c_str()), row.want);
  }
}

TEST(ProfileTest, GetPrivateProfileInt_MissingFileGivesDefault) {
  TempFolder folder;
  const std::u16string path = text16(folder / "none.ini");
  EXPECT_EQ(platform::GetPrivateProfileIntW(u"config", u"AudioEnabled", 1, path.c_str()), 1);
  EXPECT_EQ(platform::GetPrivateProfileIntW(u"config", u"AudioEnabled", 0, path.c_str()), 0);
}

TEST(ProfileTest, GetPrivateProfileInt_LastLineWithoutLineEnd) {
  TempFolder folder;
  const fs::path file = folder / "short.ini";
  writeFile(file, "[config]\nAudioEnabled=0");
  EXPECT_EQ(platform::GetPrivateProfileIntW(u"config", u"AudioEnabled", 1, text16(file).c_str()), 0);
}

TEST(ProfileTest, GetPrivateProfileInt_ReadsUtf16AndUtf8MarkedFiles) {
  TempFolder folder;
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("[config]\r\nAudioEnabled=0\r\n")) utf16 += std::string{c, '\0'};
  writeFile(folder / "wide.ini", utf16);
  EXPECT_EQ(platform::GetPrivateProfileIntW(u"config", u"AudioEnabled", 1, text16(folder / "wide.ini").c_str()), 0);
  writeFile(folder / "marked.ini", "\xEF\xBB\xBF[config]\r\nAudioEnabled=0\r\n");
  EXPECT_EQ(platform::GetPrivateProfileIntW(u"config", u"AudioEnabled", 1, text16(folder / "marked.ini").c_str()), 0);
}

#if !defined(_WIN32)
// The profile is read while the module loads: a FIFO must not block it, and a
// device or a huge file must not take memory without end. Each reads as if
// the key were absent.
TEST(ProfileTest, GetPrivateProfileInt_OnlyRegularFilesOfSaneSize) {
  TempFolder folder;
  const fs::path fifo = folder / "fifo.ini";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string line = "[config]\nAudioEnabled=0\n";
  writeFile(folder / "large.ini", line + std::string((1 << 20) - line.size(), ';'));
  writeFile(folder / "larger.ini", line + std::string((1 << 20) - line.size() + 1, ';'));
  const struct {
    std::u16string path;
    int32_t want;
  } kCases[] = {
      {text16(fifo), 1},
      {u"/dev/zero", 1},
      {text16(folder / "."), 1},  // a folder
      {text16(folder / "large.ini"), 0},  // 1 MiB exactly is still read
      {text16(folder / "larger.ini"), 1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
    EXPECT_EQ(platform::GetPrivateProfileIntW(u"config", u"AudioEnabled", 1, c.path.c_str()), c.want);
  }
}
#endif

// --- folders and files ---

TEST(FolderTest, CreateDirectory_CreatesOneLevelOnly) {
  TempFolder folder;
  const fs::path voice = folder / "VoiceFiles";
  EXPECT_TRUE(platform::CreateDirectoryW(text16(voice).c_str()));
  EXPECT_TRUE(fs::is_directory(voice));
  EXPECT_FALSE(platform::CreateDirectoryW(text16(voice).c_str()));  // already there
  const fs::path deep = folder / "missing" / "child";
  EXPECT_FALSE(platform::CreateDirectoryW(text16(deep).c_str()));
  EXPECT_FALSE(fs::exists(deep));
}

TEST(FolderTest, CreateDirectory_TakesNonAsciiNames) {
  TempFolder folder;
  const fs::path named = folder / fs::path(u"d\u00e9j\u00e0 \u8f9e\u66f8");
  EXPECT_TRUE(platform::CreateDirectoryW(text16(named).c_str()));
  EXPECT_TRUE(fs::is_directory(named));
}

TEST(FileTest, ReadSeekClose_FollowTheRuntimeCalls) {
  TempFolder folder;
  const fs::path file = folder / fs::path(u"t\u00eaxt.bin");
  writeFile(file, std::string("hello\r\nworld\0!", 14));  // binary: CR LF and NUL kept
  const int fd = platform::openRead(text16(file).c_str());
  ASSERT_GE(fd, 0);
  char buffer[32] = {};
  EXPECT_EQ(platform::readFile(fd, buffer, 7), 7);
  EXPECT_EQ(std::string(buffer, 7), "hello\r\n");
  EXPECT_EQ(platform::seekFile(fd, 0, 2), 14);   // the end: the size
  EXPECT_EQ(platform::seekFile(fd, 7, 0), 7);
  EXPECT_EQ(platform::seekFile(fd, -2, 1), 5);
  EXPECT_EQ(platform::readFile(fd, buffer, sizeof buffer), 9);
  EXPECT_EQ(std::string(buffer, 9), std::string("\r\nworld\0!", 9));
  EXPECT_EQ(platform::readFile(fd, buffer, sizeof buffer), 0);  // at the end
  EXPECT_EQ(platform::seekFile(fd, 0, 7), -1);                  // no such origin
  EXPECT_EQ(platform::closeFile(fd), 0);
}

TEST(FileTest, OpenRead_MissingFileOrNullPathFails) {
  TempFolder folder;
  EXPECT_EQ(platform::openRead(text16(folder / "absent.txt").c_str()), -1);
  EXPECT_EQ(platform::openRead(nullptr), -1);
}

// --- text ---

TEST(AnsiTest, MultiByteToWideChar_MapsWindows1252) {
  char bytes[32];
  for (int i = 0; i < 32; ++i) bytes[i] = static_cast<char>(0x80 + i);
  char16_t out[32] = {};
  ASSERT_EQ(platform::MultiByteToWideChar(bytes, 32, out, 32), 32);
#if defined(_WIN32)
  if (out[0] != 0x20AC) GTEST_SKIP() << "the system's ANSI code page is not Windows-1252";
#endif
  const char16_t kWant[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
  };
  for (int i = 0; i < 32; ++i) {
    SCOPED_TRACE(0x80 + i);
    EXPECT_EQ(out[i], kWant[i]);
  }
  const char latin[] = "A\xA0\xE9\xFF";
  ASSERT_EQ(platform::MultiByteToWideChar(latin, 4, out, 32), 4);
  EXPECT_EQ(std::u16string(out, 4), u"A\u00a0\u00e9\u00ff");
}

TEST(AnsiTest, MultiByteToWideChar_CountsAndCapacity) {
  char16_t out[8];
  for (char16_t& unit : out) unit = u'#';
  EXPECT_EQ(platform::MultiByteToWideChar("ab", -1, out, 8), 3);  // the NUL counts
  EXPECT_EQ(std::u16string(out, 4), std::u16string(u"ab\0#", 4));
  EXPECT_EQ(platform::MultiByteToWideChar("abcd", 4, nullptr, 0), 4);  // size asked for
  EXPECT_EQ(platform::MultiByteToWideChar("abcd", 4, out, 3), 0);      // does not fit
}

TEST(FileNameTest, NamesOneFile_EqualButForCase) {
  const struct {
    const char16_t* a;
    const char16_t* b;
    bool one;
  } kCases[] = {
      {u"c1_Cat.ogg", u"c1_cAT.OGG", true}, {u"c1_a.ogg", u"c1_a.ogg", true}, {u"", u"", true},
      {u"c1_a.ogg", u"c1_b.ogg", false},    {u"a", u"ab", false},             {u"ab", u"a", false},
      {u"a[", u"A{", false},  // not letters: no case
  };
  for (const auto& c : kCases) EXPECT_EQ(platform::namesOneFile(c.a, c.b), c.one) << (&c - kCases);
}

TEST(ModuleTest, ModuleFileName_NamesThisProgramInFull) {
  const std::u16string name = platform::moduleFileName(nullptr);
  const std::u16string tail = fs::path(DX_TEST_PROGRAM).filename().u16string();
#if defined(_WIN32)
  ASSERT_GT(name.size(), 3u);
  EXPECT_EQ(name[1], u':');
#else
  ASSERT_FALSE(name.empty());
  EXPECT_EQ(name[0], u'/');
#endif
  ASSERT_GE(name.size(), tail.size());
  EXPECT_EQ(name.substr(name.size() - tail.size()), tail);
}

TEST(OutputTest, StandardStreams_GetTheBytesAsTheyStand) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  platform::writeStandardOutput("h\xC3\xA9\nx", 4);
  platform::writeStandardError("w\n", 2);
  platform::writeStandardError("", 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "h\xC3\xA9\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "w\n");
}

}  // namespace
