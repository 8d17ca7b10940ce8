#include "textlib/text_arena.h"

#include <algorithm>

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
