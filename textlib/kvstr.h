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
#include <cstring>

#include "textlib/text_util.h"

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

  int32_t length() const { return textLength(text_); }
  bool empty() const { return !text_ || !*text_; }
  const T* str() const { return text_ ? text_ : detail::emptyText<T>(); }
  /// Element `i` of the text; callers ask only for at(0) on an absent string.
  const T* at(int32_t i) const { return str() + i; }
  /// Null when absent.
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

/// Growable buffer: capacity counts the NUL, length does not. Reads as the
/// empty text until the first append. grownCapacity, the one growth rule a
/// derived buffer may change, says how far it grows when it runs short; every
/// growth obtains its storage before it changes anything, so a
/// std::bad_alloc leaves the buffer as it was.
template <class T>
class __kvstrbufT {
 public:
  static constexpr int32_t kGrowthStep = 1024;

  __kvstrbufT() = default;
  __kvstrbufT(const __kvstrbufT&) = delete;
  __kvstrbufT& operator=(const __kvstrbufT&) = delete;
  virtual ~__kvstrbufT();

  /// Appends at most `n` elements of `src`, stopping at a NUL. The room is
  /// sized from `n`, not from what `src` really holds. `src` may point into
  /// this buffer.
  void append(const T* src, int32_t n);
  /// Appends one element (a NUL element appends nothing).
  void append(T c) { append(&c, 1); }
  /// Appends the `n` elements [src, src + n) in one copy, for a caller that
  /// knows they hold no NUL and lie outside this buffer (append checks both).
  /// Defined here: section text arrives in many short runs.
  void appendUnits(const T* src, int32_t n) {
    if (n <= 0) return;
    const int64_t needed = int64_t{length_} + n + 1;
    if (needed > capacity_) grow(needed, nullptr);
    detail::copyBytes(data_ + length_, src, static_cast<size_t>(n) * sizeof(T));
    length_ += n;
    data_[length_] = 0;
  }
  /// Makes room for `n` more elements and the NUL at once.
  void reserve(int32_t n);
  /// Gives back the capacity beyond the text and its NUL, for a buffer that
  /// is done growing.
  void shrinkToFit();
  /// Keeps the first `length` elements (all of them when it holds no more)
  /// and gives back the storage past them.
  void truncate(int32_t length);
  /// Empties the text and keeps the storage, for a buffer filled again and
  /// again.
  void clear() {
    length_ = 0;
    if (data_) data_[0] = 0;
  }

  int32_t length() const { return length_; }
  int32_t capacity() const { return capacity_; }
  bool empty() const { return length_ == 0; }
  bool endsWith(T c) const { return length_ > 0 && data_[length_ - 1] == c; }
  /// NUL-terminated; valid until the next append.
  const T* str() const { return data_ ? data_ : detail::emptyText<T>(); }

 protected:
  /// The capacity to grow to from `capacity` when `needed` elements (the
  /// NUL's included) must fit; never less than `needed`. This one rounds
  /// `needed` up to whole steps of kGrowthStep.
  virtual int64_t grownCapacity(int64_t capacity, int64_t needed) const;
  /// Storage of `wanted` elements, more or fewer than `capacity`, that begins
  /// with the `length` elements of `data` (null: none yet) and takes its
  /// place; or null, leaving `data` as it was, when there is none to be had.
  /// This one reallocates with the C allocator, whose storage the destructor
  /// frees.
  virtual T* resize(T* data, int32_t length, int32_t capacity, int64_t wanted);
  /// Hands the storage over to a derived destructor that gives it back its
  /// own way, leaving the buffer empty.
  T* takeStorage();

 private:
  /// Makes the capacity at least `needed`, moving the text; returns where
  /// `src` now lies when it pointed into the old storage.
  const T* grow(int64_t needed, const T* src);

  T* data_ = nullptr;
  int32_t capacity_ = 0;
  int32_t length_ = 0;
};

/// The wide string buffer, growing in steps of kGrowthStep characters, for
/// callers that build a text whole; buffers with a growth of their own derive
/// from __kvstrbufT.
class __kvstrbufW : public __kvstrbufT<char16_t> {
 public:
  __kvstrbufW() = default;
  ~__kvstrbufW() override = default;
};

/// Writes an optional "-" and the decimal digits of `value`, then a NUL, to
/// `out` (room for 12 units) and returns the position of that NUL. The lookup
/// has no caller of its own: a valueless attribute reads "0" from a constant.
char16_t* formatDecimal(int32_t value, char16_t* out);

extern template class __kvstrT<char16_t>;
extern template class __kvstrT<char>;
extern template class __kvstrbufT<char16_t>;
