// Line-by-line input for the tokenizer: CR, LF and CRLF end a line, and no
// terminator reaches the tokenizer. A writable text is handed to parse whole
// (writableRest), which finds and cuts its line ends while tokenizing; the
// line reading here serves every other caller.
#include "html/stream_parser.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

/// A chunk is a __kvstrW, so a longer line is delivered in pieces of this size.
constexpr std::ptrdiff_t kMaxChunkLength = INT32_MAX - 1;

/// CR, LF and the text's NUL; one comparison decides for every other unit.
constexpr bool endsLine(char16_t c) { return c <= u'\r' && (c == 0 || c == u'\r' || c == u'\n'); }

}  // namespace

bool THtmlStreamParser::setInput(const char16_t* text) {
  input = text;
  writableInput = nullptr;
  return true;
}

bool THtmlStreamParser::setWritableInput(char16_t* text) {
  input = text;
  writableInput = text;
  return true;
}

char16_t* THtmlStreamParser::writableRest() { return writableInput; }

void THtmlStreamParser::continueAt(char16_t* next) {
  writableInput = next;
  input = next;
}

const char16_t* THtmlStreamParser::findLineEnd(const char16_t** next) const {
  const char16_t* lineEnd = input;
  while (!endsLine(*lineEnd) && lineEnd - input < kMaxChunkLength) ++lineEnd;
  *next = lineEnd;
  switch (*lineEnd) {
    case 0x0D:  // CR: a following LF belongs to the same line end
      *next += lineEnd[1] == u'\n' ? 2 : 1;
      break;
    case 0x0A:  // LF
      *next += 1;
      break;
    default:
      break;  // the NUL, or a line cut at the chunk limit
  }
  return lineEnd;
}

bool THtmlStreamParser::readChunk(__kvstrW& chunk) {
  if (!input) return file.readLine(chunk) != -1;  // the file is never opened here: end of input

  const char16_t* next = nullptr;
  const char16_t* lineEnd = findLineEnd(&next);
  if (next == input) return false;  // at the NUL: stays there, so every later call ends too

  // The line holds no NUL (the scan stopped at the first), so it is copied in
  // one block rather than unit by unit.
  const size_t length = static_cast<size_t>(lineEnd - input);
  char16_t* line = kvdetail::allocateArray<char16_t>(static_cast<int64_t>(length) + 1);
  std::memcpy(line, input, length * sizeof(char16_t));
  line[length] = 0;
  chunk.attach(line);
  if (writableInput) writableInput += next - input;  // a writable text's over-long line, copied
  input = next;
  return true;
}

const char16_t* THtmlStreamParser::nextChunk(__kvstrW& buffer) {
  if (!writableInput) return THtmlParser::nextChunk(buffer);

  const char16_t* next = nullptr;
  const char16_t* lineEnd = findLineEnd(&next);
  if (next == input) return nullptr;  // at the NUL, as readChunk
  // A line cut at the chunk limit has no terminator to overwrite: copied.
  if (!endsLine(*lineEnd)) return THtmlParser::nextChunk(buffer);

  char16_t* line = writableInput;
  line[lineEnd - input] = 0;  // the CR or LF (or the NUL itself)
  continueAt(line + (next - input));
  return line;
}
