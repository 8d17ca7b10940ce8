// Storage for many short texts that live as long as their owner: units handed
// out from large blocks that never move, so that a text costs no allocation
// of its own and nothing handed out is ever moved or freed alone.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

class TTextArena {
 public:
  TTextArena() = default;
  TTextArena(const TTextArena&) = delete;
  TTextArena& operator=(const TTextArena&) = delete;

  /// Room for `units` units (at least one), valid as long as the arena.
  char16_t* allocate(size_t units);
  /// Grows the room [at, at + units), when it was handed out last, by `more`
  /// units where it lies, if its block has them; false when it cannot.
  bool extend(const char16_t* at, size_t units, size_t more);

 private:
  std::vector<std::unique_ptr<char16_t[]>> blocks_;
  char16_t* free_ = nullptr;
  size_t room_ = 0;
};
