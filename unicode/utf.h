// Strict UTF-8 <-> UTF-16 for the edges outside the plug-in's own text: paths
// and output in the native platform layer, the command line and terminal in
// the host. Header-only, below every other layer. The plug-in's page and word
// text goes through its own codec in textlib.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace unicode {

constexpr char32_t kReplacement = 0xFFFD;

inline bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
inline bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

/// Writes the UTF-8 form of `c` (at most U+10FFFF) to `out`, which has room
/// for 4 bytes, and returns the bytes written.
inline int encodeUtf8(char32_t c, char* out) {
  if (c < 0x80) {
    out[0] = static_cast<char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<char>(0xC0 | (c >> 6));
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (c >> 12));
    out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (c >> 18));
  out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (c & 0x3F));
  return 4;
}

/// The character at `p` in NUL-terminated UTF-16 text (`*p` not the NUL), and
/// `p` moved past it; an unpaired surrogate gives U+FFFD.
inline char32_t nextUtf16(const char16_t*& p) {
  const char16_t unit = *p++;
  if (isHighSurrogate(unit) && isLowSurrogate(*p)) {
    return 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (*p++ - 0xDC00);
  }
  return isHighSurrogate(unit) || isLowSurrogate(unit) ? kReplacement : unit;
}

inline void appendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
    return;
  }
  c -= 0x10000;
  out += static_cast<char16_t>(0xD800 + (c >> 10));
  out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
}

/// Decodes the character at `p` (before `end`) and moves `p` past it. A
/// malformed or cut sequence (overlong forms, surrogates and values past
/// U+10FFFF included) gives U+FFFD for its first byte only, and `valid` false.
inline char32_t decodeUtf8(const unsigned char*& p, const unsigned char* end, bool& valid) {
  const unsigned char lead = *p++;
  if (lead < 0x80) return lead;
  int more = 0;
  char32_t c = 0;
  char32_t least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    more = 1, c = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    more = 2, c = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    more = 3, c = lead & 0x07, least = 0x10000;
  }
  bool wellFormed = more > 0 && end - p >= more;
  for (int i = 0; wellFormed && i < more; ++i) {
    wellFormed = (p[i] & 0xC0) == 0x80;
    c = (c << 6) | (p[i] & 0x3F);
  }
  if (!wellFormed || c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    valid = false;
    return kReplacement;
  }
  p += more;
  return c;
}

/// UTF-8 form of the NUL-terminated `text` (null reads as empty); an unpaired
/// surrogate becomes U+FFFD. Measured first, so that a long text (a whole
/// entry) is written into storage of its final size, never copied to grow.
inline std::string utf16ToUtf8(const char16_t* text) {
  if (!text) return {};
  char bytes[4];
  std::size_t length = 0;
  for (const char16_t* p = text; *p;) length += static_cast<std::size_t>(encodeUtf8(nextUtf16(p), bytes));
  std::string out(length, '\0');
  char* write = out.data();
  for (const char16_t* p = text; *p;) write += encodeUtf8(nextUtf16(p), write);
  return out;
}

/// UTF-16 form of `bytes` in `out`, each malformed byte as U+FFFD; false when
/// any byte was malformed.
inline bool utf8ToUtf16(std::string_view bytes, std::u16string& out) {
  out.clear();
  out.reserve(bytes.size());
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* end = p + bytes.size();
  bool valid = true;
  while (p < end) appendUtf16(out, decodeUtf8(p, end, valid));
  return valid;
}

}  // namespace unicode
