// Line-by-line reading of a text given to setInput: CR, LF and CRLF end a
// line, and no terminator reaches the tokenizer. Block-by-block decoding of
// UTF-8 input, each block whole lines, which parse cuts in place.
#include "html/stream_parser.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "textlib/text_util.h"
#include "textlib/utf8.h"

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

/// A block of UTF-8 input is at least this long, then runs on to the end of
/// the line it ends in: small enough to stay in the cache while it is
/// tokenized, large enough that its allocation costs nothing.
constexpr std::ptrdiff_t kUtf8BlockBytes = 64 << 10;

/// Where the block of UTF-8 input that begins at `from` ends: just after the
/// first line terminator from kUtf8BlockBytes on (a CRLF whole), or at `end`.
/// A CR or LF byte is never part of a sequence, valid or not, so the block
/// decodes to exactly the units the whole input gives there.
const char* utf8BlockEnd(const char* from, const char* end) {
  if (end - from <= kUtf8BlockBytes) return end;
  const char* const p = from + kUtf8BlockBytes;
  const size_t rest = static_cast<size_t>(end - p);
  const auto* lf = static_cast<const char*>(std::memchr(p, '\n', rest));
  const auto* cr = static_cast<const char*>(std::memchr(p, '\r', lf ? static_cast<size_t>(lf - p) : rest));
  if (cr) return cr + (end - cr > 1 && cr[1] == '\n' ? 2 : 1);
  return lf ? lf + 1 : end;
}

}  // namespace

bool THtmlStreamParser::setInput(const char16_t* text) {
  input = text;
  utf8Input = nullptr;  // UTF-8 input given before would be read first
  utf8End = nullptr;
  utf8AllDecoded = nullptr;
  return true;
}

bool THtmlStreamParser::setUtf8Input(const char* bytes, int32_t count, std::function<void()> allDecoded) {
  input = nullptr;
  utf8Input = bytes ? bytes : "";
  utf8End = utf8Input + (bytes && count > 0 ? count : 0);
  utf8AllDecoded = std::move(allDecoded);
  decodedUnits_ = 0;
  blockStorage_ = nullptr;
  return true;
}

char16_t* THtmlStreamParser::blockStorage(__kvstrW& chunk, int32_t bytes) {
  // No byte gives more than one unit (a four-byte sequence gives two), so a
  // block's text and its NUL fit bytes + 1 units. The chunk the last block
  // went into comes back with the next call and is decoded into again: a
  // page's blocks differ by the rest of a line at most, so the slack makes one
  // allocation serve them all.
  const int64_t needed = int64_t{bytes} + 1;
  if (chunk.data() != blockStorage_ || blockCapacity_ < needed) {
    const int64_t capacity = needed + kUtf8BlockBytes / 16;
    chunk.attach(allocateArray<char16_t>(capacity));
    blockStorage_ = chunk.data();
    blockCapacity_ = capacity;
  }
  return chunk.data();
}

int32_t THtmlStreamParser::readChunk(__kvstrW& chunk) {
  if (utf8Input) {
    if (utf8Input == utf8End) return -1;
    const char* const blockEnd = utf8BlockEnd(utf8Input, utf8End);
    const auto bytes = static_cast<int32_t>(blockEnd - utf8Input);
    const int32_t units = decodeUtf8(utf8Input, bytes, blockStorage(chunk, bytes));
    decodedUnits_ += units;
    utf8Input = blockEnd;
    // A page that is one long line is one block: its bytes may go before the
    // block is tokenized.
    if (blockEnd == utf8End && utf8AllDecoded) utf8AllDecoded();
    return units;
  }
  if (!input) return file.readLine(chunk);  // the file is never opened here: end of input

  const char16_t* next = nullptr;
  const char16_t* lineEnd = findLineEnd(input, &next);
  if (next == input) return -1;  // at the NUL: stays there, so every later call ends too

  // The line holds no NUL (the scan stopped at the first), so it is copied in
  // one block rather than unit by unit.
  const size_t length = static_cast<size_t>(lineEnd - input);
  char16_t* line = allocateArray<char16_t>(static_cast<int64_t>(length) + 1);
  std::memcpy(line, input, length * sizeof(char16_t));
  line[length] = 0;
  chunk.attach(line);
  input = next;
  return static_cast<int32_t>(length);
}
