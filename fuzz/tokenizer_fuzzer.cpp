// The tokenizer, with attribute parsing of every start tag, on arbitrary
// pages read line by line and a block of UTF-8 lines at a time: every
// reported pointer lies inside the current chunk and within one line.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "html/stream_parser.h"
#include "textlib/utf8.h"

namespace {

// Names the broken invariant before the fuzzer records the input.
#define check(ok) \
  ((ok) ? (void)0 : (std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #ok), std::abort()))

class TCheckingParser final : public THtmlStreamParser {
 public:
  bool readChunk(__kvstrW& chunk) override {
    const bool more = THtmlStreamParser::readChunk(chunk);
    begin_ = chunk.str();
    end_ = begin_ + chunk.length();
    return more;
  }
  void onStartTag(const char16_t* name, const char16_t* end) override {
    checkRange(name, end);
    AttributeMap attributes;
    parseAttributes(name, end, attributes);
    getAttribute(name, end, u"class");
  }
  void onEndTag(const char16_t* name, const char16_t* end) override { checkRange(name, end); }
  void onCommentBegin(const char16_t* p) override { checkRange(p, p); }
  void onCommentEnd(const char16_t* p) override { checkRange(p, p); }
  void onText(const char16_t* p, int32_t length) override { checkRun(p, length); }
  void onCommentText(const char16_t* p, int32_t length) override { checkRun(p, length); }

 private:
  void checkRange(const char16_t* from, const char16_t* to) const {
    check(begin_ <= from && from <= to && to <= end_);
    // Lines of a block were cut as they ended; no range reaches across one.
    check(std::char_traits<char16_t>::find(from, static_cast<size_t>(to - from), u'\0') == nullptr);
  }
  void checkRun(const char16_t* p, int32_t length) const {
    check(length > 0);
    checkRange(p, p + length);
  }

  const char16_t* begin_ = nullptr;
  const char16_t* end_ = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  __kvstrW page;
  fromUtf8(page, reinterpret_cast<const char*>(data), static_cast<int32_t>(size));
  // An exact-size copy, so that ASan sees any read past the text's NUL.
  std::vector<char16_t> text(page.str(), page.str() + page.length() + 1);
  TCheckingParser byLine;
  byLine.setInput(text.data());
  byLine.parse();
  // The bytes up to the first zero byte, which ends the page as its NUL does.
  const auto* bytes = reinterpret_cast<const char*>(data);
  const void* zero = std::memchr(bytes, 0, size);
  const size_t count = zero ? static_cast<size_t>(static_cast<const char*>(zero) - bytes) : size;
  TCheckingParser byBlock;
  byBlock.setUtf8Input(bytes, static_cast<int32_t>(count));
  byBlock.parse();
  return 0;
}
