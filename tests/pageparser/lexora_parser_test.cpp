#include "pageparser/lexora_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {
using P = TLexoraParser;

// Heading markup as the wiki writes it: an edit link, then the headline span.
std::u16string h2(const std::u16string& name) {
  return u"<h2><span class=\"editsection\">[<a href=\"/w/edit\">edit</a>]</span> "
         u"<span class=\"mw-headline\">" + name + u"</span></h2>\n";
}
std::u16string h3(const std::u16string& name) {
  return u"<h3><span class=\"mw-headline\">" + name + u"</span></h3>\n";
}
std::u16string h4(const std::u16string& name) {
  return u"<h4><span class=\"mw-headline\">" + name + u"</span></h4>\n";
}

// One parser run over a page kept alive beside it.
struct ParsedPage {
  explicit ParsedPage(std::u16string html, PageMarkup markup = PageMarkup::Classic)
      : text(std::move(html)), parser(markup) {
    parser.setInput(text.c_str());
    parser.parse();
  }
  const TLanguageStore::Record* record(const char16_t* language) const {
    return parser.store().findRecord(parser.store().findName(language));
  }
  /// The text of the language's first sub-section of that name; current-mode
  /// sections are found by walking them in page order.
  std::u16string section(const char16_t* language, const char16_t* name) {
    const TLanguageStore& store = parser.store();
    if (const TSectionText* found = store.findSectionText(store.findName(language), name)) return found->str();
    parser.entryLength();  // gathers the sections for the walk
    std::u16string first = u"<absent>";
    if (const TLanguageStore::Record* info = record(language)) {
      store.forEachSection(*info, [&](std::u16string_view sectionName, const TSectionText& found) {
        if (sectionName == name && first == u"<absent>") first = found.str();
      });
    }
    return first;
  }
  size_t sectionCount(const char16_t* language) const { return record(language)->sectionCount; }
  std::u16string ipa(const char16_t* language) const {
    return record(language) ? std::u16string(record(language)->ipa) : u"<absent>";
  }
  std::u16string audio(const char16_t* language) const {
    return record(language) ? std::u16string(record(language)->audio) : u"<absent>";
  }
  std::u16string entry() {
    __kvstrbufW out;
    parser.assembleResult(out);
    return out.str();
  }
  std::u16string languages() const {  // joined with "|"
    std::u16string all;
    for (int32_t i = 0; i < parser.store().slotCount(); ++i) {
      if (i) all += u"|";
      all += parser.store().name(parser.store().slotName(i));
    }
    return all;
  }

  std::u16string text;
  TLexoraParser parser;
};

// A list-bearing sub-section Noun in the language section English.
std::u16string inNoun(const std::u16string& html) { return h2(u"English") + h3(u"Noun") + html; }

#define ROW(cases, c) SCOPED_TRACE(testing::Message() << "row " << (&(c) - (cases)))
}  // namespace

// --- state and comments ---

TEST(LexoraParserTest, Comments_NeverReachTheStore) {
  ParsedPage page(inNoun(u"<ol><li>a<!-- <li>hidden</li> --></li><!--\n<li>x\n--><li>b</li></ol>"));
  EXPECT_EQ(page.section(u"English", u"Noun"), u"1.a\n2.b");
}

// The parser keeps the record and section text it found last; each change of
// language or sub-section must send what follows to the new pair.
TEST(LexoraParserTest, EachHeadline_SendsWhatFollowsToItsOwnRecord) {
  ParsedPage page(h2(u"English") + u"<span class=\"IPA\">/en/</span>" + h3(u"Noun") +
                  u"<ol><li>n</li></ol>" + h3(u"Verb") + u"<ol><li>v</li></ol>" + h2(u"French") +
                  u"<span class=\"IPA\">/fr/</span><button onclick=\"http://h/fr.ogg\">" +
                  h3(u"Verb") + u"<ol><li>w</li></ol>" + h2(u"") + u"<span class=\"IPA\">/x/</span>");
  EXPECT_EQ(page.entry(),
            u"[[English]]\nipa  :/en/[Noun]\n1.n\n[Verb]\n1.v\n"
            u"[[French]]\nipa  :/fr/\naudio:http://h/fr.ogg\n[Verb]\n1.w\n");  // the empty headline takes nothing
}

TEST(LexoraParserTest, ContentBeforeFirstHeadline_RecordsNothing) {
  ParsedPage page(u"<p>intro</p><span class=\"IPA\">/x/</span><ol><li>a</li></ol>" + h3(u"Noun") +
                  u"<ol><li>b</li></ol>");
  EXPECT_TRUE(page.parser.store().recordCount() == 0);
  EXPECT_EQ(page.parser.sectionKind(), P::SK_NONE);
  EXPECT_TRUE(page.parser.subsection().empty());
}

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

