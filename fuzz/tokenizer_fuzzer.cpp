// The tokenizer, with attribute parsing of every start tag, on arbitrary
// pages read line by line and a block of UTF-8 lines at a time: every
// reported pointer lies inside the current chunk and within one line, and
// the reports of each chunk are those of a plain unit-by-unit scanner of the
// same rules, written here apart from the tokenizer's own scan.
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

/// One report: its kind and where it lies, in units from the chunk's start.
struct TReport {
  char kind;
  int32_t from;
  int32_t to;
  bool operator==(const TReport& other) const {
    return kind == other.kind && from == other.from && to == other.to;
  }
};

/// The tokenizer's rules, one unit at a time, over copies of the chunks.
class TReferenceScanner {
 public:
  std::vector<TReport> scanChunk(const std::u16string& text) {
    text_ = text.c_str();
    reports_.clear();
    int32_t line = 0;
    do {
      line = scanLine(line);
    } while (text_[line]);
    return reports_;
  }

 private:
  enum class Mode { Text, Tag, Quoted, Comment };

  static bool endsLine(char16_t c) { return c == 0 || c == u'\r' || c == u'\n'; }
  static bool isBlank(char16_t c) { return c <= 32 && !endsLine(c); }
  int32_t skipBlanks(int32_t i) const {
    while (isBlank(text_[i])) ++i;
    return i;
  }
  bool at(int32_t i, const char16_t* word) const {
    for (; *word; ++i, ++word) {
      if (text_[i] != *word) return false;
    }
    return true;
  }
  void report(char kind, int32_t from, int32_t to) { reports_.push_back({kind, from, to}); }
  void reportRun(char kind, int32_t from, int32_t to) {
    if (from != to) report(kind, from, to);
  }
  void reportTag(int32_t end) {
    if (tagName_ >= 0) report(isEndTag_ ? 'E' : 'S', tagName_, end);
    tagName_ = -1;
  }

  int32_t scanLine(int32_t i) {
    int32_t textStart = i;
    int32_t commentStart = mode_ == Mode::Comment ? i : -1;
    while (!endsLine(text_[i])) {
      const char16_t c = text_[i];
      if (mode_ == Mode::Text && c == u'<') {
        reportRun('T', textStart, i);
        if (at(i, u"<!--")) {
          i += 4;
          report('B', i, i);
          commentStart = i;
          mode_ = Mode::Comment;
          continue;
        }
        isEndTag_ = text_[i + 1] == u'/';
        i = tagName_ = skipBlanks(i + (isEndTag_ ? 2 : 1));
        mode_ = Mode::Tag;
      } else if (mode_ == Mode::Tag && c == u'>') {
        reportTag(i);
        textStart = ++i;
        mode_ = Mode::Text;
      } else if (mode_ == Mode::Comment && at(i, u"-->")) {
        if (commentStart >= 0) reportRun('M', skipBlanks(commentStart), i);
        commentStart = -1;
        report('C', i, i);
        textStart = i += 3;
        mode_ = Mode::Text;
      } else {
        if (c == u'"' && mode_ == Mode::Tag) mode_ = Mode::Quoted;
        else if (c == u'"' && mode_ == Mode::Quoted) mode_ = Mode::Tag;
        ++i;
      }
    }
    if (mode_ == Mode::Text) reportRun('T', textStart, i);
    if (mode_ == Mode::Tag || mode_ == Mode::Quoted) reportTag(i);
    if (mode_ == Mode::Comment && commentStart >= 0) reportRun('M', commentStart, i);
    if (text_[i] == u'\r' && text_[i + 1] == u'\n') return i + 2;
    return text_[i] ? i + 1 : i;
  }

  const char16_t* text_ = nullptr;
  std::vector<TReport> reports_;
  Mode mode_ = Mode::Text;
  int32_t tagName_ = -1;
  bool isEndTag_ = false;
};

class TCheckingParser final : public THtmlStreamParser {
 public:
  ~TCheckingParser() { checkChunkReports(); }

  int32_t readChunk(__kvstrW& chunk) override {
    checkChunkReports();
    const int32_t length = THtmlStreamParser::readChunk(chunk);
    begin_ = chunk.str();
    end_ = begin_ + chunk.length();
    check(length < 0 || length == chunk.length());
    if (length >= 0) expected_ = reference_.scanChunk(std::u16string(begin_, end_));
    return length;
  }
  void onStartTag(const char16_t* name, const char16_t* end) override {
    record('S', name, end);
    AttributeMap attributes;
    parseAttributes(name, end, attributes);
    getAttribute(name, end, u"class");
  }
  void onEndTag(const char16_t* name, const char16_t* end) override { record('E', name, end); }
  void onCommentBegin(const char16_t* p) override { record('B', p, p); }
  void onCommentEnd(const char16_t* p) override { record('C', p, p); }
  void onText(const char16_t* p, int32_t length) override { recordRun('T', p, length); }
  void onCommentText(const char16_t* p, int32_t length) override { recordRun('M', p, length); }

 private:
  void record(char kind, const char16_t* from, const char16_t* to) {
    check(begin_ <= from && from <= to && to <= end_);
    // Lines of a block were cut as they ended; no range reaches across one.
    check(std::char_traits<char16_t>::find(from, static_cast<size_t>(to - from), u'\0') == nullptr);
    reports_.push_back({kind, static_cast<int32_t>(from - begin_), static_cast<int32_t>(to - begin_)});
  }
  void recordRun(char kind, const char16_t* p, int32_t length) {
    check(length > 0);
    record(kind, p, p + length);
  }
  void checkChunkReports() {
    check(reports_ == expected_);
    reports_.clear();
    expected_.clear();
  }

  const char16_t* begin_ = nullptr;
  const char16_t* end_ = nullptr;
  TReferenceScanner reference_;
  std::vector<TReport> expected_;
  std::vector<TReport> reports_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  __kvstrW page;
  fromUtf8(page, reinterpret_cast<const char*>(data), static_cast<int32_t>(size));
  // An exact-size copy, so that ASan sees any read past the text's NUL.
  std::vector<char16_t> text(page.str(), page.str() + page.length() + 1);
  {
    TCheckingParser fromText;
    fromText.setInput(text.data());
    fromText.parse();
  }
  // The bytes up to the first zero byte, which ends the page as its NUL does.
  const auto* bytes = reinterpret_cast<const char*>(data);
  const void* zero = std::memchr(bytes, 0, size);
  const size_t count = zero ? static_cast<size_t>(static_cast<const char*>(zero) - bytes) : size;
  TCheckingParser fromBytes;
  fromBytes.setUtf8Input(bytes, static_cast<int32_t>(count));
  fromBytes.parse();
  return 0;
}
