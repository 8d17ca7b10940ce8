// The module's configuration as the host reads it to explain an outcome: the
// INI beside the module (its name with the extension "ini"), [config] section.
#pragma once

#include <string>
#include <string_view>

namespace host {

/// The INI the module at `modulePath` reads.
std::string moduleConfigPath(const std::string& modulePath);

/// The number `key` of the [config] section of INI text `text`, read as the
/// module reads it: section and key without regard to case, the value's
/// leading whole number (so "1 ; on" is 1, "yes" is 0); `fallback` when the
/// key is absent or empty.
long configNumber(std::string_view text, std::string_view key, long fallback);

/// Whether the module at `modulePath` reads the markups of today's site too
/// (CurrentMarkup other than 0), not the classic markup only.
bool readsCurrentMarkup(const std::string& modulePath);

}  // namespace host
