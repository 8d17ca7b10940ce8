#include "textlib/diagnostics.h"

#include <new>

#include "platform/platform.h"
#include "textlib/text_util.h"
#include "textlib/utf8.h"

namespace {

/// Past this, a stream's lines are written between blocks rather than held.
constexpr size_t kFlushBytes = 64 << 10;

}  // namespace

void TDiagnostics::appendOutputLine(std::string_view prefix, const char16_t* text, int32_t length) {
  const size_t start = output_.size();
  // The UTF-8 form at its longest (three bytes a unit) and the encoder's NUL,
  // which the line feed then replaces.
  const uint64_t room = prefix.size() + 3 * static_cast<uint64_t>(length < 0 ? 0 : length) + 1;
  if (room > output_.max_size() - start) throw std::bad_alloc();
  output_.resize(start + static_cast<size_t>(room));
  char* p = &output_[start];
  copyElements(p, prefix.data(), prefix.size());
  p += prefix.size();
  p += encodeUtf8(text, length, p);
  *p++ = '\n';
  output_.resize(static_cast<size_t>(p - output_.data()));
}

void TDiagnostics::flushIfLarge() noexcept {
  if (output_.size() >= kFlushBytes || error_.size() >= kFlushBytes) flush();
}

void TDiagnostics::flush() noexcept {
  if (!output_.empty()) platform::writeStandardOutput(output_.data(), output_.size());
  if (!error_.empty()) platform::writeStandardError(error_.data(), error_.size());
  output_.clear();
  error_.clear();
}
