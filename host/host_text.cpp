#include "host/host_text.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace host {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void appendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
    return;
  }
  c -= 0x10000;
  out += static_cast<char16_t>(0xD800 + (c >> 10));
  out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
}

/// Sequence length announced by a lead byte, with the smallest value that
/// form may carry (anything below is overlong); 0 for a byte that cannot lead.
int sequenceLength(unsigned char lead, char32_t& least) {
  if (lead < 0x80) return least = 0, 1;
  if (lead >= 0xC2 && lead <= 0xDF) return least = 0x80, 2;
  if (lead >= 0xE0 && lead <= 0xEF) return least = 0x800, 3;
  if (lead >= 0xF0 && lead <= 0xF4) return least = 0x10000, 4;
  return 0;
}

}  // namespace

std::string utf16ToUtf8(const char16_t* text) {
  std::string out;
  if (!text) return out;
  for (const char16_t* p = text; *p; ++p) {
    char32_t c = *p;
    if (isHighSurrogate(*p) && isLowSurrogate(p[1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
      ++p;
    } else if (isHighSurrogate(*p) || isLowSurrogate(*p)) {
      c = kReplacement;
    }
    appendUtf8(out, c);
  }
  return out;
}

bool utf8ToUtf16(std::string_view bytes, std::u16string& out) {
  out.clear();
  out.reserve(bytes.size());
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* end = p + bytes.size();
  while (p < end) {
    char32_t least = 0;
    const int length = sequenceLength(*p, least);
    if (length == 0 || end - p < length) return false;
    char32_t c = length == 1 ? *p : *p & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
      if (!isContinuation(p[i])) return false;
      c = (c << 6) | (p[i] & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    appendUtf16(out, c);
    p += length;
  }
  return true;
}

std::string jsonEscape(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size() + 8);
  for (const char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    switch (byte) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (byte < 0x20) {  // the other control characters have no short form
          out += "\\u00";
          out += kHex[byte >> 4];
          out += kHex[byte & 0xF];
        } else {
          out += ch;
        }
    }
  }
  return out;
}

BSTR allocPageBstr(std::string_view bytes) {
  // As the system allocator lays out a string made from bytes: the byte
  // length counts the page only, and the two-byte NUL after it supplies the
  // zero byte at which the plug-in stops reading.
  if (bytes.size() > UINT32_MAX - 8) return nullptr;
  auto* block = static_cast<char*>(std::malloc(4 + bytes.size() + 2));
  if (!block) return nullptr;
  const auto byteLength = static_cast<uint32_t>(bytes.size());
  std::memcpy(block, &byteLength, 4);
  if (!bytes.empty()) std::memcpy(block + 4, bytes.data(), bytes.size());
  block[4 + bytes.size()] = 0;
  block[4 + bytes.size() + 1] = 0;
  return reinterpret_cast<BSTR>(block + 4);
}

void freeBstr(BSTR text) {
  if (text) std::free(reinterpret_cast<char*>(text) - 4);
}

}  // namespace host
