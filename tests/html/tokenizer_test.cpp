#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "html/html_parser.h"
#include "tests/html/event_recorder.h"

namespace {

using testing_html::countWarnings;
using testing_html::TChunkFeed;
using testing_html::TEventRecorder;
using Chunks = std::vector<std::u16string>;

struct TRun {
  std::string record;
  int warnings;
  int reads;
};

TRun tokenize(Chunks chunks, bool mergeText = false, const char* stopAtTag = "") {
  TEventRecorder<TChunkFeed> parser(std::move(chunks));
  parser.mergeText = mergeText;
  parser.stopAtTag = stopAtTag;
  testing::internal::CaptureStderr();
  const bool done = parser.parse();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(done);
  return {parser.record(), countWarnings(err), parser.reads};
}

/// The pieces of `marked` between its "|" marks.
Chunks splitAtMarks(const std::u16string& marked) {
  Chunks pieces(1);
  for (char16_t c : marked) {
    if (c == u'|') {
      pieces.emplace_back();
    } else {
      pieces.back() += c;
    }
  }
  return pieces;
}

std::u16string withoutMarks(const std::u16string& marked) {
  std::u16string whole;
  for (const std::u16string& piece : splitAtMarks(marked)) whole += piece;
  return whole;
}

/// A row whose "|" marks sit only between tokens or inside text runs: read as
/// one chunk, and again cut at every mark with adjacent text merged, it gives
/// the same record and no warning.
struct TWholeOrSplitCase {
  const char16_t* marked;
  const char* want;
};

void expectSameWholeAndSplit(const TWholeOrSplitCase& row) {
  const TRun whole = tokenize({withoutMarks(row.marked)});
  EXPECT_EQ(whole.record, row.want) << "read whole";
  EXPECT_EQ(whole.warnings, 0) << "read whole";
  const TRun split = tokenize(splitAtMarks(row.marked), true);
  EXPECT_EQ(split.record, row.want) << "read split at the marks";
  EXPECT_EQ(split.warnings, 0) << "read split at the marks";
}

template <size_t N>
void expectEachSameWholeAndSplit(const TWholeOrSplitCase (&rows)[N]) {
  for (const TWholeOrSplitCase& row : rows) {
    SCOPED_TRACE(testing_html::render(row.marked, row.marked + std::char_traits<char16_t>::length(row.marked)));
    expectSameWholeAndSplit(row);
  }
}

/// A row with its chunks spelled out.
struct TChunksCase {
  Chunks chunks;
  const char* want;
  int warnings;
};

void expectChunks(const TChunksCase& row) {
  const TRun run = tokenize(row.chunks);
  EXPECT_EQ(run.record, row.want);
  EXPECT_EQ(run.warnings, row.warnings);
}

TEST(TokenizerTest, TextAndTags_ReportedInDocumentOrder) {
  const TWholeOrSplitCase kCases[] = {
      {u"a|<b>|c|</b>", "T[a] S[b] T[c] E[b]"},
      {u"", ""},
      {u"plain| te|xt", "T[plain text]"},
      {u"   |<p>| \t", "T[   ] S[p] T[ \\x09]"},
      {u"<p>|<br/>|<img src=\"a.png\" />", "S[p] S[br/] S[img src=\"a.png\" /]"},
      {u"</a>|<b>|</c>", "E[a] S[b] E[c]"},
      {u"< / b >", "S[/ b ]"},
      {u"</ b>|</b >", "E[b] E[b ]"},
      {u"<>|</>", "S[] E[]"},
      {u"a>|b", "T[a>b]"},
      {u"a|<b<c>|d", "T[a] S[b<c] T[d]"},
      {u"<!DOCTYPE html>|<?xml version=\"1.0\"?>", "S[!DOCTYPE html] S[?xml version=\"1.0\"?]"},
      {u"<!-x>|<!->|<!>", "S[!-x] S[!-] S[!]"},
      {u"\u00e9t\u00e9|<i>|\u3042", "T[\\xe9t\\xe9] S[i] T[\\u3042]"},
  };
  expectEachSameWholeAndSplit(kCases);
}

TEST(TokenizerTest, Quotes_OnlyDoubleQuotesInsideATagProtectGreaterThan) {
  const TWholeOrSplitCase kCases[] = {
      {u"<a t=\"x>y\">|z", "S[a t=\"x>y\"] T[z]"},
      {u"<a t=\"x\"y\"z>w\">|v", "S[a t=\"x\"y\"z>w\"] T[v]"},
      {u"<a t=\"\">|<b>", "S[a t=\"\"] S[b]"},
      {u"<\"a>b\">|c", "S[\"a>b\"] T[c]"},
      {u"</a \">\">|x", "E[a \">\"] T[x]"},
      {u"x|<a b='1>|'>|y", "T[x] S[a b='1] T['>y]"},
      {u"say \"hi|<b>|\"", "T[say \"hi] S[b] T[\"]"},
  };
  expectEachSameWholeAndSplit(kCases);
}

TEST(TokenizerTest, Comments_TextBetweenMarkersWithLeadingBlanksSkipped) {
  const TWholeOrSplitCase kCases[] = {
      {u"<!---->", "B C"},
      {u"<!--  note -->", "B M[note ] C"},
      {u"<!--  -->", "B C"},
      {u"a|<!--x-->|b", "T[a] B M[x] C T[b]"},
      {u"<!--<b>\"</b>-->|c", "B M[<b>\"</b>] C T[c]"},
      {u"<!-- a -- b --->", "B M[a -- b -] C"},
      {u"<!-->x-->", "B M[>x] C"},
      {u"<!--a<!--b-->", "B M[a<!--b] C"},
      {u"<!--x-->|<!--y-->", "B M[x] C B M[y] C"},
      {u"< !-- x -->", "S[!-- x --]"},
  };
  expectEachSameWholeAndSplit(kCases);
}

TEST(TokenizerTest, Comments_CutByChunkEnds) {
  const TChunksCase kCases[] = {
      {{u"<!--x", u"y-->z"}, "B M[x] M[y] C T[z]", 0},
      {{u"<!--a", u"  b -->"}, "B M[a] M[b ] C", 0},
      {{u"<!--  a", u"b-->"}, "B M[  a] M[b] C", 0},
      {{u"<!--  "}, "B M[  ]", 0},
      {{u"a<!--"}, "T[a] B", 0},
      {{u"<!--", u"-->"}, "B C", 0},
      {{u"<!--x", u"", u"-->"}, "B M[x] C", 0},
      {{u"<!--->"}, "B M[->]", 0},
      {{u"<!--x--", u">y"}, "B M[x--] M[>y]", 0},
      {{u"<!-", u"-x-->y"}, "S[!-]~ T[y]", 1},
  };
  for (size_t i = 0; i < sizeof kCases / sizeof kCases[0]; ++i) {
    SCOPED_TRACE(i);
    expectChunks(kCases[i]);
  }
}

TEST(TokenizerTest, TagCutByChunkEnd_ReportedAtTheNulAndItsRestConsumedSilently) {
  const TChunksCase kCases[] = {
      {{u"<a href=", u"x>text"}, "S[a href=]~ T[text]", 1},
      {{u"</b", u">x"}, "E[b]~ T[x]", 1},
      {{u"<a", u"", u"b>c"}, "S[a]~ T[c]", 2},
      {{u"x<a", u"y"}, "T[x] S[a]~", 2},
      {{u"<a t=\"x", u"y>z\">w"}, "S[a t=\"x]~ T[w]", 1},
      {{u"<a t=\"x", u"y", u"z\">w"}, "S[a t=\"x]~ T[w]", 2},
      {{u"<a t=\"x>", u"y\"", u">w"}, "S[a t=\"x>]~ T[w]", 2},
      {{u"<a", u"b>", u"<c"}, "S[a]~ S[c]~", 2},
      {{u"<a>", u"<b"}, "S[a] S[b]~", 1},
      {{u"1 < 2"}, "T[1 ] S[2]~", 1},
      {{u"<b>x", u"y</b>"}, "S[b] T[x] T[y] E[b]", 0},
  };
  for (size_t i = 0; i < sizeof kCases / sizeof kCases[0]; ++i) {
    SCOPED_TRACE(i);
    expectChunks(kCases[i]);
  }
}

TEST(TokenizerTest, LessThanAtChunkEnd_ReportsAnEmptyName) {
  const TChunksCase kCases[] = {
      {{u"x<", u"b>y"}, "T[x] S[]~ T[y]", 1},
      {{u"<"}, "S[]~", 1},
      {{u"< \t"}, "S[]~", 1},
      {{u"</"}, "E[]~", 1},
      {{u"</ "}, "E[]~", 1},
      {{u"<", u"/b>c"}, "S[]~ T[c]", 1},
      {{u"<", u""}, "S[]~", 2},
      {{u"a<!"}, "T[a] S[!]~", 1},
  };
  for (size_t i = 0; i < sizeof kCases / sizeof kCases[0]; ++i) {
    SCOPED_TRACE(i);
    expectChunks(kCases[i]);
  }
}

TEST(TokenizerTest, Blanks_AreControlCharactersAndSpaceOnly) {
  const TWholeOrSplitCase kCases[] = {
      {u"<\t b>", "S[b]"},
      {u"<\x01" u"b>", "S[b]"},
      {u"</\x1f\x20" u"b>", "E[b]"},
      {u"<b\x7f>", "S[b\\x7f]"},
      {u"<\x7f" u"b>", "S[\\x7fb]"},
      {u"<\u00a0b>", "S[\\xa0b]"},
      {u"<b>|\x01 \x1f", "S[b] T[\\x01 \\x1f]"},
      {u"<!--\x01\x1f x-->", "B M[x] C"},
      {u"<!--\x21" u"x-->", "B M[!x] C"},
      {u"<!--\u3000x-->", "B M[\\u3000x] C"},
  };
  expectEachSameWholeAndSplit(kCases);
}

TEST(TokenizerTest, UnitsAboveAsciiWithAStopInTheirBytes_AreNoStops) {
  const TWholeOrSplitCase kCases[] = {
      {u"\u013c\u8000|<b\u0122\u013e>|\u0a0d\u3e00\uff3c", "T[\\u013c\\u8000] S[b\\u0122\\u013e] T[\\u0a0d\\u3e00\\uff3c]"},
      {u"<a t=\"\u8022>\uff22\">|\u800a\u000d", "S[a t=\"\\u8022>\\uff22\"] T[\\u800a]"},
      {u"<!--\u012d-\u013e\u8000-->", "B M[\\u012d-\\u013e\\u8000] C"},
  };
  expectEachSameWholeAndSplit(kCases);
}

// The scan classifies the units a window at a time: every kind of token, and
// the chunk's end, is moved across the window edges.
TEST(TokenizerTest, TokensAcrossWindowEdges_SameAtEveryOffset) {
  const std::u16string tokens = u"<a t=\"x>y\">b</a><!-- c -->d\r\n<e\nf>g<!--h-\ni-->";
  const std::string want = "S[a t=\"x>y\"] T[b] E[a] B M[c ] C T[d] S[e]~ T[g] B M[h-] M[i] C";
  for (size_t shift = 0; shift <= 140; ++shift) {
    SCOPED_TRACE(shift);
    const TRun run = tokenize({std::u16string(shift, u'.') + tokens});
    EXPECT_EQ(run.record, (shift ? "T[" + std::string(shift, '.') + "] " : std::string()) + want);
    EXPECT_EQ(run.warnings, 1);
  }
}

// A chunk's CR or LF ends a line there, as in a text read in place.
TEST(TokenizerTest, LineEndInsideAChunk_CutsItThere) {
  const TRun run = tokenize({u"a\r\nb<c\nd>e\r", u"<!--x\ny-->"});
  EXPECT_EQ(run.record, "T[a] T[b] S[c]~ T[e] B M[x] M[y] C");
  EXPECT_EQ(run.warnings, 1);
}

// Reports tell the line they lie on: a CR, LF or CRLF and each chunk's end
// end a line.
class TLineLog final : public TChunkFeed {
 public:
  using TChunkFeed::TChunkFeed;
  void onStartTag(const char16_t*, const char16_t*) override { log += std::to_string(lineNumber()) + "S "; }
  void onText(const char16_t*, int32_t) override { log += std::to_string(lineNumber()) + "T "; }
  std::string log;
};

TEST(TokenizerTest, LineNumber_OfTheLineEachReportLiesOn) {
  TLineLog parser(Chunks{u"a<b>\r\nc\n\n<d\ne>f", u"g", u"<h>"});
  testing::internal::CaptureStderr();  // the tag cut by its line's end warns
  parser.parse();
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(parser.log, "0T 0S 1T 3S 4T 5T 6S ");
}

TEST(TokenizerTest, EmptyInput_NoCalls) {
  const TRun none = tokenize({});
  EXPECT_EQ(none.record, "");
  EXPECT_EQ(none.warnings, 0);
  EXPECT_EQ(none.reads, 1);

  const TRun emptyChunks = tokenize({u"", u"", u""});
  EXPECT_EQ(emptyChunks.record, "");
  EXPECT_EQ(emptyChunks.warnings, 0);
  EXPECT_EQ(emptyChunks.reads, 4);
}

TEST(TokenizerTest, StopRequested_FinishesTheChunkAndReadsNoMore) {
  const TRun run = tokenize({u"a<stop>b", u"c"}, false, "stop");
  EXPECT_EQ(run.record, "T[a] S[stop] T[b]");
  EXPECT_EQ(run.reads, 1);
}

TEST(TokenizerTest, StopRequestedBeforeParse_ReadsNothing) {
  TEventRecorder<TChunkFeed> parser(Chunks{u"a"});
  parser.stopRequested = true;
  EXPECT_TRUE(parser.parse());
  EXPECT_EQ(parser.record(), "");
  EXPECT_EQ(parser.reads, 0);
}

/// Handlers that keep the defaults: parse runs through without effect.
class TSilentParser final : public TChunkFeed {
 public:
  using TChunkFeed::TChunkFeed;
};

TEST(TokenizerTest, DefaultHandlers_DoNothing) {
  TSilentParser parser(Chunks{u"a<b c=\"d\">e<!--f-->", u"<g"});
  testing::internal::CaptureStderr();
  EXPECT_TRUE(parser.parse());
  EXPECT_EQ(countWarnings(testing::internal::GetCapturedStderr()), 1);
  EXPECT_EQ(parser.reads, 3);
}

// A handler that ends the parse by an exception, as running out of memory does.
class TThrowingParser final : public TChunkFeed {
 public:
  using TChunkFeed::TChunkFeed;
  void onText(const char16_t*, int32_t) override { throw std::runtime_error("handler"); }
};

// The warnings are written once the parse is over; one cut short by an
// exception writes those it gathered when the parser goes.
TEST(TokenizerTest, HandlerException_StillWritesTheWarningsBefore) {
  testing::internal::CaptureStderr();
  {
    TThrowingParser parser(Chunks{u"<a", u">", u"<b", u">x"});
    EXPECT_THROW(parser.parse(), std::runtime_error);
  }
  EXPECT_EQ(countWarnings(testing::internal::GetCapturedStderr()), 2);
}

}  // namespace
