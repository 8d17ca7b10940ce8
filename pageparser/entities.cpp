// Character references in section text. A reference may look past the run's
// length into the rest of its NUL-terminated line; runs end before "<" or at
// the line's end, so such a look meets "<" (and fails) or the NUL (and stops).
#include "pageparser/entities.h"

#include <algorithm>
#include <iterator>

namespace {
struct TClassicReference {
  const char16_t* name;  // with its ";"
  int32_t length;
  char16_t character;
};

// Tried in this order; the nbsp reference becomes a plain space.
constexpr TClassicReference kClassicReferences[] = {
    {u"lt;", 3, u'<'},    {u"gt;", 3, u'>'},    {u"amp;", 4, u'&'},
    {u"quot;", 5, u'"'},  {u"nbsp;", 5, u' '},
};

struct TNamedReference {
  uint16_t nameStart;  // in kReferenceNames
  uint8_t nameLength;  // without the ";"
  bool validBare;      // a page may also write it without the ";"
  char16_t units[2];   // a second unit of 0: one only
};

#include "pageparser/named_references.inc"

// Any decimal value past U+10FFFF; digits past it keep the value here.
constexpr int32_t kBeyondUnicode = 0x110000;

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

// `position` is just after "&#". The decimal value up to the ";" or the NUL
// (any value past U+10FFFF as kBeyondUnicode), or -1 when the characters
// there do not form a reference.
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

// `position` is just after an "&". Sets `character` to the referenced
// character (0, which adds nothing, for a reference to 0 or to CR) and
// returns the position after the reference, or null when none starts there.
const char16_t* readEntity(const char16_t* position, char32_t& character) {
  for (const TClassicReference& reference : kClassicReferences) {
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

// Appends `character` as UTF-16: one unit, or a pair above U+FFFF; 0 appends
// nothing.
void appendCharacter(__kvstrbufT<char16_t>& out, char32_t character) {
  if (character > 0xFFFF) {
    const char16_t pair[2] = {static_cast<char16_t>(0xD800 + ((character - 0x10000) >> 10)),
                              static_cast<char16_t>(0xDC00 + (character & 0x3FF))};
    out.append(pair, 2);
  } else {
    out.append(static_cast<char16_t>(character));
  }
}

const char16_t* decodeEntity(__kvstrbufT<char16_t>& buffer, const char16_t* position) {
  char32_t character = 0;
  const char16_t* next = readEntity(position, character);
  if (next) appendCharacter(buffer, character);  // 0 appends nothing: consumed silently
  return next;
}

// Copies [text, text + length) to `out` up to a NUL, each "&" handed to
// `appendReference(out, position after it)`, which appends what a reference
// there stands for and returns the position after it, or returns null.
template <class AppendReference>
void decodeInto(__kvstrbufT<char16_t>& out, const char16_t* text, int32_t length,
                AppendReference appendReference) {
  if (!text || length <= 0) return;
  const char16_t* const end = text + length;
  const char16_t* p = text;
  while (p < end && *p) {
    const char16_t* stretch = p;
    p = findEitherUnit(p, end, u'&', 0);
    out.appendUnits(stretch, static_cast<int32_t>(p - stretch));
    if (p == end || !*p) break;
    if (const char16_t* next = appendReference(out, p + 1)) {
      p = next;
    } else {
      out.append(u'&');  // not a reference: copied, scanning goes on after it
      ++p;
    }
  }
}

// --- the browser's rules ---

/// The characters a browser shows for the C1 controls 0x80 to 0x9F when a
/// numeric reference names them (those of Windows-1252); 0: the control stays.
constexpr char16_t kWindows1252C1[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char32_t browserCharacter(int32_t value) {
  if (value == u'\r') return 0;  // the entry text holds no CR
  if (value == 0 || (value >= 0xD800 && value <= 0xDFFF) || value >= kBeyondUnicode) return 0xFFFD;
  if (value >= 0x80 && value <= 0x9F && kWindows1252C1[value - 0x80]) return kWindows1252C1[value - 0x80];
  return static_cast<char32_t>(value);
}

/// The value of `c` as a digit of `base` (10 or 16), or -1.
int32_t digitValue(char16_t c, int32_t base) {
  if (isDigit(c)) return c - u'0';
  const char16_t lower = c | 0x20;
  return base == 16 && lower >= u'a' && lower <= u'f' ? lower - u'a' + 10 : -1;
}

/// `position` is just after "&#".
const char16_t* appendNumericReference(__kvstrbufT<char16_t>& out, const char16_t* position) {
  const bool hexadecimal = (*position | 0x20) == u'x';
  const int32_t base = hexadecimal ? 16 : 10;
  const char16_t* const digits = position + (hexadecimal ? 1 : 0);
  const char16_t* p = digits;
  int32_t value = 0;
  for (int32_t digit; (digit = digitValue(*p, base)) >= 0; ++p) {
    value = std::min(value * base + digit, kBeyondUnicode);  // held there once past it
  }
  if (p == digits) return nullptr;
  appendCharacter(out, browserCharacter(value));
  return *p == u';' ? p + 1 : p;
}

constexpr bool isAsciiAlphanumeric(char16_t c) {
  const char16_t lower = c | 0x20;
  return isDigit(c) || (lower >= u'a' && lower <= u'z');
}

/// Compares the name [name, name + length), all of it ASCII, with the name
/// of `entry` as their units compare: the shorter of two that agree first.
int32_t compareName(const char16_t* name, int32_t length, const TNamedReference& entry) {
  const char* const entryName = kReferenceNames + entry.nameStart;
  const int32_t common = std::min<int32_t>(length, entry.nameLength);
  for (int32_t i = 0; i < common; ++i) {
    const int32_t difference = name[i] - static_cast<char16_t>(entryName[i]);
    if (difference != 0) return difference;
  }
  return length - entry.nameLength;
}

/// The entry of the name [name, name + length), all of it ASCII letters and
/// digits, or null. Only the names of its first letter are searched.
const TNamedReference* findReferenceName(const char16_t* name, int32_t length) {
  if (length <= 0 || isDigit(*name)) return nullptr;  // "&;" names nothing
  const int32_t letter = *name <= u'Z' ? *name - u'A' : *name - u'a' + 26;
  const TNamedReference* const first = kNamedReferences + kFirstNameOfLetter[letter];
  const TNamedReference* const last = kNamedReferences + kFirstNameOfLetter[letter + 1];
  const auto* const found = std::lower_bound(first, last, 0, [name, length](const TNamedReference& entry, int) {
    return compareName(name, length, entry) > 0;
  });
  if (found == last || compareName(name, length, *found) != 0) return nullptr;
  return found;
}

/// `position` is just after "&" and not at "#": the longest name there, with
/// its ";", or without it where a page may leave it out.
const char16_t* appendNamedReference(__kvstrbufT<char16_t>& out, const char16_t* position) {
  int32_t length = 0;
  while (length <= kLongestReferenceName && isAsciiAlphanumeric(position[length])) ++length;
  const TNamedReference* reference = nullptr;
  const char16_t* next = nullptr;
  if (position[length] == u';' && length <= kLongestReferenceName) {
    reference = findReferenceName(position, length);
    next = position + length + 1;
  }
  for (int32_t bare = std::min(length, kLongestBareReferenceName); !reference && bare >= 2; --bare) {
    reference = findReferenceName(position, bare);
    if (reference && !reference->validBare) reference = nullptr;
    next = position + bare;
  }
  if (!reference) return nullptr;
  out.appendUnits(reference->units, reference->units[1] ? 2 : 1);
  return next;
}

const char16_t* appendHtmlReference(__kvstrbufT<char16_t>& out, const char16_t* position) {
  return *position == u'#' ? appendNumericReference(out, position + 1) : appendNamedReference(out, position);
}
}  // namespace

void decodeEntitiesInto(__kvstrbufT<char16_t>& out, const char16_t* text, int32_t length) {
  decodeInto(out, text, length, decodeEntity);
}

void decodeHtmlReferencesInto(__kvstrbufT<char16_t>& out, const char16_t* text, int32_t length) {
  decodeInto(out, text, length, appendHtmlReference);
}

__kvstrW decodeEntities(const char16_t* text, int32_t length) {
  if (!text || length <= 0) return __kvstrW();
  __kvstrbufW buffer;
  decodeEntitiesInto(buffer, text, length);
  return __kvstrW(buffer.str());
}
