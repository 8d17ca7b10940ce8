#include "pageparser/lexora_parser.h"

#include <gtest/gtest.h>

#include "tests/pageparser/parsed_page.h"

// --- end tags ---

TEST(EndTagTest, ListAndTableBits_ClearedOneAtATime) {
  const struct {
    const char16_t* html;
    uint32_t tagState;
  } kCases[] = {
      {u"<ol><li><dl><dd><ul><table>", 0x13e0},
      {u"<ol><li><dl><dd><ul><table></table>", 0x3e0},
      {u"<ol><li><dl><dd><ul></ul>", 0x1e0},
      {u"<ol><li><dl><dd></dd>", 0xe0},
      {u"<ol><li><dl></dl>", 0x60},
      {u"<ol><li></li>", 0x20},
      {u"<ol><ol></ol>", 0},        // a bit, not a depth count
      {u"<ol></ OL >", 0},          // capitals and blanks
      {u"<table></tbody></td>", 0x1000},
      {u"<table></tablex>", 0},     // a prefix test
      {u"<ol><li></div></a></br>", 0x60},
      {u"<ol><li><span></h2>", 0},  // a heading end tag clears everything
  };
  for (const auto& c : kCases) {
    ROW(kCases, c);
    ParsedPage page(inNoun(c.html));
    EXPECT_EQ(page.parser.tagState(), c.tagState);
  }
}

TEST(EndTagTest, AfterFooter_ListEndTagsKeepTheirBits) {
  ParsedPage page(inNoun(u"<ol><table><div class=\"printfooter\"></ol></table>"));
  EXPECT_EQ(page.parser.tagState(), P::TS_OL | P::TS_TABLE);
  EXPECT_EQ(page.parser.sectionKind(), P::SK_NONE);
}

TEST(EndTagTest, SpanEndInNestedSpan_EndsHeadlineForTheRest) {
  ParsedPage page(u"<h2><span class=\"mw-headline\"><span class=\"x\">Old</span> English</span></h2>");
  EXPECT_EQ(page.languages(), u"Old");
  EXPECT_EQ(std::u16string(page.parser.language()), u"Old");
  EXPECT_EQ(page.parser.spanKind(), P::SPAN_NONE);
}

TEST(EndTagTest, SpanEndWhileNothingOpen_KeepsSpanKind) {
  ParsedPage page(h2(u"English") + u"<h3><span class=\"mw-headline\">Noun</h3></span>");
  EXPECT_EQ(page.parser.tagState(), 0u);
  EXPECT_EQ(page.parser.spanKind(), P::SPAN_HEADLINE);
}
