// Well-formedness of text that the fuzz targets check, written apart from the
// codec under test: a pair is a high surrogate and a low one; UTF-8 follows
// the table of well-formed byte sequences (no overlong form, no surrogate,
// nothing past U+10FFFF).
#pragma once

#include <cstddef>

inline bool isWellFormedUtf16(const char16_t* text, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (text[i] >= 0xDC00 && text[i] <= 0xDFFF) return false;
    if (text[i] >= 0xD800 && text[i] <= 0xDBFF) {
      if (++i >= count || text[i] < 0xDC00 || text[i] > 0xDFFF) return false;
    }
  }
  return true;
}

inline bool isWellFormedUtf8(const char* text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p) {
    const unsigned lead = *p++;
    if (lead < 0x80) continue;
    int more = 0;
    unsigned low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      more = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      more = 2;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      more = 3;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    for (; more > 0; --more, low = 0x80, high = 0xBF) {
      if (*p < low || *p > high) return false;
      ++p;
    }
  }
  return true;
}
