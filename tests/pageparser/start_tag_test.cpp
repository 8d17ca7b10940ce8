#include "pageparser/lexora_parser.h"

#include <gtest/gtest.h>

#include "tests/pageparser/parsed_page.h"

// --- start tags: headings and spans ---

TEST(StartTagTest, HeadingTags_MatchByCaseInsensitivePrefix) {
  const struct {
    const char16_t* tag;
    uint32_t tagState;
    bool languageEmptied;
  } kCases[] = {
      {u"<h2>", 2, true},   {u"<H2>", 2, true},  {u"<h2 id=\"x\">", 2, true},
      {u"<h1>", 1, false},  {u"<h4>", 4, false}, {u"<h5>", 0, false},
      {u"<hr>", 0, false},  {u"<h>", 0, false},  {u"<head>", 0, false},
  };
  for (const auto& c : kCases) {
    ROW(kCases, c);
    ParsedPage page(h2(u"English") + c.tag);
    EXPECT_EQ(page.parser.tagState(), c.tagState);
    EXPECT_EQ(page.parser.language().empty(), c.languageEmptied);
    EXPECT_EQ(page.parser.sectionKind(), c.languageEmptied ? P::SK_NONE : P::SK_LANGUAGE);
  }
}

TEST(StartTagTest, HeadingStartTag_ClearsSpanListAndTableBits) {
  ParsedPage page(inNoun(u"<ol><li><table><span><h3>"));
  EXPECT_EQ(page.parser.tagState(), 3u);
}

TEST(StartTagTest, SpanClass_ComparedWholeAndCaseSensitively) {
  const struct {
    const char16_t* span;
    int32_t spanKind;
  } kCases[] = {
      {u"<span class=\"IPA\">", P::SPAN_IPA},
      {u"<SPAN class=\"IPA\">", P::SPAN_IPA},
      {u"<span class=\"ipa\">", P::SPAN_NONE},
      {u"<span class=\"IPA x\">", P::SPAN_NONE},
      {u"<span Class=\"IPA\">", P::SPAN_NONE},
      {u"<span class=\"unicode audiolink\">", P::SPAN_AUDIO},
      {u"<span class=\"mw-headline\">", P::SPAN_HEADLINE},
      {u"<span class=\"editsection\">", P::SPAN_NONE},
      {u"<span>", P::SPAN_NONE},
      {u"<span\nclass=\"IPA\">", P::SPAN_NONE},  // the attribute stands on the next line
  };
  for (const auto& c : kCases) {
    ROW(kCases, c);
    ParsedPage page(h2(u"English") + c.span);
    EXPECT_EQ(page.parser.spanKind(), c.spanKind);
    EXPECT_EQ(page.parser.tagState(), P::TS_SPAN);
  }
}

TEST(StartTagTest, SpanClassBeforeLanguage_OnlyHeadlineAndEditSectionCount) {
  ParsedPage ipa(u"<span class=\"IPA\">/a/</span>");
  EXPECT_EQ(ipa.parser.spanKind(), P::SPAN_NONE);
  EXPECT_TRUE(ipa.parser.store().recordCount() == 0);

  ParsedPage audio(u"<span class=\"unicode audiolink\">");
  EXPECT_EQ(audio.parser.spanKind(), P::SPAN_NONE);

  ParsedPage headline(u"<span class=\"mw-headline\">");
  EXPECT_EQ(headline.parser.spanKind(), P::SPAN_HEADLINE);

  ParsedPage edit(u"<p><span class=\"editsection\">[edit]</span></p>");
  EXPECT_TRUE(edit.parser.hasEditSection());
}

// --- start tags: audio links ---

TEST(StartTagTest, AudioLink_FromButtonOrAnchorInAudioSpan) {
  // A button gives the first "http://" through the first ".ogg" after it.
  const struct {
    const char16_t* html;
    const char16_t* audio;  // <absent>: no link was kept
  } kCases[] = {
      {u"<button onclick=\"play('http://media.lexora.org/a/En-cat.ogg', 1)\">",
       u"http://media.lexora.org/a/En-cat.ogg"},
      {u"<button onclick=\"a('http://h/1.ogg');b('http://h/2.ogg')\">", u"http://h/1.ogg"},
      {u"<button onclick=\"x('http://h/a.oggvorbis')\">", u"http://h/a.ogg"},
      {u"<BUTTON onclick=\"http://h/b.ogg\">", u"http://h/b.ogg"},
      {u"<button onclick=\"x.ogg; http://h/a\">", u"<absent>"},
      {u"<button onclick=\"http://h/a.mp3\">", u"<absent>"},
      {u"<button onclick=\"HTTP://h/a.ogg\">", u"<absent>"},
      {u"<button onclick=\"https://h/a.ogg\">", u"<absent>"},
      {u"<button onclick=\"http://h/a.OGG\">", u"<absent>"},
      {u"<button>", u"<absent>"},
      {u"<button onclick=\"\">", u"<absent>"},
      // An anchor in an audio span gives its link when href is its first attribute.
      {u"<span class=\"unicode audiolink\"><a href=\"En-cat.ogg\">", u"En-cat.ogg"},
      {u"<span class=\"unicode audiolink\"><A Href=\"//media.lexora.org/c.ogg\">", u"<absent>"},
      {u"<span class=\"unicode audiolink\"><A href=\"//media.lexora.org/c.ogg\">",
       u"//media.lexora.org/c.ogg"},
      {u"<span class=\"unicode audiolink\"><a title=\"t\" href=\"c.ogg\">", u"<absent>"},
      {u"<span class=\"unicode audiolink\"><a  href=\"c.ogg\">", u"<absent>"},
      {u"<span class=\"unicode audiolink\"><a href=\"/wiki/File:c\">", u"/wiki/File:c"},
      {u"<span class=\"IPA\"><a href=\"c.ogg\">", u"<absent>"},
      {u"<a href=\"c.ogg\">", u"<absent>"},
      // The inner span's end resets spanKind although the audio span is open.
      {u"<span class=\"unicode audiolink\"><span class=\"x\"></span><a href=\"c.ogg\">", u"<absent>"},
  };
  for (const auto& c : kCases) {
    ROW(kCases, c);
    ParsedPage page(h2(u"English") + c.html);
    EXPECT_EQ(page.audio(u"English"), c.audio);
  }
}

