// A small, forgiving, callback-driven HTML tokenizer. `parse` reports start
// tags, end tags, text runs and comments, in document order, through the
// handler slots; it builds no tree and decodes no entity. Every pointer handed
// to a handler points into the current line and is valid only during the
// call: [name, end) for tags (end at the ">", or at the line's NUL for a tag
// cut by the line's end), [p, p + length) for text. Handlers copy what they
// keep.
#pragma once

#include <cstdint>
#include <map>
#include <string_view>

#include "textlib/diagnostics.h"
#include "textlib/kvstr.h"

using AttributeMap = std::map<__kvstrW, __kvstrW>;

class THtmlParser {
 public:
  THtmlParser() = default;
  THtmlParser(const THtmlParser&) = delete;
  THtmlParser& operator=(const THtmlParser&) = delete;

  /// Replaces `chunk` with the next piece of input (no NUL inside; may be
  /// empty) and returns its length in units, or -1 when the input is
  /// exhausted. A CR, LF or CRLF inside a chunk ends a line there; parse
  /// overwrites it with the line's NUL, so a handler reads only what it is
  /// given or, past a run, up to the "<" or the NUL that follows it.
  virtual int32_t readChunk(__kvstrW& chunk) = 0;
  // The handler slots do nothing here; a derived class overrides what it needs.
  /// A start tag: [name, end) is the name and attributes as written, `name`
  /// at the first non-blank unit after "<".
  virtual void onStartTag(const char16_t* name, const char16_t* end);
  /// An end tag: `name` at the first non-blank unit after "</".
  virtual void onEndTag(const char16_t* name, const char16_t* end);
  /// "<!--" was seen; `p` points just after it.
  virtual void onCommentBegin(const char16_t* p);
  /// "-->" was seen; `p` points at its first "-".
  virtual void onCommentEnd(const char16_t* p);
  /// [p, p + length) is text between tags; length > 0, cut at line ends.
  virtual void onText(const char16_t* p, int32_t length);
  /// [p, p + length) is text inside a comment; length > 0, cut at line ends.
  virtual void onCommentText(const char16_t* p, int32_t length);

  /// Tokenizes until the input ends or stopRequested is set; always true.
  bool parse();

  /// Adds the attributes of the start tag [tagText, end) to `attributes`,
  /// replacing values of names already present. Valueless attributes get "0".
  static void parseAttributes(const char16_t* tagText, const char16_t* end, AttributeMap& attributes);
  /// The value of `attributeName` (exact, case-sensitive) in the start tag
  /// [tagText, end), or an absent string.
  static __kvstrW getAttribute(const char16_t* tagText, const char16_t* end,
                               const char16_t* attributeName);
  /// getAttribute's value where it lies, without a copy: empty when absent
  /// or empty; valid as long as the tag text.
  static std::u16string_view attributeValue(const char16_t* tagText, const char16_t* end,
                                            std::u16string_view attributeName);

  /// Checked before each chunk; parse ends once it is set.
  bool stopRequested = false;

  /// The diagnostic lines of this parser: parse writes them between chunks
  /// once they are many and before it returns, the parser's end what an
  /// exception left.
  TDiagnostics& diagnostics() { return diagnostics_; }

  /// The line of the input that the reports now made lie on, counted from 0
  /// over every parse: two reports lie on one line when it is the same for
  /// both.
  int64_t lineNumber() const { return lineNumber_; }

 protected:
  // Parsers live on their owner's stack and are never deleted through this
  // base, so it carries no virtual destructor.
  ~THtmlParser() = default;

 private:
  TDiagnostics diagnostics_;
  int64_t lineNumber_ = 0;
};
