// The growable text of one sub-section. Its storage comes from the C
// allocator, so that growing a large text can extend it in place (or remap
// it) instead of copying it.
#include "pageparser/lexora_parser.h"

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>

TSectionText::~TSectionText() { std::free(data_); }

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
  if (needed > capacity_) {
    const int64_t grown = grownCapacity(needed);
    if (grown > std::numeric_limits<int32_t>::max() ||
        static_cast<uint64_t>(grown) > SIZE_MAX / sizeof(char16_t)) {
      throw std::bad_alloc();
    }
    // `src` may point into the old storage, which may move.
    const bool ownText = data_ && src >= data_ && src < data_ + capacity_;
    const std::ptrdiff_t offset = ownText ? src - data_ : 0;
    void* moved = std::realloc(data_, static_cast<size_t>(grown) * sizeof(char16_t));
    if (!moved) throw std::bad_alloc();  // the old storage stays as it was
    data_ = static_cast<char16_t*>(moved);
    capacity_ = static_cast<int32_t>(grown);
    if (ownText) src = data_ + offset;
  }
  length_ += kvdetail::copyRangeUntilNul(data_ + length_, src, n);
  data_[length_] = 0;
}
