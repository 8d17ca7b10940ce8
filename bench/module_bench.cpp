// The built module as a host loads it: lookups of one page through dxRequest,
// the page served from memory and every download answered at once, timed by
// the wall clock. Built natively (LexoraDX.so) and for Windows (the real DLL,
// run under Wine), so that ./lexoradx bench sets the two side by side.
//   module_bench MODULE PAGE.html SECONDS RESULT
// Looks the page up again and again for about SECONDS (0: exactly once) and
// appends "<MiB/s> <lookups>" to the file RESULT: the rate of the best
// quarter-second round. The module's diagnostic lines go to this program's
// standard streams, which the caller sends where a host would. The markup
// mode is the one the INI beside MODULE selects.
#include <chrono>
#include <cstdio>
#include <cstdlib>
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

bool readFile(const std::string& path, std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  char buffer[1 << 16];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, got);
  std::fclose(file);
  return !bytes.empty();
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

using Clock = std::chrono::steady_clock;
constexpr double kRoundSeconds = 0.25;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void lookUp(DxRequestFn request, const char16_t* basePath, HostCallbacks& callbacks) {
  LookupResult result{};
  request(1, u"run", &result, basePath, &callbacks);
  freeResult(result);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: module_bench MODULE PAGE.html SECONDS RESULT\n");
    return 2;
  }
  const std::string module = systemPath(argv[1]);
  const DxRequestFn request = loadRequest(module);
  if (!request || !readFile(systemPath(argv[2]), gPage)) {
    std::fprintf(stderr, "module_bench: cannot load %s or read %s\n", argv[1], argv[2]);
    return 1;
  }
  const double seconds = std::atof(argv[3]);
  const std::u16string basePath = u"bench-base";  // the voice-file folder lands in the current folder
  HostCallbacks callbacks{fetchPage, downloadFile};

  // Rounds of a quarter second each; the best round's rate is reported,
  // which holds better than the mean on a machine shared with other work.
  double best = 0;
  long lookups = 0;
  const Clock::time_point start = Clock::now();
  do {
    const Clock::time_point roundStart = Clock::now();
    long roundLookups = 0;
    double roundSeconds = 0;
    do {
      lookUp(request, basePath.c_str(), callbacks);
      ++roundLookups;
      roundSeconds = secondsSince(roundStart);
    } while (seconds > 0 && roundSeconds < kRoundSeconds);
    lookups += roundLookups;
    const double rate = static_cast<double>(gPage.size()) * roundLookups / roundSeconds / (1 << 20);
    if (rate > best) best = rate;
  } while (secondsSince(start) < seconds);

  std::FILE* result = std::fopen(systemPath(argv[4]).c_str(), "a");
  if (!result) return 1;
  std::fprintf(result, "%.1f %ld\n", best, lookups);
  return std::fclose(result) == 0 ? 0 : 1;
}
