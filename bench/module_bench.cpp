// The built module as a host loads it: lookups of one page through dxRequest,
// the page served from memory and every download answered at once, timed by
// the wall clock. Built natively (LexoraDX.so) and for Windows (the real DLL,
// run under Wine), so that ./lexoradx bench sets the two side by side.
//   module_bench MODULE PAGE.html SECONDS RESULT
// Looks the page up again and again for about SECONDS (0: exactly once) and
// appends "<MiB/s> <lookups>" to the file RESULT. The module's diagnostic lines
// go to this program's standard streams, which the caller sends where a host
// would. The markup mode is the one the INI beside MODULE selects.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/platform.h"
#include "plugin/lexoradx.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

std::string gPage;

int32_t DX_CDECL fetchPage(const char*, BSTR* page) {
  *page = platform::SysAllocStringByteLen(gPage.data(), static_cast<uint32_t>(gPage.size()));
  return *page != nullptr;
}

int32_t DX_CDECL downloadFile(const char*, const char16_t*, const char16_t*) { return 0; }

void freeResult(LookupResult& result) {
  platform::SysFreeString(result.entryText);
  for (BSTR name : result.audioFiles) platform::SysFreeString(name);
  result = LookupResult{};
}

// A path as the program's system spells it: under Wine, "/x" is "Z:\x".
std::string systemPath(std::string path) {
#if defined(_WIN32)
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) c = c == '/' ? '\\' : c;
#endif
  return path;
}

DxRequestFn loadRequest(const std::string& module) {
#if defined(_WIN32)
  HMODULE handle = LoadLibraryA(module.c_str());
  return handle ? reinterpret_cast<DxRequestFn>(reinterpret_cast<void*>(GetProcAddress(handle, "dxRequest")))
                : nullptr;
#else
  void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
  return handle ? reinterpret_cast<DxRequestFn>(dlsym(handle, "dxRequest")) : nullptr;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: module_bench MODULE PAGE.html SECONDS RESULT\n");
    return 2;
  }
  const std::string module = systemPath(argv[1]);
  const DxRequestFn request = loadRequest(module);
  std::ifstream pageFile(systemPath(argv[2]), std::ios::binary);
  gPage.assign(std::istreambuf_iterator<char>(pageFile), std::istreambuf_iterator<char>());
  if (!request || gPage.empty()) {
    std::fprintf(stderr, "module_bench: cannot load %s or read %s\n", argv[1], argv[2]);
    return 1;
  }
  const double seconds = std::atof(argv[3]);
  const std::u16string basePath = u"bench-base";  // the voice-file folder lands in the current folder
  HostCallbacks callbacks{fetchPage, downloadFile};

  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  double elapsed = 0;
  long lookups = 0;
  do {
    LookupResult result{};
    request(1, u"run", &result, basePath.c_str(), &callbacks);
    freeResult(result);
    ++lookups;
    elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  } while (elapsed < seconds);

  const double mibPerSecond = static_cast<double>(gPage.size()) * lookups / elapsed / (1 << 20);
  std::ofstream(systemPath(argv[4]), std::ios::app) << mibPerSecond << ' ' << lookups << '\n';
  return 0;
}
