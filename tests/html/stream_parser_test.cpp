#include <iterator>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "html/stream_parser.h"
#include "tests/html/event_recorder.h"
#include "textlib/utf8.h"

namespace {

using testing_html::countWarnings;
using testing_html::render;
using testing_html::TEventRecorder;

class TLineReader final : public THtmlStreamParser {};

/// Every chunk readChunk delivers, as "[a][][b]", until it first returns -1;
/// a returned length other than the chunk's shows as "[a]#2".
std::string readAllChunks(THtmlStreamParser& parser) {
  std::string out;
  __kvstrW chunk(u"stale");
  int32_t length = 0;
  for (int guard = 0; guard < 100 && (length = parser.readChunk(chunk)) >= 0; ++guard) {
    out += "[" + render(chunk.str(), chunk.str() + chunk.length()) + "]";
    if (length != chunk.length()) out += "#" + std::to_string(length);
    chunk = __kvstrW(u"stale");  // each call must replace what was there
  }
  return out;
}

// A wide text is copied whole, line ends and all: the tokenizer cuts the
// lines. The caller's text is left as it was.
TEST(StreamParserTest, ReadChunk_WideText_CopiedWholeAndLeftUnchanged) {
  const char16_t text[] = u"a\r\n<b>\rc";
  TLineReader parser;
  EXPECT_TRUE(parser.setInput(text));
  EXPECT_EQ(readAllChunks(parser), "[a\\x0d\\x0a<b>\\x0dc]");
  TEventRecorder<THtmlStreamParser> recorder;
  recorder.setInput(text);
  recorder.parse();
  EXPECT_EQ(recorder.record(), "T[a] S[b] T[c]");
  EXPECT_EQ(std::u16string(text), u"a\r\n<b>\rc");
}

// Each input replaces the one given before, whichever kind that was.
TEST(StreamParserTest, NewInput_ReplacesTheEarlierOne) {
  TLineReader parser;
  parser.setUtf8Input("<old>\n", 6);
  parser.setInput(u"a\nb");
  EXPECT_EQ(readAllChunks(parser), "[a\\x0ab]");
  parser.setInput(u"old");
  parser.setUtf8Input("new", 3);
  EXPECT_EQ(readAllChunks(parser), "[new]");
}

struct TParsed {
  std::string record;
  int warnings;
};

/// Parses `text` as wide text (setInput) or as UTF-8 (setUtf8Input),
/// recording every start tag with its attributes.
TParsed parseLines(const std::u16string& text, bool asUtf8) {
  TEventRecorder<THtmlStreamParser> parser;
  parser.withAttributes = true;
  __kvstrA bytes;
  if (asUtf8) {
    toUtf8(bytes, text.c_str(), static_cast<int32_t>(text.size()));
    parser.setUtf8Input(bytes.str(), bytes.length());
  } else {
    parser.setInput(text.c_str());
  }
  testing::internal::CaptureStderr();
  EXPECT_TRUE(parser.parse());
  const int warnings = countWarnings(testing::internal::GetCapturedStderr());
  return {parser.record(), warnings};
}

// In a block of lines the tokenizer finds the line ends itself: every handler
// call must be the one a line of its own gives, with a NUL at the line's end
// before the line's last reports.
TEST(StreamParserTest, Parse_LinesOfABlock_EachReadAsALineOfItsOwn) {
  const struct {
    const char16_t* text;
    const char* want;
    int warnings;
  } kCases[] = {
      // Line ends of every kind, empty lines between them.
      {u"<p class=\"a\">one\r\ntwo", "S[p class=\"a\"]{class=a} T[one] T[two]", 0},
      {u"a\r\nb\rc\nd", "T[a] T[b] T[c] T[d]", 0},
      {u"\r\r\n\n\r\n\rx", "T[x]", 0},
      {u"a\n\rb\r\r\nc\n", "T[a] T[b] T[c]", 0},
      {u"x\r", "T[x]", 0},
      {u"\n", "", 0},
      {u"", "", 0},
      {u"\r\n\r\n<p>\r\n</p>\r\n", "S[p]{} E[p]", 0},
      {u"a\x0b" u"b\x0c" u"c\u2028d\x85" u"e", "T[a\\x0bb\\x0cc\\u2028d\\x85e]", 0},  // no line ends
      // Tags cut by a line end: reported at the line's NUL, their rest silent.
      {u"<a\nhref=1>t", "S[a]~{} T[t]", 1},
      {u"<a href=\"x\"\nclass=b>t", "S[a href=\"x\"]~{href=x} T[t]", 1},
      {u"<a t=\"x\r\ny>z\">w", "S[a t=\"x]~{t=x} T[w]", 1},
      {u"<a t=\"x\ry\">z", "S[a t=\"x]~{t=x} T[z]", 1},
      {u"</b\r>x", "E[b]~ T[x]", 1},
      {u"x<\n/b>c", "T[x] S[]~{} T[c]", 1},
      {u"< \r\nb>", "S[]~{}", 1},
      // Empty lines inside a tag: each is a line that ends inside it.
      {u"<a\n\n\r\nb=1>c", "S[a]~{} T[c]", 3},
      {u"<a t=\"\r\n\r\n\">c", "S[a t=\"]~{t=} T[c]", 2},
      // Comments cut by line ends, and lookahead that meets one.
      {u"<!--x\ny-->z", "B M[x] M[y] C T[z]", 0},
      {u"<!--a\r\n  b -->", "B M[a] M[b ] C", 0},
      {u"<!-\n-x-->y", "S[!-]~{} T[y]", 1},
      {u"<!\r\n--x-->y", "S[!]~{} T[y]", 1},
      {u"<!--x--\r\n>y", "B M[x--] M[>y]", 0},
      {u"<!--x-\n->y-->", "B M[x-] M[->y] C", 0},
      {u"<!--\n\n-->", "B C", 0},
      {u"a<!--\r\n-->b", "T[a] B C T[b]", 0},
      // A run at a line end is followed by its NUL, as a reference decoder
      // reading past the run expects.
      {u"x&#65\ny&amp;<b>", "T[x&#65] T[y&amp;] S[b]{}", 0},
      {u"&#65\r\n&#66;", "T[&#65] T[&#66;]", 0},
      // The tag-name skip of attribute parsing stays inside the tag.
      {u"<br>\n  x\r\n<br/>\ty", "S[br]{} T[  x] S[br/]{} T[\\x09y]", 0},
      {u"<a>\r\n\r\nhref=1", "S[a]{} T[href=1]", 0},
  };
  for (const auto& row : kCases) {
    const std::u16string original(row.text);
    SCOPED_TRACE(render(original.data(), original.data() + original.size()));
    const TParsed wide = parseLines(original, false);
    EXPECT_EQ(wide.record, row.want) << "wide text";
    EXPECT_EQ(wide.warnings, row.warnings) << "wide text";
    const TParsed utf8 = parseLines(original, true);
    EXPECT_EQ(utf8.record, row.want) << "UTF-8";
    EXPECT_EQ(utf8.warnings, row.warnings) << "UTF-8";
  }
}

// Input is read a block of whole lines at a time (64 Ki bytes or units, then
// on to the next line end). Whatever lies where a block would end (a line end,
// a CRLF, a tag or comment cut by a line end, a sequence, a stray byte, a line
// longer than a block), the events are those of the whole text tokenized at
// once, and the units counted are the whole text's. A block longer than the
// one before it (a long line) gets room of its own.
TEST(StreamParserTest, Input_AtBlockEdges_SameEventsAsTheWholeText) {
  constexpr size_t kBlock = 64 << 10;
  const char* const kEdges[] = {
      "\n<b>x</b>",       "\r\n<b>x",          "\r\r<i>\n",
      "<a\nhref=1>t</a>", "<a\r\nhref=1>t</a>", "\xC3\xA9<b>",
      "\xE3\x81\x82\xE3", "\x80\n\xF0\x9F\x98\x80", "<!-- c\r\n d -->y",
  };
  for (size_t row = 0; row < std::size(kEdges); ++row) {
    const std::string edge = kEdges[row];
    for (size_t before = 0; before < 8; ++before) {
      const std::string bytes = "<p>" + std::string(kBlock - 3 - before, 'a') + edge + "\n<p>" +
                                std::string(2 * kBlock, 'w') + "</p>\n<li>" + std::string(kBlock, 'z') +
                                "</li>\r\n";
      SCOPED_TRACE(testing::Message() << "edge " << row << ", " << before << " bytes before it");
      // An exact-size copy, so that the sanitizer build sees a read past it.
      const std::unique_ptr<char[]> exact(new char[bytes.size()]);
      std::copy(bytes.begin(), bytes.end(), exact.get());
      __kvstrW text;
      fromUtf8(text, bytes.data(), static_cast<int32_t>(bytes.size()));

      TEventRecorder<testing_html::TChunkFeed> whole({std::u16string(text.str(), text.length())});
      TEventRecorder<THtmlStreamParser> wide;
      wide.setInput(text.str());
      TEventRecorder<THtmlStreamParser> blocks;
      // The last block is decoded, and the bytes let go, before it is read.
      std::string readWhenDecoded;
      int decodedCalls = 0;
      blocks.setUtf8Input(exact.get(), static_cast<int32_t>(bytes.size()), [&] {
        ++decodedCalls;
        readWhenDecoded = blocks.record();
      });
      testing::internal::CaptureStderr();
      whole.parse();
      const std::string wholeWarnings = testing::internal::GetCapturedStderr();
      for (TEventRecorder<THtmlStreamParser>* parser : {&wide, &blocks}) {
        testing::internal::CaptureStderr();
        parser->parse();
        EXPECT_EQ(testing::internal::GetCapturedStderr(), wholeWarnings);
      }
      EXPECT_EQ(wide.record(), whole.record());
      EXPECT_EQ(blocks.record(), whole.record());
      EXPECT_EQ(blocks.decodedUnits(), text.length());
      EXPECT_EQ(decodedCalls, 1);
      EXPECT_EQ(readWhenDecoded.find("S[li]"), std::string::npos);
    }
  }
}

TEST(StreamParserTest, Utf8Input_Empty_NoEventsAndNothingDecoded) {
  for (const char* bytes : {static_cast<const char*>(nullptr), ""}) {
    TEventRecorder<THtmlStreamParser> parser;
    int decodedCalls = 0;
    parser.setUtf8Input(bytes, 0, [&decodedCalls] { ++decodedCalls; });
    EXPECT_TRUE(parser.parse());
    EXPECT_EQ(parser.record(), "");
    EXPECT_EQ(parser.decodedUnits(), 0);
    EXPECT_EQ(decodedCalls, 0);
  }
}

TEST(StreamParserTest, ReadChunk_AtTheEnd_KeepsReturningMinusOne) {
  TLineReader parser;
  parser.setInput(u"a\n");
  __kvstrW chunk;
  EXPECT_EQ(parser.readChunk(chunk), 2);
  EXPECT_EQ(parser.readChunk(chunk), -1);
  EXPECT_EQ(parser.readChunk(chunk), -1);
}

TEST(StreamParserTest, ReadChunk_WithoutInput_EndsAtOnce) {
  // No text was set and the fallback file was never opened.
  TLineReader parser;
  __kvstrW chunk;
  EXPECT_EQ(parser.readChunk(chunk), -1);
  EXPECT_EQ(parser.readChunk(chunk), -1);
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
