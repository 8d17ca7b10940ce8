// A replacement of the global allocator that can be told to fail: after
// failAllocationAfter(n), the n-th allocation from then on throws
// std::bad_alloc once. Include this header in exactly one file per test
// executable (it defines the replaceable operators).
#pragma once

#include <cstdlib>
#include <new>

namespace testalloc {
/// Allocations still to succeed before the failing one; -1 when disarmed.
inline int countdown = -1;

inline void failAllocationAfter(int n) { countdown = n - 1; }
inline void disarm() { countdown = -1; }

inline void* allocate(std::size_t size) {
  if (countdown == 0) {
    countdown = -1;  // fail once, then behave normally again
    throw std::bad_alloc();
  }
  if (countdown > 0) --countdown;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace testalloc

void* operator new(std::size_t size) { return testalloc::allocate(size); }
void* operator new[](std::size_t size) { return testalloc::allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
