// Files and buffered text readers.
//
// TIFile opens a file by wide path, detects its encoding from the byte-order
// mark (EF BB BF UTF-8, FF FE UTF-16LE, FE FF UTF-16BE, none: ANSI) and hands
// out lines as wide strings. The TTextFileBuffer family reads one character at
// a time through a fixed buffer; the unread data always ends at the buffer's
// end. Library calls return 0 or a count for success and -1 for failure or the
// end of the file.
#pragma once

#include <cstdint>

#include "textlib/kvstr.h"

/// Buffered character reader over a descriptor that it does not own.
class TTextFileBuffer {
 public:
  /// `size` elements of buffer (kept within 1 to 2^24); starts empty, so the
  /// first read refills.
  TTextFileBuffer(int handle, int32_t size);
  TTextFileBuffer(const TTextFileBuffer&) = delete;
  TTextFileBuffer& operator=(const TTextFileBuffer&) = delete;
  virtual ~TTextFileBuffer() = default;

  /// The next character (a byte 0 to 255, or a UTF-16 unit 0 to 65535), or -1
  /// at the end of the file; a read error counts as the end.
  virtual int readChar() = 0;
  /// Steps back one character so that the next readChar returns `c`; `c` must
  /// be what the last readChar returned.
  virtual void unreadChar(int c) = 0;
  /// Elements (bytes or 16-bit units) buffered and not yet delivered.
  virtual int32_t available() const = 0;
  virtual void* buffer() = 0;

  /// Drops the buffered data: the next read refills from the descriptor.
  virtual void discard() { pos_ = size_; }

 protected:
  int handle_;
  int32_t pos_;   // next unread element; == size_ when the buffer is empty
  int32_t size_;  // capacity in elements
};

template <class T>
class TTextFileBufferT : public TTextFileBuffer {
 public:
  TTextFileBufferT(int handle, int32_t size) : TTextFileBufferT(handle, size, 0) {}
  ~TTextFileBufferT() override;

  int readChar() override;
  void unreadChar(int c) override;
  int32_t available() const override { return size_ - pos_; }
  void* buffer() override { return data_; }
  /// Runs after every refill over the new data [pos, size); nothing by default.
  virtual void afterFill() {}

 protected:
  /// `spare` elements after the buffer stay zero (a NUL for the UTF-8 decoder).
  TTextFileBufferT(int handle, int32_t size, int32_t spare);
  /// Reads up to `size` elements into the buffer and right-aligns them; false
  /// (buffer left empty) when no whole element could be read.
  bool refill();

  T* data_;
};

extern template class TTextFileBufferT<unsigned char>;
extern template class TTextFileBufferT<char16_t>;

/// Bytes as they are (used to probe the byte-order mark).
class TTextFileBufferAsc : public TTextFileBufferT<unsigned char> {
 public:
  using TTextFileBufferT<unsigned char>::TTextFileBufferT;
};

/// Bytes of the system ANSI code page; TIFile converts whole lines.
class TTextFileBufferAnsi : public TTextFileBufferT<unsigned char> {
 public:
  using TTextFileBufferT<unsigned char>::TTextFileBufferT;
};

/// UTF-8 bytes delivered as UTF-16 units: a character above U+FFFF comes as its
/// high surrogate, then its low one. A NUL byte is delivered as 0 and stepped
/// over; a sequence cut by the end of the file ends the input.
class TTextFileBufferUTF8 : public TTextFileBufferT<unsigned char> {
 public:
  TTextFileBufferUTF8(int handle, int32_t size);

  int readChar() override;
  /// Steps back over the bytes of the character last read (or returns its low
  /// surrogate to waiting), so that the buffer keeps bytes, never units.
  void unreadChar(int c) override;
  /// Also forgets a low surrogate still waiting.
  void discard() override;

 private:
  /// Moves the unread rest to the start, reads behind it and right-aligns the
  /// whole; false when nothing is left.
  bool refillKeepingRest();

  char16_t pendingLow_ = 0;    // low surrogate still to deliver; 0 when none
  int32_t lastStart_ = -1;     // where the last character read began; -1 when none
  bool lastWasPending_ = false;  // the last readChar delivered pendingLow_
};

class TTextFileBufferUTF16 : public TTextFileBufferT<char16_t> {
 public:
  using TTextFileBufferT<char16_t>::TTextFileBufferT;
};

/// UTF-16 big-endian: afterFill swaps the bytes of every new unit.
class TTextFileBufferUTF16BE : public TTextFileBufferUTF16 {
 public:
  using TTextFileBufferUTF16::TTextFileBufferUTF16;
  void afterFill() override;
};

/// A file descriptor of the run-time library; closed (-1) until opened.
class File {
 public:
  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  virtual ~File();

  /// Opens `path` (kept, not copied: the caller keeps it alive); 0 or -1.
  virtual int open(const char16_t* path) = 0;
  /// Opening for writing; the reading classes refuse it.
  virtual int openWrite(const char16_t* path) = 0;
  /// Closes the descriptor: 0 when already closed, else the run-time result.
  virtual int close();
  virtual int rewind() = 0;
  /// Moves to the end: the file's size in bytes, or -1.
  virtual int64_t seekEnd();
  /// Moves to `offset` bytes from the start: the new position, or -1.
  virtual int64_t seek(int64_t offset);
  /// The current position in bytes, or -1.
  virtual int64_t tell();

  bool isOpen() const { return handle_ != -1; }
  /// Set when the last open failed; cleared at the start of each open.
  bool openFailed() const { return openFailed_; }
  const char16_t* path() const { return path_; }

 protected:
  int handle_ = -1;
  bool openFailed_ = false;
  const char16_t* path_ = nullptr;
};

class IFile : public File {
 public:
  ~IFile() override;
  int openWrite(const char16_t* path) override;
  int rewind() override;
};

/// How TIFile decodes the open file; the values are fixed.
enum class FileEncoding : int32_t { Utf16Le = 0, Utf8 = 1, Utf16Be = 2, Ansi = 3 };

/// A text file read line by line in the encoding its byte-order mark names.
class TIFile : public IFile {
 public:
  static constexpr int32_t kReaderSize = 4096;

  TIFile() = default;
  ~TIFile() override;

  /// Opens `path` (or, when already open, keeps the descriptor), detects the
  /// byte-order mark and sets up the matching reader. -1 and openFailed() when
  /// the file cannot be opened.
  int open(const char16_t* path) override;
  /// seek(0), then the byte-order mark detected again (0 when none); -1 when closed.
  int rewind() override;
  int64_t seekEnd() override;
  int64_t seek(int64_t offset) override;
  /// The position of the next character the reader will deliver.
  int64_t tell() override;
  /// The next character of the reader; -1 at the end or when never opened.
  virtual int readChar();

  /// The next line into `line`, without its terminator (CR, LF or CR LF). NUL
  /// and Ctrl-Z are dropped. Returns its length in units, or -1 at the end of
  /// the file (and when never opened); on the ANSI path -1 leaves `line` as it was.
  int readLine(__kvstrW& line);

  FileEncoding encoding() const { return encoding_; }
  /// 0xFEFF, 0xFFFE, 0xBF, or 0 when the file had no mark.
  uint16_t byteOrderMark() const { return byteOrderMark_; }

 private:
  uint16_t detectByteOrderMark();
  void discardBuffered();
  int readAnsiLine(__kvstrW& line);
  int readMarkedLine(__kvstrW& line);

  TTextFileBuffer* reader_ = nullptr;  // owned; null until open
  FileEncoding encoding_ = FileEncoding::Ansi;
  uint16_t byteOrderMark_ = 0;
};
