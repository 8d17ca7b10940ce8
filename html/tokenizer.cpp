// The tokenizer: one pass over each line, four modes, reports by pointer.
//
// What must outlive a line (the mode, the open tag's name and kind) sits in
// TRunState; the pending text and comment starts are cursors of one line. Each
// scanner first skips to the next unit that matters in its mode, then decides,
// and returns where it stopped. Lookahead for "<!--" and "-->" compares unit by
// unit against units that are neither NUL, CR nor LF, so it never reads past
// the line's end.
//
// Every line is read where it lies, in the chunk readChunk delivered. The scan
// stops at CR, LF and NUL alike, and the line end is cut there, a NUL written
// over its terminator before the reports that close the line. Handlers
// therefore see runs ending before "<" mid-line, and the line's NUL after a
// run or tag at its end.
#include "html/html_parser.h"

#include <cstdint>
#include <cstdio>

namespace {

constexpr char kOpenTagWarning[] = "WARNING!! - open tag\n";

/// How far ahead of the scan the text is asked for, and how often.
constexpr uintptr_t kPrefetchBytes = 8192;
constexpr uintptr_t kCacheLineBytes = 64;

/// The address `bytes` after `p`, computed as a number: it may lie past the
/// text, and is only ever compared with or prefetched, never read.
inline const char16_t* addressAfter(const char16_t* p, uintptr_t bytes) {
  return reinterpret_cast<const char16_t*>(reinterpret_cast<uintptr_t>(p) + bytes);
}

/// Asks for the memory kPrefetchBytes after `p`; past the text's end a
/// prefetch does nothing (it never faults).
inline void prefetchAhead(const char16_t* p) { __builtin_prefetch(addressAfter(p, kPrefetchBytes)); }

/// Every unit a scanner stops at is below 64, so a set of them is one 64-bit
/// mask and a test is a compare and a bit test.
constexpr uint64_t unitBit(char16_t c) { return uint64_t{1} << c; }
constexpr bool inSet(char16_t c, uint64_t set) { return c < 64 && ((set >> c) & 1) != 0; }

/// The units the scanners stop at; CR, LF and the NUL end a line.
struct TStops {
  static constexpr uint64_t kLineEnd = unitBit(0) | unitBit(u'\r') | unitBit(u'\n');
  static constexpr uint64_t kText = kLineEnd | unitBit(u'<');
  static constexpr uint64_t kTag = kLineEnd | unitBit(u'>') | unitBit(u'"');
  static constexpr uint64_t kQuoted = kLineEnd | unitBit(u'"');
  static constexpr uint64_t kComment = kLineEnd | unitBit(u'-');

  static constexpr bool endsLine(char16_t c) { return inSet(c, kLineEnd); }
  /// Control characters and the space, but never a unit that ends the line.
  static constexpr bool isBlankInLine(char16_t c) { return c <= 32 && !endsLine(c); }
  static const char16_t* skipBlanks(const char16_t* p) {
    while (isBlankInLine(*p)) ++p;
    return p;
  }
  /// The first unit at or after `p` in `set`. Most units are letters, above
  /// every stop, so that test comes first and the loop stays a straight line.
  static const char16_t* skipTo(const char16_t* p, uint64_t set) {
    for (;; ++p) {
      const char16_t c = *p;
      if (__builtin_expect(c < 64, 0) && ((set >> c) & 1) != 0) return p;
    }
  }
};

int32_t lengthBetween(const char16_t* begin, const char16_t* end) {
  // A line lies in a text shorter than INT32_MAX units, as any __kvstrW.
  return static_cast<int32_t>(end - begin);
}

enum class Mode { Text, Tag, Quoted, Comment };

/// What survives from one line to the next.
struct TRunState {
  Mode mode = Mode::Text;
  /// First unit of the open tag's name; null once the tag was reported early
  /// because the line ended inside it.
  const char16_t* tagName = nullptr;
  bool isEndTag = false;
};

class TLineScan {
 public:
  TLineScan(THtmlParser& handler, TRunState& run, const char16_t* line)
      : handler_(handler),
        run_(run),
        textStart_(run.mode == Mode::Text ? line : nullptr),
        commentStart_(run.mode == Mode::Comment ? line : nullptr) {}

  /// Tokenizes the line that begins at `line` and cuts it: its CR, LF or CRLF
  /// becomes one NUL. Returns where the next line begins, or the text's NUL
  /// after the last line.
  char16_t* scanLine(char16_t* line) {
    const char16_t* const end = scanToLineEnd(line);
    char16_t* const cut = line + (end - line);
    char16_t* next = cut;
    if (*cut == u'\r') {
      next += cut[1] == u'\n' ? 2 : 1;  // CRLF is one line end
    } else if (*cut == u'\n') {
      next += 1;
    }
    // Before the reports that close the line: a handler may read a run or a
    // tag up to the line's NUL.
    *cut = 0;
    finishLine(cut);
    return next;
  }

