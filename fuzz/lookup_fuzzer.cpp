// A whole lookup with arbitrary bytes served as the page: every local path
// handed to downloadFile lies inside the voice-file folder, every URL sent to
// the host is well-formed UTF-8, at most 16 audio slots are written, the entry
// text is well-formed UTF-16 without a carriage return, and (under
// LeakSanitizer) nothing leaks. Built twice: DX_FUZZ_CURRENT_MARKUP says which
// page markup mode the configuration beside the program must select.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/well_formed.h"
#include "platform/platform.h"
#include "plugin/config.h"
#include "plugin/lexoradx.h"
#include "plugin/request.h"

namespace {

// Names the broken invariant before the fuzzer records the input.
#define check(ok) \
  ((ok) ? (void)0 : (std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #ok), std::abort()))

const uint8_t* gPage = nullptr;
size_t gPageSize = 0;
int gDownloads = 0;

// The voice-file folder that the base path below leads to.
const std::u16string& voiceFolder() {
  static const std::u16string folder = std::u16string(u"/tmp/lexoradx-fuzz-lookup/VoiceFiles") +
                                       platform::kPathSeparator;
  return folder;
}

int32_t fetchPage(const char* url, BSTR* page) {
  check(url && std::strncmp(url, "http://en.lexora.org/wiki/", 26) == 0);
  *page = platform::SysAllocStringByteLen(reinterpret_cast<const char*>(gPage),
                                          static_cast<uint32_t>(gPageSize));
  return 1;
}

int32_t downloadFile(const char* url, const char16_t* empty, const char16_t* localPath) {
  check(url && empty && *empty == 0 && localPath);
  check(isWellFormedUtf8(url));
  const std::u16string path(localPath);
  check(path.compare(0, voiceFolder().size(), voiceFolder()) == 0);
  const std::u16string name = path.substr(voiceFolder().size());
  check(name.find(u'/') == std::u16string::npos && name.find(u'\\') == std::u16string::npos);
  ++gDownloads;
  return gDownloads % 3 == 0;  // every third download fails
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The program is this process's module: its configuration file is the one
  // the module would read.
  loadConfiguration(nullptr);
  check(currentMarkupEnabled() == (DX_FUZZ_CURRENT_MARKUP != 0));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  gPage = data;
  gPageSize = size;
  gDownloads = 0;

  HostCallbacks callbacks{fetchPage, downloadFile};
  const int32_t cancel = 0;
  LookupResult result{};
  BSTR canary = reinterpret_cast<BSTR>(&result);
  result.cancelFlag = &cancel;
  result.extraText = canary;
  const bool found =
      runLookup(1, u"fuzz", &result, u"/tmp/lexoradx-fuzz-lookup/base", &callbacks) == LookupOutcome::Found;

  check(result.extraText == canary && result.cancelFlag == &cancel);
  check(found == (result.entryText != nullptr));
  if (result.entryText) {
    const std::u16string entry(reinterpret_cast<const char16_t*>(result.entryText));
    check(entry.find(u'\r') == std::u16string::npos);
    check(isWellFormedUtf16(entry.data(), entry.size()));
    platform::SysFreeString(result.entryText);
  }
  int stored = 0;
  for (BSTR& name : result.audioFiles) {
    if (!name) continue;
    ++stored;
    platform::SysFreeString(name);
  }
  check(stored <= DX_MAX_AUDIO_FILES && stored <= gDownloads);
  return 0;
}
