// The tokenizer: one pass over each chunk, four modes, reports by pointer.
//
// What must outlive a line (the mode, the open tag's "<") sits in
// TRunState; the pending text and comment starts are cursors of one line. Each
// scanner seeks the next unit that matters in its mode, then decides, and
// returns whether it stopped at the line's end. Lookahead for "<!--" and "-->"
// compares unit by unit against units that are neither NUL, CR nor LF, so it
// never reads past the line's end.
//
// The seeking is done by a stop index: a window of units is classified once
// into one bit mask per class of stop, and the scan holds its place as bits of
// that window. Going from one stop to the next is then a few bit operations
// that do not wait for the text, where a unit-by-unit search, or a search
// started afresh at each stop, would wait on every unit or every stop: runs
// between stops are a few units long.
//
// Every line is read where it lies, in the chunk readChunk delivered. The scan
// stops at CR, LF and NUL alike, and the line end is cut there, a NUL written
// over its terminator before the reports that close the line. Handlers
// therefore see runs ending before "<" mid-line, and the line's NUL after a
// run or tag at its end. A cut turns a unit that ends the line into another
// that does, so the classified window stays true.
#include "html/html_parser.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "textlib/text_util.h"

#ifdef DX_SIMD_SSE2
#include <emmintrin.h>
#endif

namespace {

constexpr char kOpenTagWarning[] = "WARNING!! - open tag\n";

enum class Mode { Text, Tag, Quoted, Comment };
constexpr int kModeCount = 4;

/// CR, LF and the NUL end a line.
constexpr bool endsLine(char16_t c) { return c == 0 || isLineEnd(c); }
/// Control characters and the space, but never a unit that ends the line.
constexpr bool isBlankInLine(char16_t c) { return c <= 32 && !endsLine(c); }
const char16_t* skipBlanks(const char16_t* p) {
  while (isBlankInLine(*p)) ++p;
  return p;
}

/// A window's units of one class, bit i for unit i: a register wide, so 64
/// units on a 64-bit target and 32 on a 32-bit one.
using TStopMask = uintptr_t;
constexpr int kWindowUnits = static_cast<int>(sizeof(TStopMask) * 8);

inline int countTrailingZeros(TStopMask mask) {
  if constexpr (sizeof(TStopMask) == sizeof(unsigned long long)) {
    return __builtin_ctzll(mask);
  } else {
    return __builtin_ctz(mask);
  }
}

/// The units of a window that the text and tag scanners stop at, by class.
/// Dashes matter only inside comments, which are rare, so they are found
/// apart (dashesOfWindow) and only when a comment is open.
struct TWindowClasses {
  TStopMask lineEnd = 0;  // CR and LF: the chunk's one NUL is its known last unit
  TStopMask lessThan = 0;
  TStopMask greaterThan = 0;
  TStopMask quote = 0;
};

#ifdef DX_SIMD_SSE2
/// The 16 units at `units` as bytes. Signed saturation keeps the units below
/// 128 and turns every other one into 0x7F or a byte from 0x80 up, none of
/// them a stop. (Unsigned saturation would turn the units from 0x8000 up into
/// NULs.)
__m128i packUnits(const char16_t* units) {
  const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units));
  const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + 8));
  return _mm_packs_epi16(low, high);
}

/// The lanes of a comparison as bits `offset` on of a window's mask.
TStopMask maskOf(__m128i lanes, int offset) {
  return static_cast<TStopMask>(static_cast<unsigned>(_mm_movemask_epi8(lanes))) << offset;
}

/// Classifies the kWindowUnits units at `units`, 16 at a time.
TWindowClasses classifyWindow(const char16_t* units) {
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lessThan = _mm_set1_epi8('<');
  const __m128i greaterThan = _mm_set1_epi8('>');
  const __m128i quote = _mm_set1_epi8('"');
  TWindowClasses found;
  for (int i = 0; i < kWindowUnits; i += 16) {
    const __m128i bytes = packUnits(units + i);
    found.lineEnd |= maskOf(_mm_or_si128(_mm_cmpeq_epi8(bytes, lf), _mm_cmpeq_epi8(bytes, cr)), i);
    found.lessThan |= maskOf(_mm_cmpeq_epi8(bytes, lessThan), i);
    found.greaterThan |= maskOf(_mm_cmpeq_epi8(bytes, greaterThan), i);
    found.quote |= maskOf(_mm_cmpeq_epi8(bytes, quote), i);
  }
  return found;
}

