#include "pageparser/lexora_parser.h"

#include <gtest/gtest.h>

#include "tests/pageparser/parsed_page.h"

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

// --- current markup ---

// Headings as the later markups write them: the headline first (markup 2),
// or the bare heading in a wrapper div (markup 3); edit links with bracket
// spans after it.
namespace {
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
}  // namespace

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
