#include "textlib/object_array.h"

#include <cstdint>
#include <cstdlib>
#include <new>

FlexObjectArrayBase::FlexObjectArrayBase(int32_t blockSize, bool ownsItems)
    : blockSize_(blockSize > 0 ? blockSize : 16), ownsItems_(ownsItems) {
  items_ = static_cast<void**>(std::malloc(sizeof(void*) * static_cast<size_t>(blockSize_)));
  if (!items_) throw std::bad_alloc();
  allocatedSlots_ = blockSize_;
  items_[0] = nullptr;
}

FlexObjectArrayBase::~FlexObjectArrayBase() { releaseStorage(); }

void FlexObjectArrayBase::releaseStorage() {
  std::free(items_);
  items_ = nullptr;
  allocatedSlots_ = 0;
  count_ = 0;
}

namespace {
// The byte size must fit size_t too, which on 32-bit hosts is the tighter bound.
bool isAddressable(int64_t slots) {
  return slots <= INT32_MAX && static_cast<uint64_t>(slots) <= SIZE_MAX / sizeof(void*);
}
}  // namespace

int FlexObjectArrayBase::reallocateSlots(int64_t slots) {
  if (!isAddressable(slots)) return -1;
  void* moved = std::realloc(items_, sizeof(void*) * static_cast<size_t>(slots));
  if (!moved) return -1;  // the old storage stays valid and in place
  items_ = static_cast<void**>(moved);
  allocatedSlots_ = static_cast<int32_t>(slots);
  return 0;
}

int FlexObjectArrayBase::resize() {
  const int64_t slots = int64_t{blockSize_} * blockCount_;
  if (!isAddressable(slots)) return -1;
  if (slots <= allocatedSlots_) return 0;
  // Capacity still grows a block at a time, but the storage behind it doubles,
  // so very many elements cost only logarithmically many reallocations.
  const int64_t doubled = int64_t{allocatedSlots_} * 2;
  if (doubled > slots && reallocateSlots(doubled) == 0) return 0;
  return reallocateSlots(slots);
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
  reallocateSlots(blockSize_);  // a failed shrink keeps the larger block, which is harmless
  count_ = 0;
}
