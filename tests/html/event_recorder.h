// A handler that logs every tokenizer callback as one line of text, e.g.
// "T[a] S[b] T[c] E[b]", and checks every pointer it is given.
//
//   T[..] text          M[..] comment text     B / C   comment begin / end
//   S[..] / E[..]       start / end tag, [name, end) as written; a trailing "~"
//                       marks `end` at the chunk's NUL (a tag cut by the chunk)
// A pointer that is not where it should be shows as "?" (end neither at ">"
// nor at the NUL, B not after "<!--", C not at "-->"), a pointer outside the
// chunk or a length below 1 as "!OUT".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "html/html_parser.h"

namespace testing_html {

/// Readable ASCII as is, anything else as \xNN or \uNNNN.
inline std::string render(const char16_t* p, const char16_t* end) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (; p < end; ++p) {
    const char16_t c = *p;
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else if (c < 0x100) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 15];
    }
  }
  return out;
}

/// Feeds a fixed list of chunks, one per readChunk call.
class TChunkFeed : public THtmlParser {
 public:
  explicit TChunkFeed(std::vector<std::u16string> chunks) : chunks_(std::move(chunks)) {}
  bool readChunk(__kvstrW& chunk) override {
    ++reads;
    if (next_ == chunks_.size()) return false;
    const std::u16string& piece = chunks_[next_++];
    chunk.assign(piece.data(), static_cast<int32_t>(piece.size()));
    return true;
  }
  int reads = 0;

 protected:
  ~TChunkFeed() = default;

 private:
  std::vector<std::u16string> chunks_;
  size_t next_ = 0;
};

/// Logs the callbacks of `Base` (a THtmlParser with a working readChunk).
template <class Base>
class TEventRecorder final : public Base {
 public:
  using Base::Base;

  bool readChunk(__kvstrW& chunk) override {
    chunk_ = &chunk;
    return Base::readChunk(chunk);
  }
  void onStartTag(const char16_t* name, const char16_t* end) override { logTag("S", name, end); }
  void onEndTag(const char16_t* name, const char16_t* end) override { logTag("E", name, end); }
  void onCommentBegin(const char16_t* p) override {
    if (!inChunk(p, p)) return log("!OUT");
    const char16_t* begin = chunk_->str();
    const bool afterOpener = p - begin >= 4 && render(p - 4, p) == "<!--";
    log(afterOpener ? "B" : "B?");
  }
  void onCommentEnd(const char16_t* p) override {
    if (!inChunk(p, p)) return log("!OUT");
    log(p[0] == u'-' && p[1] == u'-' && p[2] == u'>' ? "C" : "C?");
  }
  void onText(const char16_t* p, int32_t length) override { logRun("T", p, length); }
  void onCommentText(const char16_t* p, int32_t length) override { logRun("M", p, length); }

  /// Joins adjacent text reports, as if the input had not been cut between them.
  bool mergeText = false;
  /// Sets stopRequested when a start tag with this text arrives.
  std::string stopAtTag;

  std::string record() const {
    std::string out;
    for (const std::string& event : events_) {
      if (!out.empty()) out += ' ';
      out += event;
    }
    return out;
  }

 private:
  bool inChunk(const char16_t* p, const char16_t* end) const {
    if (!chunk_) return false;
    const char16_t* begin = chunk_->str();
    const char16_t* nul = begin + chunk_->length();
    return p && end && begin <= p && p <= end && end <= nul;
  }
  void log(std::string event) { events_.push_back(std::move(event)); }
  void logTag(const char* kind, const char16_t* name, const char16_t* end) {
    if (!inChunk(name, end)) return log("!OUT");
    const char* mark = *end == u'>' ? "" : *end == 0 ? "~" : "?";
    const std::string text = render(name, end);
    log(std::string(kind) + "[" + text + "]" + mark);
    if (!stopAtTag.empty() && *kind == 'S' && text == stopAtTag) this->stopRequested = true;
  }
  void logRun(const char* kind, const char16_t* p, int32_t length) {
    if (length < 1 || !inChunk(p, p + length)) return log("!OUT");
    const std::string text = render(p, p + length);
    if (mergeText && *kind == 'T' && !events_.empty() && events_.back().rfind("T[", 0) == 0) {
      events_.back().insert(events_.back().size() - 1, text);
      return;
    }
    log(std::string(kind) + "[" + text + "]");
  }

  const __kvstrW* chunk_ = nullptr;
  std::vector<std::string> events_;
};

/// The number of open-tag warnings that make up `err`, or -1 when it holds
/// anything else.
inline int countWarnings(const std::string& err) {
  static const std::string kWarning = "WARNING!! - open tag\n";
  if (err.size() % kWarning.size() != 0) return -1;
  int count = 0;
  for (size_t at = 0; at < err.size(); at += kWarning.size(), ++count) {
    if (err.compare(at, kWarning.size(), kWarning) != 0) return -1;
  }
  return count;
}

}  // namespace testing_html
