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
  /// Reads `text` in place and ends each line where it lies, writing a NUL
  /// over its CR or LF, so that no line is copied; parse() finds the line ends
  /// as it tokenizes, in the same pass. The caller keeps the text (shorter
  /// than INT32_MAX units, as any __kvstrW) alive through parse() and gets it
  /// back cut into lines.
  bool setWritableInput(char16_t* text);
  /// Delivers the next line without its terminator; false at the end.
  bool readChunk(__kvstrW& chunk) override;
  /// With a writable input, the next line where it lies; else as readChunk.
  const char16_t* nextChunk(__kvstrW& buffer) override;

  /// Where reading stands: after a whole parse, the NUL that ends the text.
  const char16_t* position() const { return input; }

 protected:
  ~THtmlStreamParser() = default;

  /// The rest of a writable input, for parse to cut into lines itself.
  char16_t* writableRest() override;
  void continueAt(char16_t* next) override;

  /// The end of the line that begins at `input`: its CR, LF or the text's
  /// NUL, or the chunk limit. `*next` receives where the following line begins.
  const char16_t* findLineEnd(const char16_t** next) const;

  /// The fallback input, used only while no text was set; never opened here.
  TIFile file;
  /// The rest of the caller's text, or null.
  const char16_t* input = nullptr;
  /// The rest of the caller's text when it may be written (setWritableInput),
  /// else null; it moves along with `input`.
  char16_t* writableInput = nullptr;
};
