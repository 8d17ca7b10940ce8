// The kind of a tag, decided once from the start of its text so that each
// handler runs only the steps its kind can need. Names match as
// case-insensitive prefixes of the tag text: "spanx" is a span, "link" a list
// item, "h2x" and "h10" headings; an anchor counts only when its text begins
// with "a href", any other "a" element as a plain anchor.
#pragma once

#include <cstdint>

enum class TagKind : uint8_t {
  Other,
  H1,  // H1 to H6 in order, so that a heading's level is its distance from Other
  H2,
  H3,
  H4,
  H5,
  H6,
  Span,
  Button,
  AnchorHref,
  Div,
  Audio,
  Source,
  Ol,
  Ul,
  Li,
  Dl,
  Dd,
  Br,
  Table,
  // Read in the current markup only: elements the reader never sees.
  Anchor,  // an "a" element whose text does not begin with "a href"
  Sup,
  Style,
  Script,
};

/// 1 to 6 for a heading, else 0.
constexpr int32_t headingLevel(TagKind kind) {
  return kind >= TagKind::H1 && kind <= TagKind::H6 ? static_cast<int32_t>(kind) : 0;
}

/// Whether `c`, in either case, is the lower-case ASCII letter `letter`:
/// setting the case bit joins the two cases of a letter and no other unit.
constexpr bool isLetterInAnyCase(char16_t c, char16_t letter) { return (c | 0x20) == letter; }

/// Whether [name, end) begins with `literal` (N - 1 units), its lower-case
/// letters matching either case and its other units only themselves.
template <int N>
bool tagTextStartsWith(const char16_t* name, const char16_t* end, const char16_t (&literal)[N]) {
  if (end - name < N - 1) return false;
  for (int i = 0; i < N - 1; ++i) {
    const bool same = literal[i] >= u'a' && literal[i] <= u'z' ? isLetterInAnyCase(name[i], literal[i])
                                                              : name[i] == literal[i];
    if (!same) return false;
  }
  return true;
}

/// The kind of the tag whose text is [name, end).
inline TagKind tagKind(const char16_t* name, const char16_t* end) {
  if (end - name < 2) return end - name == 1 && isLetterInAnyCase(*name, u'a') ? TagKind::Anchor : TagKind::Other;
  // Every label is a lower-case letter, so the case bit set on the unit
  // compares it in either case; the heading digit is compared as it stands.
  const char16_t second = name[1];
  switch (name[0] | 0x20) {
    case u'h':
      return second >= u'1' && second <= u'6' ? static_cast<TagKind>(second - u'0') : TagKind::Other;
    case u's':
      if (tagTextStartsWith(name, end, u"span")) return TagKind::Span;
      switch (second | 0x20) {  // the other names differ in their second letter
        case u'o': return tagTextStartsWith(name, end, u"source") ? TagKind::Source : TagKind::Other;
        case u'u': return tagTextStartsWith(name, end, u"sup") ? TagKind::Sup : TagKind::Other;
        case u't': return tagTextStartsWith(name, end, u"style") ? TagKind::Style : TagKind::Other;
        case u'c': return tagTextStartsWith(name, end, u"script") ? TagKind::Script : TagKind::Other;
        default: return TagKind::Other;
      }
    case u'a':
      if (tagTextStartsWith(name, end, u"a href")) return TagKind::AnchorHref;
      if (second <= u' ' || second == u'/') return TagKind::Anchor;  // "a", then blanks or "/>"
      return tagTextStartsWith(name, end, u"audio") ? TagKind::Audio : TagKind::Other;
    case u'b':
      if (isLetterInAnyCase(second, u'r')) return TagKind::Br;
      return tagTextStartsWith(name, end, u"button") ? TagKind::Button : TagKind::Other;
    case u'd':
      if (isLetterInAnyCase(second, u'l')) return TagKind::Dl;
      if (isLetterInAnyCase(second, u'd')) return TagKind::Dd;
      return tagTextStartsWith(name, end, u"div") ? TagKind::Div : TagKind::Other;
    case u'o':
      return isLetterInAnyCase(second, u'l') ? TagKind::Ol : TagKind::Other;
    case u'u':
      return isLetterInAnyCase(second, u'l') ? TagKind::Ul : TagKind::Other;
    case u'l':
      return isLetterInAnyCase(second, u'i') ? TagKind::Li : TagKind::Other;
    case u't':
      return tagTextStartsWith(name, end, u"table") ? TagKind::Table : TagKind::Other;
    default:
      return TagKind::Other;
  }
}
