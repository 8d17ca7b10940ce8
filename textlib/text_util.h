// Text helpers that the string classes and the layers above them share: the
// shared empty texts, lengths, checked array allocation, the line-end rule,
// the unit and byte searches of the scanners and the one copy that stops at a
// NUL.
// What only these helpers use sits in namespace detail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#ifdef DX_SIMD_SSE2
#include <emmintrin.h>
#endif

/// The shared empty texts that absent strings read as.
extern const char16_t kEmptyText[1];
extern const char kEmptyNarrowText[1];

namespace detail {
template <class T> const T* emptyText();
template <> inline const char16_t* emptyText<char16_t>() { return kEmptyText; }
template <> inline const char* emptyText<char>() { return kEmptyNarrowText; }
}  // namespace detail

/// Number of elements before the first NUL of `s` (0 for null).
template <class T> int32_t textLength(const T* s) {
  if (!s) return 0;
  return static_cast<int32_t>(std::char_traits<T>::length(s));
}

/// The units in [begin, end), a range within one string (so below 2^31).
inline int32_t lengthBetween(const char16_t* begin, const char16_t* end) {
  return static_cast<int32_t>(end - begin);
}

template <class Unit> constexpr bool isAsciiLetter(Unit c) {
  return (c >= Unit('A') && c <= Unit('Z')) || (c >= Unit('a') && c <= Unit('z'));
}

/// CR and LF each end a line, and a CR LF pair ends just one: the rule of
/// every reader of text here.
template <class Unit> constexpr bool isLineEnd(Unit c) { return c == Unit('\r') || c == Unit('\n'); }
/// Whether `second`, read right after `first`, belongs to the same line end:
/// the LF of a CR LF.
constexpr bool isCrLf(int first, int second) { return first == '\r' && second == '\n'; }
/// The units of the line end at `p` within [p, end): 2 for a CR LF, 1 for a
/// lone CR or LF, 0 when no line end is there.
template <class Unit> int lineEndLength(const Unit* p, const Unit* end) {
  if (p == end || !isLineEnd(*p)) return 0;
  return end - p > 1 && isCrLf(p[0], p[1]) ? 2 : 1;
}

/// new T[count], with `count` checked to be positive and within the 32-bit
/// lengths of the string types; anything past that throws std::bad_alloc.
template <class T> T* allocateArray(int64_t count) {
  if (count <= 0 || count > std::numeric_limits<int32_t>::max()) throw std::bad_alloc();
  return new T[static_cast<size_t>(count)];
}

namespace detail {

/// Copies [from, from + bytes), at least one Word and at most two, as its
/// first and its last Word, which may overlap.
template <class Word>
void copyHeadAndTail(char* to, const char* from, size_t bytes) {
  Word head;
  Word tail;
  std::memcpy(&head, from, sizeof head);
  std::memcpy(&tail, from + bytes - sizeof tail, sizeof tail);
  std::memcpy(to, &head, sizeof head);
  std::memcpy(to + bytes - sizeof tail, &tail, sizeof tail);
}

/// Sixteen bytes moved as one piece.
struct TBytes16 {
  uint64_t low;
  uint64_t high;
};

/// Copies [from, from + bytes), more than Size bytes and at most twice as
/// many, as its first and its last Size bytes, one after the other: the
/// ranges must not overlap.
template <size_t Size>
void copyFirstAndLast(char* to, const char* from, size_t bytes) {
  std::memcpy(to, from, Size);
  std::memcpy(to + bytes - Size, from + bytes - Size, Size);
}

/// memcpy(dst, src, bytes) for ranges that do not overlap. Up to 256 bytes
/// are moved by fixed-size copies, which compile to plain loads and stores:
/// the many short texts of a page cost no call, which matters most in the
/// DLL, where each call into the C runtime costs more than such a copy.
inline void copyBytes(void* dst, const void* src, size_t bytes) {
  auto* to = static_cast<char*>(dst);
  const auto* from = static_cast<const char*>(src);
  // The shortest first: most runs are a word or two.
  if (bytes <= 32) {
    if (bytes > 16) {
      copyHeadAndTail<TBytes16>(to, from, bytes);
    } else if (bytes >= 8) {
      copyHeadAndTail<uint64_t>(to, from, bytes);
    } else if (bytes >= 4) {
      copyHeadAndTail<uint32_t>(to, from, bytes);
    } else if (bytes > 0) {
      to[0] = from[0];
      to[bytes - 1] = from[bytes - 1];
      to[bytes / 2] = from[bytes / 2];
    }
  } else if (bytes <= 64) {
    copyFirstAndLast<32>(to, from, bytes);
  } else if (bytes <= 128) {
    copyFirstAndLast<64>(to, from, bytes);
  } else if (bytes <= 256) {
    copyFirstAndLast<128>(to, from, bytes);
  } else {
    std::memcpy(to, from, bytes);
  }
}

/// Whether any of the four units in `units` equals the unit repeated in each
/// lane of `as` or of `bs`. After XOR with the wanted unit, a lane is zero
/// exactly where it held that unit, and then the borrow sets its top bit.
inline bool wordHasEitherUnit(uint64_t units, uint64_t as, uint64_t bs) {
  constexpr uint64_t kLaneOnes = 0x0001000100010001;
  constexpr uint64_t kLaneHighs = 0x8000800080008000;
  const uint64_t x = units ^ as;
  const uint64_t y = units ^ bs;
  return ((((x - kLaneOnes) & ~x) | ((y - kLaneOnes) & ~y)) & kLaneHighs) != 0;
}

}  // namespace detail

