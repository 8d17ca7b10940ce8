#include "tests/textlib/failing_allocator.h"

#include <cstdlib>
#include <new>

namespace testalloc {
int countdown = -1;

namespace {
void* allocate(std::size_t size) {
  if (countdown == 0) {
    countdown = -1;  // fail once, then behave normally again
    throw std::bad_alloc();
  }
  if (countdown > 0) --countdown;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace
}  // namespace testalloc

void* operator new(std::size_t size) { return testalloc::allocate(size); }
void* operator new[](std::size_t size) { return testalloc::allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
