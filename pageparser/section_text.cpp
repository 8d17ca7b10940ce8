#include "pageparser/section_text.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "textlib/text_util.h"

namespace {
// A block holds this many units, or a single larger request whole.
constexpr size_t kBlockUnits = 16 * 1024;
}  // namespace

char16_t* TTextArena::allocate(size_t units) {
  if (units == 0) units = 1;
  if (units > room_) {
    const size_t blockUnits = std::max(kBlockUnits, units);
    blocks_.emplace_back(new char16_t[blockUnits]);  // not zeroed: every unit is written before it is read
    free_ = blocks_.back().get();
    room_ = blockUnits;
  }
  char16_t* const given = free_;
  free_ += units;
  room_ -= units;
  return given;
}

bool TTextArena::extend(const char16_t* at, size_t units, size_t more) {
  if (at + units != free_ || more > room_) return false;
  free_ += more;
  room_ -= more;
  return true;
}

int64_t TSectionText::grownCapacity(int64_t capacity, int64_t needed) const {
  // A new text starts with a few dozen units, so that short sub-sections stay
  // small, and doubles while it is short, which takes it past most
  // sub-sections in a few steps; a long text grows by half again, so that
  // its spare room stays within half its size. The growth never makes a size
  // that fits fail.
  constexpr int64_t kLargest = std::numeric_limits<int32_t>::max();
  constexpr int64_t kSmallest = 32;
  constexpr int64_t kShort = 4096;
  int64_t grown = capacity < kShort ? capacity * 2 : capacity + capacity / 2;
  if (grown < kSmallest) grown = kSmallest;
  if (grown < needed) grown = needed;
  return grown > kLargest && needed <= kLargest ? kLargest : grown;
}

TSectionText::~TSectionText() {
  char16_t* const data = takeStorage();
  if (!inArena_) std::free(data);
}

char16_t* TSectionText::resize(char16_t* data, int32_t length, int32_t capacity, int64_t wanted) {
  if (!arena_ || (data && !inArena_)) return __kvstrbufT::resize(data, length, capacity, wanted);
  // Arena storage is given back with the arena, so a text that shrinks keeps
  // its room, and its capacity reads smaller than it is: never larger.
  if (wanted <= capacity) return data;
  const auto units = static_cast<size_t>(wanted);
  const auto kept = static_cast<size_t>(length) + 1;
  char16_t* fresh = nullptr;
  if (wanted <= kArenaUnits) {
    if (data && arena_->extend(data, static_cast<size_t>(capacity), units - static_cast<size_t>(capacity))) {
      return data;
    }
    fresh = arena_->allocate(units);
  } else {
    fresh = static_cast<char16_t*>(std::malloc(units * sizeof(char16_t)));
    if (!fresh) return nullptr;
  }
  if (data) copyElements(fresh, data, kept);
  inArena_ = wanted <= kArenaUnits;
  return fresh;
}
