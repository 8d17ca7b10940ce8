// The kind of a tag, decided once from the start of its text so that each
// handler runs only the steps its kind can need. Names match as
// case-insensitive prefixes of the tag text: "spanx" is a span, "link" a list
// item, "h2x" and "h10" headings; an anchor counts only when its text begins
// with "a href".
#pragma once

#include <cstdint>

enum class TagKind : uint8_t {
  Other,
  H1,  // H1 to H4 in order, so that a heading's level is its distance from Other
  H2,
  H3,
  H4,
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
};

/// 1 to 4 for a heading, else 0.
constexpr int32_t headingLevel(TagKind kind) {
  return kind >= TagKind::H1 && kind <= TagKind::H4 ? static_cast<int32_t>(kind) : 0;
}

constexpr char16_t toLowerAscii(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

/// Whether [name, end) begins with the lower-case `literal` of length N - 1.
template <int N>
bool tagTextStartsWith(const char16_t* name, const char16_t* end, const char16_t (&literal)[N]) {
  if (end - name < N - 1) return false;
  for (int i = 0; i < N - 1; ++i) {
    if (toLowerAscii(name[i]) != literal[i]) return false;
  }
  return true;
}

/// The kind of the tag whose text is [name, end).
inline TagKind tagKind(const char16_t* name, const char16_t* end) {
  if (end - name < 2) return TagKind::Other;
  const char16_t second = toLowerAscii(name[1]);
  switch (toLowerAscii(name[0])) {
    case u'h':
      return second >= u'1' && second <= u'4' ? static_cast<TagKind>(second - u'0') : TagKind::Other;
    case u's':
      if (tagTextStartsWith(name, end, u"span")) return TagKind::Span;
      return tagTextStartsWith(name, end, u"source") ? TagKind::Source : TagKind::Other;
    case u'a':
      if (tagTextStartsWith(name, end, u"a href")) return TagKind::AnchorHref;
      return tagTextStartsWith(name, end, u"audio") ? TagKind::Audio : TagKind::Other;
    case u'b':
      if (second == u'r') return TagKind::Br;
      return tagTextStartsWith(name, end, u"button") ? TagKind::Button : TagKind::Other;
    case u'd':
      if (second == u'l') return TagKind::Dl;
      if (second == u'd') return TagKind::Dd;
      return tagTextStartsWith(name, end, u"div") ? TagKind::Div : TagKind::Other;
    case u'o':
      return second == u'l' ? TagKind::Ol : TagKind::Other;
    case u'u':
      return second == u'l' ? TagKind::Ul : TagKind::Other;
    case u'l':
      return second == u'i' ? TagKind::Li : TagKind::Other;
    case u't':
      return tagTextStartsWith(name, end, u"table") ? TagKind::Table : TagKind::Other;
    default:
      return TagKind::Other;
  }
}
