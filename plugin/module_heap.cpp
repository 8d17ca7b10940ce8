// The DLL's objects live on the module's own heap (see
// platform::allocateModuleMemory): every allocation of the plug-in and of the
// C++ library linked into it comes through these operators. Only the DLL has
// them; elsewhere the run-time library's heap serves.
#include <cstddef>
#include <new>

#include "platform/platform.h"

void* operator new(std::size_t bytes) {
  if (void* block = platform::allocateModuleMemory(bytes)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t bytes) { return operator new(bytes); }
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
  return platform::allocateModuleMemory(bytes);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
  return platform::allocateModuleMemory(bytes);
}

void operator delete(void* block) noexcept { platform::freeModuleMemory(block); }
void operator delete[](void* block) noexcept { platform::freeModuleMemory(block); }
void operator delete(void* block, std::size_t) noexcept { platform::freeModuleMemory(block); }
void operator delete[](void* block, std::size_t) noexcept { platform::freeModuleMemory(block); }