/// Copies the `count` elements at `from` to `to`; the ranges must not
/// overlap. Short runs, most of a page's, are copied without a call.
template <class T> void copyElements(T* to, const T* from, size_t count) {
  detail::copyBytes(to, from, count * sizeof(T));
}

/// The first unit in [p, end) equal to `a` or to `b`, or end; pass the same
/// unit twice to look for one. Scanners of attribute values and section text
/// spend most of their time here, on ranges of a few units, so the tail after
/// the wide steps is taken four units at once too.
inline const char16_t* findEitherUnit(const char16_t* p, const char16_t* end, char16_t a, char16_t b) {
#ifdef DX_SIMD_SSE2
  // Eight units a time: each lane equal to either sets its two mask bits.
  const __m128i as = _mm_set1_epi16(static_cast<short>(a));
  const __m128i bs = _mm_set1_epi16(static_cast<short>(b));
  const auto hitsAt = [&](const char16_t* at) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    return static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(units, as), _mm_cmpeq_epi16(units, bs))));
  };
  if (end - p >= 8) {
    for (; end - p >= 8; p += 8) {
      if (const unsigned hits = hitsAt(p)) return p + __builtin_ctz(hits) / 2;
    }
    if (p == end) return end;
    // The last eight units, overlapping those already passed, which hold
    // neither unit.
    const unsigned hits = hitsAt(end - 8);
    return hits ? end - 8 + __builtin_ctz(hits) / 2 : end;
  }
#endif
  constexpr uint64_t kLaneOnes = 0x0001000100010001;
  const uint64_t as64 = kLaneOnes * a;
  const uint64_t bs64 = kLaneOnes * b;
  for (; end - p >= 4; p += 4) {
    uint64_t units;
    std::memcpy(&units, p, sizeof units);
    if (detail::wordHasEitherUnit(units, as64, bs64)) break;
  }
  while (p < end && *p != a && *p != b) ++p;
  return p;
}

/// The first byte in [p, end) equal to `byte`, or end. The run-time
/// library's memchr may look at one byte at a time (Windows builds under Wine
/// do), and a whole page is searched with this.
inline const char* findByte(const char* p, const char* end, char byte) {
#ifdef DX_SIMD_SSE2
  const __m128i bytes = _mm_set1_epi8(byte);
  for (; end - p >= 16; p += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    if (const unsigned hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, bytes)))) {
      return p + __builtin_ctz(hits);
    }
  }
#else
  constexpr uint64_t kLaneOnes = 0x0101010101010101;
  constexpr uint64_t kLaneHighs = 0x8080808080808080;
  const uint64_t bytes = kLaneOnes * static_cast<unsigned char>(byte);
  for (; end - p >= 8; p += 8) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    const uint64_t x = word ^ bytes;
    if (((x - kLaneOnes) & ~x & kLaneHighs) != 0) break;
  }
#endif
  while (p < end && *p != byte) ++p;
  return p;
}

/// Copies at most `n` elements of `src` to `dst`, stopping at a NUL, and
/// returns how many were copied. Never reads past that NUL, so `n` may exceed
/// the text; a null `src` copies nothing. The ranges must not overlap.
template <class T> int32_t copyUntilNul(T* dst, const T* src, int32_t n) {
  if (!src) return 0;
  int32_t i = 0;
  for (; i < n && src[i]; ++i) dst[i] = src[i];
  return i;
}
