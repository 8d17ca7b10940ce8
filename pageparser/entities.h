// Character references in section text: the five names lt, gt, amp, quot and
// nbsp (a plain space) and decimal references to any character (a pair of
// units above U+FFFF; U+FFFD for a surrogate or a value past U+10FFFF; nothing
// for 0 and CR). Everything else is copied through unchanged.
#pragma once

#include <cstdint>
#include <cstring>

#ifdef DX_SIMD_SSE2
#include <emmintrin.h>
#endif

#include "textlib/kvstr.h"

/// Decodes [text, text + length), all of it readable, stopping early at a NUL.
/// A reference may look past `length` into the rest of the NUL-terminated
/// line. Absent when empty.
__kvstrW decodeEntities(const char16_t* text, int32_t length);
/// decodeEntities appending straight to `out`: each stretch between
/// references is copied in one piece.
void decodeEntitiesInto(__kvstrbufT<char16_t>& out, const char16_t* text, int32_t length);
/// The first "&" or NUL in [p, end), or end. Defined here: every run of
/// section text is looked at.
inline const char16_t* findAmpersandOrNul(const char16_t* p, const char16_t* end) {
#ifdef DX_SIMD_SSE2
  // Eight units a time: each lane equal to the NUL or to "&" sets its two
  // mask bits.
  const __m128i ampersands = _mm_set1_epi16(u'&');
  const __m128i zeros = _mm_setzero_si128();
  while (end - p >= 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int stops = _mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi16(units, zeros), _mm_cmpeq_epi16(units, ampersands)));
    if (stops != 0) return p + __builtin_ctz(static_cast<unsigned>(stops)) / 2;
    p += 8;
  }
#else
  // Four units a time: a lane is zero, alone or after XOR with "&" in every
  // lane, exactly where it held that unit, and then the borrow sets its top bit.
  constexpr uint64_t kLaneOnes = 0x0001000100010001;
  constexpr uint64_t kLaneHighs = 0x8000800080008000;
  constexpr uint64_t kAmpersands = 0x0026002600260026;
  while (end - p >= 4) {
    uint64_t units;
    std::memcpy(&units, p, sizeof units);
    const uint64_t others = units ^ kAmpersands;
    if ((((units - kLaneOnes) & ~units) | ((others - kLaneOnes) & ~others)) & kLaneHighs) break;
    p += 4;
  }
#endif
  while (p < end && *p && *p != u'&') ++p;
  return p;
}
/// `position` is just after an "&". Sets `character` to the referenced
/// character (0, which adds nothing, for a reference to 0 or to CR) and returns
/// the position after the reference, or returns null when no reference starts
/// there.
const char16_t* readEntity(const char16_t* position, char32_t& character);
/// readEntity, the character appended to `buffer`.
const char16_t* decodeEntity(__kvstrbufW& buffer, const char16_t* position);
/// `position` is just after "&#". The decimal value up to the ";" or the NUL
/// (any value past U+10FFFF as kBeyondUnicode), or -1 when the characters
/// there do not form a reference.
int32_t parseDecimalReference(const char16_t* position);

constexpr int32_t kBeyondUnicode = 0x110000;
/// Appends `character` to `out` as UTF-16: one unit, or a pair above U+FFFF.
/// 0 appends nothing.
void appendCharacter(__kvstrbufT<char16_t>& out, char32_t character);
