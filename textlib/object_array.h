// Growable arrays of pointers to heap objects, optionally owning them. The
// capacity grows by whole blocks of pointer slots and can be capped; adding
// many elements stays linear in time.
//
// Nothing in the lookup keeps its objects here: the page parser's store lays
// its language names out in blocks of its own. These arrays serve callers of
// the support library.
#pragma once

#include <cstdint>

#include "textlib/kvstr.h"

class FlexObjectArrayBase {
 public:
  /// `blockSize` slots per block (16 when 0 or negative). Throws std::bad_alloc
  /// when the first block cannot be had.
  FlexObjectArrayBase(int32_t blockSize, bool ownsItems);
  FlexObjectArrayBase(const FlexObjectArrayBase&) = delete;
  FlexObjectArrayBase& operator=(const FlexObjectArrayBase&) = delete;

  virtual void deleteItem(void* item) = 0;
  virtual ~FlexObjectArrayBase();

  /// Appends `item`: 0, or -1 when the cap is reached or the storage cannot
  /// grow (the caller then keeps ownership of `item`).
  int add(void* item);
  /// Deletes owned elements in index order, shrinks to one block, count 0.
  void clear();

  int32_t count() const { return count_; }
  /// Not checked: 0 <= i < count().
  void* item(int32_t i) const { return items_[i]; }
  int32_t capacity() const { return blockSize_ * blockCount_; }
  void setMaxCount(int32_t maxCount) { maxCount_ = maxCount; }

 protected:
  /// Frees the block without deleting elements; derived destructors clear first.
  void releaseStorage();

 private:
  /// Makes room for blockSize * blockCount slots: 0, or -1 when the storage
  /// cannot grow (it then stays as it was).
  int resize();
  /// Reallocates the storage to exactly `slots` pointer slots: 0, or -1.
  int reallocateSlots(int64_t slots);

  void** items_ = nullptr;
  /// Pointer slots actually allocated; at least capacity() while items_ is set.
  int32_t allocatedSlots_ = 0;
  int32_t blockSize_;
  int32_t blockCount_ = 1;
  int32_t count_ = 0;
  bool ownsItems_;
  int32_t maxCount_ = -1;
};

template <class T>
class FlexObjectArray : public FlexObjectArrayBase {
 public:
  explicit FlexObjectArray(int32_t blockSize = 16, bool ownsItems = true)
      : FlexObjectArrayBase(blockSize, ownsItems) {}
  ~FlexObjectArray() override {
    clear();
    releaseStorage();
  }

  void deleteItem(void* item) override { delete static_cast<T*>(item); }
  T* item(int32_t i) const { return static_cast<T*>(FlexObjectArrayBase::item(i)); }
};

/// The vector of owned strings.
template <class S, class C>
class kvstrT_vec : public FlexObjectArray<S> {
 public:
  explicit kvstrT_vec(int32_t blockSize = 16, bool ownsItems = true)
      : FlexObjectArray<S>(blockSize, ownsItems) {}
  ~kvstrT_vec() override = default;
};
