// Owned strings and the growable wide string buffer.
//
// __kvstrW / __kvstrA own a NUL-terminated heap array, or nothing: an absent
// array is the empty string, and every reader (str, at) then sees the shared
// empty text, never a null pointer. Strings are exactly sized; copies are deep.
// Every operation obtains its new storage before it changes anything, so a
// std::bad_alloc leaves the object as it was.
#pragma once

#include <cstddef>
#include <cstdint>

/// The shared empty texts that absent strings read as.
extern const char16_t kEmptyText[1];
extern const char kEmptyNarrowText[1];

namespace kvdetail {
template <class T> const T* emptyText();
template <> inline const char16_t* emptyText<char16_t>() { return kEmptyText; }
template <> inline const char* emptyText<char>() { return kEmptyNarrowText; }

/// Number of elements before the first NUL of `s` (0 for null).
template <class T> int32_t textLength(const T* s) {
  if (!s) return 0;
  const T* p = s;
  while (*p) ++p;
  return static_cast<int32_t>(p - s);
}

/// new T[count] with `count` checked to be positive and addressable.
template <class T> T* allocateArray(int64_t count);

/// Copies the range [src, src + n), which must be readable whole, to `dst`,
/// stopping at a NUL; returns how many elements were copied. Blocks of eight
/// without a NUL are copied whole, which the compiler turns into vector moves.
template <class T> int32_t copyRangeUntilNul(T* dst, const T* src, int32_t n) {
  if (!src) return 0;
  constexpr int32_t kBlock = 8;
  int32_t i = 0;
  for (; n - i >= kBlock; i += kBlock) {
    bool hasNul = false;
    for (int32_t k = 0; k < kBlock; ++k) hasNul |= src[i + k] == 0;
    if (hasNul) break;
    for (int32_t k = 0; k < kBlock; ++k) dst[i + k] = src[i + k];
  }
  while (i < n && src[i]) {
    dst[i] = src[i];
    ++i;
  }
  return i;
}
}  // namespace kvdetail

template <class T>
class __kvstrT {
 public:
  __kvstrT() = default;
  /// Copies the NUL-terminated `src`; null or empty gives an absent string.
  __kvstrT(const T* src);  // NOLINT(google-explicit-constructor): strings convert from literals
  __kvstrT(const __kvstrT& other) : __kvstrT(other.text_) {}
  __kvstrT(__kvstrT&& other) noexcept : text_(other.text_) { other.text_ = nullptr; }
  __kvstrT& operator=(const __kvstrT& other);
  __kvstrT& operator=(__kvstrT&& other) noexcept;
  virtual ~__kvstrT() { delete[] text_; }

  /// Replaces the contents with at most `n` elements of `src` (stopping at a
  /// NUL). Always allocates n + 1 elements, even for n == 0 or a null `src`.
  /// `src` may point into this string. Returns where copying stopped in `src`.
  const T* assign(const T* src, int32_t n);
  /// Appends at most `n` elements of `src`; reallocates to the exact new size.
  void append(const T* src, int32_t n);
  /// Takes ownership of `array` (allocated with new T[]); frees the old one.
  void attach(T* array);

  int32_t length() const { return kvdetail::textLength(text_); }
  bool empty() const { return !text_ || !*text_; }
  const T* str() const { return text_ ? text_ : kvdetail::emptyText<T>(); }
  /// Element `i` of the text; callers ask only for at(0) on an absent string.
  const T* at(int32_t i) const { return str() + i; }
  /// The owned array itself, or null when absent.
  T* data() { return text_; }

 private:
  T* text_ = nullptr;
};

class __kvstrW : public __kvstrT<char16_t> {
 public:
  using __kvstrT<char16_t>::__kvstrT;
  __kvstrW() = default;
  __kvstrW(const __kvstrW&) = default;
  __kvstrW(__kvstrW&&) noexcept = default;
  __kvstrW& operator=(const __kvstrW&) = default;
  __kvstrW& operator=(__kvstrW&&) noexcept = default;
  ~__kvstrW() override = default;
};

class __kvstrA : public __kvstrT<char> {
 public:
  using __kvstrT<char>::__kvstrT;
  __kvstrA() = default;
  __kvstrA(const __kvstrA&) = default;
  __kvstrA(__kvstrA&&) noexcept = default;
  __kvstrA& operator=(const __kvstrA&) = default;
  __kvstrA& operator=(__kvstrA&&) noexcept = default;
  ~__kvstrA() override = default;
};

/// Code-unit order, case-sensitive and locale-free; absent equals empty. This is
/// the ordering of every map keyed by __kvstrW.
bool operator<(const __kvstrW& a, const __kvstrW& b);
bool operator==(const __kvstrW& a, const __kvstrW& b);
inline bool operator!=(const __kvstrW& a, const __kvstrW& b) { return !(a == b); }
/// Whole-text equality with a NUL-terminated literal.
bool operator==(const __kvstrW& a, const char16_t* b);

/// Growable buffer: capacity counts the NUL, length does not. Capacity is
/// always a whole number of 1024-character steps: when it runs short it grows
/// to the needed size or half as much again as before, whichever is larger,
/// rounded up to the next step, so long texts are built in linear time.
template <class T>
class __kvstrbufT {
 public:
  static constexpr int32_t kGrowthStep = 1024;

  __kvstrbufT() = default;
  __kvstrbufT(const __kvstrbufT&) = delete;
  __kvstrbufT& operator=(const __kvstrbufT&) = delete;
  virtual ~__kvstrbufT() { delete[] data_; }

  /// Appends at most `n` elements of `src`, stopping at a NUL. The room is
  /// sized from `n`, not from what `src` really holds.
  void append(const T* src, int32_t n);
  /// Appends one element (a NUL element appends nothing).
  void append(T c) { append(&c, 1); }
  /// append for a range [src, src + n) that is readable whole (a string's own
  /// text and length, say), which lets long texts be copied in blocks.
  void appendRange(const T* src, int32_t n);
  /// Makes room for `n` more elements and the NUL at once: the capacity
  /// becomes that size rounded up to whole steps, unless it is already enough.
  void reserve(int32_t n);

  int32_t length() const { return length_; }
  int32_t capacity() const { return capacity_; }
  const T* str() const { return data_ ? data_ : kvdetail::emptyText<T>(); }

 private:
  /// The capacity to grow to from `capacity` when `needed` elements must fit.
  static int64_t grownCapacity(int64_t capacity, int64_t needed);

  T* data_ = nullptr;
  int32_t capacity_ = 0;
  int32_t length_ = 0;
};

class __kvstrbufW : public __kvstrbufT<char16_t> {
 public:
  __kvstrbufW() = default;
  ~__kvstrbufW() override = default;
};

/// Writes an optional "-" and the decimal digits of `value`, then a NUL, to
/// `out` (room for 12 units) and returns the position of that NUL.
char16_t* formatDecimal(int32_t value, char16_t* out);

extern template class __kvstrT<char16_t>;
extern template class __kvstrT<char>;
extern template class __kvstrbufT<char16_t>;
