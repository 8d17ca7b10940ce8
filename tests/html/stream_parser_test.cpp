#include <string>

#include <gtest/gtest.h>

#include "html/stream_parser.h"
#include "tests/html/event_recorder.h"

namespace {

using testing_html::countWarnings;
using testing_html::render;
using testing_html::TEventRecorder;

class TLineReader final : public THtmlStreamParser {};

/// Every chunk readChunk delivers, as "[a][][b]", until it first returns false.
std::string readAllChunks(THtmlStreamParser& parser) {
  std::string out;
  __kvstrW chunk(u"stale");
  for (int guard = 0; guard < 100 && parser.readChunk(chunk); ++guard) {
    out += "[" + render(chunk.str(), chunk.str() + chunk.length()) + "]";
    chunk = __kvstrW(u"stale");  // each call must replace what was there
  }
  return out;
}

TEST(StreamParserTest, ReadChunk_SplitsAtEveryLineEnd) {
  const struct {
    const char16_t* text;
    const char* want;
  } kCases[] = {
      {u"", ""},
      {u"a", "[a]"},
      {u"a\n", "[a]"},
      {u"a\r", "[a]"},
      {u"a\r\n", "[a]"},
      {u"x\r", "[x]"},
      {u"\r\r", "[][]"},
      {u"\n\n", "[][]"},
      {u"\r\n\r\n", "[][]"},
      {u"\n\r", "[][]"},
      {u"\r\n", "[]"},
      {u"\n", "[]"},
      {u"a\r\n\nb", "[a][][b]"},
      {u"a\nb\rc\r\nd", "[a][b][c][d]"},
      {u"a\n\rb", "[a][][b]"},
      {u"a\r\r\nb", "[a][][b]"},
      {u"a\n\n\nb\n", "[a][][][b]"},
      {u" <b>x</b> \r\n\ty", "[ <b>x</b> ][\\x09y]"},
      {u"a\x0b" u"b\x0c" u"c", "[a\\x0bb\\x0cc]"},
      {u"a\u2028b\x85" u"c", "[a\\u2028b\\x85c]"},
  };
  for (const auto& row : kCases) {
    SCOPED_TRACE(render(row.text, row.text + std::char_traits<char16_t>::length(row.text)));
    TLineReader parser;
    EXPECT_TRUE(parser.setInput(row.text));
    EXPECT_EQ(readAllChunks(parser), row.want);
  }
}

// A writable text is cut into lines where it lies: each chunk points into the
// text, the line's CR or LF became its NUL, and the caller's buffer is unused.
TEST(StreamParserTest, WritableInput_EndsLinesWhereTheyLie) {
  const struct {
    const char16_t* text;
    const char* want;
  } kCases[] = {
      {u"", ""},
      {u"a", "[a]"},
      {u"x\r", "[x]"},
      {u"\r\n", "[]"},
      {u"\r\r", "[][]"},
      {u"a\r\n\nb", "[a][][b]"},
      {u"a\nb\rc\r\nd", "[a][b][c][d]"},
      {u"a\r\r\nb", "[a][][b]"},
      {u" <b>x</b> \r\n\ty", "[ <b>x</b> ][\\x09y]"},
  };
  for (const auto& row : kCases) {
    std::u16string text(row.text);
    SCOPED_TRACE(render(text.data(), text.data() + text.size()));
    TLineReader parser;
    EXPECT_TRUE(parser.setWritableInput(&text[0]));
    std::string chunks;
    __kvstrW buffer(u"stale");
    for (int guard = 0; guard < 100; ++guard) {
      const char16_t* line = parser.nextChunk(buffer);
      if (!line) break;
      EXPECT_TRUE(line >= text.data() && line <= text.data() + text.size());
      chunks += "[" + render(line, line + std::char_traits<char16_t>::length(line)) + "]";
    }
    EXPECT_EQ(chunks, row.want);
    EXPECT_EQ(std::u16string(buffer.str()), u"stale");
    EXPECT_EQ(parser.nextChunk(buffer), nullptr);  // and stays at the end
  }
}

// The same page gives the same events read in place as read line by line.
TEST(StreamParserTest, WritableInput_SameEventsAsCopiedLines) {
  class TLog final : public THtmlStreamParser {
   public:
    void onStartTag(const char16_t* name, const char16_t* end) override { add("S", name, end); }
    void onEndTag(const char16_t* name, const char16_t* end) override { add("E", name, end); }
    void onText(const char16_t* p, int32_t length) override { add("T", p, p + length); }
    void onCommentText(const char16_t* p, int32_t length) override { add("M", p, p + length); }
    std::string log;

   private:
    void add(const char* kind, const char16_t* p, const char16_t* end) {
      log += std::string(kind) + "[" + render(p, end) + "] ";
    }
  };
  const std::u16string page =
      u"<p class=\"a\">one &amp;\r\ntwo<a\nhref=1>t</a><!-- c\r\n d -->\n\n<li>x\r<br/>y";
  TLog copied;
  copied.setInput(page.c_str());
  TLog inPlace;
  std::u16string writable = page;
  inPlace.setWritableInput(&writable[0]);
  testing::internal::CaptureStderr();
  copied.parse();
  inPlace.parse();
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(copied.log,
            "S[p class=\"a\"] T[one &amp;] T[two] S[a] T[t] E[a] M[ c] M[d ] S[li] T[x] S[br/] T[y] ");
  EXPECT_EQ(inPlace.log, copied.log);
}

TEST(StreamParserTest, ReadChunk_AtTheEnd_KeepsReturningFalse) {
  TLineReader parser;
  parser.setInput(u"a\n");
  __kvstrW chunk;
  EXPECT_TRUE(parser.readChunk(chunk));
  EXPECT_FALSE(parser.readChunk(chunk));
  EXPECT_FALSE(parser.readChunk(chunk));
}

TEST(StreamParserTest, ReadChunk_WithoutInput_EndsAtOnce) {
  // No text was set and the fallback file was never opened.
  TLineReader parser;
  __kvstrW chunk;
  EXPECT_FALSE(parser.readChunk(chunk));
  EXPECT_FALSE(parser.readChunk(chunk));
}

std::string parseText(const char16_t* text, int* warnings) {
  TEventRecorder<THtmlStreamParser> parser;
  parser.setInput(text);
  testing::internal::CaptureStderr();
  EXPECT_TRUE(parser.parse());
  *warnings = countWarnings(testing::internal::GetCapturedStderr());
  return parser.record();
}

TEST(StreamParserTest, Parse_TagBrokenByLineFeed_ReportedCutAtTheFirstLine) {
  int warnings = -1;
  EXPECT_EQ(parseText(u"<a\nhref=1>t", &warnings), "S[a]~ T[t]");
  EXPECT_EQ(warnings, 1);
}

TEST(StreamParserTest, Parse_LineEndsNeverReachTheTokenizer) {
  int warnings = -1;
  EXPECT_EQ(parseText(u"<p>one\r\ntwo\rthree\n\n</p>", &warnings), "S[p] T[one] T[two] T[three] E[p]");
  EXPECT_EQ(warnings, 0);
  EXPECT_EQ(parseText(u"<!-- a\r\n b -->", &warnings), "B M[ a] M[b ] C");
  EXPECT_EQ(warnings, 0);
}

TEST(StreamParserTest, Parse_WithoutInput_NoCalls) {
  TEventRecorder<THtmlStreamParser> parser;
  EXPECT_TRUE(parser.parse());
  EXPECT_EQ(parser.record(), "");
}

}  // namespace