TStopMask dashesOfWindow(const char16_t* units) {
  const __m128i dash = _mm_set1_epi8('-');
  TStopMask found = 0;
  for (int i = 0; i < kWindowUnits; i += 16) found |= maskOf(_mm_cmpeq_epi8(packUnits(units + i), dash), i);
  return found;
}
#else
/// The class bits of the units below 64, the range of every stop.
enum : uint8_t { kLineEndBit = 1, kLessThanBit = 2, kGreaterThanBit = 4, kQuoteBit = 8 };
constexpr auto kClassBits = [] {
  struct {
    uint8_t of[64] = {};
  } table;
  table.of[u'\r'] = table.of[u'\n'] = kLineEndBit;
  table.of[u'<'] = kLessThanBit;
  table.of[u'>'] = kGreaterThanBit;
  table.of[u'"'] = kQuoteBit;
  return table;
}();

/// Classifies the kWindowUnits units at `units`, one at a time.
TWindowClasses classifyWindow(const char16_t* units) {
  TWindowClasses found;
  for (int i = 0; i < kWindowUnits; ++i) {
    const char16_t c = units[i];
    // Most units are letters, above every stop, so that test comes first.
    if (__builtin_expect(c >= 64, 1)) continue;
    const unsigned bits = kClassBits.of[c];
    if (!bits) continue;
    const auto bit = [i, bits](unsigned classBit) { return static_cast<TStopMask>((bits & classBit) != 0) << i; };
    found.lineEnd |= bit(kLineEndBit);
    found.lessThan |= bit(kLessThanBit);
    found.greaterThan |= bit(kGreaterThanBit);
    found.quote |= bit(kQuoteBit);
  }
  return found;
}

TStopMask dashesOfWindow(const char16_t* units) {
  TStopMask found = 0;
  for (int i = 0; i < kWindowUnits; ++i) found |= static_cast<TStopMask>(units[i] == u'-') << i;
  return found;
}
#endif

/// The scan's place in a chunk: a classified window of units and the stop the
/// scan is at, held as bits of that window. A scanner seeks the next stop of
/// its mode, asks what it is, and steps past it. Windows are read only up to
/// the chunk's NUL, which stops every mode; the scan never passes it.
class TStopIndex {
 public:
  /// `text` holds `length` units and its NUL.
  TStopIndex(char16_t* text, int32_t length) : textEnd_(text + length + 1) { classifyFrom(text); }

  /// Moves to the first stop of `mode` at or after the place.
  void seek(Mode mode) {
    for (;;) {
      if (mode == Mode::Comment && !dashesFound_) findDashes();
      const TStopMask ahead = stops_[static_cast<int>(mode)] & from_;
      if (ahead) {
        at_ = ahead & (0 - ahead);  // the lowest bit
        return;
      }
      classifyFrom(base_ + kWindowUnits);
    }
  }
  bool atLineEnd() const { return (at_ & lineEnd_) != 0; }
  const char16_t* textNul() const { return textEnd_ - 1; }
  bool atQuote() const { return (at_ & quote_) != 0; }
  /// The unit of the stop sought last.
  char16_t* where() const { return base_ + countTrailingZeros(at_); }
  /// Places the scan just after the stop sought last (past the window when
  /// it was the window's last unit).
  void stepPast() { from_ = 0 - (at_ << 1); }
  /// Places the scan at `p`, which lies at or after the stop sought last and
  /// at or before the chunk's NUL.
  void moveTo(char16_t* p) {
    const auto offset = static_cast<size_t>(p - base_);
    if (offset < kWindowUnits) {
      from_ = ~TStopMask{0} << offset;
    } else {
      classifyFrom(p);
    }
  }

