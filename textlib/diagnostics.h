// The diagnostic lines of one parse (open-tag warnings for standard error,
// heading traces for standard output), gathered per stream and written a
// stream at a time: a call into the run-time library for each line costs the
// DLL more than the parse itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class TDiagnostics {
 public:
  TDiagnostics() = default;
  TDiagnostics(const TDiagnostics&) = delete;
  TDiagnostics& operator=(const TDiagnostics&) = delete;
  /// Writes what is still gathered, so that a parse ended by an exception
  /// loses none of its lines.
  ~TDiagnostics() { flush(); }

  /// Gathers `line` (bytes, its line feed included) for standard error.
  void appendError(std::string_view line) { error_ += line; }
  /// Gathers `prefix`, the UTF-8 form of [text, text + length) up to a NUL,
  /// and a line feed for standard output.
  void appendOutputLine(std::string_view prefix, const char16_t* text, int32_t length);
  /// Writes what is gathered once a stream holds a block's worth; called
  /// between blocks of input, so that a page of many lines holds little.
  void flushIfLarge() noexcept;
  /// Writes each stream's gathered text in one call and forgets it; a stream
  /// with nothing gathered is not written.
  void flush() noexcept;

 private:
  std::string output_;
  std::string error_;
};
