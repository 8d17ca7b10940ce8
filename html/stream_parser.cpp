// Both kinds of text input are read a block of whole lines at a time into one
// chunk, which parse cuts into lines in place: wide text copied, UTF-8
// decoded. Only a text file is read line by line.
#include "html/stream_parser.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "textlib/text_util.h"
#include "textlib/utf8.h"

namespace {

/// A block of input is at least this long, then runs on to the end of the
/// line it ends in: small enough to stay in the cache while it is tokenized,
/// large enough that its allocation costs nothing.
constexpr std::ptrdiff_t kBlockLength = 64 << 10;

/// A chunk is a __kvstrW, so a wide block holds at most this many units; a
/// longer line is delivered in pieces.
constexpr std::ptrdiff_t kMaxChunkLength = INT32_MAX - 1;

/// The first CR or LF in [p, end), or end.
const char* findLineEnd(const char* p, const char* end) { return findByte(p, findByte(p, end, '\n'), '\r'); }
const char16_t* findLineEnd(const char16_t* p, const char16_t* end) {
  return findEitherUnit(p, end, u'\r', u'\n');
}

/// Where the block of input that begins at `from` ends: just after the first
/// line end from kBlockLength on (a CR LF whole), or at `end`. A CR or LF byte
/// is never part of a UTF-8 sequence, valid or not, so a block decodes to
/// exactly the units the whole input gives there.
template <class Unit>
const Unit* blockEnd(const Unit* from, const Unit* end) {
  if (end - from <= kBlockLength) return end;
  const Unit* const lineEnd = findLineEnd(from + kBlockLength, end);
  return lineEnd + lineEndLength(lineEnd, end);
}

}  // namespace

bool THtmlStreamParser::setInput(const char16_t* text) {
  input = text ? text : u"";
  inputEnd = input + std::char_traits<char16_t>::length(input);
  utf8Input = nullptr;  // UTF-8 input given before would be read first
  utf8End = nullptr;
  utf8AllDecoded = nullptr;
  blockStorage_ = nullptr;
  return true;
}

bool THtmlStreamParser::setUtf8Input(const char* bytes, int32_t count, std::function<void()> allDecoded) {
  input = nullptr;
  inputEnd = nullptr;
  utf8Input = bytes ? bytes : "";
  utf8End = utf8Input + (bytes && count > 0 ? count : 0);
  utf8AllDecoded = std::move(allDecoded);
  decodedUnits_ = 0;
  blockStorage_ = nullptr;
  return true;
}

char16_t* THtmlStreamParser::blockStorage(__kvstrW& chunk, int32_t units) {
  // The chunk the last block went into comes back with the next call and is
  // filled again: a page's blocks differ by the rest of a line at most, so the
  // slack makes one allocation serve them all.
  const int64_t needed = int64_t{units} + 1;
  if (chunk.data() != blockStorage_ || blockCapacity_ < needed) {
    const int64_t capacity = needed + kBlockLength / 16;
    chunk.attach(allocateArray<char16_t>(capacity));
    blockStorage_ = chunk.data();
    blockCapacity_ = capacity;
  }
  return chunk.data();
}

int32_t THtmlStreamParser::readUtf8Block(__kvstrW& chunk) {
  if (utf8Input == utf8End) return -1;
  const char* const end = blockEnd(utf8Input, utf8End);
  const auto bytes = static_cast<int32_t>(end - utf8Input);
  // No byte gives more than one unit (a four-byte sequence gives two).
  const int32_t units = decodeUtf8(utf8Input, bytes, blockStorage(chunk, bytes));
  decodedUnits_ += units;
  utf8Input = end;
  // A page that is one long line is one block: its bytes may go before the
  // block is tokenized.
  if (end == utf8End && utf8AllDecoded) utf8AllDecoded();
  return units;
}

int32_t THtmlStreamParser::readWideBlock(__kvstrW& chunk) {
  if (input == inputEnd) return -1;  // stays there, so every later call ends too
  const char16_t* const limit = inputEnd - input > kMaxChunkLength ? input + kMaxChunkLength : inputEnd;
  const char16_t* const end = blockEnd(input, limit);
  const auto units = static_cast<int32_t>(end - input);
  char16_t* const block = blockStorage(chunk, units);
  // The text holds no NUL before its end, so the block is copied in one piece.
  std::memcpy(block, input, static_cast<size_t>(units) * sizeof(char16_t));
  block[units] = 0;
  input = end;
  return units;
}

int32_t THtmlStreamParser::readChunk(__kvstrW& chunk) {
  if (utf8Input) return readUtf8Block(chunk);
  if (input) return readWideBlock(chunk);
  return file.readLine(chunk);  // never opened here: the end of input at once
}
