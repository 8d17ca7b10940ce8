#include "host/host_text.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace host {
namespace {

constexpr char kHex[] = "0123456789abcdef";
constexpr unsigned char kDelete = 0x7F;

bool isC1(char32_t c) { return c >= 0x80 && c <= 0x9F; }

/// The lead byte of every C1 control in UTF-8 (U+0080..U+009F are C2 80..C2 9F).
constexpr unsigned char kC1Lead = 0xC2;

bool isC1At(std::string_view text, std::size_t at) {
  return static_cast<unsigned char>(text[at]) == kC1Lead && at + 1 < text.size() &&
         isC1(static_cast<unsigned char>(text[at + 1]));
}

void appendHexByte(std::string& out, unsigned value) {
  out += kHex[(value >> 4) & 0xF];
  out += kHex[value & 0xF];
}

}  // namespace

std::string jsonEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t at = 0; at < text.size(); ++at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (isC1At(text, at)) {
      out += "\\u00";
      appendHexByte(out, static_cast<unsigned char>(text[++at]));
      continue;
    }
    const char ch = text[at];
    switch (byte) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (byte < 0x20 || byte == kDelete) {  // the other controls have no short form
          out += "\\u00";
          appendHexByte(out, byte);
        } else {
          out += ch;
        }
    }
  }
  return out;
}

std::string visibleText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    const unsigned char* start = p;
    bool valid = true;
    const char32_t c = unicode::decodeUtf8(p, end, valid);
    if (!valid) {
      out += "\xEF\xBF\xBD";  // U+FFFD
    } else if ((c < 0x20 && c != '\t' && c != '\n') || c == kDelete) {
      out += '^';
      out += static_cast<char>(c ^ 0x40);  // ESC is "^[", DEL "^?"
    } else if (isC1(c)) {
      out += "\\x";
      appendHexByte(out, static_cast<unsigned>(c));
    } else {
      out.append(reinterpret_cast<const char*>(start), static_cast<std::size_t>(p - start));
    }
  }
  return out;
}

namespace {

/// Lower case by the C library's Unicode tables (the C.UTF-8 locale, which
/// glibc always has); ASCII alone should the locale be missing.
char32_t lowerCase(char32_t c) {
  static const locale_t kUnicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
  if (kUnicode) return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), kUnicode));
  return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

/// `word` (well-formed UTF-8) with its first `count` characters in lower case.
std::string lowerCasePrefix(const std::string& word, std::size_t count) {
  std::u16string wide;
  utf8ToUtf16(word, wide);
  std::u16string out;
  const char16_t* p = wide.c_str();
  for (std::size_t done = 0; *p; ++done) {
    const char32_t c = unicode::nextUtf16(p);
    unicode::appendUtf16(out, done < count ? lowerCase(c) : c);
  }
  return utf16ToUtf8(out.c_str());
}

}  // namespace

std::vector<std::string> lowerCaseForms(const std::string& word) {
  std::vector<std::string> forms;
  for (const std::string& form : {lowerCasePrefix(word, 1), lowerCasePrefix(word, word.size())})
    if (form != word && (forms.empty() || forms.back() != form)) forms.push_back(form);
  return forms;
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
