// A handler that logs every tokenizer callback as one line of text, e.g.
// "T[a] S[b] T[c] E[b]", and checks every pointer it is given.
//
//   T[..] text          M[..] comment text     B / C   comment begin / end
//   S[..] / E[..]       start / end tag, [name, end) as written; a trailing "~"
//                       marks `end` at the chunk's NUL (a tag cut by the chunk)
// A pointer that is not where it should be shows as "?" (end neither at ">"
// nor at the NUL, B not after "<!--", C not at "-->", a text run followed by
// neither "<" nor the NUL, comment text by neither "-" nor the NUL), a
// pointer outside the chunk, a range across a line's cut or a length below 1
// as "!OUT". A chunk is what readChunk delivered.
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
  int32_t readChunk(__kvstrW& chunk) override {
    ++reads;
    if (next_ == chunks_.size()) return -1;
    const std::u16string& piece = chunks_[next_++];
    chunk.assign(piece.data(), static_cast<int32_t>(piece.size()));
    return chunk.length();
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

  int32_t readChunk(__kvstrW& chunk) override {
    const int32_t length = Base::readChunk(chunk);
    chunkBegin_ = chunk.str();
    chunkEnd_ = chunkBegin_ + chunk.length();
    return length;
  }
  void onStartTag(const char16_t* name, const char16_t* end) override {
    logTag("S", name, end);
    if (withAttributes && inChunk(name, end)) logAttributes(name, end);
  }
  void onEndTag(const char16_t* name, const char16_t* end) override { logTag("E", name, end); }
  void onCommentBegin(const char16_t* p) override {
    if (!inChunk(p, p)) return log("!OUT");
    const bool afterOpener = p - chunkBegin_ >= 4 && render(p - 4, p) == "<!--";
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
  /// Follows each start tag with its attributes as parseAttributes finds them,
  /// e.g. "{href=1,x=0}".
  bool withAttributes = false;

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
    if (!chunkBegin_ || !p || !end || p < chunkBegin_ || end < p || chunkEnd_ < end) return false;
    // The lines already read were cut; a range must not reach across a cut.
    return std::char_traits<char16_t>::find(p, static_cast<size_t>(end - p), u'\0') == nullptr;
  }
  void log(std::string event) { events_.push_back(std::move(event)); }
  void logTag(const char* kind, const char16_t* name, const char16_t* end) {
    if (!inChunk(name, end)) return log("!OUT");
    const char* mark = *end == u'>' ? "" : *end == 0 ? "~" : "?";
    const std::string text = render(name, end);
    log(std::string(kind) + "[" + text + "]" + mark);
    if (!stopAtTag.empty() && *kind == 'S' && text == stopAtTag) this->stopRequested = true;
  }
  void logAttributes(const char16_t* name, const char16_t* end) {
    AttributeMap attributes;
    THtmlParser::parseAttributes(name, end, attributes);
    std::string list;
    for (const auto& [key, value] : attributes) {
      if (!list.empty()) list += ',';
      list += render(key.str(), key.str() + key.length()) + "=" + render(value.str(), value.str() + value.length());
    }
    events_.back() += "{" + list + "}";
  }
  void logRun(const char* kind, const char16_t* p, int32_t length) {
    if (length < 1 || !inChunk(p, p + length)) return log("!OUT");
    // A handler may read on past a run up to the next "<" ("-" in a comment)
    // or the chunk's NUL, and must meet one of them right there.
    const char16_t after = p[length];
    const bool endsWell = after == 0 || after == (*kind == 'T' ? u'<' : u'-');
    const std::string text = render(p, p + length) + (endsWell ? "" : "?");
    if (mergeText && *kind == 'T' && !events_.empty() && events_.back().rfind("T[", 0) == 0) {
      events_.back().insert(events_.back().size() - 1, text);
      return;
    }
    log(std::string(kind) + "[" + text + "]");
  }

  const char16_t* chunkBegin_ = nullptr;
  const char16_t* chunkEnd_ = nullptr;
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
