#include "textlib/object_array.h"

#include <cstdint>
#include <cstdlib>
#include <new>

FlexObjectArrayBase::FlexObjectArrayBase(int32_t blockSize, bool ownsItems)
    : blockSize_(blockSize > 0 ? blockSize : 16), ownsItems_(ownsItems) {
  items_ = static_cast<void**>(std::malloc(sizeof(void*) * static_cast<size_t>(blockSize_)));
  if (!items_) throw std::bad_alloc();
  items_[0] = nullptr;
}

FlexObjectArrayBase::~FlexObjectArrayBase() { releaseStorage(); }

void FlexObjectArrayBase::releaseStorage() {
  std::free(items_);
  items_ = nullptr;
  count_ = 0;
}

int FlexObjectArrayBase::resize() {
  const int64_t slots = int64_t{blockSize_} * blockCount_;
  // The byte size must fit size_t too, which on 32-bit hosts is the tighter bound.
  if (slots > INT32_MAX || static_cast<uint64_t>(slots) > SIZE_MAX / sizeof(void*)) return -1;
  void* grown = std::realloc(items_, sizeof(void*) * static_cast<size_t>(slots));
  if (!grown) return -1;  // the old block stays valid and in place
  items_ = static_cast<void**>(grown);
  return 0;
}

int FlexObjectArrayBase::add(void* item) {
  if (maxCount_ != -1 && count_ >= maxCount_) return -1;
  if (!items_) return -1;
  if (count_ >= capacity()) {
    ++blockCount_;
    if (resize() != 0) {
      --blockCount_;  // the block did not grow: capacity must not claim it did
      return -1;
    }
  }
  items_[count_++] = item;
  return 0;
}

void FlexObjectArrayBase::clear() {
  if (!items_) return;
  if (ownsItems_) {
    for (int32_t i = 0; i < count_; ++i) {
      if (items_[i]) deleteItem(items_[i]);
    }
  }
  blockCount_ = 1;
  resize();  // a failed shrink keeps the larger block, which is harmless
  count_ = 0;
}
