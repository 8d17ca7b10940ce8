#include <string>

#include <gtest/gtest.h>

#include "html/html_parser.h"
#include "tests/html/event_recorder.h"

namespace {

using testing_html::render;

/// A start tag as the tokenizer hands it over: `tag` is [name, end), `after`
/// what follows `end` in the chunk (">..." for a closed tag, "" for a tag cut
/// by the chunk's end, so that `end` is the NUL). The chunk is an exact-size
/// heap copy, so reading past its NUL shows under the address sanitizer.
struct TTagText {
  explicit TTagText(const std::u16string& tag, const std::u16string& after) {
    const std::u16string whole = tag + after;
    chunk.assign(whole.data(), static_cast<int32_t>(whole.size()));
    name = chunk.str();
    end = name + tag.size();
  }
  __kvstrW chunk;
  const char16_t* name;
  const char16_t* end;
};

/// All pairs in map order, as "name=value;name=value".
std::string renderMap(const AttributeMap& attributes) {
  std::string out;
  for (const auto& [name, value] : attributes) {
    if (!out.empty()) out += ';';
    out += render(name.str(), name.str() + name.length()) + "=" + render(value.str(), value.str() + value.length());
  }
  return out;
}

std::string parseAll(const std::u16string& tag, const std::u16string& after) {
  const TTagText text(tag, after);
  AttributeMap attributes;
  THtmlParser::parseAttributes(text.name, text.end, attributes);
  return renderMap(attributes);
}

TEST(AttributesTest, ParseAttributes_PairsAsWritten) {
  const struct {
    const char16_t* tag;
    const char16_t* after;
    const char* want;
  } kCases[] = {
      // quoted, single-quoted, bare
      {u"span class=\"IPA\"", u">", "class=IPA"},
      {u"a href='x' title=\"it's\"", u">", "href=x;title=it's"},
      {u"td width=5 align=left", u">", "align=left;width=5"},
      {u"a title=\"a>b 'c'\"", u">", "title=a>b 'c'"},
      {u"a title='say \"hi\"'", u">", "title=say \"hi\""},
      {u"a href=x\"y'z", u">", "href=x\"y'z"},
      {u"a b=\"\"", u">", "b="},
      // valueless
      {u"td nowrap width=5", u">", "nowrap=0;width=5"},
      {u"td nowrap", u">", ""},
      {u"td nowrap ", u">", "nowrap=0"},
      {u"a title=", u">", "title=0"},
      {u"a title= ", u">", "title=0"},
      {u"input checked disabled", u">", "checked=0"},
      // duplicates: the later one wins
      {u"a href='x' href='y'", u">", "href=y"},
      {u"a id=1 id", u">", "id=1"},
      {u"a id=1 id x", u">", "id=0"},
      // names are ASCII letters only, kept as written, in code-unit order
      {u"td data-sort=1", u">", "data=0;sort=1"},
      {u"html xml:lang=\"en\"", u">", "lang=en;xml=0"},
      {u"a b=1 B=2 a=3", u">", "B=2;a=3;b=1"},
      {u"a 9x=1 _y=2", u">", "x=1;y=2"},
      {u"a \u00e9t\u00e9=1", u">", "t=0"},
      // blanks around "="
      {u"a title \t= \t'x'", u">", "title=x"},
      {u"a title=\x01x", u">", "title=\\x01x"},
      {u"a title=x\ty=2", u">", "title=x;y=2"},
      // unclosed quotes run to the end of the tag
      {u"a title='a b", u">", "title=a b"},
      {u"a title=\"a>b", u">c", "title=a>b"},
      {u"a title=\"", u">", "title="},
      // self-closing tags
      {u"br/", u"> x=1", ""},
      {u"br /", u">", ""},
      {u"img src=\"a.png\" /", u">", "src=a.png"},
      {u"img src=a.png/", u">", "src=a.png/"},
      // nothing after the name, or nothing at all
      {u"b", u"> c=1", ""},
      {u"b", u">c d=1", ""},
      {u"", u">", ""},
      {u"b  ", u">", ""},
      // a tag cut by the chunk's end: `end` at the NUL
      {u"a href=", u"", "href=0"},
      {u"a href=x", u"", "href=x"},
      {u"a title=\"x y", u"", "title=x y"},
      {u"a href", u"", ""},
      {u"br", u"", ""},
      {u"", u"", ""},
  };
  for (const auto& row : kCases) {
    SCOPED_TRACE(render(row.tag, row.tag + std::char_traits<char16_t>::length(row.tag)));
    EXPECT_EQ(parseAll(row.tag, row.after), row.want);
  }
}

TEST(AttributesTest, ParseAttributes_AddsToTheGivenMapAndReplacesSameNames) {
  const TTagText text(u"a href=new title=t", u">");
  AttributeMap attributes;
  attributes[__kvstrW(u"href")] = __kvstrW(u"old");
  attributes[__kvstrW(u"id")] = __kvstrW(u"kept");
  THtmlParser::parseAttributes(text.name, text.end, attributes);
  EXPECT_EQ(renderMap(attributes), "href=new;id=kept;title=t");
}

TEST(AttributesTest, GetAttribute_ExactNameOrAbsent) {
  const struct {
    const char16_t* tag;
    const char16_t* name;
    const char16_t* want;  // null: absent
  } kCases[] = {
      {u"span class=\"IPA\"", u"class", u"IPA"},
      {u"span class=\"IPA\"", u"Class", nullptr},
      {u"span class=\"IPA\"", u"clas", nullptr},
      {u"span class=\"IPA\"", u"span", nullptr},
      {u"span class=\"IPA\"", u"", nullptr},
      {u"a href='x' href='y'", u"href", u"y"},
      {u"td nowrap width=5", u"nowrap", u"0"},
      {u"td nowrap width=5", u"width", u"5"},
      {u"td nowrap", u"nowrap", nullptr},
      {u"a title=", u"title", u"0"},
      {u"a title='a b", u"title", u"a b"},
      {u"a title = 'x'", u"title", u"x"},
      {u"html xml:lang=\"en\"", u"xml:lang", nullptr},
      {u"html xml:lang=\"en\"", u"lang", u"en"},
      {u"br/", u"br", nullptr},
  };
  for (const auto& row : kCases) {
    SCOPED_TRACE(render(row.tag, row.tag + std::char_traits<char16_t>::length(row.tag)) + " / " +
                 render(row.name, row.name + std::char_traits<char16_t>::length(row.name)));
    const TTagText text(row.tag, u">");
    __kvstrW value = THtmlParser::getAttribute(text.name, text.end, row.name);
    // The value where it lies: the same text, empty for an absent one, and
    // still readable after the call (a valueless attribute's "0" included).
    const std::u16string_view view = THtmlParser::attributeValue(text.name, text.end, row.name);
    if (row.want) {
      EXPECT_TRUE(value == row.want) << render(value.str(), value.str() + value.length());
      EXPECT_TRUE(view == row.want) << render(view.data(), view.data() + view.size());
    } else {
      EXPECT_EQ(value.data(), nullptr) << "expected an absent string";
      EXPECT_TRUE(view.empty());
    }
  }
}

TEST(AttributesTest, GetAttribute_EmptyValueIsPresent) {
  const TTagText text(u"a b=\"\"", u">");
  const __kvstrW value = THtmlParser::getAttribute(text.name, text.end, u"b");
  EXPECT_TRUE(value.empty());
}

TEST(AttributesTest, GetAttribute_NullName_Absent) {
  const TTagText text(u"a b=1", u">");
  EXPECT_EQ(THtmlParser::getAttribute(text.name, text.end, nullptr).data(), nullptr);
}

}  // namespace
