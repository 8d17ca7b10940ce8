#include "textlib/text_file.h"

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "textlib/text_util.h"
#include "textlib/utf8.h"

namespace {

constexpr int kCtrlZ = 26;          // the old end-of-text mark, dropped wherever it occurs
constexpr int32_t kLineBlock = 256; // units gathered before they are appended to the line
constexpr int32_t kUtf8Reserve = 5; // fewer unread bytes than this may cut a sequence
constexpr int kSeekStart = 0;
constexpr int kSeekCurrent = 1;
constexpr int kSeekEnd = 2;

// Reads until `bytes` bytes arrived or the file ends; a read error counts as
// the end. Looping keeps a short read from splitting a 16-bit unit.
int32_t readFully(int handle, void* into, int32_t bytes) {
  auto* p = static_cast<unsigned char*>(into);
  int32_t got = 0;
  while (got < bytes) {
    const int32_t n = platform::readFile(handle, p + got, static_cast<uint32_t>(bytes - got));
    if (n <= 0) break;
    got += n;
  }
  return got;
}

// Reads one line by the line rules into `line` (emptied first), gathering
// units in blocks so that a long line grows in few appends. False when the
// file ended before any character was collected (dropped NUL and Ctrl-Z
// characters do not count).
template <class Unit>
bool collectLine(TTextFileBuffer& in, std::basic_string<Unit>& line) {
  line.clear();
  Unit block[kLineBlock];
  int32_t pending = 0;
  bool collected = false;
  for (;;) {
    const int c = in.readChar();
    switch (c) {
      case -1:  // end of file: ends the line, if there is one
        line.append(block, static_cast<size_t>(pending));
        return collected;
      case 0:       // NUL
      case kCtrlZ:  // Ctrl-Z
        break;
      case 10:  // LF
        line.append(block, static_cast<size_t>(pending));
        return true;
      case 13: {  // CR
        const int after = in.readChar();
        if (after != -1 && !isCrLf(c, after)) in.unreadChar(after);
        line.append(block, static_cast<size_t>(pending));
        return true;
      }
      default:
        block[pending++] = static_cast<Unit>(c);
        collected = true;
        if (pending == kLineBlock) {
          line.append(block, static_cast<size_t>(pending));
          pending = 0;
        }
        break;
    }
  }
}

}  // namespace

// Bounded so that a buffer's size in bytes always fits an int32_t.
constexpr int32_t clampSize(int32_t size) {
  constexpr int32_t kLargest = 1 << 24;
  return size < 1 ? 1 : size > kLargest ? kLargest : size;
}

TTextFileBuffer::TTextFileBuffer(int handle, int32_t size)
    : handle_(handle), pos_(clampSize(size)), size_(clampSize(size)) {}

template <class T>
TTextFileBufferT<T>::TTextFileBufferT(int handle, int32_t size, int32_t spare)
    : TTextFileBuffer(handle, size), data_(new T[static_cast<size_t>(size_) + static_cast<size_t>(spare)]) {
  for (int32_t i = 0; i < spare; ++i) data_[size_ + i] = 0;
}

template <class T>
TTextFileBufferT<T>::~TTextFileBufferT() {
  delete[] data_;
}

template <class T>
bool TTextFileBufferT<T>::refill() {
  const int32_t bytes = readFully(handle_, data_, size_ * static_cast<int32_t>(sizeof(T)));
  const int32_t got = bytes / static_cast<int32_t>(sizeof(T));  // an odd last byte is ignored
  if (got == 0) return false;
  if (got < size_) std::memmove(data_ + (size_ - got), data_, static_cast<size_t>(got) * sizeof(T));
  pos_ = size_ - got;
  afterFill();
  return true;
}

template <class T>
int TTextFileBufferT<T>::readChar() {
  if (pos_ >= size_ && !refill()) return -1;
  return data_[pos_++];
}

template <class T>
void TTextFileBufferT<T>::unreadChar(int c) {
  if (pos_ > 0) data_[--pos_] = static_cast<T>(c);
}

