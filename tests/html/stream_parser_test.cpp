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
