#include "textlib/kvstr.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

const char16_t kEmptyText[1] = {0};
const char kEmptyNarrowText[1] = {0};

template <class T>
__kvstrT<T>::__kvstrT(const T* src) {
  const int32_t n = textLength(src);
  if (n == 0) return;
  text_ = allocateArray<T>(int64_t{n} + 1);
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
  T* fresh = allocateArray<T>(int64_t{n} + 1);
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
  T* fresh = allocateArray<T>(int64_t{have} + n + 1);
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
__kvstrbufT<T>::~__kvstrbufT() {
  // Section texts keep their units in an arena and leave nothing here, and
  // in the DLL a call to free nothing costs more than this test.
  if (data_) std::free(data_);
}

template <class T>
int64_t __kvstrbufT<T>::grownCapacity(int64_t, int64_t needed) const {
  return (needed + kGrowthStep - 1) / kGrowthStep * kGrowthStep;
}

// The storage comes from resize, by default from the C allocator, so that
// growing a large text can extend it in place (or remap it) instead of
// copying it.
template <class T>
const T* __kvstrbufT<T>::grow(int64_t needed, const T* src) {
  const int64_t grown = grownCapacity(capacity_, needed);
  if (grown > std::numeric_limits<int32_t>::max() || static_cast<uint64_t>(grown) > SIZE_MAX / sizeof(T)) {
    throw std::bad_alloc();
  }
  const bool ownText = data_ && src >= data_ && src < data_ + capacity_;
  const std::ptrdiff_t offset = ownText ? src - data_ : 0;
  T* const moved = resize(data_, length_, capacity_, grown);
  if (!moved) throw std::bad_alloc();  // the old storage stays as it was
  data_ = moved;
  capacity_ = static_cast<int32_t>(grown);
  data_[length_] = 0;
  return ownText ? data_ + offset : src;
}

template <class T>
void __kvstrbufT<T>::append(const T* src, int32_t n) {
  if (n < 0) n = 0;
  // The buffer's own text ends at its length: a copy of it stops there rather
  // than read what it writes.
  if (data_ && src >= data_ && src < data_ + length_) {
    const int32_t own = static_cast<int32_t>(data_ + length_ - src);
    if (n > own) n = own;
  }
  const int64_t needed = int64_t{length_} + n + 1;
  if (needed > capacity_) src = grow(needed, src);
  length_ += copyUntilNul(data_ + length_, src, n);
  data_[length_] = 0;
}

template <class T>
void __kvstrbufT<T>::reserve(int32_t n) {
  if (n < 0) n = 0;
  const int64_t needed = int64_t{length_} + n + 1;
  if (needed > capacity_) grow(needed, nullptr);
}

template <class T>
void __kvstrbufT<T>::shrinkToFit() {
  if (!data_ || capacity_ == length_ + 1) return;
  // Shrinking gives the tail back where the block lies; should it fail, the
  // buffer keeps its storage and is no worse off.
  if (T* kept = resize(data_, length_, capacity_, int64_t{length_} + 1)) {
    data_ = kept;
    capacity_ = length_ + 1;
  }
}

template <class T>
T* __kvstrbufT<T>::resize(T* data, int32_t, int32_t, int64_t wanted) {
  return static_cast<T*>(std::realloc(data, static_cast<size_t>(wanted) * sizeof(T)));
}

template <class T>
T* __kvstrbufT<T>::takeStorage() {
  T* const data = data_;
  data_ = nullptr;
  capacity_ = 0;
  length_ = 0;
  return data;
}

template <class T>
void __kvstrbufT<T>::truncate(int32_t length) {
  if (length < 0 || length >= length_) return;
  length_ = length;
  data_[length_] = 0;
  shrinkToFit();
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
  // The magnitude as unsigned 32 bits, so that INT32_MIN needs no special
  // case and each digit costs a multiply rather than a 64-bit division: list
  // numbers are formatted once per list item.
  const bool negative = value < 0;
  uint32_t magnitude = negative ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  do {
    digits[n++] = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (negative) *out++ = u'-';
  while (n) *out++ = digits[--n];
  *out = 0;
  return out;
}

template class __kvstrT<char16_t>;
template class __kvstrT<char>;
template class __kvstrbufT<char16_t>;