template class TTextFileBufferT<unsigned char>;
template class TTextFileBufferT<char16_t>;

void TTextFileBufferUTF16BE::afterFill() {
  for (int32_t i = pos_; i < size_; ++i) {
    data_[i] = static_cast<char16_t>((data_[i] << 8) | (data_[i] >> 8));
  }
}

// The buffer holds at least a whole sequence (4 bytes) plus the NUL after it.
TTextFileBufferUTF8::TTextFileBufferUTF8(int handle, int32_t size)
    : TTextFileBufferT<unsigned char>(handle, size > 4 ? size : 4, 1) {}

bool TTextFileBufferUTF8::refillKeepingRest() {
  const int32_t rest = size_ - pos_;
  std::memmove(data_, data_ + pos_, static_cast<size_t>(rest));
  const int32_t have = rest + readFully(handle_, data_ + rest, size_ - rest);
  if (have == 0) {
    pos_ = size_;
    return false;
  }
  if (have < size_) std::memmove(data_ + (size_ - have), data_, static_cast<size_t>(have));
  pos_ = size_ - have;
  afterFill();
  return true;
}

int TTextFileBufferUTF8::readChar() {
  if (pendingLow_) {
    const int low = pendingLow_;
    pendingLow_ = 0;
    lastWasPending_ = true;
    return low;
  }
  lastWasPending_ = false;
  lastStart_ = -1;
  if (size_ - pos_ < kUtf8Reserve && !refillKeepingRest()) return -1;

  // data_[size_] stays NUL, so the decoder stops at the end of the data.
  const auto* start = reinterpret_cast<const char*>(data_ + pos_);
  const char* next = start;
  const uint32_t c = decodeUtf8Char(start, &next);
  const auto used = static_cast<int32_t>(next - start);
  if (c == 0) {
    // The NUL after the data ends the input. A NUL byte in the file is
    // stepped over and delivered as 0, which the line rules drop.
    if (pos_ >= size_) return -1;
    lastStart_ = pos_;
    ++pos_;
    return 0;
  }
  lastStart_ = pos_;
  pos_ += used;
  if (c <= 0xFFFF) return static_cast<int>(c);
  pendingLow_ = static_cast<char16_t>(c & 0xFFFF);
  return static_cast<int>(c >> 16);
}

void TTextFileBufferUTF8::unreadChar(int c) {
  if (lastWasPending_) {
    pendingLow_ = static_cast<char16_t>(c);
    lastWasPending_ = false;
    return;
  }
  if (lastStart_ < 0) return;
  pos_ = lastStart_;  // the bytes are still in place: the next read decodes them again
  pendingLow_ = 0;
  lastStart_ = -1;
}

void TTextFileBufferUTF8::discard() {
  TTextFileBuffer::discard();
  pendingLow_ = 0;
  lastStart_ = -1;
  lastWasPending_ = false;
}

File::~File() { File::close(); }

int File::close() {
  if (handle_ == -1) return 0;
  const int result = platform::closeFile(handle_);
  handle_ = -1;
  return result;
}

int64_t File::seekEnd() { return handle_ == -1 ? -1 : platform::seekFile(handle_, 0, kSeekEnd); }

int64_t File::seek(int64_t offset) {
  return handle_ == -1 ? -1 : platform::seekFile(handle_, offset, kSeekStart);
}

int64_t File::tell() { return handle_ == -1 ? -1 : platform::seekFile(handle_, 0, kSeekCurrent); }

IFile::~IFile() { IFile::close(); }

int IFile::openWrite(const char16_t* /*path*/) { return -1; }

int IFile::rewind() { return seek(0) < 0 ? -1 : 0; }

TIFile::~TIFile() {
  delete reader_;
  reader_ = nullptr;
  TIFile::close();
}

