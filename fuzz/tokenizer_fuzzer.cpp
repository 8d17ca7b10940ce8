// The tokenizer, with attribute parsing of every start tag, on arbitrary
// pages read line by line and in place: every reported pointer lies inside
// the current line.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

 protected:
  char16_t** inPlaceCursor() override {
    char16_t** cursor = THtmlStreamParser::inPlaceCursor();
    if (cursor) {
      begin_ = *cursor;
      end_ = *cursor + std::char_traits<char16_t>::length(*cursor);
    }
    return cursor;
  }

 private:
  void checkRange(const char16_t* from, const char16_t* to) const {
    check(begin_ <= from && from <= to && to <= end_);
    // Lines read in place were cut as they ended; no range reaches across one.
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
  TCheckingParser inPlace;
  inPlace.setWritableInput(text.data());
  inPlace.parse();
  return 0;
}
