// The tokenizer fed from a wide text in memory, or from a text file when no
// text was given. Line terminators (CR, LF, CRLF) never reach the handlers, so
// a tag or text run spanning lines arrives cut at each line end.
#pragma once

#include "html/html_parser.h"
#include "textlib/text_file.h"

class THtmlStreamParser : public THtmlParser {
 public:
  THtmlStreamParser() = default;

  /// Reads `text` line by line, each line copied (readChunk): the caller keeps
  /// it alive through parse() and gets it back unchanged.
  bool setInput(const char16_t* text);
  /// Reads `text` in place: parse() ends each line where it lies, writing a
  /// NUL over its CR or LF, so that no line is copied. The caller keeps the
  /// text (shorter than INT32_MAX units, as any __kvstrW) alive through
  /// parse() and gets it back cut into lines.
  bool setWritableInput(char16_t* text);
  /// Delivers the next line of a text given to setInput (or of the file)
  /// without its terminator; false at the end.
  bool readChunk(__kvstrW& chunk) override;

  /// Where reading stands: after a whole parse, the NUL that ends the text.
  const char16_t* position() const { return writableInput ? writableInput : input; }

 protected:
  ~THtmlStreamParser() = default;

  /// The writable input's cursor, which parse moves along.
  char16_t** inPlaceCursor() override { return writableInput ? &writableInput : nullptr; }

  /// The fallback input, used only while no text was set; never opened here.
  TIFile file;
  /// The rest of the text given to setInput, or null.
  const char16_t* input = nullptr;
  /// The rest of the text given to setWritableInput, or null.
  char16_t* writableInput = nullptr;
};
