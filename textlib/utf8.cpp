#include "textlib/utf8.h"

#include <cstring>

#ifdef DX_SIMD_SSE2
#include <emmintrin.h>
#endif

#include "textlib/text_util.h"

namespace {

constexpr bool isHighSurrogate(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
constexpr bool isLowSurrogate(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

char* writeUtf8(uint32_t c, char* out) {
  auto put = [&out](uint32_t b) { *out++ = static_cast<char>(b); };
  if (c < 0x80) {
    put(c);
  } else if (c < 0x800) {
    put(0xC0 + (c >> 6));
    put(0x80 + (c & 0x3F));
  } else if (c < 0x10000) {
    put(0xE0 + (c >> 12));
    put(0x80 + ((c >> 6) & 0x3F));
    put(0x80 + (c & 0x3F));
  } else {
    put(0xF0 + (c >> 18));
    put(0x80 + ((c >> 12) & 0x3F));
    put(0x80 + ((c >> 6) & 0x3F));
    put(0x80 + (c & 0x3F));
  }
  return out;
}

constexpr uint32_t kReplacement = 0xFFFD;

// Decodes the sequence that starts with the byte at `p` (0x80 or more) and
// moves `p` past it. Only well-formed sequences give their character: no
// overlong form, no surrogate, nothing above U+10FFFF. Anything else gives
// U+FFFD for its longest start that could still have become a character (the
// lead alone when it can lead nothing), and `p` stops on the first byte that
// does not fit, so that byte is read again as a lead: a NUL, "<" or a quote
// is never swallowed. Nothing at or past `end` is read.
uint32_t decodeSequence(const unsigned char*& p, const unsigned char* end) {
  const uint32_t lead = *p++;
  uint32_t c;
  int more;
  uint32_t low = 0x80;  // the range the next continuation byte must lie in
  uint32_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    c = lead & 0x1F;
    more = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    c = lead & 0x0F;
    more = 2;
    if (lead == 0xE0) low = 0xA0;   // below: overlong
    if (lead == 0xED) high = 0x9F;  // above: a surrogate
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    c = lead & 0x07;
    more = 3;
    if (lead == 0xF0) low = 0x90;   // below: overlong
    if (lead == 0xF4) high = 0x8F;  // above: past U+10FFFF
  } else {
    return kReplacement;  // a continuation byte, C0, C1 or F5 to FF: leads nothing
  }
  for (; more > 0; --more) {
    if (p >= end || *p < low || *p > high) return kReplacement;
    c = (c << 6) | (*p++ & 0x3Fu);
    low = 0x80;
    high = 0xBF;
  }
  return c;
}

/// The well-formed two- and three-byte sequences, which carry nearly all
/// text other than ASCII, decoded without the general rules' steps: true,
/// with `c` and `p` moved past the sequence, for one of them at `p`; false,
/// with nothing moved, for anything else, which decodeSequence then reads.
bool decodeShortSequence(const unsigned char*& p, const unsigned char* end, uint32_t& c) {
  const uint32_t lead = p[0];
  const auto isContinuation = [](uint32_t byte) { return (byte & 0xC0) == 0x80; };
  if (lead >= 0xC2 && lead <= 0xDF) {
    if (end - p < 2 || !isContinuation(p[1])) return false;
    c = (lead & 0x1F) << 6 | (p[1] & 0x3Fu);
    p += 2;
    return true;
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (end - p < 3 || !isContinuation(p[1]) || !isContinuation(p[2])) return false;
    const uint32_t decoded = (lead & 0x0F) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
    // Below U+0800 is overlong; the surrogates are never characters.
    if (decoded < 0x800 || (decoded >= 0xD800 && decoded <= 0xDFFF)) return false;
    c = decoded;
    p += 3;
    return true;
  }
  return false;
}

}  // namespace

int32_t encodeUtf8(const char16_t* text, int32_t count, char* out) {
  char* const start = out;
  if (count < 0) count = textLength(text);
  for (int32_t i = 0; i < count && text[i]; ++i) {
    uint32_t c = text[i];
    if (isHighSurrogate(c) && i + 1 < count && isLowSurrogate(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00u);
    } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
      c = kReplacement;  // a lone surrogate; the unit after it is read on its own
    }
    out = writeUtf8(c, out);
  }
  *out = 0;
  return static_cast<int32_t>(out - start);
}

