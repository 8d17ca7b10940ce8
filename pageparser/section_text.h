// The text of a sub-section while the page is read, and the arena that holds
// a page's many short texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "textlib/kvstr.h"

// Storage for many short texts that live as long as their owner: units handed
// out from large blocks that never move, so that a text costs no allocation
// of its own and nothing handed out is ever moved or freed alone.
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

/// The text of one sub-section while the page is read, appended run by run; a
/// long text takes a few reallocations rather than one per run. Given an
/// arena, a text of up to kArenaUnits costs no allocation of its own.
class TSectionText : public __kvstrbufT<char16_t> {
 public:
  static constexpr int32_t kArenaUnits = 4096;

  TSectionText() = default;
  explicit TSectionText(TTextArena* arena) : arena_(arena) {}
  ~TSectionText() override;

 protected:
  int64_t grownCapacity(int64_t capacity, int64_t needed) const override;
  char16_t* resize(char16_t* data, int32_t length, int32_t capacity, int64_t wanted) override;

 private:
  TTextArena* const arena_ = nullptr;
  bool inArena_ = false;  ///< the storage is the arena's
};
