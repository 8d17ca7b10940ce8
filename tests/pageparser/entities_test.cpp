#include "pageparser/entities.h"

#include <gtest/gtest.h>

#include <string>

namespace {
std::u16string decodeWhole(const char16_t* line) {
  return decodeEntities(line, static_cast<int32_t>(std::char_traits<char16_t>::length(line))).str();
}
}  // namespace

TEST(DecodeEntitiesTest, References_DecodeOrCopyThrough) {
  const struct {
    const char16_t* in;
    const char16_t* want;
  } kCases[] = {
      {u"x &lt; y", u"x < y"},
      {u"a&gt;b", u"a>b"},
      {u"salt &amp; pepper", u"salt & pepper"},
      {u"&quot;q&quot;", u"\"q\""},
      {u"x&nbsp;y", u"x y"},  // a plain space, not U+00A0
      {u"caf&#233;", u"caf\u00e9"},
      {u"a&#8212;b", u"a\u2014b"},
      {u"&#x2014;", u"&#x2014;"},  // hexadecimal is not known
      {u"&#12x;", u"&#12x;"},
      {u"&#;", u"&#;"},
      {u"&#00000065;", u"A"},
      // Above U+FFFF a pair; a surrogate or a value past U+10FFFF is U+FFFD.
      {u"&#128512;", u"\U0001F600"},
      {u"x&#65536;y", u"x\U00010000y"},
      {u"&#65546;", u"\U0001000A"},
      {u"&#65601;", u"\U00010041"},
      {u"&#1114111;", u"\U0010FFFF"},
      {u"&#1114112;", u"\uFFFD"},
      {u"&#99999999999999999999;", u"\uFFFD"},
      {u"&#55295;&#55296;&#57343;&#57344;", u"\uD7FF\uFFFD\uFFFD\uE000"},
      {u"&#55357;&#56832;", u"\uFFFD\uFFFD"},  // references to the halves of a pair
      {u"x&#0;y", u"xy"},                       // code 0 adds nothing
      {u"a&#13;&#10;b", u"a\nb"},              // a CR never enters the entry text
      {u"a&#13;b&#0013;c&#13", u"abc"},
      {u"&copy; &foo;", u"&copy; &foo;"},
      {u"&AMP; &Amp; &amp", u"&AMP; &Amp; &amp"},
      {u"&&amp;", u"&&"},
      {u"&amp;lt;", u"&lt;"},  // decoded once only
      {u"&ltx", u"&ltx"},
      {u"&lt;;", u"<;"},
      {u"&#65;z&#66", u"AzB"},
      {u"tab\tand  two", u"tab\tand  two"},
      {u"&", u"&"},
      {u"AT&T &#65", u"AT&T A"},  // digits up to the end of the line
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << "row " << (&c - kCases));
    EXPECT_EQ(decodeWhole(c.in), c.want);
  }
}

TEST(DecodeEntitiesTest, RunBeforeTag_ReferenceWithoutSemicolonIsCopied) {
  // The run ends before "<"; the unterminated reference meets it and fails.
  const char16_t line[] = u"&#65<b>";
  EXPECT_EQ(std::u16string(decodeEntities(line, 4).str()), u"&#65");
  const char16_t named[] = u"&lt<b>";
  EXPECT_EQ(std::u16string(decodeEntities(named, 3).str()), u"&lt");
}

TEST(DecodeEntitiesTest, RunEndingAtLineEnd_ReferenceWithoutSemicolonIsDecoded) {
  const char16_t line[] = u"&#65";
  EXPECT_EQ(std::u16string(decodeEntities(line, 4).str()), u"A");
}

TEST(DecodeEntitiesTest, EmptyOrNul_GivesAbsentOrStopsThere) {
  const char16_t line[] = u"ab";
  EXPECT_TRUE(decodeEntities(line, 0).data() == nullptr);
  EXPECT_TRUE(decodeEntities(line, -3).data() == nullptr);
  EXPECT_TRUE(decodeEntities(nullptr, 5).data() == nullptr);
  const char16_t withNul[] = {u'a', u'b', 0, u'c', u'd', 0};
  EXPECT_EQ(std::u16string(decodeEntities(withNul, 5).str()), u"ab");
  const char16_t onlyZero[] = u"&#0;";
  EXPECT_TRUE(decodeEntities(onlyZero, 4).data() == nullptr);
}

// The browser's rules, as the current markup reads section text.
TEST(DecodeHtmlReferencesTest, References_DecodeAsABrowserShowsThem) {
  const struct {
    const char16_t* in;
    const char16_t* want;
  } kCases[] = {
      {u"&copy; &hellip; &AMP; &Amp;", u"\u00a9 \u2026 & &Amp;"},
      {u"x&nbsp;y", u"x\u00a0y"},
      // The longest name wins; only the old names stand without ";".
      {u"&notit; &notin; &ampx &hellip", u"\u00acit; \u2209 &x &hellip"},
      {u"&AElig;&zwnj;&AEligx", u"\u00c6\u200c\u00c6x"},  // the table's first and last names
      {u"&NotEqualTilde;&Ascr;&CounterClockwiseContourIntegral;", u"\u2242\u0338\U0001D49C\u2233"},
      {u"&CounterClockwiseContourIntegralX;", u"&CounterClockwiseContourIntegralX;"},
      {u"1.&#x20;Third-person&#x20;singular", u"1. Third-person singular"},
      {u"&#x2014;&#X41;&#x41&#65x", u"\u2014AAAx"},
      // C1 controls as Windows-1252 shows them; 0, surrogates and values past
      // U+10FFFF as U+FFFD; a CR never enters the entry text.
      {u"&#x80;&#x81;&#150;", u"\u20ac\u0081\u2013"},
      {u"&#0;&#x110000;&#xD800;&#99999999999;", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {u"a&#13;&#x0D;&#10;b", u"a\nb"},
      {u"&#x;&#xZ;&#;&&amp;&lt;;", u"&#x;&#xZ;&#;&&<;"},
      {u"AT&T &", u"AT&T &"},
      {u"&;&&;a", u"&;&&;a"},  // no name at all
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << "row " << (&c - kCases));
    __kvstrbufW out;
    decodeHtmlReferencesInto(out, c.in, static_cast<int32_t>(std::char_traits<char16_t>::length(c.in)));
    EXPECT_EQ(std::u16string(out.str()), c.want);
  }
}

TEST(DecodeHtmlReferencesTest, RunBeforeTag_ReferenceEndsThere) {
  // A run ends before "<": a reference may end there without its ";".
  const char16_t line[] = u"&#x41<b>&amp<b>&hellip<b>";
  __kvstrbufW out;
  decodeHtmlReferencesInto(out, line, 5);
  decodeHtmlReferencesInto(out, line + 8, 4);
  decodeHtmlReferencesInto(out, line + 15, 7);
  EXPECT_EQ(std::u16string(out.str()), u"A&&hellip");
}