namespace {

#ifdef DX_SIMD_SSE2
constexpr int32_t kAsciiBlock = 16;

/// How many of the 16 bytes at `p` lead the block as plain ASCII (none is the
/// NUL): 16 for a whole block, else the index of the first that is not.
int32_t plainAsciiPrefix(const unsigned char* p) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  // A byte of 0x80 or more has its high bit; the NUL compares equal to zero.
  const __m128i stops = _mm_or_si128(bytes, _mm_cmpeq_epi8(bytes, _mm_setzero_si128()));
  const int mask = _mm_movemask_epi8(stops);
  return mask == 0 ? kAsciiBlock : __builtin_ctz(static_cast<unsigned>(mask));
}

void widenAsciiBytes(__m128i bytes, char16_t* out) {
  const __m128i zero = _mm_setzero_si128();
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(bytes, zero));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(bytes, zero));
}

void widenAsciiBlock(const unsigned char* p, char16_t* out) {
  widenAsciiBytes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), out);
}

/// Loads the two blocks at `p` and tells whether both are plain ASCII: the
/// bulk of a page goes two blocks a step, each block loaded once.
bool loadPlainAsciiPair(const unsigned char* p, __m128i& low, __m128i& high) {
  low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + kAsciiBlock));
  const __m128i zero = _mm_setzero_si128();
  const __m128i stops = _mm_or_si128(_mm_or_si128(low, _mm_cmpeq_epi8(low, zero)),
                                     _mm_or_si128(high, _mm_cmpeq_epi8(high, zero)));
  return _mm_movemask_epi8(stops) == 0;
}
#else
constexpr int32_t kAsciiBlock = 8;

/// 8 when the 8 bytes at `p` are all ASCII and none is the NUL, else 0: the
/// block is then read a byte at a time.
int32_t plainAsciiPrefix(const unsigned char* p) {
  uint64_t w;
  std::memcpy(&w, p, sizeof w);
  // A byte of 0 borrows and sets its high bit; a byte of 0x80 or more has it.
  return (((w - 0x0101010101010101ULL) | w) & 0x8080808080808080ULL) == 0 ? kAsciiBlock : 0;
}

void widenAsciiBlock(const unsigned char* p, char16_t* out) {
  for (int32_t i = 0; i < kAsciiBlock; ++i) out[i] = p[i];
}
#endif

// The units of the decoded text, written out.
struct TUnitWriter {
  char16_t* out;
  void unit(char16_t c) { *out++ = c; }
  /// [p, p + n) is plain ASCII, n at most kAsciiBlock.
  void ascii(const unsigned char* p, int32_t n) {
    if (n == kAsciiBlock) {
      widenAsciiBlock(p, out);
    } else {
      for (int32_t i = 0; i < n; ++i) out[i] = p[i];
    }
    out += n;
  }
#ifdef DX_SIMD_SSE2
  /// Writes the two blocks at `p` when both are plain ASCII.
  bool plainPair(const unsigned char* p) {
    __m128i low;
    __m128i high;
    if (!loadPlainAsciiPair(p, low, high)) return false;
    widenAsciiBytes(low, out);
    widenAsciiBytes(high, out + kAsciiBlock);
    out += 2 * kAsciiBlock;
    return true;
  }
#endif
};

