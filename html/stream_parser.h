// The tokenizer fed line by line from a wide text in memory, or from a text
// file when no text was given. Line terminators (CR, LF, CRLF) never reach the
// tokenizer, so a tag or text run spanning lines arrives cut at each line end.
#pragma once

#include "html/html_parser.h"
#include "textlib/text_file.h"

class THtmlStreamParser : public THtmlParser {
 public:
  THtmlStreamParser() = default;

  /// Reads `text` in place: the caller keeps it alive through parse().
  bool setInput(const char16_t* text);
  /// Delivers the next line without its terminator; false at the end.
  bool readChunk(__kvstrW& chunk) override;

 protected:
  ~THtmlStreamParser() = default;

  /// The fallback input, used only while no text was set; never opened here.
  TIFile file;
  /// The rest of the caller's text, or null.
  const char16_t* input = nullptr;
};
