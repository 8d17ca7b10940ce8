// Line-by-line reading of a text given to setInput: CR, LF and CRLF end a
// line, and no terminator reaches the tokenizer. A writable text needs none of
// this: parse reads it in place.
#include "html/stream_parser.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "textlib/text_util.h"

namespace {

/// A chunk is a __kvstrW, so a longer line is delivered in pieces of this size.
constexpr std::ptrdiff_t kMaxChunkLength = INT32_MAX - 1;

/// CR, LF and the text's NUL; one comparison decides for every other unit.
constexpr bool endsLine(char16_t c) { return c <= u'\r' && (c == 0 || c == u'\r' || c == u'\n'); }

/// The end of the line that begins at `line`: its CR, LF or the text's NUL,
/// or the chunk limit. `*next` receives where the following line begins.
const char16_t* findLineEnd(const char16_t* line, const char16_t** next) {
  const char16_t* lineEnd = line;
  while (!endsLine(*lineEnd) && lineEnd - line < kMaxChunkLength) ++lineEnd;
  *next = lineEnd;
  if (*lineEnd == u'\r') {
    *next += lineEnd[1] == u'\n' ? 2 : 1;  // a following LF belongs to the same line end
  } else if (*lineEnd == u'\n') {
    *next += 1;
  }
  return lineEnd;
}

}  // namespace

bool THtmlStreamParser::setInput(const char16_t* text) {
  input = text;
  writableInput = nullptr;
  return true;
}

bool THtmlStreamParser::setWritableInput(char16_t* text) {
  input = nullptr;
  writableInput = text;
  return true;
}

bool THtmlStreamParser::readChunk(__kvstrW& chunk) {
  if (!input) return file.readLine(chunk) != -1;  // the file is never opened here: end of input

  const char16_t* next = nullptr;
  const char16_t* lineEnd = findLineEnd(input, &next);
  if (next == input) return false;  // at the NUL: stays there, so every later call ends too

  // The line holds no NUL (the scan stopped at the first), so it is copied in
  // one block rather than unit by unit.
  const size_t length = static_cast<size_t>(lineEnd - input);
  char16_t* line = allocateArray<char16_t>(static_cast<int64_t>(length) + 1);
  std::memcpy(line, input, length * sizeof(char16_t));
  line[length] = 0;
  chunk.attach(line);
  input = next;
  return true;
}
