// The tokenizer fed from a wide text in memory, from UTF-8 bytes, or from a
// text file when neither was given. Line terminators (CR, LF, CRLF) never
// reach the handlers, so a tag or text run spanning lines arrives cut at each
// line end.
#pragma once

#include <functional>

#include "html/html_parser.h"
#include "textlib/text_file.h"

class THtmlStreamParser : public THtmlParser {
 public:
  THtmlStreamParser() = default;

  /// Reads the NUL-terminated `text` (null reads as empty), copied once, a
  /// block of whole lines at a time. The caller keeps it alive through
  /// parse() and gets it back unchanged. Always true.
  bool setInput(const char16_t* text);
  /// Reads the UTF-8 bytes [bytes, bytes + count), which hold no zero byte,
  /// a block of whole lines at a time, each decoded just before it is read,
  /// so that the wide text of the whole input never exists at once. The
  /// caller keeps the bytes alive until `allDecoded` is called (once the last
  /// block is decoded, before it is tokenized; never for empty input), or
  /// through parse() when it is empty. Always true. This is the lookup's input.
  bool setUtf8Input(const char* bytes, int32_t count, std::function<void()> allDecoded = {});
  /// Delivers the next block of the text given last, or the next line of the
  /// file without its terminator, and returns its length; -1 at the end.
  int32_t readChunk(__kvstrW& chunk) override;

  /// Units of wide text decoded from UTF-8 input so far: after a whole parse,
  /// the length of the input's text.
  int64_t decodedUnits() const { return decodedUnits_; }

 protected:
  ~THtmlStreamParser() = default;

  /// The input while no text was given. Nothing in the plug-in opens it (the
  /// lookup reads UTF-8), so here it reports the end of input at once.
  TIFile file;
  /// The rest [input, inputEnd) of the text given to setInput, or null.
  const char16_t* input = nullptr;
  const char16_t* inputEnd = nullptr;
  /// The rest [utf8Input, utf8End) of the bytes given to setUtf8Input, or null.
  const char* utf8Input = nullptr;
  const char* utf8End = nullptr;
  std::function<void()> utf8AllDecoded;
  int64_t decodedUnits_ = 0;

 private:
  int32_t readUtf8Block(__kvstrW& chunk);
  int32_t readWideBlock(__kvstrW& chunk);
  /// Storage in `chunk` for a block of at most `units` units and its NUL.
  char16_t* blockStorage(__kvstrW& chunk, int32_t units);
  /// The storage the last block was decoded into, and how many units it holds.
  const char16_t* blockStorage_ = nullptr;
  int64_t blockCapacity_ = 0;
};
