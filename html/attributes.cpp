// Attributes of a start tag, parsed on demand from the tag text [name, end).
//
// Names are runs of ASCII letters, so "data-sort" gives "data" (valueless) and
// "sort". Values are kept exactly as written between their delimiters. The
// tag-name skip is not bounded by `end`: a self-closing "br/" runs past it and
// yields nothing. It stops at the chunk's NUL, which always follows the tag.
#include "html/html_parser.h"

#include <utility>

namespace {

constexpr bool isBlank(char16_t c) { return c >= 1 && c <= 32; }
constexpr bool isAsciiLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }
/// After "=" and inside a bare value only space and tab count as blanks.
constexpr bool isValueBlank(char16_t c) { return c == u' ' || c == u'\t'; }

int32_t lengthBetween(const char16_t* begin, const char16_t* end) {
  return begin < end ? static_cast<int32_t>(end - begin) : 0;
}

enum class State { Between, Name, AfterEquals, QuotedValue, BareValue };

void store(AttributeMap& attributes, const char16_t* nameStart, const char16_t* nameEnd,
           const char16_t* value, int32_t valueLength) {
  __kvstrW name;
  name.assign(nameStart, lengthBetween(nameStart, nameEnd));
  // Later duplicates replace earlier ones.
  attributes[std::move(name)].assign(value, valueLength);
}

/// A name written without a value is stored with the value "0".
void storeValueless(AttributeMap& attributes, const char16_t* nameStart, const char16_t* nameEnd) {
  char16_t zero[12];
  const char16_t* zeroEnd = formatDecimal(0, zero);
  store(attributes, nameStart, nameEnd, zero, lengthBetween(zero, zeroEnd));
}

}  // namespace

void THtmlParser::parseAttributes(const char16_t* tagText, const char16_t* end, AttributeMap& attributes) {
  if (!tagText || !end) return;
  const char16_t* q = tagText;
  while (*q > 32) ++q;
  while (isBlank(*q)) ++q;

  State state = State::Between;
  const char16_t* nameStart = nullptr;
  const char16_t* nameEnd = nullptr;
  const char16_t* valueStart = nullptr;
  char16_t closingQuote = 0;
  while (q < end) {
    const char16_t c = *q;
    switch (state) {
      case State::Between:
        if (isAsciiLetter(c)) {
          nameStart = q;
          state = State::Name;
        }
        ++q;
        break;
      case State::Name:
        if (isAsciiLetter(c)) {
          ++q;
          break;
        }
        nameEnd = q;
        while (q < end && isBlank(*q)) ++q;
        if (q < end && *q == u'=') {
          state = State::AfterEquals;
          ++q;
        } else {
          storeValueless(attributes, nameStart, nameEnd);
          state = State::Between;  // the unit reached is examined there
        }
        break;
      case State::AfterEquals:
        if (c == u'"' || c == u'\'') {
          closingQuote = c;
          valueStart = q + 1;
          state = State::QuotedValue;
        } else if (!isValueBlank(c)) {
          valueStart = q;
          state = State::BareValue;
        }
        ++q;
        break;
      case State::QuotedValue:
        if (c == closingQuote) {
          store(attributes, nameStart, nameEnd, valueStart, lengthBetween(valueStart, q));
          state = State::Between;
        }
        ++q;
        break;
      case State::BareValue:
        if (isValueBlank(c)) {
          store(attributes, nameStart, nameEnd, valueStart, lengthBetween(valueStart, q));
          state = State::Between;
        }
        ++q;
        break;
    }
  }

  switch (state) {
    case State::QuotedValue:
    case State::BareValue:
      // An unclosed quote takes everything up to the end of the tag.
      store(attributes, nameStart, nameEnd, valueStart, lengthBetween(valueStart, end));
      break;
    case State::AfterEquals:
      storeValueless(attributes, nameStart, nameEnd);
      break;
    case State::Between:
    case State::Name:
      break;  // a name that runs into the end is not recorded
  }
}

__kvstrW THtmlParser::getAttribute(const char16_t* tagText, const char16_t* end, const char16_t* attributeName) {
  if (!attributeName || !*attributeName) return __kvstrW();
  AttributeMap attributes;
  parseAttributes(tagText, end, attributes);
  const auto found = attributes.find(__kvstrW(attributeName));
  return found == attributes.end() ? __kvstrW() : found->second;
}
