#include "textlib/utf8.h"

#include <cstring>

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

// Reads continuation bytes of one sequence. Past the end of the input it yields
// zero bits and remembers that the sequence was cut.
struct ContinuationReader {
  const unsigned char* p;
  const unsigned char* end;
  bool cut = false;

  int32_t next() {
    if (p < end && *p) return *p++ & 0x3F;
    cut = true;
    return 0;
  }
};

// Accumulates one sequence after its lead byte `a` (>= 0x80) the way both
// decoders do: the length follows from the size of the accumulated value, not
// from the lead byte's bit pattern, so any byte can lead.
int32_t accumulateSequence(int32_t a, ContinuationReader& in) {
  int32_t v = (a << 6) | in.next();
  if (v < 0x3800) return v - 0x3000;
  v = (v << 6) | in.next();
  if (v < 0xF0000) return v - 0xE0000;
  v = (v << 6) | in.next();
  return v - 0x3C00000;
}

}  // namespace

int32_t encodeUtf8(const char16_t* text, int32_t count, char* out) {
  char* const start = out;
  if (count < 0) count = kvdetail::textLength(text);
  for (int32_t i = 0; i < count && text[i]; ++i) {
    uint32_t c = text[i];
    if (isHighSurrogate(c)) {
      if (i + 1 >= count || !text[i + 1]) break;  // a high surrogate ending the text is dropped
      const uint32_t v = text[++i];
      if (!isLowSurrogate(v)) continue;  // broken pair: both units are dropped
      c = 0x10000 + ((c - 0xD800) << 10) + (v - 0xDC00);
    }
    out = writeUtf8(c, out);
  }
  *out = 0;
  return static_cast<int32_t>(out - start);
}

namespace {

/// Whether the 8 bytes at `p` are all ASCII and none is the NUL.
bool isPlainAsciiBlock(const unsigned char* p) {
  uint64_t w;
  std::memcpy(&w, p, sizeof w);
  // A byte of 0 borrows and sets its high bit; a byte of 0x80 or more has it.
  return (((w - 0x0101010101010101ULL) | w) & 0x8080808080808080ULL) == 0;
}

// The units of the decoded text, written out.
struct TUnitWriter {
  char16_t* out;
  void unit(char16_t c) { *out++ = c; }
  void ascii8(const unsigned char* p) {
    for (int i = 0; i < 8; ++i) out[i] = p[i];
    out += 8;
  }
};

// The units of the decoded text, only counted.
struct TUnitCounter {
  int64_t count = 0;
  void unit(char16_t) { ++count; }
  void ascii8(const unsigned char*) { count += 8; }
};

// The one decoding loop, for writing and for counting alike, so that the count
// fromUtf8 allocates by is exactly what the decoding then writes. Plain ASCII,
// the bulk of any page, goes eight bytes at a time.
template <class Sink>
void decodeUnits(const unsigned char* p, const unsigned char* end, Sink& sink) {
  for (;;) {
    while (end - p >= 8 && isPlainAsciiBlock(p)) {
      sink.ascii8(p);
      p += 8;
    }
    if (p >= end || !*p) return;
    const int32_t a = *p++;
    if (a < 0x80) {
      sink.unit(static_cast<char16_t>(a));
      continue;
    }
    ContinuationReader in{p, end};
    const int32_t v = accumulateSequence(a, in);
    p = in.p;
    if (v > 0xFFFF) {
      sink.unit(static_cast<char16_t>(0xD800 + ((v - 0x10000) >> 10)));
      sink.unit(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    } else {
      sink.unit(static_cast<char16_t>(v));  // low 16 bits; a stray lead gives 0xF000 + bits
    }
    if (in.cut) return;
  }
}

const unsigned char* bytesOf(const char* bytes) { return reinterpret_cast<const unsigned char*>(bytes); }

}  // namespace

int32_t decodeUtf8(const char* bytes, int32_t count, char16_t* out) {
  if (count < 0) count = kvdetail::textLength(bytes);
  TUnitWriter writer{out};
  decodeUnits(bytesOf(bytes), bytesOf(bytes) + count, writer);
  *writer.out = 0;
  return static_cast<int32_t>(writer.out - out);
}

uint32_t decodeUtf8Char(const char* position, const char** next) {
  const auto* p = reinterpret_cast<const unsigned char*>(position);
  const uint32_t a = *p;
  if (a == 0 || a < 0x80) {
    *next = position + (a ? 1 : 0);
    return a;
  }
  // Each continuation byte is tested before use: the NUL ends the text.
  const unsigned char* q = p + 1;
  auto take = [&q](uint32_t& bits) {
    if (!*q) return false;
    bits = *q++ & 0x3Fu;
    return true;
  };
  uint32_t b = 0;
  uint32_t v = 0;
  bool complete = take(b);
  if (complete) {
    v = (a << 6) | b;
    if (v < 0x3800) {
      v -= 0x3000;
    } else if ((complete = take(b))) {
      v = (v << 6) | b;
      if (v < 0xF0000) {
        v -= 0xE0000;
      } else if ((complete = take(b))) {
        v = ((v << 6) | b) - 0x3C00000;
      }
    }
  }
  *next = reinterpret_cast<const char*>(q);
  if (!complete) return 0;  // cut short by the end of the text
  if (v < 0x10000) return v;
  return ((0xD800 + ((v - 0x10000) >> 10)) << 16) | (0xDC00 + (v & 0x3FF));
}

void toUtf8(__kvstrA& target, const char16_t* text, int32_t count) {
  if (!text || count == 0) {
    if (char* d = target.data()) *d = 0;
    return;
  }
  if (count < 0) count = kvdetail::textLength(text);
  char* fresh = kvdetail::allocateArray<char>(4 * int64_t{count} + 1);
  encodeUtf8(text, count, fresh);
  target.attach(fresh);
}

void fromUtf8(__kvstrW& target, const char* bytes, int32_t count) {
  if (!bytes || count == 0) {
    if (char16_t* d = target.data()) *d = 0;
    return;
  }
  if (count < 0) count = kvdetail::textLength(bytes);
  // Counted first, so that a page-sized text takes exactly its own size rather
  // than the worst case of two units per byte.
  TUnitCounter counter;
  decodeUnits(bytesOf(bytes), bytesOf(bytes) + count, counter);
  char16_t* fresh = kvdetail::allocateArray<char16_t>(counter.count + 1);
  decodeUtf8(bytes, count, fresh);
  target.attach(fresh);
}