int TIFile::open(const char16_t* path) {
  path_ = path;
  openFailed_ = false;
  if (handle_ == -1) {
    const int fd = platform::openRead(path);
    if (fd < 0) {
      openFailed_ = true;
      return -1;
    }
    handle_ = fd;
  }
  const uint16_t mark = detectByteOrderMark();
  TTextFileBuffer* fresh = nullptr;
  FileEncoding kind = FileEncoding::Ansi;
  switch (mark) {
    case 0xBF:
      fresh = new TTextFileBufferUTF8(handle_, kReaderSize);
      kind = FileEncoding::Utf8;
      break;
    case 0xFEFF:
      fresh = new TTextFileBufferUTF16(handle_, kReaderSize);
      kind = FileEncoding::Utf16Le;
      break;
    case 0xFFFE:
      fresh = new TTextFileBufferUTF16BE(handle_, kReaderSize);
      kind = FileEncoding::Utf16Be;
      break;
    default:
      fresh = new TTextFileBufferAnsi(handle_, kReaderSize);
      break;
  }
  delete reader_;
  reader_ = fresh;
  encoding_ = kind;
  byteOrderMark_ = mark;
  return 0;
}

// Reads the first bytes through a small probe and leaves the descriptor just
// after the mark (or at the start when there is none).
uint16_t TIFile::detectByteOrderMark() {
  platform::seekFile(handle_, 0, kSeekStart);
  TTextFileBufferAsc probe(handle_, 4);
  const int first = probe.readChar();
  const int second = probe.readChar();
  uint16_t mark = 0;
  int64_t start = 0;
  if (first >= 0 && second >= 0) {
    const int pair = first + 256 * second;
    if (pair == 0xBBEF) {  // EF BB: UTF-8 only when BF follows
      if (probe.readChar() == 0xBF) {
        mark = 0xBF;
        start = 3;
      }
    } else if (pair == 0xFEFF || pair == 0xFFFE) {  // FF FE little-endian, FE FF big-endian
      mark = static_cast<uint16_t>(pair);
      start = 2;
    }
  }
  platform::seekFile(handle_, start, kSeekStart);
  return mark;
}

void TIFile::discardBuffered() {
  if (reader_) reader_->discard();
}

int TIFile::rewind() {
  if (seek(0) < 0) return -1;
  return detectByteOrderMark();
}

int64_t TIFile::seekEnd() {
  discardBuffered();
  return IFile::seekEnd();
}

int64_t TIFile::seek(int64_t offset) {
  discardBuffered();
  return IFile::seek(offset);
}

int64_t TIFile::tell() {
  const int64_t position = IFile::tell();
  if (position < 0 || !reader_) return position;
  const bool wide = encoding_ == FileEncoding::Utf16Le || encoding_ == FileEncoding::Utf16Be;
  return position - int64_t{reader_->available()} * (wide ? 2 : 1);
}

int TIFile::readChar() { return reader_ ? reader_->readChar() : -1; }

int TIFile::readLine(__kvstrW& line) {
  if (!reader_) return -1;  // never opened: nothing to read
  return byteOrderMark_ == 0 ? readAnsiLine(line) : readMarkedLine(line);
}

int TIFile::readAnsiLine(__kvstrW& line) {
  std::string bytes;
  if (!collectLine(*reader_, bytes)) return -1;
  const auto count = static_cast<int32_t>(bytes.size());
  char16_t* wide = allocateArray<char16_t>(int64_t{count} + 1);
  int32_t units = count ? platform::MultiByteToWideChar(bytes.data(), count, wide, count) : 0;
  if (units < 0) units = 0;  // a failed conversion gives an empty line
  wide[units] = 0;
  line.attach(wide);
  return units;
}

int TIFile::readMarkedLine(__kvstrW& line) {
  std::u16string units;
  if (!collectLine(*reader_, units)) {
    line = __kvstrW();
    return -1;
  }
  // Dropped NULs never reach `units`, so the copy takes every unit.
  const auto count = static_cast<int32_t>(units.size());
  line.assign(units.data(), count);
  return count;
}
