#include "pageparser/lexora_parser.h"

#include <gtest/gtest.h>

#include "tests/pageparser/parsed_page.h"

// --- the entry, as the lookup builds it ---

TEST(EntryTest, FullBlock_HasExactLayout) {
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

TEST(EntryTest, WithoutEditSection_WritesNothing) {
  ParsedPage page(u"<h2><span class=\"mw-headline\">English</span></h2>" + h3(u"Noun") +
                  u"<ol><li>a</li></ol>");
  EXPECT_EQ(page.section(u"English", u"Noun"), u"1.a");
  EXPECT_EQ(page.entry(), u"");
}

TEST(EntryTest, PartialBlocks_FollowTheLineRules) {
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

TEST(EntryTest, DuplicateLanguage_GivesTwoBlocksOfOneRecord) {
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
TEST(EntryTest, ManyLanguagesVisitedTwice_EachSlotWritesTheWholeRecord) {
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

TEST(EntryTest, Subsections_InCodeUnitOrder) {
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