TEST(StartTagTest, AudioButton_TakesFirstHttpThroughFirstOgg) {
  const struct {
    const char16_t* button;
    const char16_t* audio;  // <absent>: no record was made
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
  };
  for (const auto& c : kCases) {
    ROW(kCases, c);
    ParsedPage page(h2(u"English") + c.button);
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

TEST(StartTagTest, AnchorInAudioSpan_StoredWhenHrefComesFirst) {
  const struct {
    const char16_t* html;
    const char16_t* audio;
  } kCases[] = {
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

// --- text ---

TEST(TextTest, HeadlineSplitByInlineElement_AppendsEachPart) {
  ParsedPage page(u"<h2><span class=\"editsection\">[edit]</span><span class=\"mw-headline\">Old "
                  u"<i>English</i></span></h2>");
  EXPECT_EQ(page.languages(), u"Old |English");
  EXPECT_EQ(std::u16string(page.parser.language()), u"English");
  EXPECT_EQ(page.parser.sectionKind(), P::SK_LANGUAGE);
}

TEST(TextTest, Headlines_SetSectionKindAndSubsection) {
  const struct {
    std::u16string html;
    int32_t sectionKind;
    const char16_t* subsection;
  } kCases[] = {
      {h3(u"Pronunciation"), P::SK_PRONUNCIATION, u"Pronunciation"},
      {h3(u"pronunciation"), P::SK_SUBSECTION, u"pronunciation"},
      {h3(u"Noun"), P::SK_SUBSECTION, u"Noun"},
      {h3(u"Noun") + h4(u"Synonyms"), P::SK_SYNONYMS, u"Synonyms"},
      {h3(u"Noun") + h4(u"Antonyms"), P::SK_ANTONYMS, u"Antonyms"},
      {h3(u"Noun") + h4(u"Synonyms "), P::SK_LANGUAGE, u"Noun"},
      {h3(u"Noun") + h4(u"Translations"), P::SK_LANGUAGE, u"Noun"},
      {h3(u"Synonyms"), P::SK_SUBSECTION, u"Synonyms"},
  };
  for (const auto& c : kCases) {
    ROW(kCases, c);
    testing::internal::CaptureStdout();
    ParsedPage page(h2(u"English") + c.html);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(page.parser.sectionKind(), c.sectionKind);
    EXPECT_EQ(std::u16string(page.parser.subsection()), c.subsection);
  }
}

TEST(TextTest, SubHeadlinesBeforeLanguage_ChangeNothing) {
  testing::internal::CaptureStdout();
  ParsedPage page(h3(u"Noun") + h4(u"Synonyms") + u"<ul><li>a</li></ul>");
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(page.parser.sectionKind(), P::SK_NONE);
  EXPECT_TRUE(page.parser.subsection().empty());
  EXPECT_TRUE(page.parser.store().recordCount() == 0);
}

TEST(TextTest, H4Headline_WritesTraceLineEvenWithoutLanguage) {
  testing::internal::CaptureStdout();
  ParsedPage page(h4(u"Early") + h2(u"English") + h3(u"Noun") + h4(u"Translations") +
                  u"<h4><span class=\"mw-headline\">Syn<i>onyms</i></span></h4>" + h3(u"Verb"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "head:Early\nhead:Translations\nhead:Syn\nhead:onyms\n");
}

// The line is built on the stack up to a few hundred units; longer ones whole too.
TEST(TextTest, H4TraceLine_WholeAtEveryLength) {
  for (const size_t length : {250, 251, 600}) {
    SCOPED_TRACE(length);
    testing::internal::CaptureStdout();
    ParsedPage page(h4(std::u16string(length, u'x')));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "head:" + std::string(length, 'x') + "\n");
  }
}

// In both builds, whatever the code page: no line is cut at a character
// past U+00FF, none runs on into the next.
TEST(TextTest, H4TraceLine_IsUtf8) {
  testing::internal::CaptureStdout();
  ParsedPage page(h2(u"Fran\u00e7ais") + h4(u"D\u00e9riv\u00e9s %s") + h4(u"\u985e\u7fa9\u8a9e") + h4(u"x"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "head:D\xc3\xa9riv\xc3\xa9s %s\nhead:\xe9\xa1\x9e\xe7\xbe\xa9\xe8\xaa\x9e\nhead:x\n");
}

TEST(TextTest, TranslationsAfterNoun_RecordsNothingUntilNextHeadline) {
  testing::internal::CaptureStdout();
  ParsedPage page(inNoun(u"<ol><li>cat</li></ol>") + h4(u"Translations") +
                  u"<ul><li>German: Katze</li></ul>" + h4(u"Synonyms") + u"<ul><li>puss</li></ul>");
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(page.section(u"English", u"Noun"), u"1.cat");
  EXPECT_EQ(page.section(u"English", u"Synonyms"), u" - puss");
}

TEST(TextTest, Ipa_FirstRunStaysAndKeepsReferences) {
  ParsedPage page(h2(u"English") + h3(u"Pronunciation") +
                  u"<ul><li>UK: <span class=\"IPA\">/a&amp;b/</span>, <span class=\"IPA\">/c/</span>"
                  u"</li></ul>");
  EXPECT_EQ(page.ipa(u"English"), u"/a&amp;b/");
  EXPECT_TRUE(page.sectionCount(u"English") == 0);
}

TEST(TextTest, IpaInListSection_GoesToIpaAndDecodedToSectionText) {
  ParsedPage page(inNoun(u"<ol><li>see <span class=\"IPA\">a&amp;b</span></li></ol>"));
  EXPECT_EQ(page.ipa(u"English"), u"a&amp;b");
  EXPECT_EQ(page.section(u"English", u"Noun"), u"1.see a&b");
}

TEST(TextTest, HeadlineRuns_NeverBecomeSectionText) {
  // An h3 span whose class is not mw-headline is dropped, not recorded.
  ParsedPage page(inNoun(u"<ol><li>a</li></ol><h3><span class=\"x\">Extra</span></h3>b"));
  EXPECT_EQ(page.section(u"English", u"Noun"), u"1.ab");
  EXPECT_EQ(std::u16string(page.parser.subsection()), u"Noun");
}

TEST(TextTest, ReferencesInSectionText_DecodedPerLine) {
  ParsedPage page(inNoun(u"<ol><li>AT&amp;T &#65\n&#66<b>x</b> a&am\np;b &#10;c</li></ol>"));
  // "&#65" ends its line and is decoded; "&#66" meets "<" and is copied; an
  // ampersand reference cut by the line end stays as written.
  EXPECT_EQ(page.section(u"English", u"Noun"), u"1.AT&T A&#66x a&amp;b \nc");
}

TEST(TextTest, TableInSection_AddsNoText) {
  ParsedPage page(inNoun(u"<ol><li>a</li></ol><table><tr><td>cell</td></tr></table>tail"));
  EXPECT_EQ(page.section(u"English", u"Noun"), u"1.atail");
}

TEST(AppendSectionTextTest, LineFeedRules) {
  const struct {
    const char16_t* target;
    const char16_t* text;
    const char16_t* want;
  } kCases[] = {
      {u"", u"\n - ", u" - "},
      {u"", u"\n", u""},
      {u"", u"\n\n\nabc", u"abc"},
      {u"x\n", u"\nabc", u"x\nabc"},
      {u"x\n", u"\n\nabc", u"x\n\nabc"},
      {u"x", u"\nabc", u"x\nabc"},
      {u"x\n", u"&#10;abc", u"x\n\nabc"},  // the raw text decides
      {u"x\n", u"abc\n\n", u"x\nabc\n\n"},
      {u"a", u" b\t ", u"a b\t "},
      {u"a", u"b&lt;c", u"ab<c"},
      {u"", u"&#0;", u""},
  };
  for (const auto& c : kCases) {
    ROW(kCases, c);
    TLexoraParser parser;
    TSectionText target;
    target.append(c.target, static_cast<int32_t>(std::char_traits<char16_t>::length(c.target)));
    const std::u16string text(c.text);
    parser.appendSectionText(target, text.c_str(), static_cast<int32_t>(text.size()));
    EXPECT_EQ(std::u16string(target.str()), c.want);
  }
}

TEST(AppendSectionTextTest, OpenTable_AppendsNothing) {
  ParsedPage page(inNoun(u"<ol><table>"));
  ASSERT_EQ(page.parser.tagState(), P::TS_TABLE | P::TS_OL);
  TSectionText target;
  target.append(u'x');
  page.parser.appendSectionText(target, u"abc", 3);
  page.parser.appendLineBreak(target);
  EXPECT_EQ(std::u16string(target.str()), u"x");
}

// --- current markup: the text a reader sees ---

namespace {
struct TNounTextCase {
  const char16_t* html;  // inside Noun
  const char16_t* want;
  const char16_t* classic;
};

template <size_t N>
void expectNounTextsInBothModes(const TNounTextCase (&cases)[N]) {
  for (const auto& c : cases) {
    ROW(cases, c);
    EXPECT_EQ(ParsedPage(inNoun(c.html), PageMarkup::Current).section(u"English", u"Noun"), c.want);
    EXPECT_EQ(ParsedPage(inNoun(c.html)).section(u"English", u"Noun"), c.classic);
  }
}
}  // namespace

TEST(CurrentMarkupTextTest, UnseenElements_NeverReachTheText) {
  const TNounTextCase kCases[] = {
      {u"<p>a<style data-mw-deduplicate=\"x\">.mw-parser-output .b>i{color:red}</style>b</p>", u"ab",
       u"a.mw-parser-output .b>i{color:red}b"},
      {u"<p>a<SCRIPT>var t = \"<h2>x</h2>\";</script>b</p>", u"ab", u"avar t = \""},
      // A "<" in a script opens a tag that runs on to the script's end tag.
      {u"<p>a<script>if(1<2){t=\"<i>\";}</script >b</p>", u"ab", u"aif(1b"},
      {u"<p>origin<sup id=\"cite_ref-1\" class=\"reference\"><a href=\"#cite_note-1\"><span "
       u"class=\"cite-bracket\">[</span>1<span class=\"cite-bracket\">]</span></a></sup>; more</p>",
       u"origin; more", u"origin[1]; more"},
      {u"<p><sup class=\"reference\">[<sup>2</sup>]</sup>after</p>", u"after", u"[2]after"},
      {u"<p>see <a rel=\"nofollow\" class=\"external autonumber\" href=\"http://x\">[6]</a>.</p>", u"see .",
       u"see [6]."},
      {u"<p><a href=\"http://x\" class=\"autonumber external\">[7]</a>.</p>", u".", u"[7]."},
      {u"<p>x<sup>2</sup> <a class=\"external text\" href=\"http://x\">site</a></p>", u"x2 site", u"x2 site"},
  };
  expectNounTextsInBothModes(kCases);
}

TEST(CurrentMarkupTextTest, UnseenElement_ItsTagsChangeNothing) {
  // A heading inside a script is no heading; the list after it is recorded.
  ParsedPage page(inNoun(u"<script>\n<h2>Code</h2><ol>\n</script><ol><li>a</li></ol>"), PageMarkup::Current);
  EXPECT_EQ(page.languages(), u"English");
  EXPECT_EQ(page.section(u"English", u"Noun"), u"1.a");
}

TEST(CurrentMarkupTextTest, LineEndsInText_ShowAsOneBlank) {
  const TNounTextCase kCases[] = {
      {u"<p>perhaps from a\nlate Latin word</p>", u"perhaps from a late Latin word", u"perhaps from alate Latin word"},
      {u"<p>a \nb</p>", u"a b", u"a b"},
      {u"<p>a\n b</p>", u"a b", u"a b"},
      {u"<p>a&nbsp;\n<i>b</i>\r\nc</p>", u"a\u00a0b c", u"a bc"},
      {u"<p>a\n\n</p><p>b</p>", u"a b", u"ab"},
      {u"<ol><li>a\n<ol><li>\nb</li></ol>\n</li></ol>", u"1.a\n1.b", u"1.a\n1.b"},
      {u"<p>a<br>\nb</p>", u"a\nb", u"a\nb"},
      {u"<p>a<span>b</span>c</p>", u"abc", u"abc"},
  };
  expectNounTextsInBothModes(kCases);
  // The blank joins the parts of one text only.
  ParsedPage page(inNoun(u"<p>a\n") + h3(u"Verb") + u"<p>b</p>" + h3(u"Noun") + u"<p>c</p>", PageMarkup::Current);
  EXPECT_EQ(page.entry(), u"[[English]]\n[Noun]\na\n[Verb]\nb\n[Noun]\nc\n");
}

// An item is marked by its own list, and a list counts on after one nested
// in it; the classic rules keep one bit a kind.
TEST(CurrentMarkupTextTest, NestedLists_EachItemMarkedByItsOwnList) {
  const TNounTextCase kCases[] = {
      {u"<ol><li>a<ol><li>b</li></ol></li><li>c</li></ol>", u"1.a\n1.b\n2.c", u"1.a\n1.bc"},
      {u"<ol><li>a<ul><li>q</li></ul></li><li>b</li></ol>", u"1.a\n - q\n2.b", u"1.a\n2.q\n3.b"},
      {u"<ul><li>a<ol><li>b</li></ol></li><li>c</li></ul>", u" - a\n1.b\n - c", u" - a\n1.b\n - c"},
      {u"<ol><li>a<ul><li>q<ol><li>r</ol></ul><li>b</ol>", u"1.a\n - q\n1.r\n2.b", u"1.a\n2.q\n1.rb"},
      {u"<ol><li>a</ul><li>b</ol><li>c", u"1.a\n2.bc", u"1.a\n2.bc"},
  };
  expectNounTextsInBothModes(kCases);
}

TEST(CurrentMarkupTextTest, Pronunciation_FirstTranscriptionOfTheSection) {
  const struct {
    const char16_t* html;  // after the language headline
    const char16_t* want;
    const char16_t* classic;
  } kCases[] = {
      {u"<span class=\"IPA\">-\u028Ft</span>, <span class=\"IPA\">/\u02C8p\u028Ft/</span>", u"/\u02C8p\u028Ft/",
       u"-\u028Ft"},
      {u"<span class=\"IPA\">*sre\u02D0n</span><span class=\"IPA\">-en</span>", u"*sre\u02D0n", u"*sre\u02D0n"},
      {u"<span class=\"IPA nowrap\">[kat]</span>", u"[kat]", u"<absent>"},
      {u"<span class=\"API\" title=\"Prononciation API\">\\\u0283a\\</span>", u"\\\u0283a\\", u"<absent>"},
      {u"<span class=\"IPA\">/a/</span><span class=\"IPA\">[b]</span>", u"/a/", u"/a/"},
      {u"<span class=\"IPAchar\">/x/</span><span class=\"ipa\">/y/</span>", u"<absent>", u"<absent>"},
  };
  for (const auto& c : kCases) {
    ROW(kCases, c);
    const std::u16string html = h2(u"English") + c.html;
    EXPECT_EQ(ParsedPage(html, PageMarkup::Current).ipa(u"English"), c.want);
    EXPECT_EQ(ParsedPage(html).ipa(u"English"), c.classic);
  }
}

// --- assembly ---

TEST(AssembleResultTest, FullBlock_HasExactLayout) {
  testing::internal::CaptureStdout();
  ParsedPage page(h2(u"English") + h3(u"Pronunciation") +
                  u"<span class=\"IPA\">/k\u00e6t/</span>"
                  u"<span class=\"unicode audiolink\"><a href=\"//media.lexora.org/En-cat.ogg\">"
                  u"audio</a></span>" +
                  h3(u"Noun") + u"<ol><li>A feline.<dl><dd>The cat sat.</dd></dl></li></ol>" +
                  h4(u"Synonyms") + u"<ul><li>puss</li><li>moggy</li></ul>" +
                  u"<div class=\"printfooter\">Retrieved from x</div>");
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(page.entry(),
            u"[[English]]\n"
            u"ipa  :/k\u00e6t/\n"
            u"audio://media.lexora.org/En-cat.ogg\n"
            u"[Noun]\n"
            u"1.A feline.\nThe cat sat.\n"
            u"[Synonyms]\n"
            u" - puss\n - moggy\n");
}

TEST(AssembleResultTest, WithoutEditSection_WritesNothing) {
  ParsedPage page(u"<h2><span class=\"mw-headline\">English</span></h2>" + h3(u"Noun") +
                  u"<ol><li>a</li></ol>");
  EXPECT_EQ(page.section(u"English", u"Noun"), u"1.a");
  EXPECT_EQ(page.entry(), u"");
}

TEST(AssembleResultTest, PartialBlocks_FollowTheLineRules) {
  const struct {
    std::u16string html;
    const char16_t* entry;
  } kCases[] = {
      {h2(u"English"), u"[[English]]\n"},
      {h2(u"English") + u"<span class=\"IPA\">/a/</span>" + h3(u"Noun") + u"<ol><li>b</li></ol>",
       u"[[English]]\nipa  :/a/[Noun]\n1.b\n"},
      {h2(u"English") + u"<span class=\"IPA\">/a/</span>" + h2(u"French"),
       u"[[English]]\nipa  :/a/[[French]]\n"},
      {h2(u"English") + u"<button onclick=\"http://h/a.ogg\">",
       u"[[English]]\n\naudio:http://h/a.ogg\n"},
      {inNoun(u"<table><tr><td><br></td></tr></table>"), u"[[English]]\n[Noun]\n\n"},
      {inNoun(u"<ol><li>a<br></li></ol>"), u"[[English]]\n[Noun]\n1.a\n\n"},
  };
  for (const auto& c : kCases) {
    ROW(kCases, c);
    ParsedPage page(c.html);
    EXPECT_EQ(page.entry(), c.entry);
  }
}

TEST(AssembleResultTest, DuplicateLanguage_GivesTwoBlocksOfOneRecord) {
  ParsedPage page(inNoun(u"<ol><li>a</li></ol>") + h2(u"English") + h3(u"Verb") +
                  u"<ol><li>b</li></ol>");
  EXPECT_EQ(page.parser.store().slotCount(), 2);
  EXPECT_EQ(page.parser.store().recordCount(), 1);
  const std::u16string block = u"[[English]]\n[Noun]\n1.a\n[Verb]\n1.b\n";
  EXPECT_EQ(page.entry(), block + block);
}

// Enough languages to grow the name and section indexes many times over, each
// visited twice, and a name longer than a block of the name store: every slot
// still writes its language's whole record, sections in name order.
TEST(AssembleResultTest, ManyLanguagesVisitedTwice_EachSlotWritesTheWholeRecord) {
  const auto name = [](int i) {
    const std::string digits = std::to_string(i);
    return u"L" + std::u16string(digits.begin(), digits.end());
  };
  constexpr int kLanguages = 3000;
  const std::u16string longName(20000, u'x');
  std::u16string html;
  for (const char16_t* section : {u"Verb", u"Adjective"}) {
    for (int i = 0; i < kLanguages; ++i) html += h2(name(i)) + h3(section) + u"<ol><li>w</li></ol>";
  }
  ParsedPage page(html + h2(longName) + h3(longName) + u"<ol><li>z</li></ol>");

  std::u16string blocks;
  for (int i = 0; i < kLanguages; ++i) blocks += u"[[" + name(i) + u"]]\n[Adjective]\n1.w\n[Verb]\n1.w\n";
  EXPECT_EQ(page.entry(), blocks + blocks + u"[[" + longName + u"]]\n[" + longName + u"]\n1.z\n");
  EXPECT_EQ(page.parser.store().recordCount(), kLanguages + 1);
}

TEST(AssembleResultTest, Subsections_InCodeUnitOrder) {
  testing::internal::CaptureStdout();
  ParsedPage page(h2(u"English") + h3(u"Verb") + u"<ol><li>v</li></ol>" + h3(u"\u00e9tymologie") +
                  u"<ol><li>e</li></ol>" + h3(u"Noun") + u"<ol><li>n</li></ol>" + h4(u"Synonyms") +
                  u"<ul><li>s</li></ul>" + h3(u"usage") + u"<ol><li>u</li></ol>" +
                  h3(u"Adjective") + u"<ol><li>a</li></ol>");
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(page.entry(),
            u"[[English]]\n[Adjective]\n1.a\n[Noun]\n1.n\n[Synonyms]\n - s\n[Verb]\n1.v\n"
            u"[usage]\n1.u\n[\u00e9tymologie]\n1.e\n");
}

TEST(AssembleResultTest, Appends_WithoutClearingTheBuffer) {
  ParsedPage page(h2(u"English"));
  __kvstrbufW out;
  out.append(u"x", 1);
  page.parser.assembleResult(out);
  EXPECT_EQ(std::u16string(out.str()), u"x[[English]]\n");
}

// Written into storage of exactly entryLength() units, as the lookup builds the
// host's string; records found while parsing and while counting are reused.
TEST(MoveResultIntoTest, ExactlySizedStorage_HoldsTheEntry) {
  const std::u16string noun = h3(u"Noun") + u"<ol><li>a</li></ol>";
  const struct {
    std::u16string html;
    std::u16string entry;
  } kCases[] = {
      {u"<h2><span class=\"editsection\">[edit]</span><span class=\"mw-headline\">Old "
       u"<i>English</i></span></h2>" + noun,
       u"[[Old ]]\n[[English]]\n[Noun]\n1.a\n"},
      {inNoun(u"<ol><li>a</li></ol>") + h2(u"English") + h3(u"Verb") + u"<ol><li>b</li></ol>",
       u"[[English]]\n[Noun]\n1.a\n[Verb]\n1.b\n[[English]]\n[Noun]\n1.a\n[Verb]\n1.b\n"},
      {h2(u"English") + u"<h2>x</h2><button onclick=\"http://h/a.ogg\">" + h2(u"French") + noun,
       u"[[English]]\n[[French]]\n[Noun]\n1.a\n"},
      {h2(u"Fran\u00e7ais") + u"<span class=\"IPA\">/a/</span><button onclick=\"http://h/a.ogg\">",
       u"[[Fran\u00e7ais]]\nipa  :/a/\naudio:http://h/a.ogg\n"},
  };
  for (const auto& c : kCases) {
    ROW(kCases, c);
    ParsedPage page(c.html);
    const int64_t units = page.parser.entryLength();
    ASSERT_EQ(units, static_cast<int64_t>(c.entry.size()));
    std::u16string room(c.entry.size() + 1, u'#');  // one unit past the room must stay
    EXPECT_EQ(page.parser.moveResultInto(&room[0], units), units);
    EXPECT_EQ(room, c.entry + u"#");
  }
}

TEST(MoveResultIntoTest, SmallRoom_FilledAndNoFurther) {
  ParsedPage page(inNoun(u"<ol><li>a</li></ol>"));
  std::u16string room = u"########";
  EXPECT_EQ(page.parser.moveResultInto(&room[0], 5), 5);
  EXPECT_EQ(room, u"[[Eng###");
  EXPECT_EQ(page.parser.moveResultInto(&room[0], 0), 0);
  EXPECT_EQ(page.parser.moveResultInto(nullptr, 5), 0);
}

// A text longer than the moving piece goes into the entry tail first and is
// given back; a language whose block comes again keeps it for that block, and
// a room too short takes the text's head.
TEST(MoveResultIntoTest, LongTexts_MovedIntoTheEntry) {
  const std::u16string longText(600 * 1024, u'a');
  const std::u16string html = inNoun(u"<ol><li>" + longText + u"</li></ol>");
  const std::u16string block = u"[[English]]\n[Noun]\n1." + longText + u"\n";
  const struct {
    std::u16string html;
    std::u16string entry;
    size_t room;
  } kCases[] = {
      {html, block, block.size()},
      {html + h2(u"English"), block + block, 2 * block.size()},
      {html, block.substr(0, 300000), 300000},
  };
  for (const auto& c : kCases) {
    ROW(kCases, c);
    ParsedPage page(c.html);
    std::u16string room(c.room + 1, u'#');
    EXPECT_EQ(page.parser.moveResultInto(&room[0], static_cast<int64_t>(c.room)), static_cast<int64_t>(c.room));
    EXPECT_TRUE(room == c.entry + u"#");
    EXPECT_EQ(page.section(u"English", u"Noun"), u"");
  }
}

// A heading repeated over many sub-sections asks for an entry that grows with
// the square of the page: the count stops at the block that passes its limit.
TEST(EntryLengthTest, Count_StopsAtTheBlockPastTheLimit) {
  std::u16string html = h2(u"English");
  for (int i = 0; i < 100; ++i) {
    const std::string n = std::to_string(i);
    html += h3(u"S" + std::u16string(n.begin(), n.end())) + u"<ol><li>a</li></ol>";
  }
  for (int i = 0; i < 100; ++i) html += h2(u"English");
  ParsedPage page(html);
  // 101 blocks of "[[English]]\n" and 100 sub-sections "[S0]\n1.a\n" to "[S99]\n1.a\n".
  const int64_t block = 12 + 10 * 9 + 90 * 10;
  EXPECT_EQ(page.parser.entryLength(), 101 * block);
  EXPECT_EQ(page.parser.entryLength(101 * block), 101 * block);
  EXPECT_EQ(page.parser.entryLength(50), block);
  EXPECT_EQ(page.parser.entryLength(block), 2 * block);
}

TEST(MoveResultIntoTest, WithoutEditSection_WritesNothing) {
  ParsedPage page(u"<h2><span class=\"mw-headline\">English</span></h2>");
  std::u16string room = u"##";
  EXPECT_EQ(page.parser.entryLength(), 0);
  EXPECT_EQ(page.parser.moveResultInto(&room[0], 2), 0);
  EXPECT_EQ(room, u"##");
}

// --- audio link listing ---

TEST(AudioLinkAtTest, ThreeSections_OnlySecondHasAudio) {
  ParsedPage page(h2(u"English") + h2(u"French") + u"<button onclick=\"p('http://h/fr.ogg')\">" +
                  h2(u"German"));
  EXPECT_EQ(std::u16string(page.parser.audioLinkAt(0).str()), u"\x01");
  EXPECT_EQ(std::u16string(page.parser.audioLinkAt(1).str()), u"http://h/fr.ogg");
  EXPECT_EQ(std::u16string(page.parser.audioLinkAt(2).str()), u"\x01");
  EXPECT_TRUE(page.parser.audioLinkAt(3).data() == nullptr);
  EXPECT_TRUE(page.parser.audioLinkAt(-1).data() == nullptr);
}

TEST(AudioLinkAtTest, NoHeadlines_EmptyAtOnce) {
  ParsedPage page(u"<p>no entry</p>");
  EXPECT_TRUE(page.parser.audioLinkAt(0).data() == nullptr);
}

TEST(AudioLinkAtTest, DuplicateLanguage_ListedAtBothSlots) {
  ParsedPage page(h2(u"English") + u"<button onclick=\"http://h/1.ogg\">" + h2(u"English") +
                  u"<button onclick=\"http://h/2.ogg\">");
  EXPECT_EQ(std::u16string(page.parser.audioLinkAt(0).str()), u"http://h/1.ogg");
  EXPECT_EQ(std::u16string(page.parser.audioLinkAt(1).str()), u"http://h/1.ogg");
  EXPECT_EQ(std::u16string(kNoAudioMark), u"\x01");
}

// --- current markup ---

// Headings as the later markups write them: the headline first (markup 2),
// or the bare heading in a wrapper div (markup 3); edit links with bracket
// spans after it.
std::u16string editLink(const std::u16string& name) {
  return u"<span class=\"mw-editsection\"><span class=\"mw-editsection-bracket\">[</span>"
         u"<a href=\"/w/index.php?title=cat&amp;action=edit\" title=\"Edit section: " + name +
         u"\"><span>edit</span></a><span class=\"mw-editsection-bracket\">]</span></span>";
}
std::u16string heading2(int level, const std::u16string& name) {
  const std::u16string h = u"h" + std::u16string(1, static_cast<char16_t>(u'0' + level));
  return u"<" + h + u"><span class=\"mw-headline\" id=\"x\">" + name + u"</span>" + editLink(name) +
         u"</" + h + u">\n";
}
std::u16string heading3(int level, const std::u16string& name) {
  const std::u16string digit(1, static_cast<char16_t>(u'0' + level));
  return u"<div class=\"mw-heading mw-heading" + digit + u"\"><h" + digit + u" id=\"x\">" + name +
         u"</h" + digit + u">" + editLink(name) + u"</div>\n";
}

TEST(CurrentMarkupTest, LaterHeadings_GiveTheClassicEntry) {
  const std::u16string body = u"<ol><li>a feline</li></ol>";
  const std::u16string classic = h2(u"English") + h3(u"Noun") + body + h3(u"Verb") + body;
  const std::u16string want = u"[[English]]\n[Noun]\n1.a feline\n[Verb]\n1.a feline\n";
  const std::u16string kPages[] = {
      classic,
      heading2(2, u"English") + heading2(3, u"Noun") + body + heading2(3, u"Verb") + body,
      heading3(2, u"English") + heading3(3, u"Noun") + body + heading3(3, u"Verb") + body,
  };
  for (const auto& html : kPages) {
    SCOPED_TRACE(std::string(html.begin(), html.end()));
    EXPECT_EQ(ParsedPage(html, PageMarkup::Current).entry(), want);
  }
  EXPECT_EQ(ParsedPage(classic).entry(), want);
  // Classic mode knows no later edit link: not an entry page.
  EXPECT_EQ(ParsedPage(kPages[2]).entry(), u"");
}

TEST(CurrentMarkupTest, EditLink_OnlyInAHeadingOrItsWrapper) {
  // Brackets, link text and nested spans of an edit link stay out of the
  // headline and the sub-section before it; outside a heading the class
  // marks an ordinary span, closed or not.
  ParsedPage page(heading3(2, u"English") + heading3(3, u"Noun") + u"<ol><li>a</li></ol>" +
                      u"<h3><span class=\"editsection\">[<a>edit</a>]</span> <span class=\"mw-headline\">Verb</span>" +
                      editLink(u"Verb") + u"</h3><p>b<span class=\"mw-editsection\">[<span><span>x</span></span>y" +
                      u"</span>c</p>" + heading2(3, u"Adverb") +
                      u"<ol><li>kept<span class=\"mw-editsection\">[<li>d<li>e</ol>",
                  PageMarkup::Current);
  EXPECT_EQ(page.entry(), u"[[English]]\n[Noun]\n1.a\n[Verb]\nb[xyc\n[Adverb]\n1.kept[\n2.d\n3.e\n");
}

TEST(CurrentMarkupTest, OnlyWrappedHeadings_AreHeadlines) {
  testing::internal::CaptureStdout();
  ParsedPage page(u"<h2 class=\"vector-pinnable-header-label\">Contents</h2>" +
                      heading3(2, u"English") + u"<h3 id=\"p-tb\">Tools</h3><ol><li>t</li></ol>" +
                      u"<div class=\"mw-heading3\"><h3>Noun</h3></div><ol><li>n</li></ol>" +
                      u"<div class=\"x mw-heading\"><h3>Verb <i>form</i></h3></div><ol><li>v</li></ol>" +
                      u"<div class=\"mw-heading mw-heading4\"><h4>Synonyms</h4></div>" +
                      u"<ul><li>s</li></ul>",
                  PageMarkup::Current);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "head:Synonyms\n");
  EXPECT_EQ(page.languages(), u"English");
  EXPECT_EQ(page.entry(), u"[[English]]\n[Verb form]\n1.v\n[Synonyms]\n - s\n");
}

// Every headline from h3 to h6 opens a block named by its heading's whole
// text, in page order, in each of the three markups.
TEST(CurrentMarkupTest, Headlines_OpenBlocksInPageOrder) {
  using Heading = std::u16string (*)(int, const std::u16string&);
  const Heading classic = [](int level, const std::u16string& name) {
    const std::u16string h = u"h" + std::u16string(1, static_cast<char16_t>(u'0' + level));
    return u"<" + h + u"><span class=\"editsection\">[<a href=\"/e\">edit</a>]</span> <span class=\"mw-headline\">" +
           name + u"</span></" + h + u">\n";
  };
  const std::u16string def = u"<ol><li>d</li></ol>";
  for (const Heading heading : {classic, Heading(heading2), Heading(heading3)}) {
    const std::u16string html =
        heading(2, u"English") + heading(3, u"Etymology 1") + u"<p>e1</p>" + heading(4, u"Pronunciation 1") +
        u"<span class=\"IPA\">/a/</span><ul><li>hidden</li></ul>" + heading(4, u"Noun") + def +
        heading(5, u"Synonyms") + u"<ul><li>s</li></ul>" + heading(5, u"Translations") +
        u"<table><tr><td>t</td></tr></table>" + heading(3, u"Etymology 2") + u"<p>e2</p>" + heading(4, u"Noun") +
        def + heading(6, u"Old <i>English</i> &amp; more ") + u"<ul><li>o</li></ul>" + heading(2, u"English") +
        heading(3, u"Anagrams") + u"<ul><li>a</li></ul>";
    SCOPED_TRACE(std::string(html.begin(), html.end()));
    testing::internal::CaptureStdout();  // the h4 to h6 headlines are traced
    ParsedPage page(html, PageMarkup::Current);
    testing::internal::GetCapturedStdout();
    const std::u16string block =
        u"[[English]]\nipa  :/a/[Etymology 1]\ne1\n[Noun]\n1.d\n[Synonyms]\n - s\n[Etymology 2]\ne2\n[Noun]\n"
        u"1.d\n[Old English & more]\n - o\n[Anagrams]\n - a\n";
    EXPECT_EQ(page.entry(), block + block);
  }
}

TEST(CurrentMarkupTest, HeadlineText_WholeHeadingWhateverItHolds) {
  const struct {
    const char16_t* html;
    const char16_t* languages;
  } kCases[] = {
      {u"<div class=\"mw-heading mw-heading2\"><h2 id=\"N\"><span id=\"N.C5.8C\"></span>Northern \u014C</h2></div>",
       u"Northern \u014C"},
      {u"<h2><span id=\"Fr.C3.A7\"></span><span class=\"mw-headline\" id=\"Fr\"><span class=\"sectionlangue\">"
       u"<a href=\"/wiki/P\">Fran\u00e7ais</a></span></span></h2>",
       u"Fran\u00e7ais"},
      {u"<h2><span class=\"mw-headline\">Old <i>English</i></span></h2><h2><span class=\"mw-headline\"> </span></h2>",
       u"Old English"},
      {u"<div class=\"mw-heading mw-heading2\"><h2>Left <h3>open</h3></div>", u"Left"},
  };
  for (const auto& c : kCases) {
    ROW(kCases, c);
    EXPECT_EQ(ParsedPage(c.html, PageMarkup::Current).languages(), c.languages);
  }
}

// No edit link is needed: an entry comes from any language section that
// gathered something; nothing gathered, or no language, gives none.
TEST(CurrentMarkupTest, EntryPage_WhenALanguageGatheredSomething) {
  const struct {
    const char16_t* html;
    const char16_t* entry;
  } kCases[] = {
      {u"<h2><span class=\"mw-headline\">Fran\u00e7ais</span></h2><h3><span class=\"mw-headline\">Nom commun</span>"
       u"</h3><ol><li>n</li></ol>",
       u"[[Fran\u00e7ais]]\n[Nom commun]\n1.n\n"},
      {u"<h2><span class=\"mw-headline\">A</span></h2><span class=\"IPA\">/a/</span><h2><span class=\"mw-headline\">"
       u"B</span></h2>",
       u"[[A]]\nipa  :/a/[[B]]\n"},
      {u"<h2><span class=\"mw-headline\">A</span></h2><h3><span class=\"mw-headline\">T</span></h3><table><tr><td>"
       u"<ol><li>x</li></ol></td></tr></table> \n",
       u""},
      {u"<p>no language</p><ol><li>x</li></ol>", u""},
  };
  for (const auto& c : kCases) {
    ROW(kCases, c);
    ParsedPage page(c.html, PageMarkup::Current);
    EXPECT_EQ(page.entry(), c.entry);
    EXPECT_EQ(page.parser.entryLength(), static_cast<int64_t>(std::u16string(c.entry).size()));
  }
}

TEST(CurrentMarkupTest, AudioSource_FirstOggPathOfTheSection) {
  const struct {
    const char16_t* html;
    const char16_t* audio;  // <absent>: no record was made
  } kCases[] = {
      {u"<audio><source src=\"//media.lexora.org/a/ab/En-us-cat.ogg?utm_source=x&amp;y=1\" "
       u"type=\"audio/ogg\"/></audio>",
       u"//media.lexora.org/a/ab/En-us-cat.ogg"},
      {u"<audio><source src=\"//m/X.wav\"><source src=\"//m/transcoded/4/48/X.wav/X.wav.ogg#t=1\">",
       u"//m/transcoded/4/48/X.wav/X.wav.ogg"},
      {u"<audio><source src=\"//m/a.ogg.mp3\"><source src=\"//m/a.OGG\"></audio>", u"<absent>"},
      {u"<audio><source src=\"//m/1.ogg\"></audio><audio><source src=\"//m/2.ogg\">", u"//m/1.ogg"},
      {u"<audio></audio><source src=\"//m/a.ogg\">", u"<absent>"},
      {u"<video><source src=\"//m/a.ogg\"></video>", u"<absent>"},
      {u"<audio><source src=\"?x.ogg\"></audio>", u"<absent>"},
  };
  for (const auto& c : kCases) {
    ROW(kCases, c);
    ParsedPage page(heading3(2, u"English") + c.html, PageMarkup::Current);
    EXPECT_EQ(page.audio(u"English"), c.audio);
    EXPECT_EQ(ParsedPage(h2(u"English") + c.html).audio(u"English"), u"<absent>");
  }
}

TEST(CurrentMarkupTest, ApiSpan_CountsAsIpa) {
  const std::u16string html = h2(u"Fran\u00e7ais") + u"<span class=\"API\" title=\"Prononciation API\">\\\u0283a\\</span>";
  EXPECT_EQ(ParsedPage(html, PageMarkup::Current).ipa(u"Fran\u00e7ais"), u"\\\u0283a\\");
  EXPECT_EQ(ParsedPage(html).ipa(u"Fran\u00e7ais"), u"<absent>");
}
