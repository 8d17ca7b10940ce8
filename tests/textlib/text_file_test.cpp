// Text files read line by line: files are written byte for byte into a fresh
// temporary folder in every encoding (ANSI, UTF-8 with and without a mark,
// UTF-16 in both byte orders) and read back through TIFile. Cases cover the
// line-end rules, dropped NUL and Ctrl-Z, long lines across the 256-unit block
// and the 4096-element buffer, characters cut by a refill, and seek/tell.
#include "textlib/text_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

namespace fs = std::filesystem;

using Lines = std::vector<std::u16string>;

std::string bytes(const char* s, size_t n) { return std::string(s, n); }
const std::string kUtf8Mark = "\xEF\xBB\xBF";
const std::string kUtf16LeMark = "\xFF\xFE";
const std::string kUtf16BeMark = "\xFE\xFF";

// UTF-16 text as file bytes in either byte order.
std::string utf16Bytes(const std::u16string& units, bool bigEndian) {
  std::string out;
  for (char16_t u : units) {
    const char lo = static_cast<char>(u & 0xFF);
    const char hi = static_cast<char>(u >> 8);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  }
  return out;
}

class TextFileTest : public testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    folder_ = fs::temp_directory_path() /
              ("lexoradx_text_" + std::to_string(serial++) + "_" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    ASSERT_TRUE(fs::create_directories(folder_));
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  // Writes `content` to a new file and returns its path (kept alive here,
  // since TIFile keeps the pointer).
  const char16_t* write(const std::string& name, const std::string& content) {
    const fs::path path = folder_ / name;
    std::ofstream(path, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
    paths_.push_back(path.u16string());
    return paths_.back().c_str();
  }

  // Every line until the end, checking that each result equals the length.
  static Lines readAll(TIFile& file) {
    Lines lines;
    __kvstrW line;
    for (int n; (n = file.readLine(line)) != -1;) {
      EXPECT_EQ(n, line.length());
      lines.emplace_back(line.str());
      if (lines.size() > 100) break;  // a reader that never ends
    }
    EXPECT_EQ(file.readLine(line), -1);  // the end stays the end
    return lines;
  }

  Lines readFile(const std::string& content) {
    TIFile file;
    EXPECT_EQ(file.open(write("f" + std::to_string(paths_.size()), content)), 0);
    return readAll(file);
  }

  fs::path folder_;
  std::vector<std::u16string> paths_;
};

struct LineCase {
  const char* name;
  std::string content;
  Lines want;
};

// --- line rules (ANSI path: no mark) ---

TEST_F(TextFileTest, LineEnds_Table) {
  const std::vector<LineCase> kCases = {
      {"CR LF, CR and LF", "a\r\nb\rc\n", {u"a", u"b", u"c"}},
      {"CR at the end", "x\r", {u"x"}},
      {"two LFs", "\n\n", {u"", u""}},
      {"no final terminator", "a\nb", {u"a", u"b"}},
      {"CR CR LF LF", "\r\r\n\n", {u"", u"", u""}},
      {"LF CR", "a\n\rb", {u"a", u"", u"b"}},
      {"empty file", "", {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(readFile(c.content), c.want);
  }
}

TEST_F(TextFileTest, NulAndCtrlZ_AreDropped) {
  const std::vector<LineCase> kCases = {
      {"inside a line", bytes("a\0b\x1A" "c\n", 6), {u"abc"}},
      {"only them, then the end", bytes("\0\x1A\0", 3), {}},
      {"only them, then LF", bytes("\0\x1A\n", 3), {u""}},
      {"after a CR", bytes("a\r\0b", 4), {u"a", u"b"}},  // pushed back, then dropped
      {"last line of them", bytes("a\n\x1A", 3), {u"a"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(readFile(c.content), c.want);
  }
}

// --- encodings ---

TEST_F(TextFileTest, Encodings_Table) {
  const std::u16string astral = u"\U0001F600";
  const std::vector<LineCase> kCases = {
      {"ANSI high bytes", "\x80\x93\x9F\xE9\nA", {u"\u20AC\u201C\u0178\u00E9", u"A"}},
      {"UTF-8 without mark reads as ANSI", "a\xC3\xA9", {u"a\u00C3\u00A9"}},
      {"EF BB 41 is ANSI from the start", "\xEF\xBB\x41", {u"\u00EF\u00BB" u"A"}},
      {"EF BB alone", "\xEF\xBB", {u"\u00EF\u00BB"}},
      {"one byte", "\xFF", {u"\u00FF"}},
      {"UTF-8 with mark", kUtf8Mark + "a\xC3\xA9\r\n\xE3\x81\x82\xF0\x9F\x98\x80z\rq",
       {u"a\u00E9", u"\u3042" + astral + u"z", u"q"}},
      {"UTF-8 mark only", kUtf8Mark, {}},
      {"UTF-8 CR before a non-ASCII character", kUtf8Mark + "a\r\xC3\xA9\rb", {u"a", u"\u00E9", u"b"}},
      {"UTF-8 CR before an astral character", kUtf8Mark + "a\r\xF0\x9F\x98\x80", {u"a", astral}},
      {"UTF-8 NUL byte is stepped over", kUtf8Mark + bytes("a\0b\n\0", 5), {u"ab"}},
      {"UTF-8 sequence cut by a NUL byte", kUtf8Mark + bytes("a\xE3\0b", 4), {u"a\uFFFDb"}},
      {"UTF-8 sequence cut by the end", kUtf8Mark + "ab\xE3\x81", {u"ab\uFFFD"}},
      {"UTF-16LE", kUtf16LeMark + utf16Bytes(u"A\r\nB\n\u00E9\U0001F600", false),
       {u"A", u"B", u"\u00E9" + astral}},
      {"UTF-16LE NUL and Ctrl-Z units", kUtf16LeMark + utf16Bytes(std::u16string(u"a\0b\x1A", 4), false), {u"ab"}},
      {"UTF-16LE odd last byte ignored", kUtf16LeMark + "A" + bytes("\0", 1) + "B", {u"A"}},
      {"UTF-16BE", kUtf16BeMark + utf16Bytes(u"A\rB\r\n\u3042\U0001F600", true), {u"A", u"B", u"\u3042" + astral}},
      {"UTF-16BE 00 41 is A", kUtf16BeMark + bytes("\0A", 2), {u"A"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(readFile(c.content), c.want);
  }
}

TEST_F(TextFileTest, Open_DetectsMarkAndEncoding) {
  const struct {
    std::string content;
    uint16_t mark;
    FileEncoding encoding;
  } kCases[] = {
      {kUtf8Mark + "x", 0xBF, FileEncoding::Utf8},
      {kUtf16LeMark + "x", 0xFEFF, FileEncoding::Utf16Le},
      {kUtf16BeMark + "x", 0xFFFE, FileEncoding::Utf16Be},
      {"\xEF\xBB\x41", 0, FileEncoding::Ansi},
      {"", 0, FileEncoding::Ansi},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.content.size());
    TIFile file;
    ASSERT_EQ(file.open(write("m" + std::to_string(paths_.size()), c.content)), 0);
    EXPECT_EQ(file.byteOrderMark(), c.mark);
    EXPECT_EQ(file.encoding(), c.encoding);
    EXPECT_FALSE(file.openFailed());
  }
}

// --- long lines and buffer boundaries ---

TEST_F(TextFileTest, LongLines_ArriveWhole) {
  // Lengths around the 256-unit block and past the 4096-element buffer.
  const int kLengths[] = {255, 256, 257, 512, 513, 4095, 4096, 4097, 9000};
  std::u16string wide;
  std::string narrow;
  Lines want;
  for (int n : kLengths) {
    const std::u16string line(static_cast<size_t>(n), u'\u00E9');
    want.push_back(line);
    wide += line + u"\r\n";
    narrow += std::string(static_cast<size_t>(n), '\xE9') + "\n";
  }
  std::string utf8;
  for (int n : kLengths) {
    for (int i = 0; i < n; ++i) utf8 += "\xC3\xA9";
    utf8 += "\r";
  }
  EXPECT_EQ(readFile(narrow), want);
  EXPECT_EQ(readFile(kUtf8Mark + utf8), want);
  EXPECT_EQ(readFile(kUtf16LeMark + utf16Bytes(wide, false)), want);
  EXPECT_EQ(readFile(kUtf16BeMark + utf16Bytes(wide, true)), want);
}

TEST_F(TextFileTest, Utf8AstralAcrossRefill_IsWhole) {
  // The data after the mark starts the reader's first 4096-byte buffer; these
  // fillers put F0 9F 98 80 on, across and just after that boundary.
  for (int filler : {4090, 4092, 4093, 4094, 4095, 4096, 4097}) {
    SCOPED_TRACE(filler);
    const std::string content = kUtf8Mark + std::string(static_cast<size_t>(filler), 'a') +
                                "\xF0\x9F\x98\x80" "z\n\xF0\x9F\x98\x80";
    const Lines want = {std::u16string(static_cast<size_t>(filler), u'a') + u"\U0001F600z", u"\U0001F600"};
    EXPECT_EQ(readFile(content), want);
  }
}

TEST_F(TextFileTest, LineEndAcrossRefill_Table) {
  // CR as the last element of the first buffer, its partner the first of the next.
  const std::string a4095(4095, 'a');
  const std::u16string w4095(4095, u'a');
  const std::vector<LineCase> kCases = {
      {"ANSI CR|LF", a4095 + "\r\nb", {w4095, u"b"}},
      {"ANSI CR|b", a4095 + "\rb", {w4095, u"b"}},
      {"UTF-8 CR|LF", kUtf8Mark + a4095 + "\r\nb", {w4095, u"b"}},
      {"UTF-8 CR|non-ASCII", kUtf8Mark + a4095 + "\r\xC3\xA9", {w4095, u"\u00E9"}},
      {"UTF-16BE CR|LF", kUtf16BeMark + utf16Bytes(w4095 + u"\r\nb", true), {w4095, u"b"}},
      {"UTF-16LE CR|b", kUtf16LeMark + utf16Bytes(w4095 + u"\rb", false), {w4095, u"b"}},
      {"UTF-16LE pair split", kUtf16LeMark + utf16Bytes(w4095 + u"\U0001F600", false),
       {w4095 + u"\U0001F600"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(readFile(c.content), c.want);
  }
}

// --- opening ---

TEST_F(TextFileTest, MissingFile_FailsAndSetsOpenFailed) {
  TIFile file;
  const std::u16string missing = (folder_ / "missing.txt").u16string();
  EXPECT_EQ(file.open(missing.c_str()), -1);
  EXPECT_TRUE(file.openFailed());
  EXPECT_FALSE(file.isOpen());
  __kvstrW line(u"kept");
  EXPECT_EQ(file.readLine(line), -1);
  EXPECT_EQ(std::u16string(line.str()), u"kept");

  EXPECT_EQ(file.open(write("present.txt", "ok")), 0);  // the next open clears the flag
  EXPECT_FALSE(file.openFailed());
  EXPECT_EQ(readAll(file), Lines{u"ok"});
}

TEST_F(TextFileTest, NeverOpened_ReportsEnd) {
  TIFile file;
  __kvstrW line(u"kept");
  EXPECT_EQ(file.readLine(line), -1);
  EXPECT_EQ(std::u16string(line.str()), u"kept");
  EXPECT_EQ(file.readChar(), -1);
  EXPECT_EQ(file.tell(), -1);
  EXPECT_EQ(file.seek(0), -1);
  EXPECT_EQ(file.rewind(), -1);
  EXPECT_EQ(file.openWrite(u"x"), -1);
  EXPECT_EQ(file.close(), 0);
  EXPECT_FALSE(file.openFailed());
}

TEST_F(TextFileTest, AnsiEndOfFile_LeavesLineUnchanged) {
  TIFile file;
  ASSERT_EQ(file.open(write("a.txt", "one\n")), 0);
  __kvstrW line;
  EXPECT_EQ(file.readLine(line), 3);
  EXPECT_EQ(file.readLine(line), -1);
  EXPECT_EQ(std::u16string(line.str()), u"one");
}

TEST_F(TextFileTest, OpenWhileOpen_KeepsDescriptorAndStartsOver) {
  TIFile file;
  const char16_t* path = write("again.txt", kUtf8Mark + "one\ntwo\n");
  ASSERT_EQ(file.open(path), 0);
  __kvstrW line;
  ASSERT_EQ(file.readLine(line), 3);
  ASSERT_EQ(file.open(nullptr), 0);  // no new path is needed: the descriptor stays
  EXPECT_EQ(file.byteOrderMark(), 0xBF);
  EXPECT_EQ(readAll(file), (Lines{u"one", u"two"}));
  EXPECT_EQ(file.close(), 0);
  EXPECT_FALSE(file.isOpen());
  EXPECT_EQ(file.close(), 0);
}

// --- positions ---

TEST_F(TextFileTest, SeekTellRewind_Utf8) {
  TIFile file;
  ASSERT_EQ(file.open(write("u.txt", kUtf8Mark + "abc\nd\xC3\xA9" "f\r\xC3\xA9")), 0);
  __kvstrW line;
  EXPECT_EQ(file.tell(), 3);  // just after the mark
  EXPECT_EQ(file.readLine(line), 3);
  EXPECT_EQ(file.tell(), 7);
  EXPECT_EQ(file.readLine(line), 3);
  EXPECT_EQ(file.tell(), 12);  // the character after the CR was pushed back whole
  EXPECT_EQ(file.readChar(), 0xE9);
  EXPECT_EQ(file.seek(8), 8);
  EXPECT_EQ(file.readLine(line), 2);
  EXPECT_EQ(std::u16string(line.str()), u"\u00E9f");
  EXPECT_EQ(file.rewind(), 0xBF);
  EXPECT_EQ(file.readLine(line), 3);
  EXPECT_EQ(std::u16string(line.str()), u"abc");
  EXPECT_EQ(file.seekEnd(), 14);
  EXPECT_EQ(file.readLine(line), -1);
}

TEST_F(TextFileTest, SeekTellRewind_Utf16AndAnsi) {
  TIFile wide;
  ASSERT_EQ(wide.open(write("w.txt", kUtf16BeMark + utf16Bytes(u"ab\ncd", true))), 0);
  EXPECT_EQ(wide.tell(), 2);
  EXPECT_EQ(wide.readChar(), u'a');
  EXPECT_EQ(wide.tell(), 4);  // 16-bit units count two bytes each
  EXPECT_EQ(wide.seek(8), 8);
  EXPECT_EQ(wide.readChar(), u'c');
  EXPECT_EQ(wide.rewind(), 0xFFFE);
  EXPECT_EQ(wide.readChar(), u'a');

  TIFile narrow;
  ASSERT_EQ(narrow.open(write("n.txt", "xyz")), 0);
  EXPECT_EQ(narrow.readChar(), 'x');
  EXPECT_EQ(narrow.tell(), 1);
  EXPECT_EQ(narrow.seekEnd(), 3);
  EXPECT_EQ(narrow.readChar(), -1);
  EXPECT_EQ(narrow.rewind(), 0);
  EXPECT_EQ(narrow.readChar(), 'x');
}

// --- readers on their own ---

TEST_F(TextFileTest, ShortRefill_IsRightAligned) {
  const int fd = platform::openRead(write("r.txt", "abcdef"));
  ASSERT_GE(fd, 0);
  {
    TTextFileBufferAsc reader(fd, 4);
    std::string got;
    for (int i = 0; i < 5; ++i) got += static_cast<char>(reader.readChar());
    EXPECT_EQ(got, "abcde");
    // The second refill read two bytes: they sit at the end of the buffer.
    const auto* data = static_cast<const unsigned char*>(reader.buffer());
    EXPECT_EQ(data[2], 'e');
    EXPECT_EQ(data[3], 'f');
    EXPECT_EQ(reader.available(), 1);
    reader.unreadChar('E');
    EXPECT_EQ(reader.readChar(), 'E');
    EXPECT_EQ(reader.readChar(), 'f');
    EXPECT_EQ(reader.readChar(), -1);
    EXPECT_EQ(reader.available(), 0);
  }
  platform::closeFile(fd);
}

}  // namespace
