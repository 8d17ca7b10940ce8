// Character references in section text. A reference may look past the run's
// length into the rest of its NUL-terminated line; runs end before "<" or at
// the line's end, so such a look meets "<" (and fails) or the NUL (and stops).
#include "pageparser/entities.h"

namespace {
struct TNamedReference {
  const char16_t* name;  // with its ";"
  int32_t length;
  char16_t character;
};

// Tried in this order; the nbsp reference becomes a plain space.
constexpr TNamedReference kNamedReferences[] = {
    {u"lt;", 3, u'<'},    {u"gt;", 3, u'>'},    {u"amp;", 4, u'&'},
    {u"quot;", 5, u'"'},  {u"nbsp;", 5, u' '},
};

constexpr bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }



// Case-sensitive prefix test; stops at the first difference, so a NUL in the
// text ends it without reading further.
bool startsWith(const char16_t* text, const char16_t* prefix, int32_t length) {
  for (int32_t i = 0; i < length; ++i) {
    if (text[i] != prefix[i]) return false;
  }
  return true;
}

// The character a decimal reference stands for. The entry text ends its lines
// with line feeds alone, so a reference to CR (as in "&#13;&#10;") adds
// nothing, like one to 0; a surrogate or a value past U+10FFFF names no
// character, and the text stays well-formed UTF-16 with U+FFFD in its place.
char32_t referencedCharacter(int32_t value) {
  if (value == u'\r') return 0;
  if ((value >= 0xD800 && value <= 0xDFFF) || value >= kBeyondUnicode) return 0xFFFD;
  return static_cast<char32_t>(value);
}
}  // namespace

int32_t parseDecimalReference(const char16_t* position) {
  int32_t value = -1;  // no digit yet
  for (const char16_t* p = position; *p; ++p) {
    if (isDigit(*p)) {
      // Held at kBeyondUnicode once past it, so any number of digits is accepted.
      const int32_t grown = (value < 0 ? 0 : value) * 10 + (*p - u'0');
      value = grown < kBeyondUnicode ? grown : kBeyondUnicode;
    } else {
      return *p == u';' ? value : -1;
    }
  }
  return value;  // digits up to the end of the line, with no ";"
}

const char16_t* readEntity(const char16_t* position, char32_t& character) {
  for (const TNamedReference& reference : kNamedReferences) {
    if (startsWith(position, reference.name, reference.length)) {
      character = reference.character;
      return position + reference.length;
    }
  }
  if (*position != u'#') return nullptr;
  const int32_t value = parseDecimalReference(position + 1);
  if (value < 0) return nullptr;
  character = referencedCharacter(value);
  const char16_t* p = position + 1;
  while (isDigit(*p)) ++p;
  return *p == u';' ? p + 1 : p;
}

const char16_t* decodeEntity(__kvstrbufW& buffer, const char16_t* position) {
  char32_t character = 0;
  const char16_t* next = readEntity(position, character);
  if (next) appendCharacter(buffer, character);
  return next;
}


void appendCharacter(__kvstrbufT<char16_t>& out, char32_t character) {
  if (character > 0xFFFF) {
    const char16_t pair[2] = {static_cast<char16_t>(0xD800 + ((character - 0x10000) >> 10)),
                              static_cast<char16_t>(0xDC00 + (character & 0x3FF))};
    out.append(pair, 2);
  } else {
    out.append(static_cast<char16_t>(character));
  }
}

void decodeEntitiesInto(__kvstrbufT<char16_t>& out, const char16_t* text, int32_t length) {
  if (!text || length <= 0) return;
  const char16_t* const end = text + length;
  const char16_t* p = text;
  while (p < end && *p) {
    const char16_t* stretch = p;
    p = findEitherUnit(p, end, u'&', 0);
    out.appendUnits(stretch, static_cast<int32_t>(p - stretch));
    if (p == end || !*p) break;
    char32_t character = 0;
    if (const char16_t* next = readEntity(p + 1, character)) {
      appendCharacter(out, character);  // 0 appends nothing: consumed silently
      p = next;
    } else {
      out.append(u'&');  // not a reference: copied, scanning goes on after it
      ++p;
    }
  }
}

__kvstrW decodeEntities(const char16_t* text, int32_t length) {
  if (!text || length <= 0) return __kvstrW();
  __kvstrbufW buffer;
  decodeEntitiesInto(buffer, text, length);
  return __kvstrW(buffer.str());
}
