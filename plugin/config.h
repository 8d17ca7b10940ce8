// The module's configuration: two switches read once, at process attach, from
// the INI file beside the module (section "config"): "AudioEnabled" (default
// on) and "CurrentMarkup" (default off: pages are read in the classic markup).
#pragma once

#include <cstdint>
#include <string>

/// Reads the switches from the configuration file of `module` (an HMODULE on
/// Windows; null names the module holding this code). A missing file or key
/// leaves its switch as it was.
void loadConfiguration(void* module);

/// The configuration file of the module at `modulePath`: the module's name
/// with its extension replaced by "ini" ("C:\a.b\LexoraDX.dll" gives
/// "C:\a.b\LexoraDX.ini"); a name without an extension gets ".ini" appended.
/// Only a "." in the final path component counts.
std::u16string configurationPath(const std::u16string& modulePath);

/// The switch `key` as the configuration file `configPath` sets it: `current`
/// when the file or the key is absent (or its value empty), else whether the
/// value is non-zero.
bool readSwitch(const char16_t* configPath, const char16_t* key, bool current);

extern const char16_t kAudioKey[];
extern const char16_t kCurrentMarkupKey[];

/// Whether a lookup runs its audio stage (on until the configuration says 0).
bool audioEnabled();

/// Whether pages are read in the later markups too (off until the
/// configuration says another number than 0).
bool currentMarkupEnabled();

/// The module's entry point: on process attach (`reason` 1) it reads the
/// configuration of `module`; other notifications do nothing. Always 1: the
/// module never fails its attach.
int32_t DllEntryPoint(void* module, uint32_t reason, void* reserved);
