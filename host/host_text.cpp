#include "host/host_text.h"

#include <algorithm>
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

namespace {
constexpr std::size_t kPrefix = 4;
constexpr std::size_t kNul = 2;
}  // namespace

TPageBstr::~TPageBstr() { std::free(block_); }

bool TPageBstr::reserve(std::size_t more) {
  if (more > UINT32_MAX - 8 - size_) return false;  // past a string's byte length
  const std::size_t needed = kPrefix + size_ + more + kNul;
  if (needed <= capacity_) return true;
  // Doubling keeps the copies few; the realloc of a large block moves pages
  // rather than bytes, and untouched room costs no memory.
  const std::size_t grown = std::max(needed, 2 * capacity_);
  void* moved = std::realloc(block_, grown);
  if (!moved) return false;
  block_ = static_cast<char*>(moved);
  capacity_ = grown;
  return true;
}

bool TPageBstr::append(const char* data, std::size_t size) {
  if (!reserve(size)) return false;
  if (size != 0) std::memcpy(block_ + kPrefix + size_, data, size);
  size_ += size;
  return true;
}

BSTR TPageBstr::release() {
  if (!reserve(0)) return nullptr;  // an empty page still needs its prefix and NUL
  const auto byteLength = static_cast<uint32_t>(size_);
  std::memcpy(block_, &byteLength, kPrefix);
  block_[kPrefix + size_] = 0;
  block_[kPrefix + size_ + 1] = 0;
  // The spare room goes back; a block that cannot shrink stays as it is.
  char* block = block_;
  if (void* fitted = std::realloc(block_, kPrefix + size_ + kNul)) block = static_cast<char*>(fitted);
  block_ = nullptr;
  size_ = 0;
  capacity_ = 0;
  return reinterpret_cast<BSTR>(block + kPrefix);
}

void freeBstr(BSTR text) {
  if (text) std::free(reinterpret_cast<char*>(text) - 4);
}

}  // namespace host
