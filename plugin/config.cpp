#include "plugin/config.h"

#include "platform/platform.h"

namespace {

constexpr const char16_t* kSection = u"config";
/// Used when the module's own name cannot be had; the profile reader then
/// looks for it in its default folder.
constexpr const char16_t* kFallbackPath = u"LexoraDX.ini";

/// Written at process attach, before any export can run, and only read
/// afterwards; hence no lock.
bool gAudioEnabled = true;
bool gCurrentMarkup = false;

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

}  // namespace

const char16_t kAudioKey[] = u"AudioEnabled";
const char16_t kCurrentMarkupKey[] = u"CurrentMarkup";

std::u16string configurationPath(const std::u16string& modulePath) {
  // The extension's "." is the last one in the final component: a separator
  // met first (scanning backwards) means the name has none.
  size_t cut = modulePath.size();
  while (cut > 0 && !isSeparator(modulePath[cut - 1]) && modulePath[cut - 1] != u'.') --cut;
  if (cut > 0 && modulePath[cut - 1] == u'.') return modulePath.substr(0, cut) + u"ini";
  return modulePath + u".ini";
}

bool readSwitch(const char16_t* configPath, const char16_t* key, bool current) {
  return platform::GetPrivateProfileIntW(kSection, key, current ? 1 : 0, configPath) != 0;
}

void loadConfiguration(void* module) {
  const std::u16string modulePath = platform::moduleFileName(module);
  const std::u16string configPath = modulePath.empty() ? kFallbackPath : configurationPath(modulePath);
  gAudioEnabled = readSwitch(configPath.c_str(), kAudioKey, gAudioEnabled);
  gCurrentMarkup = readSwitch(configPath.c_str(), kCurrentMarkupKey, gCurrentMarkup);
}

bool audioEnabled() { return gAudioEnabled; }
bool currentMarkupEnabled() { return gCurrentMarkup; }

int32_t DllEntryPoint(void* module, uint32_t reason, void* /*reserved*/) {
  constexpr uint32_t kProcessAttach = 1;
  if (reason != kProcessAttach) return 1;
  try {
    loadConfiguration(module);
  } catch (...) {
    // Attach never fails: without its configuration the module keeps the
    // built-in default.
  }
  return 1;
}
