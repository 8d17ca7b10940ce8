// Text helpers that the string classes and the layers above them share: the
// shared empty texts, lengths up to the NUL, checked array allocation and the
// one copy that stops at a NUL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <string>

/// The shared empty texts that absent strings read as.
extern const char16_t kEmptyText[1];
extern const char kEmptyNarrowText[1];

template <class T> const T* emptyText();
template <> inline const char16_t* emptyText<char16_t>() { return kEmptyText; }
template <> inline const char* emptyText<char>() { return kEmptyNarrowText; }

/// Number of elements before the first NUL of `s` (0 for null).
template <class T> int32_t textLength(const T* s) {
  if (!s) return 0;
  return static_cast<int32_t>(std::char_traits<T>::length(s));
}

/// new T[count], with `count` checked to be positive and within the 32-bit
/// lengths of the string types; anything past that throws std::bad_alloc.
template <class T> T* allocateArray(int64_t count) {
  if (count <= 0 || count > std::numeric_limits<int32_t>::max()) throw std::bad_alloc();
  return new T[static_cast<size_t>(count)];
}

/// memcpy(dst, src, bytes) for ranges that do not overlap. Up to 16 bytes
/// are moved by two fixed-size copies that may overlap each other, which
/// compile to plain loads and stores: the many short texts cost no call.
inline void copyBytes(void* dst, const void* src, size_t bytes) {
  auto* to = static_cast<char*>(dst);
  const auto* from = static_cast<const char*>(src);
  if (bytes > 16) {
    std::memcpy(to, from, bytes);
  } else if (bytes >= 8) {
    uint64_t head;
    uint64_t tail;
    std::memcpy(&head, from, 8);
    std::memcpy(&tail, from + bytes - 8, 8);
    std::memcpy(to, &head, 8);
    std::memcpy(to + bytes - 8, &tail, 8);
  } else if (bytes >= 4) {
    uint32_t head;
    uint32_t tail;
    std::memcpy(&head, from, 4);
    std::memcpy(&tail, from + bytes - 4, 4);
    std::memcpy(to, &head, 4);
    std::memcpy(to + bytes - 4, &tail, 4);
  } else if (bytes > 0) {
    to[0] = from[0];
    to[bytes - 1] = from[bytes - 1];
    to[bytes / 2] = from[bytes / 2];
  }
}

/// Copies at most `n` elements of `src` to `dst`, stopping at a NUL, and
/// returns how many were copied. Never reads past that NUL, so `n` may exceed
/// the text; a null `src` copies nothing. The ranges must not overlap.
template <class T> int32_t copyUntilNul(T* dst, const T* src, int32_t n) {
  if (!src) return 0;
  int32_t i = 0;
  for (; i < n && src[i]; ++i) dst[i] = src[i];
  return i;
}
