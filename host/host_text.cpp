#include "host/host_text.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace host {

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