 private:
  void classifyFrom(char16_t* from) {
    base_ = from;
    from_ = ~TStopMask{0};
    const TWindowClasses classes = classifyAt(from, classifyWindow);
    lineEnd_ = classes.lineEnd;
    // The chunk's only NUL is its last unit, so the classes leave NULs out
    // and its bit is set here, with those of the units after it.
    const ptrdiff_t left = textEnd_ - from;
    if (left <= kWindowUnits) lineEnd_ |= ~TStopMask{0} << (left - 1);
    quote_ = classes.quote;
    stops_[static_cast<int>(Mode::Text)] = lineEnd_ | classes.lessThan;
    stops_[static_cast<int>(Mode::Tag)] = lineEnd_ | classes.greaterThan | classes.quote;
    stops_[static_cast<int>(Mode::Quoted)] = lineEnd_ | classes.quote;
    stops_[static_cast<int>(Mode::Comment)] = lineEnd_;
    dashesFound_ = false;
  }
  void findDashes() {
    stops_[static_cast<int>(Mode::Comment)] |= classifyAt(base_, dashesOfWindow);
    dashesFound_ = true;
  }
  /// classify applied to the window at `from`. The chunk's last window is
  /// classified from a copy of its units and NUL followed by more NULs, so
  /// that no load reaches past the chunk.
  template <class Classes>
  Classes classifyAt(const char16_t* from, Classes (*classify)(const char16_t*)) const {
    if (textEnd_ - from >= kWindowUnits) return classify(from);
    char16_t tail[kWindowUnits] = {};
    std::memcpy(tail, from, static_cast<size_t>(textEnd_ - from) * sizeof(char16_t));
    return classify(tail);
  }

  char16_t* const textEnd_;
  char16_t* base_ = nullptr;
  TStopMask from_ = 0;  // the units from the place on
  TStopMask at_ = 0;    // the stop sought last, one bit
  TStopMask lineEnd_ = 0;
  TStopMask quote_ = 0;
  TStopMask stops_[kModeCount] = {};
  bool dashesFound_ = false;  // stops_ of Mode::Comment hold the window's dashes
};

/// What survives from one line to the next.
struct TRunState {
  Mode mode = Mode::Text;
  /// The "<" of the open tag; null once the tag was reported early because
  /// the line ended inside it.
  const char16_t* tagOpener = nullptr;
};

class TLineScan {
 public:
  TLineScan(THtmlParser& handler, TRunState& run, TStopIndex& stops, const char16_t* line)
      : handler_(handler),
        run_(run),
        stops_(stops),
        textStart_(run.mode == Mode::Text ? line : nullptr),
        commentStart_(run.mode == Mode::Comment ? line : nullptr) {}

  /// Tokenizes the line that begins at `line` and cuts it: its CR, LF or CRLF
  /// becomes one NUL. Returns where the next line begins, or the text's NUL
  /// after the last line.
  char16_t* scanLine(char16_t* line) {
    stops_.moveTo(line);
    char16_t* const cut = scanToLineEnd();
    char16_t* const next = cut + lineEndLength(cut, stops_.textNul());
    // Before the reports that close the line: a handler may read a run or a
    // tag up to the line's NUL.
    *cut = 0;
    finishLine(cut);
    return next;
  }

 private:
  char16_t* scanToLineEnd() {
    bool atLineEnd = false;
    while (!atLineEnd) {
      switch (run_.mode) {
        case Mode::Text:    atLineEnd = scanText();    break;
        case Mode::Tag:     atLineEnd = scanTag();     break;
        case Mode::Quoted:  atLineEnd = scanQuoted();  break;
        case Mode::Comment: atLineEnd = scanComment(); break;
      }
    }
    return stops_.where();
  }

  /// Text and tags alternate on most lines, so the text scanner runs on
  /// through each tag it opens and back into the text after it. Each scanner
  /// returns true at the line's end, or false when it hands over to another
  /// mode.
  bool scanText() {
    for (;;) {
      stops_.seek(Mode::Text);
      if (stops_.atLineEnd()) return true;
      char16_t* const lessThan = stops_.where();
      flushText(lessThan);
      if (lessThan[1] == u'!' && lessThan[2] == u'-' && lessThan[3] == u'-') {
        openComment(lessThan + 4);
        return false;
      }
      openTag(lessThan);
      if (scanTag()) return true;
    }
  }

  /// `p` is just after "<!--".
  void openComment(char16_t* p) {
    commentStart_ = p;
    handler_.onCommentBegin(p);
    run_.mode = Mode::Comment;
    stops_.moveTo(p);
  }

  /// `lessThan` is at the "<" that opens a tag. The tag is scanned from just
  /// after it: the "/" and blanks before the name are no stops of a tag.
  void openTag(const char16_t* lessThan) {
    run_.tagOpener = lessThan;
    run_.mode = Mode::Tag;
    stops_.stepPast();
  }