// The units of the decoded text, only counted.
struct TUnitCounter {
  int64_t count = 0;
  void unit(char16_t) { ++count; }
  void ascii(const unsigned char*, int32_t n) { count += n; }
#ifdef DX_SIMD_SSE2
  bool plainPair(const unsigned char* p) {
    __m128i low;
    __m128i high;
    if (!loadPlainAsciiPair(p, low, high)) return false;
    count += 2 * kAsciiBlock;
    return true;
  }
#endif
};

// The one decoding loop, for writing and for counting alike, so that the count
// fromUtf8 allocates by is exactly what the decoding then writes. Plain ASCII,
// the bulk of any page, goes a block at a time, and the ASCII that leads a
// block before another byte goes at once where the block test tells where.
template <class Sink>
void decodeUnits(const unsigned char* p, const unsigned char* end, Sink& sink) {
  for (;;) {
    while (end - p >= kAsciiBlock) {
      const int32_t plain = plainAsciiPrefix(p);
      sink.ascii(p, plain);
      p += plain;
      if (plain < kAsciiBlock) break;
#ifdef DX_SIMD_SSE2
      // A whole plain block: most likely the middle of a long stretch of
      // ASCII, which then goes two blocks a step.
      while (end - p >= 2 * kAsciiBlock && sink.plainPair(p)) p += 2 * kAsciiBlock;
#endif
    }
    if (p >= end || !*p) return;
    if (*p < 0x80) {
      sink.unit(*p++);
      continue;
    }
    // Text other than ASCII comes in runs of sequences, taken one after
    // another without the block test between them.
    do {
      uint32_t c;
      if (!decodeShortSequence(p, end, c)) c = decodeSequence(p, end);
      if (c > 0xFFFF) {
        sink.unit(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
        sink.unit(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
      } else {
        sink.unit(static_cast<char16_t>(c));
      }
    } while (p < end && *p >= 0x80);
  }
}

const unsigned char* bytesOf(const char* bytes) { return reinterpret_cast<const unsigned char*>(bytes); }

}  // namespace

int32_t decodeUtf8(const char* bytes, int32_t count, char16_t* out) {
  if (count < 0) count = textLength(bytes);
  TUnitWriter writer{out};
  decodeUnits(bytesOf(bytes), bytesOf(bytes) + count, writer);
  *writer.out = 0;
  return static_cast<int32_t>(writer.out - out);
}

uint32_t decodeUtf8Char(const char* position, const char** next) {
  const auto* p = bytesOf(position);
  if (*p < 0x80) {
    *next = position + (*p ? 1 : 0);
    return *p;
  }
  // No sequence is longer than four bytes, and the NUL ending the text fits
  // no sequence, so the decoder stops on it.
  const uint32_t c = decodeSequence(p, p + 4);
  *next = reinterpret_cast<const char*>(p);
  if (c < 0x10000) return c;
  return ((0xD800 + ((c - 0x10000) >> 10)) << 16) | (0xDC00 + (c & 0x3FF));
}

void toUtf8(__kvstrA& target, const char16_t* text, int32_t count) {
  if (!text || count == 0) {
    if (char* d = target.data()) *d = 0;
    return;
  }
  if (count < 0) count = textLength(text);
  char* fresh = allocateArray<char>(4 * int64_t{count} + 1);
  encodeUtf8(text, count, fresh);
  target.attach(fresh);
}

int32_t fromUtf8(__kvstrW& target, const char* bytes, int32_t count) {
  if (!bytes || count == 0) {
    if (char16_t* d = target.data()) *d = 0;
    return 0;
  }
  if (count < 0) count = textLength(bytes);
  // Counted first, so that a page-sized text takes exactly its own size rather
  // than the worst case of one unit per byte.
  TUnitCounter counter;
  decodeUnits(bytesOf(bytes), bytesOf(bytes) + count, counter);
  char16_t* fresh = allocateArray<char16_t>(counter.count + 1);
  const int32_t units = decodeUtf8(bytes, count, fresh);
  target.attach(fresh);
  return units;
}
