// The tokenizer: one pass over each chunk, four modes, reports by pointer.
//
// What must outlive a chunk (the mode, the open tag's name and kind) sits in
// TRunState; the pending text and comment starts are cursors of one chunk. Each
// scanner first skips to the next unit that matters in its mode, then decides,
// and returns where it stopped. Lookahead for "<!--" and "-->" compares unit by
// unit, so it never reads past the chunk's NUL.
#include "html/html_parser.h"

#include <cstdio>

namespace {

constexpr char kOpenTagWarning[] = "WARNING!! - open tag\n";

/// Control characters and the space.
constexpr bool isBlank(char16_t c) { return c >= 1 && c <= 32; }

const char16_t* skipBlanks(const char16_t* p) {
  while (isBlank(*p)) ++p;
  return p;
}

int32_t lengthBetween(const char16_t* begin, const char16_t* end) {
  // A chunk is a __kvstrW, whose length fits an int32_t.
  return static_cast<int32_t>(end - begin);
}

enum class Mode { Text, Tag, Quoted, Comment };

/// What survives from one chunk to the next.
struct TRunState {
  Mode mode = Mode::Text;
  /// First unit of the open tag's name; null once the tag was reported early
  /// because the chunk ended inside it.
  const char16_t* tagName = nullptr;
  bool isEndTag = false;
};

/// Tokenizes one chunk for the handler, moving the run state along.
class TChunkScan {
 public:
  TChunkScan(THtmlParser& handler, TRunState& run, const char16_t* chunk)
      : handler_(handler),
        run_(run),
        textStart_(run.mode == Mode::Text ? chunk : nullptr),
        commentStart_(run.mode == Mode::Comment ? chunk : nullptr) {}

  void scan(const char16_t* p) {
    while (*p) {
      switch (run_.mode) {
        case Mode::Text:    p = scanText(p);    break;
        case Mode::Tag:     p = scanTag(p);     break;
        case Mode::Quoted:  p = scanQuoted(p);  break;
        case Mode::Comment: p = scanComment(p); break;
      }
    }
    finishChunk(p);
  }

 private:
  const char16_t* scanText(const char16_t* p) {
    if (!textStart_) textStart_ = p;
    while (*p && *p != u'<') ++p;
    if (!*p) return p;
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
    p = skipBlanks(p);
    run_.tagName = p;
    run_.mode = Mode::Tag;
    return p;
  }

  const char16_t* scanTag(const char16_t* p) {
    while (*p && *p != u'>' && *p != u'"') ++p;
    switch (*p) {
      case u'"':
        run_.mode = Mode::Quoted;
        return p + 1;
      case u'>':
        reportTag(p);
        run_.mode = Mode::Text;
        return p + 1;
      default:
        return p;  // the chunk's NUL
    }
  }

  const char16_t* scanQuoted(const char16_t* p) {
    while (*p && *p != u'"') ++p;
    if (!*p) return p;
    run_.mode = Mode::Tag;
    return p + 1;
  }

  const char16_t* scanComment(const char16_t* p) {
    for (;; ++p) {
      while (*p && *p != u'-') ++p;
      if (!*p) return p;
      if (p[1] == u'-' && p[2] == u'>') break;
    }
    if (commentStart_) {
      // Blanks before "-->" are never units of "-->", so this stops at p at the latest.
      commentStart_ = skipBlanks(commentStart_);
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

  /// Reports the open tag once: a tag cut by the chunk's end is reported there
  /// and its rest, in the next chunk, is consumed silently.
  void reportTag(const char16_t* end) {
    if (!run_.tagName) return;
    if (run_.isEndTag) {
      handler_.onEndTag(run_.tagName, end);
    } else {
      handler_.onStartTag(run_.tagName, end);
    }
    run_.tagName = nullptr;
  }

  /// `end` is the chunk's NUL.
  void finishChunk(const char16_t* end) {
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
        // Leading blanks are skipped only before "-->", not at a chunk's end.
        if (commentStart_ && commentStart_ != end) {
          handler_.onCommentText(commentStart_, lengthBetween(commentStart_, end));
        }
        break;
    }
  }

  THtmlParser& handler_;
  TRunState& run_;
  /// Start of the pending text run, or null.
  const char16_t* textStart_;
  /// Start of the pending comment text, or null.
  const char16_t* commentStart_;
};

}  // namespace

void THtmlParser::onStartTag(const char16_t*, const char16_t*) {}
void THtmlParser::onEndTag(const char16_t*, const char16_t*) {}
void THtmlParser::onCommentBegin(const char16_t*) {}
void THtmlParser::onCommentEnd(const char16_t*) {}
void THtmlParser::onText(const char16_t*, int32_t) {}
void THtmlParser::onCommentText(const char16_t*, int32_t) {}

const char16_t* THtmlParser::nextChunk(__kvstrW& buffer) { return readChunk(buffer) ? buffer.str() : nullptr; }

bool THtmlParser::parse() {
  __kvstrW buffer;
  TRunState run;
  while (!stopRequested) {
    const char16_t* p = nextChunk(buffer);
    if (!p) break;
    TChunkScan(*this, run, p).scan(p);
  }
  return true;
}
