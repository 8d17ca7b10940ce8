// URL and path composition with arbitrary links and base paths: the local path
// always lies inside the voice-file folder, as its last component.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "plugin/url.h"
#include "textlib/utf8.h"

namespace {

// Names the broken invariant before the fuzzer records the input.
#define check(ok) \
  ((ok) ? (void)0 : (std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #ok), std::abort()))

bool startsWith(const char16_t* text, const std::u16string& prefix) {
  return std::u16string(text).compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Input: link bytes, a NUL, then the base path's bytes (UTF-8). The base path
  // is kept inside a scratch folder so that the folder creation stays there.
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t cut = input.find('\0');
  const std::string link = input.substr(0, cut);
  std::string base = cut == std::string::npos ? std::string() : input.substr(cut + 1);
  base.erase(std::remove(base.begin(), base.end(), '\0'), base.end());
  for (char& c : base) {
    if (c == '/' || c == '\\' || c == ':' || c == '.') c = '_';
  }
  const std::string basePath = "/tmp/lexoradx-fuzz-url/" + base;

  __kvstrW wideBase;
  fromUtf8(wideBase, basePath.c_str(), -1);
  const __kvstrW path = TVoiceFolder(wideBase.str(), u"VoiceFiles").audioPath(link.c_str(), u"c1_");

  const __kvstrW folder = directoryPart(wideBase.str());
  std::u16string expected = folder.str();
  expected += u"VoiceFiles";
  expected += platform::kPathSeparator;
  check(startsWith(path.str(), expected));
  const char16_t* name = fileNamePart(path.str());
  check(name == path.str() + expected.size());
  check(startsWith(name, u"c1_"));

  const __kvstrA joined = resolveUrl("http://en.lexora.org/wiki/x", link.c_str());
  check(joined.length() >= 0);
  __kvstrA encoded;
  percentEncode(encoded, link.c_str());
  check(encoded.length() <= 3 * static_cast<int32_t>(link.size()));
  return 0;
}