TEST(StartTagTest, AudioLinks_FirstOfSectionStays) {
  ParsedPage page(h2(u"English") + u"<button onclick=\"http://h/1.ogg\">" +
                  u"<span class=\"unicode audiolink\"><a href=\"http://h/2.ogg\">x</a></span>" +
                  u"<button onclick=\"http://h/3.ogg\">");
  EXPECT_EQ(page.audio(u"English"), u"http://h/1.ogg");
}

TEST(StartTagTest, AudioButtonBeforeLanguage_IsIgnored) {
  ParsedPage page(u"<button onclick=\"http://h/1.ogg\">" + h2(u"English"));
  EXPECT_TRUE(page.parser.store().recordCount() == 0);
}

// --- start tags: lists, line breaks, tables, footer ---

TEST(StartTagTest, ListsInSubsection_GiveItemMarkers) {
  const struct {
    const char16_t* html;
    const char16_t* text;
  } kCases[] = {
      {u"<ol><li>a</li><li>b</li></ol>", u"1.a\n2.b"},
      {u"<ul><li>a</li><li>b</li></ul>", u" - a\n - b"},
      {u"<OL><LI>a</LI><Li>b</lI></OL>", u"1.a\n2.b"},
      // The inner list restarts at 1; after it ends, the outer one is unnumbered.
      {u"<ol><li>a<ol><li>x</li><li>y</li></ol></li><li>b</li></ol>", u"1.a\n1.x\n2.yb"},
      {u"<ol><li>a<ul><li>x</li></ul></li><li>b</li></ol>", u"1.a\n2.x\n3.b"},
      {u"<ul><li>a<ol><li>x</li></ol></li><li>b</li></ul>", u" - a\n1.x\n - b"},
      {u"<ol><li>def<dl><dd>example</dd><dd>two</dd></dl></li></ol>", u"1.def\nexample\ntwo"},
      {u"<ol><li>a<br>b<BR/>c</li></ol>", u"1.a\nb\nc"},
      {u"<ol><li>a<br><dd>b<br><br>c</li></ol>", u"1.a\nb\nc"},
      {u"<li>loose</li>", u"loose"},
      {u"<ol><li>a</li><link rel=\"x\"><li>b</li></ol>", u"1.a\n2.\n3.b"},
      {u"<ol>\n<li>first half\nsecond half</li>\n</ol>", u"1.first halfsecond half"},
      {u"<ol><li>a</li></ol><div class=\"printfooter\">Retrieved<ol><li>b</li></ol>", u"1.a"},
      {u"<ol><li>a</li></ol><div class=\"footer\"><ol><li>b</li></ol>", u"1.a\n1.b"},
  };
  for (const auto& c : kCases) {
    ROW(kCases, c);
    ParsedPage page(inNoun(c.html));
    EXPECT_EQ(page.section(u"English", u"Noun"), c.text);
  }
}

TEST(StartTagTest, ItemNumbers_CarryIntoNewDigits) {
  std::u16string items;
  for (int i = 0; i < 100; ++i) items += u"<li>x</li>";
  ParsedPage page(inNoun(u"<ol>" + items + u"</ol><ol><li>y</li></ol>"));
  const std::u16string text = page.section(u"English", u"Noun");
  EXPECT_NE(text.find(u"\n9.x\n10.x\n11.x"), std::u16string::npos);
  EXPECT_NE(text.find(u"\n98.x\n99.x\n100.x\n1.y"), std::u16string::npos);
}

TEST(StartTagTest, Table_SuppressesMarkersButItemsStillCount) {
  ParsedPage page(inNoun(u"<ol><li>a</li><table><tr><td><li>x</li><br><dd>y</td></tr>"
                         u"</tbody><li>z</li></table><li>b</li></ol>"));
  EXPECT_EQ(page.section(u"English", u"Noun"), u"1.a\n4.b");
}

TEST(StartTagTest, ItemOfNeitherList_CreatesNoSubsection) {
  ParsedPage item(inNoun(u"<li></li>"));
  EXPECT_EQ(item.section(u"English", u"Noun"), u"<absent>");
  EXPECT_EQ(item.parser.tagState() & P::TS_LI, 0u);  // closed again

  ParsedPage lineBreak(inNoun(u"<br>"));
  EXPECT_EQ(lineBreak.section(u"English", u"Noun"), u"");
}

TEST(StartTagTest, ListTagsOutsideListSections_ChangeNothing) {
  ParsedPage page(h2(u"English") + h3(u"Pronunciation") +
                  u"<ul><li><span class=\"IPA\">/kat/</span></li><table><div class=\"printfooter\">");
  EXPECT_EQ(page.parser.tagState(), 0u);
  EXPECT_EQ(page.parser.sectionKind(), P::SK_PRONUNCIATION);
  EXPECT_EQ(page.ipa(u"English"), u"/kat/");
  EXPECT_TRUE(page.sectionCount(u"English") == 0);
}
