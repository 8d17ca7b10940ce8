// The module's outward face: the two exports and the hook by which the system
// announces that the module was attached to a process. Nothing here may let an
// exception out: the host is not C++.
#include <cstdint>
#include <cstring>

#if !defined(_WIN32)
// Only what lexoradx.h declares leaves the module; all else is hidden.
#pragma GCC visibility push(default)
#endif
#include "plugin/lexoradx.h"
#if !defined(_WIN32)
#pragma GCC visibility pop
#endif

#include "platform/platform.h"
#include "plugin/config.h"
#include "plugin/dictionaries.h"
#include "plugin/request.h"

extern "C" int32_t DX_STDCALL dxEnumerate(int32_t index, DictionaryInfo* record) {
  const DictionaryInfo* row = dictionaryAt(index);
  if (!row || !record) return 0;
  std::memcpy(record, row, sizeof *record);
  return 1;
}

extern "C" int32_t DX_STDCALL dxRequest(int32_t dictIndex, const char16_t* word, LookupResult* result,
                                        const char16_t* basePath, HostCallbacks* callbacks) {
  try {
    return runLookup(dictIndex, word, result, basePath, callbacks) == LookupOutcome::Found ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

#if defined(_WIN32)
// The system's attach and detach notifications arrive here (the run-time
// library's start-up code calls DllMain by name). An unload gives the
// module's heap back; at process exit (`reserved` set) the system takes it.
extern "C" int __stdcall DllMain(void* module, unsigned long reason, void* reserved) {
  constexpr unsigned long kProcessDetach = 0;
  if (reason == kProcessDetach && !reserved) platform::releaseModuleMemory();
  return DllEntryPoint(module, static_cast<uint32_t>(reason), reserved);
}
#else
// Natively the loader runs this once when the module is loaded, which is the
// process attach of this platform.
__attribute__((constructor)) static void attachModule() {
  constexpr uint32_t kProcessAttach = 1;
  DllEntryPoint(nullptr, kProcessAttach, nullptr);
}
#endif