  /// Runs through the tag and its quoted values to its ">".
  bool scanTag() {
    for (;;) {
      stops_.seek(Mode::Tag);
      if (!stops_.atQuote()) break;
      stops_.stepPast();
      run_.mode = Mode::Quoted;
      if (scanQuoted()) return true;
    }
    if (stops_.atLineEnd()) return true;
    const char16_t* const greaterThan = stops_.where();
    reportTag(greaterThan);
    run_.mode = Mode::Text;
    textStart_ = greaterThan + 1;
    stops_.stepPast();
    return false;
  }

  bool scanQuoted() {
    stops_.seek(Mode::Quoted);
    if (stops_.atLineEnd()) return true;
    run_.mode = Mode::Tag;
    stops_.stepPast();
    return false;
  }

  bool scanComment() {
    char16_t* dash = nullptr;
    for (;;) {
      stops_.seek(Mode::Comment);
      if (stops_.atLineEnd()) return true;
      dash = stops_.where();
      if (dash[1] == u'-' && dash[2] == u'>') break;
      stops_.stepPast();
    }
    if (commentStart_) {
      // Blanks before "-->" are never units of "-->", and the comment text
      // holds no line end, so this stops at the dash at the latest.
      commentStart_ = skipBlanks(commentStart_);
      if (commentStart_ != dash) handler_.onCommentText(commentStart_, lengthBetween(commentStart_, dash));
      commentStart_ = nullptr;
    }
    handler_.onCommentEnd(dash);
    run_.mode = Mode::Text;
    textStart_ = dash + 3;
    stops_.moveTo(dash + 3);
    return false;
  }

  /// Reports the text pending since textStart_, which every entry into text
  /// sets.
  void flushText(const char16_t* end) {
    if (textStart_ != end) handler_.onText(textStart_, lengthBetween(textStart_, end));
  }

  /// Reports the open tag once: a tag cut by the line's end is reported there
  /// and its rest, on the next line, is consumed silently.
  void reportTag(const char16_t* end) {
    if (!run_.tagOpener) return;
    const bool isEndTag = run_.tagOpener[1] == u'/';
    const char16_t* const name = skipBlanks(run_.tagOpener + (isEndTag ? 2 : 1));
    if (isEndTag) {
      handler_.onEndTag(name, end);
    } else {
      handler_.onStartTag(name, end);
    }
    run_.tagOpener = nullptr;
  }

  /// `end` is the line's NUL.
  void finishLine(const char16_t* end) {
    switch (run_.mode) {
      case Mode::Tag:
      case Mode::Quoted:
        handler_.diagnostics().appendError(kOpenTagWarning);
        reportTag(end);
        break;
      case Mode::Text:
        flushText(end);
        break;
      case Mode::Comment:
        // Leading blanks are skipped only before "-->", not at a line's end.
        if (commentStart_ && commentStart_ != end) {
          handler_.onCommentText(commentStart_, lengthBetween(commentStart_, end));
        }
        break;
    }
  }

  THtmlParser& handler_;
  TRunState& run_;
  TStopIndex& stops_;
  const char16_t* textStart_;     // where the pending text run began, in text
  const char16_t* commentStart_;  // null: no comment text pending
};

/// Tokenizes the `length` units at `text` and cuts each of its lines,
/// counting each in `lineNumber` once its reports are made.
void tokenizeChunk(THtmlParser& handler, TRunState& run, char16_t* text, int32_t length, int64_t& lineNumber) {
  TStopIndex stops(text, length);
  char16_t* line = text;
  do {
    line = TLineScan(handler, run, stops, line).scanLine(line);
    ++lineNumber;
  } while (*line);
}

}  // namespace

void THtmlParser::onStartTag(const char16_t*, const char16_t*) {}
void THtmlParser::onEndTag(const char16_t*, const char16_t*) {}
void THtmlParser::onCommentBegin(const char16_t*) {}
void THtmlParser::onCommentEnd(const char16_t*) {}
void THtmlParser::onText(const char16_t*, int32_t) {}
void THtmlParser::onCommentText(const char16_t*, int32_t) {}

bool THtmlParser::parse() {
  TRunState run;
  __kvstrW chunk;
  char16_t emptyText[1] = {0};
  while (!stopRequested) {
    const int32_t length = readChunk(chunk);
    if (length < 0) break;
    // Every chunk is scanned, an empty one too; a line end inside one cuts it.
    tokenizeChunk(*this, run, chunk.data() ? chunk.data() : emptyText, length, lineNumber_);
    diagnostics_.flushIfLarge();
  }
  diagnostics_.flush();
  return true;
}
