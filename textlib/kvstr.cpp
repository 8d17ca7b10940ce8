#include "textlib/kvstr.h"

#include <cstring>
#include <limits>
#include <new>
#include <utility>

const char16_t kEmptyText[1] = {0};
const char kEmptyNarrowText[1] = {0};

namespace kvdetail {
template <class T> T* allocateArray(int64_t count) {
  // Counts come from 32-bit lengths; anything past that cannot be addressed.
  if (count <= 0 || count > std::numeric_limits<int32_t>::max()) throw std::bad_alloc();
  return new T[static_cast<size_t>(count)];
}
template char16_t* allocateArray<char16_t>(int64_t);
template char* allocateArray<char>(int64_t);
}  // namespace kvdetail

namespace {
// Copies up to `n` elements of `src` to `dst`, stopping at a NUL; returns how
// many were copied. A null `src` copies nothing. Never reads past the NUL:
// callers may give a count beyond the text.
template <class T> int32_t copyUntilNul(T* dst, const T* src, int32_t n) {
  if (!src) return 0;
  int32_t i = 0;
  while (i < n && src[i]) {
    dst[i] = src[i];
    ++i;
  }
  return i;
}
}  // namespace

template <class T>
__kvstrT<T>::__kvstrT(const T* src) {
  const int32_t n = kvdetail::textLength(src);
  if (n == 0) return;
  text_ = kvdetail::allocateArray<T>(int64_t{n} + 1);
  std::memcpy(text_, src, (static_cast<size_t>(n) + 1) * sizeof(T));
}

template <class T>
__kvstrT<T>& __kvstrT<T>::operator=(const __kvstrT& other) {
  if (this != &other) {
    __kvstrT copy(other);
    std::swap(text_, copy.text_);
  }
  return *this;
}

template <class T>
__kvstrT<T>& __kvstrT<T>::operator=(__kvstrT&& other) noexcept {
  if (this != &other) {
    delete[] text_;
    text_ = other.text_;
    other.text_ = nullptr;
  }
  return *this;
}

template <class T>
const T* __kvstrT<T>::assign(const T* src, int32_t n) {
  if (n < 0) n = 0;
  T* fresh = kvdetail::allocateArray<T>(int64_t{n} + 1);
  const int32_t copied = copyUntilNul(fresh, src, n);
  fresh[copied] = 0;
  T* old = text_;
  text_ = fresh;
  delete[] old;  // after the copy, so that src may point into the old text
  return src ? src + copied : src;
}

template <class T>
void __kvstrT<T>::append(const T* src, int32_t n) {
  if (n < 0) n = 0;
  const int32_t have = length();
  T* fresh = kvdetail::allocateArray<T>(int64_t{have} + n + 1);
  if (have) std::memcpy(fresh, text_, static_cast<size_t>(have) * sizeof(T));
  const int32_t copied = copyUntilNul(fresh + have, src, n);
  fresh[have + copied] = 0;
  delete[] text_;
  text_ = fresh;
}

template <class T>
void __kvstrT<T>::attach(T* array) {
  if (array == text_) return;
  delete[] text_;
  text_ = array;
}

template <class T>
int64_t __kvstrbufT<T>::grownCapacity(int64_t capacity, int64_t needed) {
  // Half as much again as the old capacity, so that building a text of any
  // length reallocates only logarithmically often; never less than needed, and
  // always whole steps. Past the 32-bit range the allocation itself refuses.
  constexpr int64_t kLargest = std::numeric_limits<int32_t>::max() / kGrowthStep * kGrowthStep;
  const int64_t wanted = needed > capacity + capacity / 2 ? needed : capacity + capacity / 2;
  const int64_t grown = (wanted + kGrowthStep - 1) / kGrowthStep * kGrowthStep;
  // The extra half never makes a size that fits fail.
  return grown > kLargest && needed <= kLargest ? kLargest : grown;
}

template <class T>
void __kvstrbufT<T>::append(const T* src, int32_t n) {
  if (n < 0) n = 0;
  const int64_t needed = int64_t{length_} + n + 1;
  if (capacity_ < needed) {
    const int64_t grown = grownCapacity(capacity_, needed);
    T* fresh = kvdetail::allocateArray<T>(grown);
    if (length_) std::memcpy(fresh, data_, static_cast<size_t>(length_) * sizeof(T));
    // Copy before freeing the old array: `src` may point into it.
    const int32_t copied = copyUntilNul(fresh + length_, src, n);
    delete[] data_;
    data_ = fresh;
    capacity_ = static_cast<int32_t>(grown);
    length_ += copied;
  } else {
    length_ += copyUntilNul(data_ + length_, src, n);
  }
  data_[length_] = 0;
}

template <class T>
void __kvstrbufT<T>::appendRange(const T* src, int32_t n) {
  if (n <= 0 || !src || int64_t{length_} + n + 1 > capacity_) {
    append(src, n);  // growing (or nothing to do): the ordinary way
    return;
  }
  length_ += kvdetail::copyRangeUntilNul(data_ + length_, src, n);
  data_[length_] = 0;
}

template <class T>
void __kvstrbufT<T>::reserve(int32_t n) {
  if (n < 0) n = 0;
  const int64_t needed = int64_t{length_} + n + 1;
  if (capacity_ >= needed) return;
  const int64_t grown = (needed + kGrowthStep - 1) / kGrowthStep * kGrowthStep;
  T* fresh = kvdetail::allocateArray<T>(grown);
  if (length_) std::memcpy(fresh, data_, static_cast<size_t>(length_) * sizeof(T));
  fresh[length_] = 0;
  delete[] data_;
  data_ = fresh;
  capacity_ = static_cast<int32_t>(grown);
}

bool operator<(const __kvstrW& a, const __kvstrW& b) {
  const char16_t* p = a.str();
  const char16_t* q = b.str();
  while (*p && *p == *q) {
    ++p;
    ++q;
  }
  return *p < *q;  // char16_t is unsigned: code-unit order, a prefix first
}

bool operator==(const __kvstrW& a, const char16_t* b) {
  const char16_t* p = a.str();
  const char16_t* q = b ? b : kEmptyText;
  while (*p && *p == *q) {
    ++p;
    ++q;
  }
  return *p == *q;
}

bool operator==(const __kvstrW& a, const __kvstrW& b) { return a == b.str(); }

char16_t* formatDecimal(int32_t value, char16_t* out) {
  char16_t digits[12];
  int n = 0;
  // Work in the negative range so that INT32_MIN needs no special case.
  int64_t v = value;
  const bool negative = v < 0;
  if (!negative) v = -v;
  do {
    digits[n++] = static_cast<char16_t>(u'0' - v % 10);
    v /= 10;
  } while (v != 0);
  if (negative) *out++ = u'-';
  while (n) *out++ = digits[--n];
  *out = 0;
  return out;
}

template class __kvstrT<char16_t>;
template class __kvstrT<char>;
template class __kvstrbufT<char16_t>;