 private:
  const char16_t* scanToLineEnd(const char16_t* p) {
    // A big page does not fit the cache, and the branches of a tag-dense
    // text keep the processor from running far enough ahead to hide the wait
    // for memory: the text a few pages ahead is asked for, once per cache
    // line the scan enters.
    const char16_t* nextPrefetch = p;
    while (!TStops::endsLine(*p)) {
      if (p >= nextPrefetch) {
        prefetchAhead(p);
        nextPrefetch = addressAfter(p, kCacheLineBytes);
      }
      switch (run_.mode) {
        case Mode::Text:    p = scanText(p);    break;
        case Mode::Tag:     p = scanTag(p);     break;
        case Mode::Quoted:  p = scanQuoted(p);  break;
        case Mode::Comment: p = scanComment(p); break;
      }
    }
    return p;
  }

  const char16_t* scanText(const char16_t* p) {
    if (!textStart_) textStart_ = p;
    p = TStops::skipTo(p, TStops::kText);
    if (*p != u'<') return p;  // the line's end
    flushText(p);
    return openMarkup(p);
  }

  /// `p` is at "<" in text: opens a comment or a tag.
  const char16_t* openMarkup(const char16_t* p) {
    if (p[1] == u'!' && p[2] == u'-' && p[3] == u'-') {
      p += 4;
      commentStart_ = p;
      handler_.onCommentBegin(p);
      run_.mode = Mode::Comment;
      return p;
    }
    run_.isEndTag = p[1] == u'/';
    p += run_.isEndTag ? 2 : 1;
    p = TStops::skipBlanks(p);
    run_.tagName = p;
    run_.mode = Mode::Tag;
    return p;
  }

  const char16_t* scanTag(const char16_t* p) {
    p = TStops::skipTo(p, TStops::kTag);
    switch (*p) {
      case u'"':
        run_.mode = Mode::Quoted;
        return p + 1;
      case u'>':
        reportTag(p);
        run_.mode = Mode::Text;
        return p + 1;
      default:
        return p;  // the line's end
    }
  }

  const char16_t* scanQuoted(const char16_t* p) {
    p = TStops::skipTo(p, TStops::kQuoted);
    if (*p != u'"') return p;  // the line's end
    run_.mode = Mode::Tag;
    return p + 1;
  }

  const char16_t* scanComment(const char16_t* p) {
    for (;; ++p) {
      p = TStops::skipTo(p, TStops::kComment);
      if (*p != u'-') return p;  // the line's end
      if (p[1] == u'-' && p[2] == u'>') break;
    }
    if (commentStart_) {
      // Blanks before "-->" are never units of "-->", and the comment text
      // holds no line end, so this stops at p at the latest.
      commentStart_ = TStops::skipBlanks(commentStart_);
      if (commentStart_ != p) handler_.onCommentText(commentStart_, lengthBetween(commentStart_, p));
      commentStart_ = nullptr;
    }
    handler_.onCommentEnd(p);
    run_.mode = Mode::Text;
    return p + 3;
  }

  void flushText(const char16_t* end) {
    if (textStart_ && textStart_ != end) handler_.onText(textStart_, lengthBetween(textStart_, end));
    textStart_ = nullptr;
  }

  /// Reports the open tag once: a tag cut by the line's end is reported there
  /// and its rest, on the next line, is consumed silently.
  void reportTag(const char16_t* end) {
    if (!run_.tagName) return;
    if (run_.isEndTag) {
      handler_.onEndTag(run_.tagName, end);
    } else {
      handler_.onStartTag(run_.tagName, end);
    }
    run_.tagName = nullptr;
  }

  /// `end` is the line's NUL.
  void finishLine(const char16_t* end) {
    switch (run_.mode) {
      case Mode::Tag:
      case Mode::Quoted:
        std::fputs(kOpenTagWarning, stderr);
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
  const char16_t* textStart_;     // null: no text run pending
  const char16_t* commentStart_;  // null: no comment text pending
};

char16_t* tokenizeLine(THtmlParser& handler, TRunState& run, char16_t* line) {
  return TLineScan(handler, run, line).scanLine(line);
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
  char16_t emptyLine[1] = {0};
  while (!stopRequested && readChunk(chunk)) {
    // Every chunk is scanned, an empty one too; a line end inside one cuts it.
    char16_t* line = chunk.data() ? chunk.data() : emptyLine;
    do {
      line = tokenizeLine(*this, run, line);
    } while (*line);
  }
  return true;
}
