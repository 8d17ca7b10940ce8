// The growable text of one sub-section.
#include "pageparser/lexora_parser.h"

#include <cstring>
#include <limits>

namespace {
// Copies up to `n` units of `src` to `out`, stopping at a NUL; returns how many.
int32_t copyUntilNul(char16_t* out, const char16_t* src, int32_t n) {
  int32_t copied = 0;
  while (copied < n && src[copied]) {
    out[copied] = src[copied];
    ++copied;
  }
  return copied;
}
}  // namespace

int64_t TSectionText::grownCapacity(int64_t needed) const {
  // Half as much again as before, or what is needed when that is more; a new
  // text starts with a few dozen units so that short sub-sections stay small.
  constexpr int64_t kLargest = std::numeric_limits<int32_t>::max();
  constexpr int64_t kSmallest = 32;
  int64_t grown = int64_t{capacity_} + capacity_ / 2;
  if (grown < kSmallest) grown = kSmallest;
  if (grown < needed) grown = needed;
  return grown > kLargest && needed <= kLargest ? kLargest : grown;
}

void TSectionText::append(const char16_t* src, int32_t n) {
  if (!src || n <= 0) return;
  // The room is sized from `n`; what is copied stops at a NUL.
  const int64_t needed = int64_t{length_} + n + 1;
  if (needed <= capacity_) {
    length_ += copyUntilNul(data_ + length_, src, n);
  } else {
    const int64_t grown = grownCapacity(needed);
    char16_t* fresh = kvdetail::allocateArray<char16_t>(grown);
    if (length_) std::memcpy(fresh, data_, static_cast<size_t>(length_) * sizeof(char16_t));
    // Copied before the old array goes: `src` may point into it.
    length_ += copyUntilNul(fresh + length_, src, n);
    delete[] data_;
    data_ = fresh;
    capacity_ = static_cast<int32_t>(grown);
  }
  data_[length_] = 0;
}
