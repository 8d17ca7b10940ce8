#include "pageparser/lexora_parser.h"

#include <gtest/gtest.h>

#include "tests/pageparser/parsed_page.h"

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

// Line feeds come from line breaks, item markers and references: none begins
// a section text, and a text that ends with one absorbs exactly one more
// that the raw text begins with.
TEST(TextTest, LineFeedRules) {
  const struct {
    const char16_t* html;  // inside Noun
    const char16_t* want;
  } kCases[] = {
      {u"<br><dd>abc", u"abc"},
      {u"x<br><br>abc", u"x\nabc"},
      {u"x&#10;<br>abc", u"x\nabc"},
      {u"x<br>&#10;abc", u"x\n\nabc"},  // the raw text decides
      {u"<ol><li>x<br></li><li>y", u"1.x\n2.y"},
      {u"a<b> b\t </b>", u"a b\t "},
      {u"a<b>b&lt;c", u"ab<c"},
      {u"&#0;x", u"x"},
  };
  for (const auto& c : kCases) {
    ROW(kCases, c);
    EXPECT_EQ(ParsedPage(inNoun(c.html)).section(u"English", u"Noun"), c.want);
  }
}

TEST(TextTest, OpenTable_AppendsNothing) {
  ParsedPage page(inNoun(u"<ol><li>x<table><li>abc<br><dd></table>"));
  EXPECT_EQ(page.section(u"English", u"Noun"), u"1.x");
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
