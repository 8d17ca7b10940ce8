// Attributes of a start tag, parsed on demand from the tag text [name, end).
//
// Names are runs of ASCII letters, so "data-sort" gives "data" (valueless) and
// "sort". Values are kept exactly as written between their delimiters. The
// tag-name skip stops at `end`: a self-closing "br/" yields nothing. Nothing
// past `end` is read, so a tag in a line not yet cut (read in one pass with
// the line ends) gives what it gives in a line of its own.
#include "html/html_parser.h"

#include <string>
#include <utility>

#include "textlib/text_util.h"

namespace {

constexpr bool isBlank(char16_t c) { return c >= 1 && c <= 32; }
/// After "=" and inside a bare value only space and tab count as blanks.
constexpr bool isValueBlank(char16_t c) { return c == u' ' || c == u'\t'; }

/// Whether the name [begin, end) is `name`: the lengths, then unit by unit for
/// equality alone (a view's == orders the units, which costs more).
bool isName(const char16_t* begin, const char16_t* end, std::u16string_view name) {
  if (static_cast<size_t>(end - begin) != name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (begin[i] != name[i]) return false;
  }
  return true;
}

/// Walks the attributes of the start tag [tagText, end) in order and hands each
/// to `take(nameStart, nameEnd, value, valueLength)`; a name written without a
/// value comes with the value "0". Each loop skips to the next unit that ends
/// its part of the attribute, so the walk costs a compare or two per unit.
template <class Take>
void forEachAttribute(const char16_t* tagText, const char16_t* end, Take&& take) {
  // Valueless attributes get this value; it outlives the walk, as the tag
  // text does.
  static constexpr char16_t zero[] = u"0";
  constexpr int32_t zeroLength = 1;
  const char16_t* q = tagText;
  while (q < end && *q > 32) ++q;
  while (q < end && isBlank(*q)) ++q;

  for (;;) {
    while (q < end && !isAsciiLetter(*q)) ++q;
    const char16_t* const nameStart = q;
    while (q < end && isAsciiLetter(*q)) ++q;
    if (q == end) return;  // a name that runs into the end is not recorded
    const char16_t* const nameEnd = q;
    while (q < end && isBlank(*q)) ++q;
    if (q == end || *q != u'=') {
      take(nameStart, nameEnd, zero, zeroLength);
      continue;  // the unit reached may begin the next name
    }
    ++q;
    while (q < end && isValueBlank(*q)) ++q;
    if (q == end) {
      take(nameStart, nameEnd, zero, zeroLength);
      return;
    }
    // A quoted value runs to its closing quote, a bare one to a space or tab;
    // either takes everything up to the end of the tag when that comes first.
    const char16_t* valueStart = q;
    if (*q == u'"' || *q == u'\'') {
      const char16_t closingQuote = *q;
      valueStart = ++q;
      q = findEitherUnit(q, end, closingQuote, closingQuote);
    } else {
      while (q < end && !isValueBlank(*q)) ++q;
    }
    take(nameStart, nameEnd, valueStart, lengthBetween(valueStart, q));
    if (q < end) ++q;
  }
}

}  // namespace

void THtmlParser::parseAttributes(const char16_t* tagText, const char16_t* end, AttributeMap& attributes) {
  if (!tagText || !end) return;
  forEachAttribute(tagText, end,
                   [&attributes](const char16_t* nameStart, const char16_t* nameEnd, const char16_t* value,
                                 int32_t valueLength) {
                     __kvstrW name;
                     name.assign(nameStart, lengthBetween(nameStart, nameEnd));
                     attributes[std::move(name)].assign(value, valueLength);
                   });
}

std::u16string_view THtmlParser::attributeValue(const char16_t* tagText, const char16_t* end,
                                               std::u16string_view attributeName) {
  if (attributeName.empty() || !tagText || !end) return {};
  // The last attribute of that name wins, as in parseAttributes' map, but
  // nothing is built or copied: start tags are asked for one value often.
  std::u16string_view found;
  forEachAttribute(tagText, end,
                   [&](const char16_t* nameStart, const char16_t* nameEnd, const char16_t* value,
                       int32_t valueLength) {
                     if (isName(nameStart, nameEnd, attributeName)) {
                       found = std::u16string_view(value, static_cast<size_t>(valueLength));
                     }
                   });
  return found;
}

__kvstrW THtmlParser::getAttribute(const char16_t* tagText, const char16_t* end, const char16_t* attributeName) {
  if (!attributeName) return __kvstrW();
  const std::u16string_view value = attributeValue(tagText, end, attributeName);
  // An empty value reads as absent, as in parseAttributes' map.
  __kvstrW result;
  if (!value.empty()) result.assign(value.data(), static_cast<int32_t>(value.size()));
  return result;
}
