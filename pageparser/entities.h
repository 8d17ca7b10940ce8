// Character references in section text: the five names lt, gt, amp, quot and
// nbsp (a plain space) and decimal references to any character (a pair of
// units above U+FFFF; U+FFFD for a surrogate or a value past U+10FFFF; nothing
// for 0 and CR). Everything else is copied through unchanged.
#pragma once

#include <cstdint>

#include "textlib/kvstr.h"

/// Decodes [text, text + length), stopping early at a NUL. A reference may look
/// past `length` into the rest of the NUL-terminated line. Absent when empty.
__kvstrW decodeEntities(const char16_t* text, int32_t length);
/// decodeEntities appending straight to `out`, which offers append(const
/// char16_t*, int32_t) and append(char16_t), both stopping at a NUL: no
/// intermediate copy of the run.
template <class Buffer>
void decodeEntitiesInto(Buffer& out, const char16_t* text, int32_t length);
/// `position` is just after an "&". Sets `character` to the referenced
/// character (0, which adds nothing, for a reference to 0 or to CR) and returns
/// the position after the reference, or returns null when no reference starts
/// there.
const char16_t* readEntity(const char16_t* position, char32_t& character);
/// `position` is just after an "&". Appends the referenced character to
/// `buffer` and returns the position after the reference, or null when no
/// reference starts there.
const char16_t* decodeEntity(__kvstrbufW& buffer, const char16_t* position);
/// `position` is just after "&#". The decimal value up to the ";" or the NUL
/// (any value past U+10FFFF as kBeyondUnicode), or -1 when the characters
/// there do not form a reference.
int32_t parseDecimalReference(const char16_t* position);
constexpr int32_t kBeyondUnicode = 0x110000;

/// Appends `character` to `out` as UTF-16: one unit, or a pair above U+FFFF.
/// 0 appends nothing.
template <class Buffer>
void appendCharacter(Buffer& out, char32_t character) {
  if (character > 0xFFFF) {
    const char16_t pair[2] = {static_cast<char16_t>(0xD800 + ((character - 0x10000) >> 10)),
                              static_cast<char16_t>(0xDC00 + (character & 0x3FF))};
    out.append(pair, 2);
  } else {
    out.append(static_cast<char16_t>(character));
  }
}

template <class Buffer>
void decodeEntitiesInto(Buffer& out, const char16_t* text, int32_t length) {
  if (!text || length <= 0) return;
  const char16_t* const end = text + length;
  const char16_t* p = text;
  while (p < end && *p) {
    // Copy the stretch up to the next ampersand in one piece.
    const char16_t* stretch = p;
    while (p < end && *p && *p != u'&') ++p;
    if (p != stretch) out.append(stretch, static_cast<int32_t>(p - stretch));
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
