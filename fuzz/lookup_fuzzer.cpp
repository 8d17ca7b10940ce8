// A whole lookup with arbitrary bytes served as the page: every local path
// handed to downloadFile lies inside the voice-file folder under a name that
// Windows keeps (no trailing dot or blank, at most 255 units), every URL sent
// to the host is a well-formed UTF-8 http or https URL, at most 32 downloads
// are asked for and at most 16 audio slots written, the entry text is
// well-formed UTF-16 without a carriage return, and (under LeakSanitizer)
// nothing leaks. Built twice:
// DX_FUZZ_CURRENT_MARKUP says which page markup mode the configuration beside
// the program must select.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/well_formed.h"
#include "platform/platform.h"
#include "plugin/config.h"
#include "plugin/lexoradx.h"
#include "plugin/request.h"
#include "tests/support/fake_host.h"

namespace {

// Names the broken invariant before the fuzzer records the input.
#define check(ok) \
  ((ok) ? (void)0 : (std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #ok), std::abort()))

// The voice-file folder that the base path below leads to.
const std::u16string& voiceFolder() {
  static const std::u16string folder = std::u16string(u"/tmp/lexoradx-fuzz-lookup/VoiceFiles") +
                                       platform::kPathSeparator;
  return folder;
}

bool startsWithIgnoringCase(const std::string& text, const char* prefix) {
  for (size_t i = 0; prefix[i]; ++i) {
    if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

void checkDownload(const fakehost::TDownload& download) {
  check(download.url != "(null)" && isWellFormedUtf8(download.url.c_str()) && download.extra.empty());
  check(startsWithIgnoringCase(download.url, "http://") || startsWithIgnoringCase(download.url, "https://"));
  const std::u16string& path = download.localPath;
  check(path.compare(0, voiceFolder().size(), voiceFolder()) == 0);
  const std::u16string name = path.substr(voiceFolder().size());
  check(name.find(u'/') == std::u16string::npos && name.find(u'\\') == std::u16string::npos);
  check(!name.empty() && name.back() != u'.' && name.back() != u' ' && name.size() <= 255);
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
  fakehost::gHost = fakehost::TFakeHost();
  fakehost::gHost.page.assign(reinterpret_cast<const char*>(data), size);
  // Every third download fails.
  for (int call = 0; call < 64; ++call) fakehost::gHost.downloadFails.push_back(call % 3 == 2);

  HostCallbacks callbacks = fakehost::callbacks();
  const int32_t cancel = 0;
  LookupResult result{};
  BSTR canary = reinterpret_cast<BSTR>(&result);
  result.cancelFlag = &cancel;
  result.extraText = canary;
  const bool found =
      runLookup(1, u"fuzz", &result, u"/tmp/lexoradx-fuzz-lookup/base", &callbacks) == LookupOutcome::Found;

  const fakehost::TFakeHost& host = fakehost::gHost;
  check(host.fetchedUrls.size() == 1 && host.fetchedUrls[0].compare(0, 26, "http://en.lexora.org/wiki/") == 0);
  check(host.downloads.size() <= 2 * DX_MAX_AUDIO_FILES);
  for (const fakehost::TDownload& download : host.downloads) checkDownload(download);
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
  check(stored <= DX_MAX_AUDIO_FILES && static_cast<size_t>(stored) <= host.downloads.size());
  return 0;
}
