// The tokenizer fed from a wide text in memory, from UTF-8 bytes a block of
// lines at a time, or from a text file when neither was given. Line
// terminators (CR, LF, CRLF) never reach the handlers, so a tag or text run
// spanning lines arrives cut at each line end.
#pragma once

#include <functional>

#include "html/html_parser.h"
#include "textlib/text_file.h"

class THtmlStreamParser : public THtmlParser {
 public:
  THtmlStreamParser() = default;

  /// Reads `text` line by line, each line copied (readChunk): the caller keeps
  /// it alive through parse() and gets it back unchanged.
  bool setInput(const char16_t* text);
  /// Reads the UTF-8 bytes [bytes, bytes + count), which hold no zero byte,
  /// a block of whole lines at a time: each block is decoded, then tokenized
  /// in place, so that the wide text of the whole input never exists at once.
  /// The caller keeps the bytes alive until `allDecoded` is called (once the
  /// last block is decoded, before it is tokenized; never for empty input),
  /// or through parse() when it is empty.
  bool setUtf8Input(const char* bytes, int32_t count, std::function<void()> allDecoded = {});
  /// Delivers the next line of a text given to setInput (or of the file)
  /// without its terminator, or the next block of UTF-8 input, and returns
  /// its length; -1 at the end. A chunk that still holds the block delivered
  /// last is decoded into again.
  int32_t readChunk(__kvstrW& chunk) override;

  /// Units of wide text decoded from UTF-8 input so far: after a whole parse,
  /// the length of the input's text.
  int64_t decodedUnits() const { return decodedUnits_; }

 protected:
  ~THtmlStreamParser() = default;

  /// The fallback input, used only while no text was set; never opened here.
  TIFile file;
  /// The rest of the text given to setInput, or null.
  const char16_t* input = nullptr;
  /// The rest [utf8Input, utf8End) of the bytes given to setUtf8Input, or null.
  const char* utf8Input = nullptr;
  const char* utf8End = nullptr;
  std::function<void()> utf8AllDecoded;
  int64_t decodedUnits_ = 0;

 private:
  /// Storage in `chunk` for the text of a block of `bytes` UTF-8 bytes.
  char16_t* blockStorage(__kvstrW& chunk, int32_t bytes);
  /// The storage the last block was decoded into, and how many units it holds.
  const char16_t* blockStorage_ = nullptr;
  int64_t blockCapacity_ = 0;
};
