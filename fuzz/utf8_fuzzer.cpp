// The UTF-8 codec on arbitrary bytes: decoding never writes past the bound the
// string conversion allocates and always gives well-formed UTF-16, any UTF-16
// encodes to UTF-8 that decodes without a lone surrogate, and valid UTF-16
// survives a round trip.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/well_formed.h"
#include "textlib/utf8.h"

namespace {

// Names the broken invariant before the fuzzer records the input.
#define check(ok) \
  ((ok) ? (void)0 : (std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #ok), std::abort()))

// Decodes the bytes as given (count-bounded, no NUL after them) into an exact
// worst-case block with a canary after it.
void checkDecodeBound(const uint8_t* data, size_t size) {
  const int32_t count = static_cast<int32_t>(size);
  std::vector<char16_t> out(size + 2, u'\xFFFF');
  const int32_t units = decodeUtf8(reinterpret_cast<const char*>(data), count, out.data());
  check(units >= 0 && static_cast<size_t>(units) <= size);
  check(out[units] == 0);
  check(out[size + 1] == u'\xFFFF');
  check(isWellFormedUtf16(out.data(), static_cast<size_t>(units)));
}

// The bytes read as any UTF-16 units, lone surrogates included: the UTF-8 they
// encode to is well-formed, so it decodes to the same units with each lone
// surrogate as U+FFFD.
void checkEncodeWellFormed(const uint8_t* data, size_t size) {
  std::vector<char16_t> units;
  for (size_t i = 0; i + 1 < size; i += 2) {
    const auto u = static_cast<char16_t>(data[i] | data[i + 1] << 8);
    if (u == 0) break;
    units.push_back(u);
  }
  std::u16string expected;
  for (size_t i = 0; i < units.size(); ++i) {
    const bool high = units[i] >= 0xD800 && units[i] <= 0xDBFF;
    const bool low = units[i] >= 0xDC00 && units[i] <= 0xDFFF;
    if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      expected += units[i];
      expected += units[++i];
    } else {
      expected += high || low ? u'\xFFFD' : units[i];
    }
  }
  units.push_back(0);
  __kvstrA bytes;
  toUtf8(bytes, units.data(), -1);
  __kvstrW back;
  fromUtf8(back, bytes.str(), bytes.length());
  check(std::u16string(back.str() ? back.str() : u"") == expected);
}

// Reads the bytes as UTF-16 units and repairs them into valid UTF-16 without
// NULs, so that the round trip must be exact.
std::vector<char16_t> validUtf16From(const uint8_t* data, size_t size) {
  std::vector<char16_t> text;
  for (size_t i = 0; i + 1 < size; i += 2) {
    char16_t u = static_cast<char16_t>(data[i] | data[i + 1] << 8);
    if (u == 0) u = u'?';
    const bool high = u >= 0xD800 && u <= 0xDBFF;
    const bool low = u >= 0xDC00 && u <= 0xDFFF;
    if (low || (high && i + 3 >= size)) u = u'?';
    text.push_back(u);
    if (high && i + 3 < size) {
      text.push_back(static_cast<char16_t>(0xDC00 | ((data[i + 2] | data[i + 3] << 8) & 0x3FF)));
      i += 2;
    }
  }
  text.push_back(0);
  return text;
}

void checkRoundTrip(const uint8_t* data, size_t size) {
  const std::vector<char16_t> text = validUtf16From(data, size);
  __kvstrA bytes;
  toUtf8(bytes, text.data(), -1);
  __kvstrW back;
  fromUtf8(back, bytes.str(), -1);
  check(back.length() + 1 == static_cast<int32_t>(text.size()));
  check(std::memcmp(back.str(), text.data(), text.size() * sizeof(char16_t)) == 0);
}

void checkCharDecoder(const uint8_t* data, size_t size) {
  std::vector<char> text(data, data + size);
  text.push_back(0);
  const char* p = text.data();
  const char* const end = text.data() + size;
  while (true) {
    const char* next = nullptr;
    const uint32_t c = decodeUtf8Char(p, &next);
    check(next >= p && next <= end);
    if (c == 0) break;
    check(next > p);
    p = next;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  checkDecodeBound(data, size);
  checkEncodeWellFormed(data, size);
  checkRoundTrip(data, size);
  checkCharDecoder(data, size);
  return 0;
}
